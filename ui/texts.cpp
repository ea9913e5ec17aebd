#include "ui/texts.h"

#include <cstdlib>
#include <cwchar>

#include "ui/state.h"

namespace {

// The disclaimers are justified with runs of blanks for the introduction box
// (305 dialog units of MS Shell Dlg 8, that is Tahoma): every full line is
// about 415 pixels wide, short of the box's 429, so none of them wraps.
const wchar_t kDisclaimerEnglish[] =
    L"    By  pressing <Continue>  you agree  to the  following terms.  This software  is\r\n"
    L"supplied <AS IS>,  and its publisher shall not  be liable for damage  of any kind,\r\n"
    L"whether  direct or  indirect,  arising from  the  use  of this  software  or from  the\r\n"
    L"inability to use it, including the loss of data.\r\n"
    L"    Whoever  uses this  software does  so at  their own  risk and  bears the  whole\r\n"
    L"risk  of possible  conflicts  between this  software and  any  other programs  that\r\n"
    L"are installed on their computers.\r\n"
    L"    This software  is not  designed or intended  to be  used either  in information\r\n"
    L"systems that operate in hazardous environments or in life-support equipment.\r\n"
    L"\r\n";

const wchar_t kDisclaimerRussian[] =
    L"    Нажимая  кнопку   <Продолжить>,  Вы  подтверждаете  своё   согласие  со\r\n"
    L"следующими  условиями.  Данное программное  обеспечение  поставляется\r\n"
    L"на условиях  <как есть>, и его  издатель не несёт  никакой ответственности\r\n"
    L"за ущерб любого рода, как прямой, так и косвенный, возникший в результате\r\n"
    L"использования данного программного обеспечения  или невозможности его\r\n"
    L"использования, в том числе за утрату данных.\r\n"
    L"    Тот,  кто использует  данную программу,  делает это  на свой  страх и  риск\r\n"
    L"и  принимает  на  себя  все  риски,  связанные  с  возможными  конфликтами\r\n"
    L"между ней и другими программами, установленными на его компьютерах.\r\n"
    L"    Данное программное  обеспечение не  рассчитано и  не предназначено\r\n"
    L"для использования ни  в информационных системах, работающих  в условиях\r\n"
    L"повышенной опасности, ни в оборудовании систем жизнеобеспечения.\r\n"
    L"\r\n";

// The same for every language, so each line says it in both; true of
// whoever builds the program, who may not be the one who hands it on.
const wchar_t kClosingLines[] =
    L"felnox1decrypt: built from its sources / сборка из исходного кода\r\n"
    L"Questions: ask whoever gave it to you / Вопросы: тому, кто её вам дал\r\n";

struct BilingualText {
    const wchar_t* english;
    const wchar_t* russian;
};

// In the order of TextId.
const BilingualText kTexts[] = {
    {L"Decrypted files total: %d.",
     L"Количество расшифрованных файлов: %d."},
    {L"Would you like to use file <%s> as a key?",
     L"Использовать файл <%s> в качестве ключа?"},
    {L"Please select original (non-encrypted) file",
     L"Выберите оригинальный (не зашифрованный) файл"},
    {L"Would you like to use the selected file as the decryption key?",
     L"Использовать выбранный файл в качестве ключа?"},
    {L"Unable to open selected file.",
     L"Невозможно открыть выбранный файл."},
    {L"Selected file is too small. At least 4-16 KB of input data required.",
     L"Выбран слишком маленький файл. Необходимо 4-16 КБ данных."},
    {L"Please select encrypted file (locked-)",
     L"Выберите соответствующий зашифрованный файл (locked-)"},
    {L"No match between files found. Second file should be like first, just encrypted.",
     L"Найдено несоответствие между файлами. Второй файл должен быть получен шифрованием первого."},
    {L"Selected file is too small. More than 16 KB of input data required.",
     L"Выбран слишком маленький файл. Необходимо больше 16 КБ данных."},
    {L"Unable to read selected files.",
     L"Не удалось прочитать выбранные файлы."},
    // Word for word as this message has always read, first words included.
    {L"Data is selected files appears to be the same. You have to select encrypted file and its original version.",
     L"Данные в выбранных файлах совпадают. Необходимо выбрать зашифрованный файл и его оригинал."},
    {L"Continue",
     L"Продолжить"},
    {L"Exit",
     L"Выход"},
    {L"Free utility to recover files crypted by Trojan.Felnox.1\r\n\r\n",
     L"Бесплатная утилита для восстановления файлов после Trojan.Felnox.1\r\n\r\n"},
    {kDisclaimerEnglish,
     kDisclaimerRussian},
    {kClosingLines,
     kClosingLines},
};
static_assert(sizeof kTexts / sizeof kTexts[0] == TEXT_ID_COUNT, "one entry per TextId");

} // namespace

const wchar_t* UiText(TextId id)
{
    return g_russianUi ? kTexts[id].russian : kTexts[id].english;
}

wchar_t* BuildDisclaimerText()
{
    const wchar_t* pieces[] = {UiText(TEXT_INTRO_FIRST_LINE), UiText(TEXT_DISCLAIMER),
                               UiText(TEXT_CLOSING_LINES)};
    size_t length = 0;
    for (const wchar_t* piece : pieces)
        length += wcslen(piece);
    // Three characters to spare; one of them takes the terminator.
    wchar_t* text = static_cast<wchar_t*>(malloc((length + 3) * sizeof *text));
    if (!text)
        return nullptr;
    wchar_t* end = text;
    for (const wchar_t* piece : pieces) {
        const size_t pieceLength = wcslen(piece);
        wmemcpy(end, piece, pieceLength);
        end += pieceLength;
    }
    *end = 0;
    return text;
}
