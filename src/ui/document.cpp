#include "document.h"

#include "files/config_file.h"
#include "short_path.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orv {

namespace {

// Far above any configuration file: what is larger is not one, and is not read whole.
constexpr qint64 kMaxFileBytes = 64LL * 1024 * 1024;

QString DeviceText(const std::optional<SettingsList>& settings) {
    if (!settings) {
        return QStringLiteral("не конфигурация прибора");
    }
    return QStringLiteral("«%1»").arg(QString::fromStdString(settings->deviceName));
}

#ifdef Q_OS_UNIX
// A FIFO or a device would block a plain open or read: opened without blocking and refused
// unless it is a regular file.
bool ReadRegularFile(const QString& path, std::string& bytes) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxFileBytes;
    if (ok) {
        bytes.clear();
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                bytes.append(buffer, static_cast<std::size_t>(n));
                if (static_cast<qint64>(bytes.size()) > kMaxFileBytes) {
                    ok = false;
                    break;
                }
            } else if (n == 0) {
                break;
            } else if (errno != EINTR) {
                ok = false;
                break;
            }
        }
    }
    ::close(fd);
    return ok;
}
#else
bool ReadRegularFile(const QString& path, std::string& bytes) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) {
        return false;
    }
    const QByteArray all = file.readAll();
    bytes.assign(all.constData(), static_cast<std::size_t>(all.size()));
    return file.error() == QFileDevice::NoError;
}
#endif

} // namespace

QByteArray Sha256(const std::string& bytes) {
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                    QCryptographicHash::Sha256)
        .toHex();
}

TFileContent ReadFileContent(const QString& path) {
    TFileContent content;
    const QFileInfo info(path);
    // A dangling link or a loop is there all the same: a save would replace it.
    content.exists = info.exists() || info.isSymLink();
    if (!content.exists || !ReadRegularFile(path, content.bytes)) {
        content.bytes.clear();
        return content;
    }
    content.read = true;
    content.sha256 = Sha256(content.bytes);
    TProgramState state;
    if (ReadConfigDocument(state, content.bytes.data(), content.bytes.size())) {
        content.settings = ListSettings(state);
    }
    return content;
}

void TDocument::SetFile(const QString& file, const QByteArray& sha256, std::optional<SettingsList> settings) {
    file_ = file;
    fileSha256_ = sha256;
    fileSettings_ = std::move(settings);
    captionName_ = file.isEmpty() ? QString() : ShortPathName(file);
    shown_.reset();
}

void TDocument::Opened(const QString& file, const TFileContent& content, const SettingsList& screen,
                       const QString& site) {
    // What the file holds is what the window shows: the reader's defaults for what it lacks are
    // part of it, so the mark compares with the screen as opened.
    SetFile(file, content.sha256, screen);
    site_ = site;
}

void TDocument::OpenedEntry(const QString& caption, const SettingsList& screen, const QString& site) {
    if (file_.isEmpty()) {
        captionName_ = caption;
        shown_ = screen;
        site_ = site;
    } else if (!site.isEmpty()) {
        site_ = site;
    }
}

void TDocument::OpenedText(const QString& caption, const SettingsList& screen) {
    SetFile({}, {}, std::nullopt);
    captionName_ = caption;
    shown_ = screen;
    site_.clear();
}

void TDocument::Read(const QString& port, const SettingsList& screen) {
    panel_ = PanelState{port, screen};
    if (file_.isEmpty()) {
        shown_ = screen;
    }
}

void TDocument::ReadIncomplete(const SettingsList& screen) {
    panel_.reset();
    if (file_.isEmpty()) {
        shown_ = screen;
    }
}

void TDocument::Written(const QString& port, const SettingsList& screen) {
    panel_ = PanelState{port, screen};
    if (file_.isEmpty()) {
        shown_ = screen;
    }
}

void TDocument::WriteFailed() {
    panel_.reset();
}

void TDocument::DeviceChosen(const SettingsList& screen) {
    if (file_.isEmpty()) {
        shown_ = screen;
        site_.clear();
    }
}

void TDocument::Saved(const QString& file, const std::string& bytes, const SettingsList& screen) {
    // The mark compares with what the file holds: a setting a file does not keep (the SMS
    // options while no GSM communicator is connected) stays marked after the save.
    TProgramState saved;
    SetFile(file, Sha256(bytes),
            ReadConfigDocument(saved, bytes.data(), bytes.size()) ? ListSettings(saved) : screen);
}

void TDocument::Named(const QString& file, const TFileContent& now) {
    SetFile(file, now.read ? now.sha256 : QByteArray(), std::nullopt);
}

void TDocument::DirectionsSaved(const QString& file, const std::string& bytes) {
    SetFile(file, Sha256(bytes), std::nullopt);
}

const std::optional<SettingsList>& TDocument::Baseline() const {
    return file_.isEmpty() ? shown_ : fileSettings_;
}

bool TDocument::Modified(const SettingsList& screen) const {
    if (screen.devType == 0) {
        return false;
    }
    const auto& baseline = Baseline();
    return !baseline || *baseline != screen;
}

QString TDocument::Caption(const QString& title, bool modified) const {
    return (modified ? QStringLiteral("*") : QString()) +
           (captionName_.isEmpty() ? title : captionName_ + QStringLiteral(" : ") + title);
}

std::optional<Comparison> TDocument::PanelChanges(const QString& port, const SettingsList& screen) const {
    if (!panel_ || panel_->port != port || panel_->settings.devType != screen.devType) {
        return std::nullopt;
    }
    return Compare(panel_->settings, screen);
}

TSaveCheck TDocument::CheckSave(const QString& file, const TFileContent& now,
                                const SettingsList& screen) const {
    TSaveCheck check;
    if (!now.exists) {
        return check;
    }
    const bool current = !file_.isEmpty() && QFileInfo(file) == QFileInfo(file_);
    // Only the file this window opened or saved is known; what any other file holds (a save
    // under a new name over an existing one) was not put there by this window.
    const bool known = current && now.read && now.sha256 == fileSha256_;
    check.keepReplaced = !known && now.settings.has_value();
    if (!current) {
        // The save dialog has asked already whether to replace it.
        return check;
    }
    // A file this window put there that holds no configuration is its own directions file: the
    // configuration, directions included, may take its place.
    const bool otherType = now.settings && now.settings->devType != screen.devType;
    if (known && !otherType) {
        return check;
    }
    const QString name = QDir::toNativeSeparators(file);
    const QString devices = QStringLiteral("В файле: %1, в окне: %2.")
                                .arg(now.read ? DeviceText(now.settings) : QStringLiteral("не прочитать"),
                                     QStringLiteral("«%1»").arg(QString::fromStdString(screen.deviceName)));
    QString why;
    if (!known) {
        why = QStringLiteral("Файл %1 изменён на диске после того, как был открыт или сохранён в программе.")
                  .arg(name);
    } else {
        why = QStringLiteral("Файл %1 содержит конфигурацию другого прибора.").arg(name);
    }
    check.question = why + QStringLiteral("\r\n") + devices + QStringLiteral("\r\nЗаменить файл?");
    return check;
}

QString TDocument::SuggestedName(const QString& deviceName, const QDate& date) const {
    QString base = site_.trimmed().isEmpty() ? deviceName.trimmed() : site_.trimmed();
    if (base.isEmpty()) {
        base = QStringLiteral("Конфигурация");
    }
    base += QLatin1Char(' ') + date.toString(QStringLiteral("yyyy-MM-dd"));
    static const QRegularExpression refused(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f\\x7f]"));
    return base.replace(refused, QStringLiteral("_")) + QStringLiteral(".cf8");
}

} // namespace orv
