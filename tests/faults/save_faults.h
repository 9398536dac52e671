#pragma once

// Folders in which saving a file fails in a given way, for the tests of every place that saves:
// a full disk, a read-only folder, a folder that has gone, and the same failures injected where
// the platform does not let a test set them up for real.

#include "support/temp_dir.h"

#include <ostream>
#include <string>

namespace orv::test {

enum class SaveFault {
    FullDisk,         // a small tmpfs filled up (needs the right to mount)
    ReadOnlyFolder,   // permissions, or a read-only bind mount when they are ignored
    VanishedFolder,   // the name's folder was removed after it was chosen
    InjectedNoSpace,  // the write fails with ENOSPC
    InjectedReadOnly, // the write fails with EROFS
};

const char* SaveFaultName(SaveFault fault);
// How a failing case names its fault.
inline void PrintTo(SaveFault fault, std::ostream* os) {
    *os << SaveFaultName(fault);
}

// One prepared folder. The file to save is Target(); when the fault leaves an old file in its
// place, OldContent() is what it held. Everything is undone on destruction.
class FaultyFolder {
public:
    explicit FaultyFolder(SaveFault fault);
    ~FaultyFolder();
    FaultyFolder(const FaultyFolder&) = delete;
    FaultyFolder& operator=(const FaultyFolder&) = delete;

    // Empty when ready; otherwise why this platform cannot have the fault (the test skips).
    const std::string& Unavailable() const { return unavailable_; }

    const std::string& Folder() const { return folder_; }
    const std::string& Target() const { return target_; }
    bool HasOldFile() const { return !oldContent_.empty(); }
    const std::string& OldContent() const { return oldContent_; }
    // The sentence the user must be shown as the reason.
    const std::string& Reason() const { return reason_; }
    // The folder's entries once the fault is armed; a failed save must leave exactly these.
    const std::vector<std::string>& Entries() const { return entries_; }
    std::vector<std::string> EntriesNow() const;

private:
    bool Mount(const std::string& source, const char* type, unsigned long flags, const char* options);

    TempDir dir_;
    std::string folder_;
    std::string target_;
    std::string oldContent_;
    std::string reason_;
    std::string unavailable_;
    std::vector<std::string> entries_;
    std::vector<std::string> mounts_;
    bool injected_ = false;
};

// A folder that takes no new file while its one file, Target(), stays writable: by permissions
// where they hold, otherwise by a read-only bind mount with the file mounted writable on top.
class ClosedFolder {
public:
    ClosedFolder();
    ~ClosedFolder();
    ClosedFolder(const ClosedFolder&) = delete;
    ClosedFolder& operator=(const ClosedFolder&) = delete;

    // Empty when ready; otherwise why this platform cannot set it up (the test skips).
    const std::string& Unavailable() const { return unavailable_; }
    const std::string& Folder() const { return folder_; }
    const std::string& Target() const { return target_; }

private:
    TempDir dir_;
    std::string folder_;
    std::string target_;
    std::string unavailable_;
    std::vector<std::string> mounts_;
};

// Reads a whole file; empty when it cannot.
std::string ReadWholeFile(const std::string& path);

} // namespace orv::test
