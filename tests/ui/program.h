// Runs the real felnox1decrypt.exe from a folder of its own and drives it.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/driver.h"

extern const wchar_t kTitle[]; // the main window's title, with the version of ui/version.h
extern const wchar_t kCaption[];
extern const wchar_t kFirstTitle[];
extern const wchar_t kSecondTitle[];

enum : DWORD {
    kWait = 20000,
    kLongWait = 120000, // for what the copy of the slow file holds up
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program with one argument (none if empty) and waits for its window.
    void Start(const std::wstring& argument);
    void StartWithArguments(const std::wstring& commandLine);
    // Starts the program by its \\?\ path, as some launchers do.
    void StartByExtendedPath(const std::wstring& argument);
    void PutKeyBesideProgram(const Bytes& key);
    // Puts the key beside the program, starts it on data_, presses Continue
    // and answers Yes to the key file's question: the scan begins.
    void StartScanWithKeyBeside(const Bytes& key);

    // Waits for a box with the program's caption; returns it and puts its text in *text.
    HWND WaitForBox(std::wstring* text);
    // Waits for a box, checks its text and presses the button.
    void Answer(const std::wstring& expected, int button);
    HWND WaitForOpen(const wchar_t* title);
    void Choose(const wchar_t* title, const std::wstring& path);
    void PressContinue();
    void ExpectEndsAfterExit();

    // The slow step of a scan, on purpose: a plain-layout locked file in data_
    // whose copy takes long (sparse, so cheap to make), of an original of zeros.
    void PutSlowFile(const Bytes& keystream);
    // Holds the scan still (the program's threads but the window's suspended)
    // in the middle of the slow file's copy: its temporary copy is there.
    // False when the scan never came to it.
    bool FreezeScanInSlowCopy();
    void ThawScan();
    // The slow file's decrypted copy, and whether it is there and complete.
    std::wstring SlowCopyPath() const;
    bool IsCompleteSlowCopy() const;

    std::wstring folder_;   // scratch space of the test
    std::wstring program_;  // folder that holds the copy of the program
    std::wstring data_;     // the folder to scan
    std::wstring exe_;      // the program, \\?\ path
    uidriver::Process process_;
    HWND window_ = nullptr;
    std::vector<HANDLE> frozen_; // the threads FreezeScanInSlowCopy suspended
};

// The temporary copies (~felnox1-...) in the folder and below it.
std::vector<std::wstring> TemporaryCopiesIn(const std::wstring& folder);
