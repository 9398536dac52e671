#pragma once

#include <string>

namespace orv {

// The outcome of writing a file; `message` is for the user, in Russian.
struct SaveResult {
    bool ok = false;
    std::string message;
};

// Writes the whole content to a temporary file next to `path` and only then puts it in place of
// the old file, so a full disk, a read-only folder or a vanished folder leaves the old file as
// it was. What the user set up around the file stays: through a symbolic link the link's target
// is replaced, a replaced file keeps its permission bits (the temporary file is created with
// them), and where the folder takes no new file but the file itself is writable, the file is
// overwritten in place (space reserved first, flushed and synced). Only a regular file is
// replaced: a device, a FIFO, a socket, a folder, a loop of links and an SQLite database (the
// journal) are refused, each with its reason.
SaveResult SaveFileAtomically(const std::string& path, const std::string& content);

// Test seam: when set, the write of the temporary file fails with this errno value.
void SetInjectedSaveError(int error);
// Test seam: when set, called with the temporary file's path as soon as it exists.
void SetTemporaryFileProbe(void (*probe)(const std::string& path));

} // namespace orv
