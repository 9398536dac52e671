#include "journal_commands.h"

#include "cli/settings_commands.h"
#include "files/config_file.h"
#include "files/safe_save.h"
#include "journal/columns.h"
#include "journal/recorder.h"
#include "journal/server_sql.h"
#include "journal/sites.h"
#include "journal/sync.h"
#include "settings/settings.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <charconv>

namespace orv::cli {

namespace {

using journal::TJournal;

constexpr const char* kJournalUsage =
    "usage: orvanta-cli journal list [--site TEXT] [--search TEXT] [--type CODE] [--user NAME]\n"
    "                                [--host NAME] [--json|--csv]\n"
    "       orvanta-cli journal sites [--json|--csv]\n"
    "       orvanta-cli journal show [--json] ENTRY\n"
    "       orvanta-cli journal diff [--json] ENTRY ENTRY2\n"
    "       orvanta-cli journal export ENTRY --out FILE.cf8\n"
    "       orvanta-cli journal site ENTRY TEXT\n"
    "       orvanta-cli journal note ENTRY TEXT\n"
    "       orvanta-cli journal server [--host H] [--port P] [--database D] [--user U] [--sslmode M]\n"
    "       orvanta-cli journal server --off\n"
    "       orvanta-cli journal server sql [--database D] [--installers L1,L2...] [--office L3,...]\n"
    "       orvanta-cli journal sync [--verify]\n"
    "ENTRY is an entry's number in this journal, its uuid, or the uuid's first characters (at\n"
    "least 8, naming one entry). list prints the entries newest first, one a line: number, time,\n"
    "action, site, device type, device, firmware version, port or file, tab-separated; --csv: the\n"
    "journal window's columns as comma-separated values in UTF-8 with a byte-order mark. show and\n"
    "diff print as show and diff do (diff: the settings of ENTRY2 that differ from ENTRY's).\n"
    "sites prints every site: its device, its latest entry, when and by whom its panel was last\n"
    "read and written, how many entries it has.\n"
    "ORVANTA_JOURNAL names the journal file.\n"
    "server shows or sets the PostgreSQL server the journal is shared through (--off: none); the\n"
    "password is taken from ~/.pgpass or a service file, never stored. server sql prints the SQL\n"
    "the server's administrator runs once with psql: the database, the roles of installers and of\n"
    "the office, a login for each person named, the tables and their rights.\n"
    "sync sends the entries the server lacks and fetches the others'; its status is 1 when the\n"
    "server cannot be used. sync --verify compares this journal with the server's and changes\n"
    "nothing; its status is 0 when they hold the same entries.\n"
    "read, write and new synchronise once after recording (at most 3 s) when a server is set,\n"
    "unless --no-sync is given.\n";

// How long a synchronisation after an entry may take: a command is not held up by the network.
constexpr int kAfterEntryMs = 3000;

std::optional<qint64> ParseId(const std::string& text) {
    qint64 id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size() || id <= 0) {
        return std::nullopt;
    }
    return id;
}

// What can name an entry: its number, or at least 8 characters of its uuid.
bool IsReference(const std::string& text) {
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    const bool uuid = text.size() >= 8 && text.size() <= 36 &&
                      text.find_first_not_of("0123456789abcdefABCDEF-") == std::string::npos;
    return digits || uuid;
}

// Whether the option was given; it is taken out of the arguments.
bool TakeFlag(TCommandArgs& args, const std::string& flag) {
    const auto end = std::remove(args.begin(), args.end(), flag);
    const bool found = end != args.end();
    args.erase(end, args.end());
    return found;
}

int Usage(TCliIo& io, const std::string& why) {
    io.err << "orvanta-cli journal: " << why << "\n" << kJournalUsage;
    return kExitUsage;
}

// Reading commands read a journal they cannot write (on read-only media) as it is.
bool OpenJournal(TJournal& journal, TCliIo& io, bool write) {
    if (write ? journal.Open() : journal.OpenForReading()) {
        return true;
    }
    io.err << journal.Problem().toStdString() << "\n";
    return false;
}

// The entry a user named; reports why not on err.
std::optional<qint64> FindEntry(TJournal& journal, const std::string& reference, TCliIo& io) {
    QString why;
    const auto id = journal.Lookup(QString::fromStdString(reference), why);
    if (!id) {
        io.err << why.toStdString() << "\n";
    }
    return id;
}

// The named entry's configuration, read; reports why not on err.
int LoadEntry(TJournal& journal, const std::string& reference, journal::TStoredConfig& stored, TCliIo& io) {
    // As diff: 1 says "different", so a configuration that cannot be had is 3.
    if (!OpenJournal(journal, io, false)) {
        return kExitFile;
    }
    const auto id = FindEntry(journal, reference, io);
    if (!id) {
        return kExitFile;
    }
    auto found = journal.Configuration(*id);
    if (!found) {
        io.err << "В журнале нет записи " << reference << "\n";
        return kExitFile;
    }
    if (found->state != journal::TConfigState::Ok) {
        io.err << journal::ConfigStateText(found->state, *id).toStdString() << "\n";
        return kExitFile;
    }
    stored = std::move(*found);
    return kExitOk;
}

// The named entry's configuration read into state; reports why not on err.
int LoadState(TJournal& journal, const std::string& reference, TProgramState& state, TCliIo& io) {
    journal::TStoredConfig stored;
    if (const int status = LoadEntry(journal, reference, stored, io); status != kExitOk) {
        return status;
    }
    ReadConfigDocument(state, stored.text.data(), stored.text.size());
    return kExitOk;
}

std::string LocalTime(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

QJsonObject EntryJson(const journal::TEntry& e) {
    return QJsonObject{
        {QStringLiteral("id"), e.id},
        {QStringLiteral("uuid"), e.uuid},
        {QStringLiteral("time"), e.time.toLocalTime()
                                     .toOffsetFromUtc(e.time.toLocalTime().offsetFromUtc())
                                     .toString(Qt::ISODateWithMs)},
        {QStringLiteral("action"), QString::fromLatin1(journal::ActionCode(e.action))},
        {QStringLiteral("site"), e.site},
        {QStringLiteral("note"), e.note},
        {QStringLiteral("type"), e.deviceType},
        {QStringLiteral("device"), e.deviceName},
        {QStringLiteral("version"), e.firmware},
        {QStringLiteral("port"), e.port},
        {QStringLiteral("file"), e.filePath},
        {QStringLiteral("sha256"), e.sha256},
        {QStringLiteral("user"), e.user},
        {QStringLiteral("host"), e.host},
        {QStringLiteral("sent"), e.sent},
    };
}

int List(const TCommandArgs& given, TCliIo& io) {
    TCommandArgs args = given;
    const bool json = TakeJson(args);
    const bool csv = TakeFlag(args, "--csv");
    if (json && csv) {
        return Usage(io, "list prints --json or --csv, not both");
    }
    static constexpr std::array<std::string_view, 5> kOptions{"--site", "--search", "--type", "--user",
                                                              "--host"};
    std::string error;
    const auto parsed = ParseArgs(args, kOptions, error);
    if (!parsed) {
        return Usage(io, error);
    }
    if (!parsed->positional.empty()) {
        return Usage(io, "list takes no file names");
    }
    journal::TFilter filter;
    if (const auto site = parsed->options.find("--site"); site != parsed->options.end()) {
        filter.site = QString::fromStdString(site->second);
    }
    if (const auto search = parsed->options.find("--search"); search != parsed->options.end()) {
        filter.search = QString::fromStdString(search->second);
    }
    if (const auto user = parsed->options.find("--user"); user != parsed->options.end()) {
        filter.user = QString::fromStdString(user->second);
    }
    if (const auto host = parsed->options.find("--host"); host != parsed->options.end()) {
        filter.host = QString::fromStdString(host->second);
    }
    if (const auto type = parsed->options.find("--type"); type != parsed->options.end()) {
        const auto code = ParseId(type->second);
        if (!code || *code > 127) {
            return Usage(io, "no device type " + type->second);
        }
        filter.deviceType = static_cast<int>(*code);
    }
    TJournal journal;
    if (!OpenJournal(journal, io, false)) {
        return kExitFailed;
    }
    if (csv) {
        // The columns of the journal window, read a part at a time.
        QString why;
        const bool written = journal::WriteCsv(
            journal, filter, journal::AllColumns(),
            [&io](const QByteArray& part) {
                return static_cast<bool>(io.out.write(part.constData(), part.size()));
            },
            why);
        if (!written) {
            io.err << (why.isEmpty() ? std::string("the list could not be written") : why.toStdString())
                   << "\n";
            return kExitFailed;
        }
        return kExitOk;
    }
    const journal::TListing listing = journal.List(filter);
    if (!listing.warning.isEmpty()) {
        io.err << listing.warning.toStdString() << "\n";
    }
    if (json) {
        QJsonArray entries;
        for (const journal::TEntry& e : listing.entries) {
            entries.append(EntryJson(e));
        }
        io.out << QJsonDocument(entries).toJson(QJsonDocument::Indented).toStdString();
        return kExitOk;
    }
    // Sites and paths come from other computers too: a tab or a line break in one must not make
    // a line of its own, nor an escape sequence reach the terminal.
    const auto field = [](const QString& text) { return EscapeControls(text.toStdString()); };
    for (const journal::TEntry& e : listing.entries) {
        const QString place = e.filePath.isEmpty() ? e.port : e.filePath;
        io.out << e.id << '\t' << LocalTime(e.time) << '\t' << journal::ActionCode(e.action) << '\t'
               << field(e.site) << '\t' << e.deviceType << '\t' << field(e.deviceName) << '\t' << e.firmware
               << '\t' << field(place) << '\n';
    }
    return kExitOk;
}

int Sites(const TCommandArgs& given, TCliIo& io) {
    TCommandArgs args = given;
    const bool json = TakeJson(args);
    const bool csv = TakeFlag(args, "--csv");
    if (!args.empty() || (json && csv)) {
        return Usage(io, "sites takes --json or --csv");
    }
    TJournal journal;
    if (!OpenJournal(journal, io, false)) {
        return kExitFailed;
    }
    const auto sites = journal::Sites(journal);
    if (!sites) {
        io.err << journal.Problem().toStdString() << "\n";
        return kExitFailed;
    }
    if (json || csv) {
        const QByteArray text = json ? journal::SitesJson(*sites) : journal::SitesCsv(*sites);
        io.out.write(text.constData(), text.size());
        return kExitOk;
    }
    const auto field = [](const QString& text) { return EscapeControls(text.toStdString()); };
    const auto touch = [&](const std::optional<journal::TTouch>& t) {
        return t ? LocalTime(t->time) + '\t' + field(t->user + u'@' + t->host) : std::string("-\t-");
    };
    for (const journal::TSite& s : *sites) {
        io.out << field(s.site) << '\t' << s.deviceType << '\t' << field(s.deviceName) << '\t' << s.latest
               << '\t' << LocalTime(s.time) << '\t' << journal::ActionCode(s.action) << '\t' << touch(s.read)
               << '\t' << touch(s.written) << '\t' << s.entries << '\n';
    }
    return kExitOk;
}

int Show(const TCommandArgs& given, TCliIo& io) {
    TCommandArgs args = given;
    const bool json = TakeJson(args);
    if (args.size() != 1 || !IsReference(args[0])) {
        return Usage(io, "show takes one entry");
    }
    TJournal journal;
    TProgramState state;
    if (const int status = LoadState(journal, args[0], state, io); status != kExitOk) {
        return status;
    }
    PrintSettings(state, json, io);
    return kExitOk;
}

int Diff(const TCommandArgs& given, TCliIo& io) {
    TCommandArgs args = given;
    const bool json = TakeJson(args);
    if (args.size() != 2 || !IsReference(args[0]) || !IsReference(args[1])) {
        return Usage(io, "diff takes two entries");
    }
    TJournal journal;
    TProgramState first;
    TProgramState second;
    for (const auto& [reference, state] : {std::pair{args[0], &first}, std::pair{args[1], &second}}) {
        if (const int status = LoadState(journal, reference, *state, io); status != kExitOk) {
            return status;
        }
    }
    return PrintComparison(first, second, json, io);
}

int Export(const TCommandArgs& args, TCliIo& io) {
    static constexpr std::array<std::string_view, 1> kOptions{"--out"};
    std::string error;
    const auto parsed = ParseArgs(args, kOptions, error);
    if (!parsed) {
        return Usage(io, error);
    }
    const auto out = parsed->options.find("--out");
    if (parsed->positional.size() != 1 || !IsReference(parsed->positional[0]) ||
        out == parsed->options.end()) {
        return Usage(io, "export takes one entry and --out FILE.cf8");
    }
    TJournal journal;
    journal::TStoredConfig stored;
    if (const int status = LoadEntry(journal, parsed->positional[0], stored, io); status != kExitOk) {
        return status;
    }
    // The text exactly as it was recorded.
    const SaveResult saved = SaveFileAtomically(out->second, stored.text);
    if (!saved.ok) {
        io.err << saved.message << "\n";
        return kExitFile;
    }
    io.out << "Файл сохранен: " << out->second << "\n";
    return kExitOk;
}

int Annotate(const TCommandArgs& args, bool site, TCliIo& io) {
    if (args.size() != 2 || !IsReference(args[0])) {
        return Usage(io, site ? "site takes an entry and the site name" : "note takes an entry and the note");
    }
    TJournal journal;
    if (!OpenJournal(journal, io, true)) {
        return kExitFailed;
    }
    const auto id = FindEntry(journal, args[0], io);
    if (!id) {
        return kExitFailed;
    }
    const QString text = QString::fromStdString(args[1]);
    if (site ? journal.SetSite(*id, text) : journal.SetNote(*id, text)) {
        return kExitOk;
    }
    if (!journal.Problem().isEmpty()) {
        io.err << journal.Problem().toStdString() << "\n";
        return kExitFailed;
    }
    io.err << "В журнале нет записи " << args[0] << "\n";
    return kExitFailed;
}

void PrintServer(const journal::TServerSettings& server, TCliIo& io) {
    if (!server.IsSet()) {
        io.out << "Сервер журнала не задан\n";
        return;
    }
    io.out << "host: " << server.host.toStdString() << "\nport: " << server.port
           << "\ndatabase: " << server.database.toStdString() << "\nuser: " << server.user.toStdString()
           << "\nsslmode: " << server.sslmode.toStdString()
           << "\nПароль берется из файла паролей PostgreSQL (~/.pgpass) или файла служб и не хранится "
              "программой\n";
}

// Names separated by commas, each one PostgreSQL takes as it is.
std::optional<QStringList> Logins(const std::string& text) {
    QStringList logins;
    for (const QString& login : QString::fromStdString(text).split(u',', Qt::SkipEmptyParts)) {
        if (!journal::IsPlainName(login.trimmed())) {
            return std::nullopt;
        }
        logins << login.trimmed();
    }
    return logins;
}

int ServerSql(const TCommandArgs& args, TCliIo& io) {
    static constexpr std::array<std::string_view, 3> kOptions{"--database", "--installers", "--office"};
    std::string error;
    const auto parsed = ParseArgs(args, kOptions, error);
    if (!parsed) {
        return Usage(io, error);
    }
    if (!parsed->positional.empty()) {
        return Usage(io, "server sql takes options only");
    }
    journal::TServerSetup setup;
    if (const auto database = parsed->options.find("--database"); database != parsed->options.end()) {
        setup.database = QString::fromStdString(database->second);
        if (!journal::IsPlainName(setup.database)) {
            return Usage(io, "a database name of Latin letters, digits, _ - . @");
        }
    }
    for (const auto& [option, logins] :
         {std::pair{"--installers", &setup.installers}, std::pair{"--office", &setup.office}}) {
        if (const auto given = parsed->options.find(option); given != parsed->options.end()) {
            const auto names = Logins(given->second);
            if (!names) {
                return Usage(io, std::string(option) + " takes logins of Latin letters, digits, _ - . @");
            }
            *logins = *names;
        }
    }
    io.out << journal::ServerSetupSql(setup).toStdString();
    return kExitOk;
}

int Server(const TCommandArgs& given, TCliIo& io) {
    TCommandArgs args = given;
    if (!args.empty() && args[0] == "sql") {
        return ServerSql(TCommandArgs(args.begin() + 1, args.end()), io);
    }
    const auto off = std::find(args.begin(), args.end(), "--off");
    if (off != args.end()) {
        if (args.size() != 1) {
            return Usage(io, "server --off takes nothing else");
        }
        journal::TServerSettings::Clear();
        io.out << "Сервер журнала отключен: записи сохраняются только на этом компьютере\n";
        return kExitOk;
    }
    static constexpr std::array<std::string_view, 5> kOptions{"--host", "--port", "--database", "--user",
                                                              "--sslmode"};
    std::string error;
    const auto parsed = ParseArgs(args, kOptions, error);
    if (!parsed) {
        return Usage(io, error);
    }
    if (!parsed->positional.empty()) {
        return Usage(io, "server takes options only");
    }
    journal::TServerSettings server = journal::TServerSettings::Load();
    if (parsed->options.empty()) {
        PrintServer(server, io);
        return kExitOk;
    }
    for (const auto& [name, value] : parsed->options) {
        const QString text = QString::fromStdString(value);
        if (name == "--host") {
            server.host = text;
        } else if (name == "--port") {
            const auto port = ParseId(value);
            if (!port || *port > 65535) {
                return Usage(io, "no port " + value);
            }
            server.port = static_cast<int>(*port);
        } else if (name == "--database") {
            server.database = text;
        } else if (name == "--user") {
            server.user = text;
        } else if (name == "--sslmode") {
            if (!journal::SslModes().contains(text)) {
                return Usage(io, "sslmode is one of " + journal::SslModes().join(u' ').toStdString());
            }
            server.sslmode = text;
        }
    }
    if (!server.IsSet()) {
        return Usage(io, "server needs --host");
    }
    server.Save();
    PrintServer(server, io);
    return kExitOk;
}

int Verify(TCliIo& io) {
    journal::TJournalSync sync(TJournal::DefaultPath(), journal::TServerSettings::Load());
    const journal::TVerifyReport report = sync.Verify();
    if (report.status != journal::TSyncStatus::Synchronised) {
        io.err << report.text.toStdString() << "\n";
        return kExitFailed;
    }
    io.out << "Нет на сервере, хотя отправлено: " << report.lost << "\n"
           << "Еще не отправлено: " << report.unsent << "\n"
           << "Нет на этом компьютере: " << report.notFetched << "\n"
           << "Отклонено проверкой: " << report.rejected << "\n"
           << report.text.toStdString() << "\n";
    return report.Same() ? kExitOk : kExitFailed;
}

int Sync(const TCommandArgs& args, TCliIo& io) {
    if (args.size() == 1 && args[0] == "--verify") {
        return Verify(io);
    }
    if (!args.empty()) {
        return Usage(io, "sync takes only --verify");
    }
    journal::TJournalSync sync(TJournal::DefaultPath(), journal::TServerSettings::Load());
    const journal::TSyncReport report = sync.Run();
    io.out << "Отправлено записей: " << report.sentEntries << ", изменений: " << report.sentChanges << "\n"
           << "Получено записей: " << report.fetchedEntries << ", изменений: " << report.fetchedChanges
           << "\n";
    if (report.resent > 0) {
        io.out << "Из них отправлено снова (их не было на сервере): " << report.resent << "\n";
    }
    if (report.rejected > 0) {
        io.err << "Не приняты записи сервера, не прошедшие проверку: " << report.rejected
               << "; первая: " << report.rejectedText.toStdString() << "\n";
    }
    if (!report.Ok()) {
        io.err << report.text.toStdString() << "\n";
        return kExitFailed;
    }
    io.out << report.text.toStdString() << "\n";
    return kExitOk;
}

} // namespace

int CmdJournal(const TCommandArgs& args, TCliIo& io) {
    if (args.empty()) {
        io.err << kJournalUsage;
        return kExitUsage;
    }
    const std::string& sub = args[0];
    const TCommandArgs rest(args.begin() + 1, args.end());
    if (sub == "list") {
        return List(rest, io);
    }
    if (sub == "sites") {
        return Sites(rest, io);
    }
    if (sub == "show") {
        return Show(rest, io);
    }
    if (sub == "diff") {
        return Diff(rest, io);
    }
    if (sub == "export") {
        return Export(rest, io);
    }
    if (sub == "site" || sub == "note") {
        return Annotate(rest, sub == "site", io);
    }
    if (sub == "server") {
        return Server(rest, io);
    }
    if (sub == "sync") {
        return Sync(rest, io);
    }
    if (sub == "help" || sub == "--help") {
        io.out << kJournalUsage;
        return kExitOk;
    }
    return Usage(io, "unknown subcommand " + sub);
}

std::optional<journal::TNewEntry> JournalEntry(const TCliIo& io, journal::TAction action,
                                               const TProgramState& state, const std::string& port) {
    if (io.journal == nullptr || !state.device) {
        return std::nullopt;
    }
    return journal::EntryFromState(action, state, QString::fromStdString(port));
}

void RecordInJournal(TCliIo& io, std::optional<journal::TNewEntry> entry, const std::string& filePath) {
    if (io.journal == nullptr || !entry) {
        return;
    }
    if (!filePath.empty()) {
        entry->filePath = QFileInfo(QString::fromStdString(filePath)).absoluteFilePath();
    }
    if (!io.journal->Record(*entry) || !io.sync) {
        return;
    }
    // Sent while the command still runs, so that the office sees it at once; a server that cannot
    // be reached now gets it with a later synchronisation.
    const journal::TServerSettings server = journal::TServerSettings::Load();
    if (!server.IsSet()) {
        return;
    }
    journal::TJournalSync sync(io.journal->Journal().Path(), server);
    sync.SetLimits(kAfterEntryMs, kAfterEntryMs);
    const journal::TSyncReport report = sync.Run();
    if (!report.Ok()) {
        io.err << report.text.toStdString() << "\n";
    }
}

} // namespace orv::cli
