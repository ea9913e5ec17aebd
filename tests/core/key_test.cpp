#include <cstring>

#include <gtest/gtest.h>

#include "core/file_win.h"
#include "core/key.h"
#include "core/state.h"
#include "tests/support/locker.h"

namespace {

TEST(KeyFileName, IsFelnox1KeyInAnyAsciiCase)
{
    EXPECT_EQ(CheckKeyFileName(L"C:\\x\\felnox1.key"), RC_OK);
    EXPECT_EQ(CheckKeyFileName(L"C:\\x\\FELNOX1.KEY"), RC_OK);
    EXPECT_EQ(CheckKeyFileName(L"\\\\?\\C:\\x\\Felnox1.Key"), RC_OK);
    EXPECT_EQ(CheckKeyFileName(L"C:\\x\\felnox1.key.txt"), RC_NOT_KEY_NAME);
    EXPECT_EQ(CheckKeyFileName(L"C:\\x\\xfelnox1.key"), RC_NOT_KEY_NAME);
    EXPECT_EQ(CheckKeyFileName(L"C:\\x\\felnox1.ke"), RC_NOT_KEY_NAME);
    EXPECT_EQ(CheckKeyFileName(L"C:\\felnox1.key\\other"), RC_NOT_KEY_NAME);
    EXPECT_EQ(CheckKeyFileName(L"felnox1.key"), RC_FAILED);
    EXPECT_EQ(CheckKeyFileName(L"C:/x/felnox1.key"), RC_FAILED);
}

KeyState Untouched()
{
    KeyState key;
    memset(&key, 0x77, sizeof key);
    return key;
}

bool IsUntouched(const KeyState& key)
{
    const KeyState reference = Untouched();
    return memcmp(&key, &reference, sizeof key) == 0;
}

TEST(ParseKeyFile, TakesFormBFromExactly4096BytesWithoutFooter)
{
    const Bytes file = RandomBytes(4096, 1);
    KeyState key = Untouched();
    ASSERT_EQ(ParseKeyFile(file.data(), 4096, &key), RC_OK);
    EXPECT_EQ(key.keystreamLength, 4096u);
    EXPECT_EQ(0, memcmp(key.keystream, file.data(), 4096));
    EXPECT_EQ(key.reference.totalLength, 0u);
    EXPECT_EQ(key.reference.headLength, 0u);
}

TEST(ParseKeyFile, TriesFormAFirstAlsoOn4096Bytes)
{
    // A 4096-byte file with the magic at 4076, L at 4084 and N at 4088.
    const Bytes keystream = RandomBytes(32768, 2);
    const Bytes file = KeyFileFormA(keystream, 3800, RandomBytes(4096 - 3800 - 20, 3));
    ASSERT_EQ(file.size(), 4096u);
    KeyState key = Untouched();
    ASSERT_EQ(ParseKeyFile(file.data(), 4096, &key), RC_OK);
    EXPECT_EQ(key.keystreamLength, 3800u);
    EXPECT_EQ(key.reference.headLength, 3800u);
    EXPECT_EQ(key.reference.bodyLength, 4096u - 3800 - 20);
    EXPECT_EQ(0, memcmp(key.keystream, keystream.data(), 3800));
}

TEST(ParseKeyFile, BoundsTheHeadOfFormA)
{
    struct Case {
        uint32_t head;
        uint32_t bodyLength;
        uint32_t keystreamBytes; // bytes of keystream actually in the file
        Status expected;
    };
    const Case cases[] = {
        {32768, 496, 32768, RC_OK},           // the longest head, the longest body: 33284 bytes
        {32769, 100, 32768, RC_KEY_TOO_LONG}, // announces more than the key can hold
        {0xFFFFFFFF, 100, 4000, RC_KEY_TOO_LONG},
        {0, 100, 4000, RC_FAILED},            // holds no keystream
        {4001, 100, 4000, RC_FAILED},         // announces more than the file has
        {4000, 100, 4000, RC_OK},
        {4, 0, 4076, RC_OK},                  // a short head; the rest is not keystream
    };
    const Bytes keystream = RandomBytes(40000, 4);
    for (const Case& c : cases) {
        Bytes file(keystream.begin(), keystream.begin() + c.keystreamBytes);
        const Bytes body = RandomBytes(c.bodyLength, 5);
        file.insert(file.end(), body.begin(), body.end());
        const Bytes footer = Footer(c.bodyLength, c.head);
        file.insert(file.end(), footer.begin(), footer.end());
        file.insert(file.end(), 4, 0);
        KeyState key = Untouched();
        EXPECT_EQ(ParseKeyFile(file.data(), uint32_t(file.size()), &key), c.expected) << c.head;
        if (c.expected == RC_OK)
            EXPECT_EQ(key.keystreamLength, c.head);
        else
            EXPECT_TRUE(IsUntouched(key)) << c.head;
    }
}

TEST(ParseKeyFile, RefusesFilesThatAreNeitherForm)
{
    KeyState key = Untouched();
    const Bytes noFooter = RandomBytes(5000, 6);
    EXPECT_EQ(ParseKeyFile(noFooter.data(), 5000, &key), RC_FAILED);
    const Bytes tooLong = RandomBytes(kKeyFileMaxSize + 1, 7);
    EXPECT_EQ(ParseKeyFile(tooLong.data(), uint32_t(tooLong.size()), &key), RC_FAILED);
    EXPECT_TRUE(IsUntouched(key));
}

TEST(ParseKeyFile, SurvivesEveryFooterAtTheSizeLimits)
{
    for (uint32_t size : {24u, 4095u, 4096u, 33292u}) {
        for (uint32_t length : {0u, 1u, 496u, 497u, size - 20, size - 19, 0xFFFFFFFFu}) {
            for (uint32_t head : {0u, 1u, 4096u, size - 20 - length, 32768u, 32769u, 0xFFFFFFFFu}) {
                Bytes file(size, 0x11);
                const Bytes footer = Footer(length, head);
                std::copy(footer.begin(), footer.end(), file.end() - 20);
                KeyState key = Untouched();
                const Status status = ParseKeyFile(file.data(), size, &key);
                const bool formA = uint64_t(length) + 20 <= size && length <= 496;
                if (status == RC_OK && key.reference.totalLength == 0) {
                    EXPECT_EQ(size, 4096u); // form B
                    EXPECT_EQ(key.keystreamLength, 4096u);
                } else if (status == RC_OK) {
                    EXPECT_TRUE(formA);
                    ASSERT_LE(key.keystreamLength, kKeystreamCapacity);
                    ASSERT_LE(uint64_t(key.keystreamLength) + length + 20, size);
                } else {
                    EXPECT_TRUE(IsUntouched(key));
                }
            }
        }
    }
}

class LoadKeyFileTest : public ::testing::Test {
protected:
    void SetUp() override { folder_ = MakeScratchFolder(L"key"); }
    void TearDown() override { RemoveTree(folder_); }
    std::wstring folder_;
};

TEST_F(LoadKeyFileTest, ReadsBothFormsFromDisk)
{
    const Bytes keystream = RandomBytes(32768, 8);
    const std::wstring path = folder_ + L"\\FELNOX1.KEY";

    WriteBytes(path, KeyFileFormB(keystream));
    ASSERT_EQ(LoadKeyFile(path.c_str()), RC_OK);
    EXPECT_EQ(g_key.keystreamLength, 4096u);
    EXPECT_EQ(g_key.reference.totalLength, 0u);

    const Bytes body = RandomBytes(300, 9);
    WriteBytes(path, KeyFileFormA(keystream, 20000, body));
    ASSERT_EQ(LoadKeyFile(path.c_str()), RC_OK);
    EXPECT_EQ(g_key.keystreamLength, 20000u);
    EXPECT_EQ(g_key.reference.totalLength, 316u);
    EXPECT_EQ(0, memcmp(g_key.keystream, keystream.data(), 20000));
    EXPECT_EQ(0, memcmp(g_key.reference.bytes, body.data(), 300));
}

TEST_F(LoadKeyFileTest, RefusesWrongSizesNamesAndMissingFilesAndKeepsTheKey)
{
    const Bytes keystream = RandomBytes(40000, 10);
    const std::wstring path = folder_ + L"\\felnox1.key";
    WriteBytes(path, KeyFileFormB(keystream));
    ASSERT_EQ(LoadKeyFile(path.c_str()), RC_OK);
    const KeyState before = g_key;

    WriteBytes(path, Bytes(keystream.begin(), keystream.begin() + 4095));
    EXPECT_EQ(LoadKeyFile(path.c_str()), RC_FAILED);
    WriteBytes(path, Bytes(keystream.begin(), keystream.begin() + 33293));
    EXPECT_EQ(LoadKeyFile(path.c_str()), RC_FAILED);
    WriteBytes(path, Bytes());
    EXPECT_EQ(LoadKeyFile(path.c_str()), RC_FAILED);
    EXPECT_EQ(LoadKeyFile((folder_ + L"\\missing\\felnox1.key").c_str()), RC_FAILED);

    const std::wstring other = folder_ + L"\\other.key";
    WriteBytes(other, KeyFileFormB(keystream));
    EXPECT_EQ(LoadKeyFile(other.c_str()), RC_NOT_KEY_NAME);

    EXPECT_EQ(0, memcmp(&before, &g_key, sizeof before));
}

TEST_F(LoadKeyFileTest, FilesPast260CharactersOpenFromTheirPlainPaths)
{
    // What a file dialog gives, and the key file beside a program in a deep
    // folder: full paths without \\?\, which alone would stop at 260.
    const std::wstring path = MakeDeepFolder(folder_, 3, 100) + L"\\felnox1.key";
    WriteBytes(path, KeyFileFormB(RandomBytes(4096, 13)));
    const std::wstring plain = Plain(path);
    ASSERT_GT(plain.size(), 300u);
    EXPECT_EQ(LoadKeyFile(plain.c_str()), RC_OK);
    HANDLE file = OpenForReading(plain.c_str());
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileSize(file), 4096);
    CloseHandle(file);
}

TEST_F(LoadKeyFileTest, LeavesTheKeyFileAsItWas)
{
    const std::wstring path = folder_ + L"\\felnox1.key";
    const Bytes file = KeyFileFormA(RandomBytes(9000, 11), 9000, RandomBytes(64, 12));
    WriteBytes(path, file);
    ASSERT_EQ(LoadKeyFile(path.c_str()), RC_OK);
    EXPECT_EQ(ReadBytes(path), file);
}

} // namespace
