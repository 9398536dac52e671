#include "safe_save.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
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

} // namespace

void SetInjectedSaveError(int error) {
    g_injectedError = error;
}

SaveResult SaveFileAtomically(const std::string& path, const std::string& content) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(fs::path(path), ec)) {
        return Failure(path, EISDIR);
    }
    const std::string temp = TemporaryName(path);
    std::FILE* f = std::fopen(temp.c_str(), "wbx");
    if (!f) {
        return Failure(path, errno);
    }
    int error = 0;
    if (g_injectedError != 0) {
        error = g_injectedError;
    } else if (std::fwrite(content.data(), 1, content.size(), f) != content.size() || std::fflush(f) != 0) {
        error = errno;
    }
#ifdef ORV_POSIX
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
    fs::rename(fs::path(temp), fs::path(path), ec);
    if (ec) {
        std::remove(temp.c_str());
        return Failure(path, ec.value());
    }
    return {true, {}};
}

} // namespace orv
