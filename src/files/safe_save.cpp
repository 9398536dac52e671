#include "safe_save.h"

#include "files/file_access.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define ORV_POSIX 1
#endif

namespace orv {

namespace {

namespace fs = std::filesystem;

int g_injectedError = 0;
void (*g_temporaryFileProbe)(const std::string&) = nullptr;

std::string Reason(int error) {
    switch (error) {
    case ENOSPC:
        return "Недостаточно места на диске.";
    case EACCES:
    case EPERM:
        return "Нет прав на запись в эту папку.";
    case EROFS:
        return "Папка доступна только для чтения.";
    case ENOENT:
    case ENOTDIR:
        return "Папка не найдена.";
    case EISDIR:
        return "Под этим именем уже есть папка.";
    default:
        return SystemErrorText(error);
    }
}

SaveResult Refused(const std::string& path, const std::string& reason) {
    return {false, "Не удалось сохранить файл\r\n" + path + "\r\n" + reason};
}

SaveResult Failure(const std::string& path, int error) {
    return Refused(path, Reason(error));
}

// The longest file name the folder takes; the temporary name must fit it whatever the target's.
std::size_t NameMax(const fs::path& folder) {
#ifdef ORV_POSIX
    const long max = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (max > 0) {
        return static_cast<std::size_t>(max);
    }
#else
    (void)folder;
#endif
    return 255;
}

// Beside the target, named after it so a leftover is recognised, cut short (at a whole UTF-8
// character) when the target's name leaves no room for the suffix.
std::string TemporaryName(const std::string& target) {
    static constexpr std::size_t kSuffix = 10; // ".~" and eight hex digits
    const fs::path p(target);
    std::string name = p.filename().string();
    const std::size_t max = NameMax(p.parent_path());
    if (name.size() + kSuffix > max) {
        std::size_t cut = max > kSuffix ? max - kSuffix : 0;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        name.resize(cut);
    }
    std::random_device rd;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".~%08x", static_cast<unsigned>(rd()));
    return (p.parent_path() / (name + suffix)).string();
}

struct Target {
    std::string path;
    int error = 0;
};

// The file a chain of symbolic links ends at (which need not exist yet). A chain that never
// ends, a loop, is refused: replacing the link would break what the user set up.
Target FinalTarget(const std::string& path) {
    fs::path p(path);
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec))) {
            return {p.string(), 0};
        }
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) {
            return {path, ec.value()};
        }
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return {path, ELOOP};
}

// Why the target must not be replaced; empty when it may be (a regular file, or nothing yet).
// error: the system's refusal to even look at it.
std::string Refusal(const std::string& target, int& error) {
    std::error_code ec;
    const fs::file_status status = fs::status(fs::path(target), ec);
    if (ec && ec.value() != ENOENT && ec.value() != ENOTDIR) {
        error = ec.value();
        return {};
    }
    if (status.type() == fs::file_type::not_found) {
        return {};
    }
    if (status.type() == fs::file_type::directory) {
        return Reason(EISDIR);
    }
    if (status.type() != fs::file_type::regular) {
        return NotRegularFileText(status.type());
    }
    if (IsSqliteFile(target)) {
        return "Это файл базы данных SQLite (например, журнала программы), записать поверх него нельзя.";
    }
    return {};
}

#ifdef ORV_POSIX
// A replaced file keeps its owner where allowed; the temporary file was created with its
// permission bits, less what the umask took, which are put back here.
void KeepOwnerAndMode(int fd, const struct stat& old) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) {
        return;
    }
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
        if (::fchown(fd, old.st_uid, old.st_gid) == 0) {
            ::fstat(fd, &now); // chown clears set-id bits
        }
    }
    if ((now.st_mode & 07777) != (old.st_mode & 07777)) {
        ::fchmod(fd, old.st_mode & 07777);
    }
}

// Overwrites an existing, writable regular file where it stands. The space is reserved before
// the first byte changes, so a full disk leaves the old content. -1: not possible here (the
// caller reports its own reason), 0: written, else the errno of the failure.
int WriteInPlace(const std::string& target, const std::string& content) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    int error = g_injectedError;
    const auto size = static_cast<off_t>(content.size());
    if (error == 0 && size > st.st_size) {
        error = ::posix_fallocate(fd, 0, size);
    }
    for (std::size_t done = 0; error == 0 && done < content.size();) {
        const ssize_t n =
            ::pwrite(fd, content.data() + done, content.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno != EINTR) {
            error = errno;
        } else if (n > 0) {
            done += static_cast<std::size_t>(n);
        }
    }
    if (error == 0 && ::ftruncate(fd, size) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

// Writes the temporary file: created with the permission bits the file will have (a private
// file is never readable by others, not even for a moment), written whole and synced. 0, or
// the errno of the failure (the temporary file is gone then); -1 with errno: not created.
int WriteTemporary(const std::string& target, const std::string& content, std::string& temp) {
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    const mode_t mode = replacing ? (old.st_mode & 0777) : 0666;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = TemporaryName(target);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) {
            return -1;
        }
    }
    if (fd < 0) {
        return -1;
    }
    if (g_temporaryFileProbe) {
        g_temporaryFileProbe(temp);
    }
    int error = g_injectedError;
    for (std::size_t done = 0; error == 0 && done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno != EINTR) {
            error = errno;
        } else if (n > 0) {
            done += static_cast<std::size_t>(n);
        }
    }
    if (error == 0 && replacing) {
        KeepOwnerAndMode(fd, old);
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.c_str());
    }
    return error;
}
#else
int WriteInPlace(const std::string&, const std::string&) {
    return -1;
}

int WriteTemporary(const std::string& target, const std::string& content, std::string& temp) {
    temp = TemporaryName(target);
    std::FILE* f = std::fopen(temp.c_str(), "wbx");
    if (!f) {
        return -1;
    }
    if (g_temporaryFileProbe) {
        g_temporaryFileProbe(temp);
    }
    int error = g_injectedError;
    if (error == 0 &&
        (std::fwrite(content.data(), 1, content.size(), f) != content.size() || std::fflush(f) != 0)) {
        error = errno;
    }
    if (std::fclose(f) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        std::remove(temp.c_str());
    }
    return error;
}
#endif

} // namespace

void SetInjectedSaveError(int error) {
    g_injectedError = error;
}

void SetTemporaryFileProbe(void (*probe)(const std::string& path)) {
    g_temporaryFileProbe = probe;
}

SaveResult SaveFileAtomically(const std::string& path, const std::string& content) {
    // Through a symbolic link the file the link names is replaced; the link stays.
    const Target target = FinalTarget(path);
    if (target.error != 0) {
        return Failure(path, target.error);
    }
    int error = 0;
    if (const std::string refusal = Refusal(target.path, error); !refusal.empty()) {
        return Refused(path, refusal);
    }
    if (error != 0) {
        return Failure(path, error);
    }
    std::string temp;
    error = WriteTemporary(target.path, content, temp);
    if (error == -1) {
        error = errno;
        if (error == EACCES || error == EPERM || error == EROFS) {
            // The folder takes no new file, but the file itself may still be writable.
            if (const int inPlace = WriteInPlace(target.path, content); inPlace != -1) {
                return inPlace == 0 ? SaveResult{true, {}} : Failure(path, inPlace);
            }
        }
        return Failure(path, error);
    }
    if (error != 0) {
        return Failure(path, error);
    }
    std::error_code ec;
    fs::rename(fs::path(temp), fs::path(target.path), ec);
    if (ec) {
        std::remove(temp.c_str());
        return Failure(path, ec.value());
    }
    return {true, {}};
}

} // namespace orv
