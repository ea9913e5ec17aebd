// Scans of a folder under a fault, and what every such scan must leave:
// every locked file byte for byte as it was, no file added but the expected
// decrypted copies (none half-written), and a count equal to the copies.
#pragma once

#include <functional>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "scan/state.h"
#include "tests/reliability/access.h"
#include "tests/support/tree.h"

class FaultScanTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts the layout's key in place; the locked files below follow it.
    void UseLayout(Layout layout);

    // The name under which a file called `name` lies locked in the layout.
    std::wstring LockedName(const std::wstring& name) const;

    // Writes the locked copy of `original`, named after `name`, into
    // root\folder (folder relative, "" for root itself) and returns its path.
    // With expectCopy its decrypted copy is among the outputs that the scan
    // of root must add.
    std::wstring Lock(const std::wstring& root, const std::wstring& folder, const std::wstring& name,
                      const Bytes& original, bool expectCopy = true);
    // The same under the locked name itself; `taken` of the names tried for
    // the copy exist already.
    std::wstring LockAs(const std::wstring& root, const std::wstring& folder,
                        const std::wstring& lockedName, const Bytes& original, bool expectCopy,
                        unsigned taken = 0);
    // A decrypted copy the scan of root must add, relative to root.
    void ExpectCopy(const std::wstring& relative, const Bytes& bytes) { outputs_[relative] = bytes; }
    size_t ExpectedCopies() const { return outputs_.size(); }

    // ScanPath on root from fresh counters: the scan's own result and count.
    void Scan(const std::wstring& root);
    // root now holds what `before` held and exactly the expected copies.
    void ExpectOnlyCopiesAdded(const std::wstring& root, const Snapshot& before);

    // Runs `fault` once, when the walk shows `text` in the status line: the
    // display is updated between two entries, after the walk has seen the
    // next entry and before it handles it.
    void OnStatusText(const std::wstring& text, std::function<void()> fault);
    size_t FaultsNotRun() const;

    // SetFolderAccess, undone (back to kFull) after the test.
    bool Restrict(const std::wstring& folder, FolderAccess access);

    Layout layout_ = Layout::kPlain;
    std::wstring root_; // a scratch folder, removed afterwards

private:
    Snapshot outputs_;
    ProgressSink saved_;
    uint64_t (*savedClock_)();
    std::map<std::wstring, FolderAccess> restricted_; // and not given back yet
};

// The value of an environment variable, empty when it is not set.
std::wstring Environment(const wchar_t* name);

// Whether a file of that path can exist here (made and removed at once).
bool CanCreate(const std::wstring& path);

// The path joined to a name; the name alone when the path is empty.
std::wstring Join(const std::wstring& folder, const std::wstring& name);
