// felnox_bench: how close the scan and the decryption come to what the file
// system must do anyway. Each figure is measured against its floor on the
// same tree, in this one process, the two interleaved: run by run for the
// scans, file by file for the decryption. tools/bench.sh builds and runs
// it; the test suite does not.
//
//   felnox_bench --work FOLDER --program EXE [--reps N] [--memory-reps N]
//                [--quick] [--only 1,2,3,4,5,6] [--markdown FILE]
//
// FOLDER is made, filled with the trees and removed again; EXE is the
// built felnox1decrypt.exe, run for figures 5 and 6. --quick uses small
// trees, to try the benchmark out.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "core/key.h"
#include "core/state.h"
#include "scan/state.h"
#include "scan/walk.h"
#include "bench/decryption.h"
#include "bench/floors.h"
#include "bench/measure.h"
#include "bench/program_memory.h"
#include "bench/report.h"
#include "bench/trees.h"
#include "bench/window.h"
#include "tests/support/files.h"

namespace {

struct Options {
    std::wstring work;
    std::wstring program;
    std::wstring markdown;
    int reps = 7;
    int memoryReps = 5;
    size_t treeFiles = 100000;
    size_t smallFiles = 2000;
    size_t smallSize = 64 << 10;
    size_t largeFiles = 200;
    size_t largeSize = 8 << 20;
    size_t displayFiles = 20000;
    size_t scaleEntries = 1000000;
    std::set<int> only;
    bool Wants(int figure) const { return only.empty() || only.count(figure); }
};

Options g_options;
ProgressSink g_noDisplay; // the scanner's own hooks, which do nothing
std::vector<Row> g_rows;
std::vector<Row> g_profile;
std::vector<std::string> g_notes;

void Say(const std::string& text)
{
    printf("%s\n", text.c_str());
    fflush(stdout);
}

[[noreturn]] void Abort(const std::string& why)
{
    Say("benchmark failed: " + why);
    RemoveTree(g_options.work);
    exit(2);
}

void Check(bool ok, const std::string& why)
{
    if (!ok)
        Abort(why);
}

std::string Count(size_t n)
{
    std::string digits = std::to_string(n), grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ' ';
        grouped += digits[i];
    }
    return grouped;
}

std::string Size(size_t bytes)
{
    return bytes >= (1 << 20) ? std::to_string(bytes >> 20) + " MiB"
                              : std::to_string(bytes >> 10) + " KiB";
}

std::wstring KeyFolder(Layout layout)
{
    return g_options.work + (layout == Layout::kPlain ? L"\\key-plain" : L"\\key-trailer");
}

void UseKey(Layout layout)
{
    Check(!Failed(LoadKeyFile((KeyFolder(layout) + L"\\felnox1.key").c_str())), "key file refused");
}

void PrepareWork()
{
    RemoveTree(g_options.work);
    Check(MakeFolder(g_options.work), "cannot make " + Narrow(g_options.work));
    for (Layout layout : {Layout::kPlain, Layout::kTrailer}) {
        const Bytes key = BenchKeyFile(layout);
        Check(MakeFolder(KeyFolder(layout)) &&
                  WriteFileBytes(KeyFolder(layout) + L"\\felnox1.key", key.data(), key.size()),
              "cannot write a key file");
    }
    const std::wstring program = g_options.work + L"\\program";
    const Bytes key = BenchKeyFile(Layout::kPlain);
    Check(MakeFolder(program) &&
              CopyFileW(g_options.program.c_str(), (program + L"\\felnox1decrypt.exe").c_str(),
                        FALSE) &&
              WriteFileBytes(program + L"\\felnox1.key", key.data(), key.size()),
          "cannot copy the program from " + Narrow(g_options.program));
}

// A scan as the program's scan thread makes it, with the display hooks in
// g_progress; returns its seconds.
double TimedScan(const std::wstring& root)
{
    g_counters = {};
    const double start = Now();
    g_progress.setBarRange();
    g_progress.setBarPosition(0);
    ScanPath(root.c_str());
    g_progress.setBarPosition(kBarMaximum);
    return Now() - start;
}

// The floor of figures 1 and 6: FindFirstFileW/FindNextFileW over the tree.
Run BareWalk(const std::wstring& root, const TreeShape& shape, const std::string& figure)
{
    return [root, shape, figure] {
        const double start = Now();
        const FloorWalk walk = WalkOnly(root);
        const double seconds = Now() - start;
        Check(walk.entries == shape.Entries(), figure + ": the floor walk missed entries");
        return seconds;
    };
}

// Figures 1 and 2: the scan of ordinary files against a walk that does what
// the scan must do to each file, and no more.
void FigureWalk(const std::wstring& tree, const TreeShape& shape)
{
    if (g_options.Wants(1)) {
        UseKey(Layout::kPlain);
        const Run scan = [&] {
            const double seconds = TimedScan(tree);
            Check(g_counters.entriesVisited == shape.Entries() && g_counters.filesDecrypted == 0,
                  "figure 1: the scan met other entries than the tree's");
            return seconds;
        };
        const Run floor = BareWalk(tree, shape, "figure 1");
        Say("figure 1: scan with a plain-layout key against FindFirstFileW/FindNextFileW");
        const auto seconds = Interleave(g_options.reps, {scan, floor}, [] {});
        g_rows.push_back(RatioRow("1", "scan, plain-layout key, " + Count(shape.files) + " files",
                                  "FindFirstFileW/FindNextFileW walk", seconds[0], seconds[1], 1.10));
    }
    if (g_options.Wants(2)) {
        UseKey(Layout::kTrailer);
        const Run scan = [&] {
            const double seconds = TimedScan(tree);
            Check(g_counters.entriesVisited == shape.Entries() && g_counters.filesDecrypted == 0,
                  "figure 2: the scan met other entries than the tree's");
            return seconds;
        };
        const Run floor = [&] {
            const double start = Now();
            const FloorWalk walk = WalkAndReadTails(tree, g_key.reference.totalLength);
            const double seconds = Now() - start;
            Check(walk.entries == shape.Entries() && walk.failures == 0,
                  "figure 2: the floor could not read every file's tail");
            return seconds;
        };
        Say("figure 2: scan with a trailer-layout key against a walk reading each file's tail");
        const auto seconds = Interleave(g_options.reps, {scan, floor}, [] {});
        g_rows.push_back(RatioRow("2",
                                  "scan, trailer-layout key (T = " +
                                      std::to_string(g_key.reference.totalLength) + " bytes), " +
                                      Count(shape.files) + " files",
                                  "walk + open, read last T bytes, close", seconds[0], seconds[1],
                                  1.10));
    }
}

// Figure 3: the decryption of one set of locked files against copying them,
// and where the decryption's time goes.
void FigureDecrypt(Layout layout, const LockedSet& set, size_t size, double limit)
{
    const std::string what = Count(set.shape.files) + " files of " + Size(size) + ", " +
                             (layout == Layout::kPlain ? "plain" : "trailer") + " layout";
    UseKey(layout);
    Say("figure 3: decryption of " + what + " against CopyFileW, file by file");
    DecryptionTimes times;
    Check(MeasureDecryption(set, layout, g_options.reps, &times),
          "figure 3: a decryption or a copy failed");
    g_rows.push_back(RatioRow("3", "DecryptLockedFile on " + what,
                              "CopyFileW of each to a fresh name", times.decrypt, times.copy,
                              limit));

    // Each step's time per file, and its share of the whole decryption's.
    std::vector<StepTimes> steps = {{"DecryptLockedFile, whole", times.decrypt}};
    steps.insert(steps.end(), times.steps.begin(), times.steps.end());
    const double files = double(set.shape.files);
    const double whole = Summarize(times.decrypt).median;
    for (const StepTimes& step : steps) {
        const double median = Summarize(step.seconds).median;
        Row row = RatioRow("3", what + ": " + step.name, "CopyFileW to a fresh name",
                           step.seconds, times.copy, 0);
        row.figureValue = Fixed(median / files * 1e6, 0) + " us/file, " +
                          Fixed(100 * median / whole, 0) + " % of the whole";
        row.floorValue = Fixed(Summarize(times.copy).median / files * 1e6, 0) + " us/file";
        row.target = row.met = "";
        g_profile.push_back(row);
    }
}

// Figure 5: the real program's memory, run after run on `target`: the
// medians of its idle values and of the peaks of its whole runs.
struct MemoryRuns {
    Spread idlePrivate, idleSet;
    Spread runPrivate, runSet; // the peaks of the whole run, final box included
    Spread ownPrivate;         // the run's peak above the idle window, run by run
};

double RunPrivate(const ProgramMemory& memory)
{
    return double(std::max(memory.peakPrivate, memory.boxPrivate));
}

// The program's own share of its private bytes: what its run added to its
// window, idle, which under Wine is mostly Wine's.
Row OwnShareRow(const std::string& number, const std::string& during, const Spread& own,
                const Spread& idle, int reps)
{
    Row row;
    row.number = number;
    row.reps = reps;
    row.figure = "private bytes the run added to the idle window, during " + during;
    row.floor = "the idle window's private bytes";
    row.figureValue = Mebibytes(own.median);
    row.floorValue = Mebibytes(idle.median);
    row.ratio = "-";
    row.spread = Fixed(own.low / 1048576, 2) + " to " + Fixed(own.high / 1048576, 2) + " MiB";
    return row;
}

MemoryRuns WatchRuns(const std::wstring& target, const std::vector<std::wstring>& outputs,
                     size_t expected)
{
    std::vector<double> idlePrivate, idleSet, runPrivate, runSet, ownPrivate;
    for (int rep = 0; rep < g_options.memoryReps; ++rep) {
        ProgramMemory memory;
        std::string error;
        Check(WatchProgram(g_options.work + L"\\program", target, &memory, &error),
              "figure 5: " + error);
        Check(memory.decrypted == expected, "figure 5: the program reported another count");
        Check(DeleteAll(outputs), "figure 5: an output was missing");
        idlePrivate.push_back(double(memory.idlePrivate));
        idleSet.push_back(double(memory.idleWorkingSet));
        runPrivate.push_back(RunPrivate(memory));
        ownPrivate.push_back(RunPrivate(memory) - double(memory.idlePrivate));
        runSet.push_back(double(std::max(memory.peakWorkingSet, memory.boxWorkingSet)));
        Say("  run " + std::to_string(rep + 1) + ": " + Fixed(memory.seconds, 1) +
            " s; private bytes " + Mebibytes(memory.idlePrivate) + " idle, " +
            Mebibytes(memory.peakPrivate) + " scanning, " + Mebibytes(memory.boxPrivate) +
            " with the final box; working set " + Mebibytes(memory.idleWorkingSet) + ", " +
            Mebibytes(memory.peakWorkingSet) + ", " + Mebibytes(memory.boxWorkingSet));
    }
    return {Summarize(idlePrivate), Summarize(idleSet), Summarize(runPrivate), Summarize(runSet),
            Summarize(ownPrivate)};
}

// Wine's X11 driver opens an X input method for every thread that makes a
// window, and Xlib loads the locale's compose tables for it. The driver
// reads the setting when a process starts, so it holds for the next runs.
void UseWineInputMethod(bool on)
{
    const wchar_t* value = on ? L"Y" : L"N";
    Check(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"UseXIM", REG_SZ,
                          value, 2 * sizeof(wchar_t)) == ERROR_SUCCESS,
          "cannot set Wine's UseXIM");
}

// The same run on an empty folder: the window, the key file's question,
// the scan thread and its final box, without a single file.
const MemoryRuns& EmptyFolderRuns(bool inputMethod)
{
    static bool measured[2] = {};
    static MemoryRuns runs[2];
    if (!measured[inputMethod]) {
        const std::wstring empty = g_options.work + L"\\empty";
        Check(MakeFolder(empty), "cannot make an empty folder");
        Say(std::string("figure 5: memory of felnox1decrypt.exe scanning an empty folder") +
            (inputMethod ? "" : ", Wine's X input method off"));
        runs[inputMethod] = WatchRuns(empty, {}, 0);
        measured[inputMethod] = true;
        if (inputMethod)
            g_notes.push_back("Figure 5, the program on an empty folder: private bytes " +
                              Mebibytes(runs[1].idlePrivate.median) + " with its window idle, " +
                              Mebibytes(runs[1].runPrivate.median) +
                              " at most in the whole run (key question, scan thread, final "
                              "count 0); working set " + Mebibytes(runs[1].idleSet.median) +
                              " idle, " + Mebibytes(runs[1].runSet.median) + " at most.");
    }
    return runs[inputMethod];
}

// Measured as Wine runs by default, then once more with its X input method
// off, which shows how much of the total is Xlib's rather than the program's.
void FigureMemory(const std::wstring& target, const std::string& during,
                  const std::vector<std::wstring>& outputs, size_t expected)
{
    for (const bool inputMethod : {true, false}) {
        UseWineInputMethod(inputMethod);
        const MemoryRuns& empty = EmptyFolderRuns(inputMethod);
        const std::string setting = inputMethod ? "" : ", Wine's X input method off";
        Say("figure 5: memory of felnox1decrypt.exe during " + during + setting);
        const MemoryRuns runs = WatchRuns(target, outputs, expected);
        Row row;
        row.number = "5";
        row.reps = g_options.memoryReps;
        row.figure = "peak private bytes of the program during " + during + setting;
        row.floor = "the same program on an empty folder";
        row.figureValue = Mebibytes(runs.runPrivate.median);
        row.floorValue = Mebibytes(empty.runPrivate.median);
        row.ratio = Fixed(runs.runPrivate.median / empty.runPrivate.median, 3);
        row.spread = Fixed(runs.runPrivate.low / 1048576, 2) + " to " +
                     Fixed(runs.runPrivate.high / 1048576, 2) + " MiB";
        row.target = "< 8 MiB";
        row.met = runs.runPrivate.median < 8 * 1048576.0 ? "yes" : "no";
        g_rows.push_back(row);
        g_rows.push_back(OwnShareRow("5", during + setting, runs.ownPrivate, runs.idlePrivate,
                                     g_options.memoryReps));
        if (!inputMethod)
            continue;
        row.figure = "peak working set of the program during " + during;
        row.figureValue = Mebibytes(runs.runSet.median);
        row.floorValue = Mebibytes(empty.runSet.median);
        row.ratio = Fixed(runs.runSet.median / empty.runSet.median, 3);
        row.spread = Fixed(runs.runSet.low / 1048576, 2) + " to " +
                     Fixed(runs.runSet.high / 1048576, 2) + " MiB";
        row.target = row.met = "";
        g_rows.push_back(row);
    }
    UseWineInputMethod(true);
}

void FigureProgramSize()
{
    ProgramMemory notepad;
    if (WatchNotepad(&notepad)) {
        Row row;
        row.number = "5";
        row.figure = "for comparison: Wine's own notepad.exe, idle, private bytes";
        row.floor = "-";
        row.reps = 1;
        row.figureValue = Mebibytes(double(notepad.idlePrivate));
        row.floorValue = row.ratio = row.spread = "-";
        g_rows.push_back(row);
    }

    WIN32_FILE_ATTRIBUTE_DATA data;
    Check(GetFileAttributesExW(g_options.program.c_str(), GetFileExInfoStandard, &data),
          "cannot read the size of the program");
    Row row;
    row.number = "5";
    row.figure = "size of felnox1decrypt.exe";
    row.floor = "-";
    row.reps = 1;
    row.figureValue = Fixed(data.nFileSizeLow / 1024.0, 1) + " KiB";
    row.floorValue = row.ratio = row.spread = "-";
    g_rows.push_back(row);
}

void FiguresOnOrdinaryTree()
{
    const std::wstring tree = g_options.work + L"\\tree";
    TreeShape shape;
    Say("writing " + Count(g_options.treeFiles) + " ordinary files");
    Check(MakeFolder(tree) && MakeOrdinaryTree(tree, g_options.treeFiles, &shape),
          "cannot write the tree");
    g_notes.push_back("Tree of figures 1, 2 and 5: " + Count(shape.files) + " ordinary files in " +
                      Count(shape.folders) + " folders (three levels of ten), " +
                      Mebibytes(double(shape.bytes)) + "; " + Count(shape.tinyFiles) +
                      " files are smaller than the trailer (0 to 135 bytes), the others 136 bytes "
                      "to 8 KiB.");
    FigureWalk(tree, shape);
    if (g_options.Wants(5))
        FigureMemory(tree, "(1)", {}, 0);
    RemoveTree(tree);
}

void FiguresOnLockedFiles()
{
    const std::wstring locked = g_options.work + L"\\locked";
    const std::wstring smallRoot = locked + L"\\small", largeRoot = locked + L"\\large";
    for (Layout layout : {Layout::kPlain, Layout::kTrailer}) {
        const bool memory = layout == Layout::kPlain && g_options.Wants(5);
        if (!g_options.Wants(3) && !memory)
            continue;
        Say(std::string("writing the locked files, ") +
            (layout == Layout::kPlain ? "plain" : "trailer") + " layout");
        LockedSet smallSet, largeSet;
        Check(MakeFolder(locked) &&
                  MakeLockedSet(smallRoot, layout, g_options.smallFiles, g_options.smallSize, 100,
                                &smallSet) &&
                  MakeLockedSet(largeRoot, layout, g_options.largeFiles, g_options.largeSize, 100,
                                &largeSet),
              "cannot write the locked files");
        if (g_options.Wants(3)) {
            // Building the copy under a temporary name, so that a final name
            // always holds a whole copy, may cost small files a tenth more
            // than the 1.92 and 2.07 measured before it. Large files are
            // held to the tmpfs's figure, where no write-back to a disk
            // weighs on the decryption alone (see docs/performance.md).
            FigureDecrypt(layout, smallSet, g_options.smallSize,
                          layout == Layout::kPlain ? 2.1 : 2.3);
            FigureDecrypt(layout, largeSet, g_options.largeSize, 1.10);
        }
        if (memory) {
            std::vector<std::wstring> outputs = smallSet.outputs;
            outputs.insert(outputs.end(), largeSet.outputs.begin(), largeSet.outputs.end());
            FigureMemory(locked, "(3)", outputs, outputs.size());
        }
        RemoveTree(locked);
    }
    g_notes.push_back("Locked files of figure 3: " + Count(g_options.smallFiles) + " of " +
                      Size(g_options.smallSize) + " and " + Count(g_options.largeFiles) + " of " +
                      Size(g_options.largeSize) +
                      " (trailer included), 100 to a folder; the decrypted copies and the floor's "
                      "copies are removed after every round.");
}

// Figure 4: the window's display. The display operations are wrapped to
// count what the scan sends; both variants go through the same wrappers.
ProgressSink g_inner;
uint32_t g_textsSent;
uint32_t g_barChanges;
uint32_t g_lastBar;

void CountText(const wchar_t* text)
{
    ++g_textsSent;
    g_inner.setStatusText(text);
}
void PassRange() { g_inner.setBarRange(); }
void CountPosition(uint32_t position)
{
    if (position != g_lastBar) {
        ++g_barChanges;
        g_lastBar = position;
    }
    g_inner.setBarPosition(position);
}
void PassColor() { g_inner.setBarColor(); }
const ProgressSink kCounting = {CountText, PassRange, CountPosition, PassColor};

double ScanWithDisplay(const std::wstring& root, const ProgressSink& display)
{
    g_inner = display;
    g_progress = kCounting;
    g_textsSent = g_barChanges = 0;
    g_lastBar = UINT32_MAX;
    const double seconds = TimedScan(root);
    g_progress = g_noDisplay;
    return seconds;
}

void FigureDisplay()
{
    const std::wstring root = g_options.work + L"\\display";
    TreeShape shape;
    std::vector<std::wstring> outputs;
    Say("writing the folder of figure 4");
    Check(MakeDisplayTree(root, g_options.displayFiles, &shape, &outputs),
          "cannot write the folder of figure 4");
    UseKey(Layout::kPlain);
    std::vector<double> texts, barChanges;
    std::vector<std::vector<double>> seconds;
    const bool opened = WithMainWindow([&] {
        const ProgressSink window = g_progress;
        g_progress = g_noDisplay;
        auto variant = [&](const ProgressSink& display, bool record) -> Run {
            return [&, display, record] {
                const double time = ScanWithDisplay(root, display);
                Check(g_counters.filesDecrypted == outputs.size(),
                      "figure 4: not every locked file was decrypted");
                if (record) {
                    texts.push_back(g_textsSent);
                    barChanges.push_back(g_barChanges);
                }
                return time;
            };
        };
        Say("figure 4: folder scan with the window's display against display hooks doing nothing");
        seconds = Interleave(g_options.reps, {variant(window, true), variant(g_noDisplay, false)},
                             [&] { Check(DeleteAll(outputs), "figure 4: an output was missing"); });
    });
    Check(opened, "cannot open the main window");
    RemoveTree(root);

    const std::string scan = "folder scan of " + Count(shape.files) + " files";
    g_rows.push_back(RatioRow("4", scan + " with the window's display",
                              "the same scan, display hooks doing nothing", seconds[0], seconds[1],
                              1.25));
    // The warm-up run is recorded too; the rounds' counts follow it.
    texts.erase(texts.begin());
    barChanges.erase(barChanges.begin());
    const Spread sent = Summarize(texts), changes = Summarize(barChanges);
    Row row;
    row.number = "4";
    row.figure = "status texts the window got in that scan (bar changes: " +
                 Count(size_t(changes.median)) + ")";
    row.floor = "display updates at every entry";
    row.reps = int(texts.size());
    row.figureValue = Count(size_t(sent.median));
    row.floorValue = Count(shape.Entries());
    row.ratio = Fixed(sent.median / double(shape.Entries()), 4);
    row.spread = Count(size_t(sent.low)) + " to " + Count(size_t(sent.high)) + " texts";
    g_rows.push_back(row);
    g_notes.push_back("Folder of figure 4: " + Count(shape.files) + " files in " +
                      Count(shape.folders) + " folders of 200, one in a hundred locked (plain "
                      "layout, 4 KiB), so that the bar moves; the window is the program's own "
                      "dialog, shown by the benchmark's main thread while a second thread scans, "
                      "as in the program.");
}

// Figure 6: a full drive's worth of entries, scanned by the real program
// through its window as a user meets it, against the bare walk of the same
// tree; and the program's memory on the way.
void FigureScale()
{
    const std::wstring root = g_options.work + L"\\scale";
    TreeShape shape;
    std::vector<std::wstring> outputs;
    Say("writing the tree of figure 6: " + Count(g_options.scaleEntries) + " entries");
    const double writing = Now();
    Check(MakeFolder(root) && MakeScaleTree(root, g_options.scaleEntries, &shape, &outputs),
          "cannot write the tree of figure 6");
    Say("  written in " + Fixed(Now() - writing, 0) + " s");
    std::vector<double> idlePrivate, runPrivate, ownPrivate;
    const Run program = [&] {
        ProgramMemory memory;
        std::string error;
        Check(WatchProgram(g_options.work + L"\\program", root, &memory, &error),
              "figure 6: " + error);
        Check(memory.decrypted == outputs.size(), "figure 6: the program reported another count");
        idlePrivate.push_back(double(memory.idlePrivate));
        runPrivate.push_back(RunPrivate(memory));
        ownPrivate.push_back(RunPrivate(memory) - double(memory.idlePrivate));
        return memory.seconds;
    };
    const Run floor = BareWalk(root, shape, "figure 6");
    Say("figure 6: felnox1decrypt.exe scanning the tree through its window against "
        "FindFirstFileW/FindNextFileW");
    const auto seconds = Interleave(g_options.reps, {program, floor},
                                    [&] { DeleteAll(outputs); });
    RemoveTree(root);

    const std::string what = "felnox1decrypt.exe, folder scan of " +
                             Count(shape.Entries()) + " entries through its window";
    g_rows.push_back(RatioRow("6", what, "FindFirstFileW/FindNextFileW walk", seconds[0],
                              seconds[1], 1.5));
    // The warm-up run is recorded too; the rounds follow it.
    for (std::vector<double>* values : {&idlePrivate, &runPrivate, &ownPrivate})
        values->erase(values->begin());
    Row peak;
    peak.number = "6";
    peak.reps = g_options.reps;
    peak.figure = "peak private bytes of the program during (6)";
    peak.floor = "-";
    peak.figureValue = Mebibytes(Summarize(runPrivate).median);
    peak.floorValue = peak.ratio = "-";
    peak.spread = Fixed(Summarize(runPrivate).low / 1048576, 2) + " to " +
                  Fixed(Summarize(runPrivate).high / 1048576, 2) + " MiB";
    g_rows.push_back(peak);
    g_rows.push_back(OwnShareRow("6", "(6)", Summarize(ownPrivate), Summarize(idlePrivate),
                                 g_options.reps));
    g_notes.push_back("Tree of figure 6: " + Count(shape.Entries()) + " entries, " +
                      Count(shape.files) + " files in " + Count(shape.folders) +
                      " folders (three levels of ten), the files empty but one in a thousand, "
                      "locked (plain layout, 4 KiB); timed from Yes to the key file's question "
                      "to the final count, with the program's window showing the scan.");
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--work" && hasValue)
            g_options.work = argv[++i];
        else if (arg == L"--program" && hasValue)
            g_options.program = argv[++i];
        else if (arg == L"--markdown" && hasValue)
            g_options.markdown = argv[++i];
        else if (arg == L"--reps" && hasValue)
            g_options.reps = _wtoi(argv[++i]);
        else if (arg == L"--memory-reps" && hasValue)
            g_options.memoryReps = _wtoi(argv[++i]);
        else if (arg == L"--only" && hasValue) {
            for (const wchar_t* p = argv[++i]; *p; ++p)
                if (*p >= L'1' && *p <= L'6')
                    g_options.only.insert(*p - L'0');
        } else if (arg == L"--quick") {
            g_options.treeFiles = 5000;
            g_options.smallFiles = 200;
            g_options.largeFiles = 10;
            g_options.displayFiles = 2000;
            g_options.scaleEntries = 20000;
            g_options.reps = 3;
            g_options.memoryReps = 2;
        } else {
            fprintf(stderr, "unknown argument: %ls\n", arg.c_str());
            return 1;
        }
    }
    if (g_options.work.empty() || g_options.program.empty() || g_options.reps < 1 ||
        g_options.memoryReps < 1) {
        fprintf(stderr, "usage: felnox_bench --work FOLDER --program EXE [--reps N] "
                        "[--memory-reps N] [--quick] [--only 123456] [--markdown FILE]\n");
        return 1;
    }
    // The scan works on \\?\ paths; the floors get the same.
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(g_options.work.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        fprintf(stderr, "cannot use %ls as the work folder\n", g_options.work.c_str());
        return 1;
    }
    g_options.work = std::wstring(L"\\\\?\\") + full;
    g_noDisplay = g_progress;
    PrepareWork();

    if (g_options.Wants(1) || g_options.Wants(2) || g_options.Wants(5))
        FiguresOnOrdinaryTree();
    if (g_options.Wants(3) || g_options.Wants(5))
        FiguresOnLockedFiles();
    if (g_options.Wants(4))
        FigureDisplay();
    if (g_options.Wants(6))
        FigureScale();
    if (g_options.Wants(5))
        FigureProgramSize();
    RemoveTree(g_options.work);

    printf("\n%s\n", TextTable(g_rows).c_str());
    if (!g_profile.empty())
        printf("Where a decryption's time goes, per file:\n%s\n", TextTable(g_profile).c_str());
    for (const std::string& note : g_notes)
        printf("%s\n", note.c_str());
    if (!g_options.markdown.empty()) {
        FILE* out = _wfopen(g_options.markdown.c_str(), L"wb");
        Check(out != nullptr, "cannot write " + Narrow(g_options.markdown));
        fputs(MarkdownTable(g_rows).c_str(), out);
        fputs("\n", out);
        if (!g_profile.empty())
            fprintf(out, "Where a decryption's time goes, per file:\n\n%s\n",
                    MarkdownTable(g_profile).c_str());
        for (const std::string& note : g_notes)
            fprintf(out, "- %s\n", note.c_str());
        fclose(out);
    }
    return 0;
}
