#include "file_access.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define ORV_POSIX 1
#endif

namespace orv {

namespace {

namespace fs = std::filesystem;

#ifdef ORV_POSIX
fs::file_type TypeOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return fs::file_type::regular;
    }
    if (S_ISDIR(mode)) {
        return fs::file_type::directory;
    }
    if (S_ISCHR(mode)) {
        return fs::file_type::character;
    }
    if (S_ISBLK(mode)) {
        return fs::file_type::block;
    }
    if (S_ISFIFO(mode)) {
        return fs::file_type::fifo;
    }
    if (S_ISSOCK(mode)) {
        return fs::file_type::socket;
    }
    if (S_ISLNK(mode)) {
        return fs::file_type::symlink;
    }
    return fs::file_type::unknown;
}
#endif

constexpr char kSqliteHeader[] = "SQLite format 3"; // and its terminating zero: 16 bytes

bool HasSqliteHeader(const std::string& path) {
    const InputFile head = ReadInputFile(path, sizeof kSqliteHeader);
    return head.ok && head.data == std::string(kSqliteHeader, sizeof kSqliteHeader);
}

} // namespace

std::string SystemErrorText(int error) {
    switch (error) {
    case ENOENT:
        return "Нет такого файла или папки.";
    case ENOTDIR:
        return "Часть пути не является папкой.";
    case EACCES:
    case EPERM:
        return "Нет прав доступа.";
    case EROFS:
        return "Файловая система доступна только для чтения.";
    case ENOSPC:
        return "Недостаточно места на диске.";
    case ENAMETOOLONG:
        return "Слишком длинное имя файла.";
    case ENOTTY:
        return "Это не последовательный порт: устройство не является терминалом.";
    case EBUSY:
        return "Устройство занято другой программой.";
    case EISDIR:
        return "Это папка, а не файл.";
    case EEXIST:
        return "Такой файл уже есть.";
    case EIO:
        return "Ошибка ввода-вывода.";
    case ENXIO:
    case ENODEV:
        return "Устройство не найдено.";
    case EFBIG:
        return "Файл слишком велик.";
    case EMFILE:
    case ENFILE:
        return "Открыто слишком много файлов.";
#ifdef ELOOP
    case ELOOP:
        return "Символические ссылки замыкаются в петлю.";
#endif
#ifdef EDQUOT
    case EDQUOT:
        return "Превышена дисковая квота.";
#endif
    default:
        return std::strerror(error);
    }
}

std::string NotRegularFileText(fs::file_type type) {
    switch (type) {
    case fs::file_type::regular:
        return {};
    case fs::file_type::directory:
        return "Это папка, а не файл.";
    case fs::file_type::character:
    case fs::file_type::block:
        return "Это устройство, а не файл.";
    case fs::file_type::fifo:
        return "Это именованный канал, а не файл.";
    case fs::file_type::socket:
        return "Это сокет, а не файл.";
    default:
        return "Это не обычный файл.";
    }
}

bool IsSqliteFile(const std::string& path) {
    if (HasSqliteHeader(path)) {
        return true;
    }
    // What SQLite keeps beside a database carries no header of its own that says so.
    for (const std::string_view suffix : {"-wal", "-shm", "-journal"}) {
        if (path.size() > suffix.size() && path.ends_with(suffix) &&
            HasSqliteHeader(path.substr(0, path.size() - suffix.size()))) {
            return true;
        }
    }
    return false;
}

InputFile ReadInputFile(const std::string& path, std::size_t limit) {
    InputFile file;
#ifdef ORV_POSIX
    // Looked at before it is opened: opening a serial port sets its lines, opening a tape
    // rewinds it.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        file.reason = SystemErrorText(errno);
        return file;
    }
    if (!S_ISREG(st.st_mode)) {
        file.reason = NotRegularFileText(TypeOf(st.st_mode));
        return file;
    }
    // Without blocking, and checked again: the name may stand for something else by now.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        file.reason = SystemErrorText(errno);
        return file;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        file.reason = NotRegularFileText(TypeOf(st.st_mode));
        ::close(fd);
        return file;
    }
    const auto expected = static_cast<std::size_t>(st.st_size);
    file.data.resize(std::min(limit, expected));
    std::size_t done = 0;
    for (;;) {
        if (done == file.data.size()) {
            // The file may have grown since: take what the limit allows.
            if (done >= limit) {
                break;
            }
            file.data.resize(std::min(limit, done + 4096));
        }
        const ssize_t n = ::read(fd, file.data.data() + done, file.data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            file.reason = SystemErrorText(errno);
            ::close(fd);
            file.data.clear();
            return file;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    file.data.resize(done);
#else
    std::error_code ec;
    const fs::file_status status = fs::status(fs::path(path), ec);
    if (ec) {
        file.reason = SystemErrorText(ec.value());
        return file;
    }
    if (status.type() != fs::file_type::regular) {
        file.reason = NotRegularFileText(status.type());
        return file;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        file.reason = SystemErrorText(errno ? errno : ENOENT);
        return file;
    }
    file.data.resize(limit);
    in.read(file.data.data(), static_cast<std::streamsize>(limit));
    if (in.bad()) {
        file.reason = SystemErrorText(EIO);
        file.data.clear();
        return file;
    }
    file.data.resize(static_cast<std::size_t>(in.gcount()));
#endif
    file.ok = true;
    return file;
}

} // namespace orv
