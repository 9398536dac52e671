#pragma once

// What the program reads and writes is a regular file: a name that stands for a device, a FIFO,
// a socket or a folder is refused before it is opened, so nothing waits on it or replaces it.

#include <cstddef>
#include <filesystem>
#include <string>

namespace orv {

// The system's reason for a failed file or port operation, in Russian whatever the locale: the
// common ones (no such file, permission, read-only, no space, name too long, not a terminal,
// busy, ...) have a sentence of their own, the rarer ones keep the system's text.
std::string SystemErrorText(int error);

// Why a name of that kind cannot be read or saved as a file ("Это устройство, а не файл.");
// empty for a regular file.
std::string NotRegularFileText(std::filesystem::file_type type);

// Whether the file is an SQLite database (the journal among them) or one of the files SQLite
// keeps beside one (-wal, -shm, -journal): no document is ever written over them.
bool IsSqliteFile(const std::string& path);

struct InputFile {
    bool ok = false;
    std::string data;   // at most the limit asked for
    std::string reason; // when not ok: why, in Russian
};

// Reads a regular file, or the one a link names, up to `limit` bytes. Anything else is refused
// at once: a FIFO or a terminal would wait for a writer, a device could act on being opened.
InputFile ReadInputFile(const std::string& path, std::size_t limit);

} // namespace orv
