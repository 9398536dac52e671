#include "safe_save.h"

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

int g_injectedError = 0;

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
        return std::strerror(error);
    }
}

SaveResult Failure(const std::string& path, int error) {
    return {false, "Не удалось сохранить файл\r\n" + path + "\r\n" + Reason(error)};
}

std::string TemporaryName(const std::string& path) {
    std::random_device rd;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".~%08x", static_cast<unsigned>(rd()));
    return path + suffix;
}

// The file a chain of symbolic links ends at (which need not exist yet); the path itself when it
// is no link or the chain cannot be followed.
std::string FinalTarget(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path p(path);
    std::error_code ec;
    for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hop) {
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) {
            return path;
        }
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return p.string();
}

#ifdef ORV_POSIX
// A replaced file keeps the permission bits (and, where allowed, the owner) the user gave it.
void KeepOwnerAndMode(const std::string& target, int fd) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        return;
    }
    ::fchmod(fd, old.st_mode & 07777);
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
        if (::fchown(fd, old.st_uid, old.st_gid) == 0) {
            ::fchmod(fd, old.st_mode & 07777); // chown clears set-id bits
        }
    }
}
#endif

// Overwrites an existing, writable regular file where it stands. The space is reserved before
// the first byte changes, so a full disk leaves the old content. -1: not possible here (the
// caller reports its own reason), 0: written, else the errno of the failure.
int WriteInPlace(const std::string& target, const std::string& content) {
#ifdef ORV_POSIX
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
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
#else
    (void)target;
    (void)content;
    return -1;
#endif
}

} // namespace

void SetInjectedSaveError(int error) {
    g_injectedError = error;
}

SaveResult SaveFileAtomically(const std::string& path, const std::string& content) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Through a symbolic link the file the link names is replaced; the link stays.
    const std::string target = FinalTarget(path);
    if (fs::is_directory(fs::path(target), ec)) {
        return Failure(path, EISDIR);
    }
    const std::string temp = TemporaryName(target);
    std::FILE* f = std::fopen(temp.c_str(), "wbx");
    if (!f) {
        const int error = errno;
        if (error == EACCES || error == EPERM || error == EROFS) {
            // The folder takes no new file, but the file itself may still be writable.
            if (const int inPlace = WriteInPlace(target, content); inPlace != -1) {
                return inPlace == 0 ? SaveResult{true, {}} : Failure(path, inPlace);
            }
        }
        return Failure(path, error);
    }
    int error = 0;
    if (g_injectedError != 0) {
        error = g_injectedError;
    } else if (std::fwrite(content.data(), 1, content.size(), f) != content.size() || std::fflush(f) != 0) {
        error = errno;
    }
#ifdef ORV_POSIX
    if (error == 0) {
        KeepOwnerAndMode(target, ::fileno(f));
    }
    if (error == 0 && ::fsync(::fileno(f)) != 0) {
        error = errno;
    }
#endif
    if (std::fclose(f) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        std::remove(temp.c_str());
        return Failure(path, error);
    }
    fs::rename(fs::path(temp), fs::path(target), ec);
    if (ec) {
        std::remove(temp.c_str());
        return Failure(path, ec.value());
    }
    return {true, {}};
}

} // namespace orv
