#include "value_commands.h"

#include "cli/file_commands.h"
#include "cli/journal_commands.h"
#include "settings/assign.h"
#include "templates/templates.h"

#include <algorithm>
#include <array>

namespace orv::cli {

namespace {

// Takes every flag out of the arguments; true when it was there.
bool TakeFlag(TCommandArgs& args, std::string_view flag) {
    const auto end = std::remove(args.begin(), args.end(), std::string(flag));
    const bool found = end != args.end();
    args.erase(end, args.end());
    return found;
}

// A text from a file may hold control characters: shown escaped, as show prints it.
void PrintValue(const Setting& s, bool raw, TCliIo& io) {
    io.out << s.key << '=' << EscapeControls(raw ? s.raw : s.value) << '\n';
}

// What a set changed: the settings tied to the given ones, and how many changed in all.
void PrintChanges(const SetOutcome& outcome, TCliIo& io) {
    if (!outcome.tied.empty()) {
        io.out << "Вместе с ними изменились:";
        for (std::size_t i = 0; i < outcome.tied.size(); ++i) {
            io.out << (i == 0 ? " " : ", ") << outcome.tied[i];
        }
        io.out << '\n';
    }
    io.out << "Изменено параметров: " << outcome.changes.diffs.size() << '\n';
}

// Saves and keeps the save in the journal.
int SaveAndRecord(TProgramState& state, const std::string& path, TCliIo& io, const std::string& note = {}) {
    const int saved = SaveConfiguration(state, path, io);
    if (saved == kExitOk) {
        auto entry = JournalEntry(io, journal::TAction::Save, state);
        if (entry) {
            entry->note = QString::fromStdString(note);
        }
        RecordInJournal(io, std::move(entry), path);
    }
    return saved;
}

} // namespace

int CmdGet(const TCommandArgs& args, TCliIo& io) {
    TCommandArgs rest = args;
    const bool raw = TakeFlag(rest, "--raw");
    std::string error;
    const auto parsed = ParseArgs(rest, {}, error);
    if (!parsed || parsed->positional.size() < 2) {
        io.err << "orvanta-cli get: " << (parsed ? "expected a file name and keys" : error) << "\n";
        return kExitUsage;
    }
    TProgramState state;
    if (!LoadConfiguration(state, parsed->positional[0], io)) {
        return kExitFile;
    }
    const SettingsList list = ListSettings(state);
    int status = kExitOk;
    for (std::size_t i = 1; i < parsed->positional.size(); ++i) {
        const std::string& pattern = parsed->positional[i];
        bool found = false;
        for (const Setting& s : list.items) {
            if (KeyMatches(pattern, s.key)) {
                PrintValue(s, raw, io);
                found = true;
            }
        }
        if (!found) {
            io.err << "Параметра «" << EscapeControls(pattern) << "» нет у прибора «" << list.deviceName
                   << "» (тип " << int(list.devType) << ")\n";
            status = kExitFailed;
        }
    }
    return status;
}

int CmdSet(const TCommandArgs& args, TCliIo& io) {
    static constexpr std::array<std::string_view, 1> kOptions{"--out"};
    TCommandArgs rest = args;
    const bool raw = TakeFlag(rest, "--raw");
    std::string error;
    const auto parsed = ParseArgs(rest, kOptions, error);
    if (!parsed || parsed->positional.size() < 2) {
        io.err << "orvanta-cli set: " << (parsed ? "expected a file name and KEY=VALUE" : error) << "\n";
        return kExitUsage;
    }
    std::vector<SettingValue> values;
    for (std::size_t i = 1; i < parsed->positional.size(); ++i) {
        const std::string& given = parsed->positional[i];
        const std::size_t eq = given.find('=');
        if (eq == std::string::npos || eq == 0) {
            io.err << "orvanta-cli set: " << given << ": expected KEY=VALUE\n";
            return kExitUsage;
        }
        values.push_back(
            {given.substr(0, eq), given.substr(eq + 1), raw ? ValueForm::Stored : ValueForm::Either});
    }
    const std::string& file = parsed->positional[0];
    TProgramState state;
    if (!LoadConfiguration(state, file, io)) {
        return kExitFile;
    }
    const SetOutcome outcome = SetSettings(state, values);
    if (!outcome.ok()) {
        io.err << EscapeControls(outcome.error) << "\n";
        return kExitFailed;
    }
    const SettingsList list = ListSettings(state);
    for (const SettingValue& v : values) {
        if (const Setting* s = list.Find(v.key)) {
            PrintValue(*s, raw, io);
        }
    }
    PrintChanges(outcome, io);
    const auto out = parsed->options.find("--out");
    return SaveAndRecord(state, out == parsed->options.end() ? file : out->second, io);
}

int CmdImport(const TCommandArgs& args, TCliIo& io) {
    static constexpr std::array<std::string_view, 1> kOptions{"--out"};
    std::string error;
    const auto parsed = ParseArgs(args, kOptions, error);
    const bool complete = parsed && parsed->positional.size() == 1 && parsed->options.count("--out");
    if (!complete) {
        io.err << "orvanta-cli import: " << (parsed ? "expected SETTINGS.json --out FILE.cf8" : error)
               << "\n";
        return kExitUsage;
    }
    const std::string& path = parsed->positional[0];
    QString reason;
    std::optional<TSettingsImport> import;
    if (const auto bytes = ReadJsonFile(QString::fromStdString(path), reason)) {
        import = ReadSettingsJson(*bytes, reason);
    }
    if (!import) {
        io.err << "orvanta-cli import: " << EscapeControls(path) << ": " << reason.toStdString() << "\n";
        return kExitFile;
    }
    TProgramState state;
    const SetOutcome outcome = ImportSettings(*import, state);
    if (!outcome.ok()) {
        io.err << EscapeControls(outcome.error) << "\n";
        return kExitFailed;
    }
    return SaveAndRecord(state, parsed->options.find("--out")->second, io);
}

} // namespace orv::cli
