#include "template_commands.h"

#include "cli/file_commands.h"
#include "cli/journal_commands.h"
#include "device/catalogue.h"
#include "gsm/tx_buffers.h"
#include "link/result_codes.h"
#include "settings/assign.h"
#include "templates/templates.h"

#include <QFileInfo>

#include <algorithm>
#include <iostream>
#include <map>

namespace orv::cli {

namespace {

// A template's name as the terminal may show it: a file from elsewhere may hold anything.
std::string Name(const SettingsTemplate& t) {
    return "«" + EscapeControls(t.name) + "»";
}

// The journal's note on what a template made.
QString Note(const SettingsTemplate& t) {
    return QStringLiteral("Шаблон «%1»").arg(QString::fromStdString(t.name));
}

std::optional<std::vector<Byte>> TypeCodes(const std::string& text) {
    std::vector<Byte> codes;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string piece = text.substr(at, comma - at);
        if (piece.empty() || piece.size() > 3 || piece.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(piece) > 127 || !DeviceSupported(static_cast<Byte>(std::stoi(piece)))) {
            return std::nullopt;
        }
        codes.push_back(static_cast<Byte>(std::stoi(piece)));
        at = comma + 1;
    }
    return codes;
}

int MakeTemplateFile(const TCommandArgs& args, TCliIo& io) {
    std::vector<std::string> patterns;
    std::vector<std::string> files;
    std::map<std::string, std::string, std::less<>> options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--keys") {
            for (; i + 1 < args.size() && !args[i + 1].starts_with("--"); ++i) {
                patterns.push_back(args[i + 1]);
            }
        } else if (arg == "--out" || arg == "--name" || arg == "--note" || arg == "--types") {
            if (i + 1 >= args.size() || !options.emplace(arg, args[i + 1]).second) {
                io.err << "orvanta-cli template make: " << arg << " needs one value\n";
                return kExitUsage;
            }
            ++i;
        } else if (arg.starts_with("--")) {
            io.err << "orvanta-cli template make: unknown option " << arg << "\n";
            return kExitUsage;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1 || patterns.empty() || !options.count("--out")) {
        io.err << "orvanta-cli template make: expected FILE.cf8 --keys PATTERN... --out T.json\n";
        return kExitUsage;
    }
    std::vector<Byte> types;
    if (const auto given = options.find("--types"); given != options.end()) {
        const auto codes = TypeCodes(given->second);
        if (!codes) {
            io.err << "orvanta-cli template make: --types: supported type codes, comma-separated\n";
            return kExitUsage;
        }
        types = *codes;
    }
    TProgramState state;
    if (!LoadConfiguration(state, files[0], io)) {
        return kExitFile;
    }
    // The settings as a save stores them.
    UpdateAllTXBuffers(state, nullptr, CommitFor::File);
    std::vector<std::string> unmatched;
    SettingsTemplate t = MakeTemplate(ListSettings(state), patterns, &unmatched);
    for (const std::string& pattern : unmatched) {
        io.err << "Параметра «" << EscapeControls(pattern) << "» нет у прибора «"
               << DeviceName(state.device->DevType) << "» (тип " << int(state.device->DevType) << ")\n";
    }
    if (!unmatched.empty()) {
        return kExitFailed;
    }
    const QString out = QString::fromStdString(options.find("--out")->second);
    const auto name = options.find("--name");
    t.name = name != options.end() ? name->second : QFileInfo(out).completeBaseName().toStdString();
    if (const auto note = options.find("--note"); note != options.end()) {
        t.note = note->second;
    }
    t.types = types;
    QString error;
    if (!SaveTemplateFile(t, out, error)) {
        io.err << error.toStdString() << "\n";
        return kExitFile;
    }
    io.out << "Шаблон " << Name(t) << " сохранен: " << out.toStdString()
           << " (параметров: " << t.settings.size() << ")\n";
    return kExitOk;
}

// The changes a template makes, as diff prints them, under their count.
void PrintChanges(const SettingsTemplate& t, const SetOutcome& outcome, std::ostream& out) {
    out << "Шаблон " << Name(t) << ": изменено параметров: " << outcome.changes.diffs.size() << "\n"
        << ToText(outcome.changes);
}

int ApplyToFile(const SettingsTemplate& t, const std::string& file, const std::string& outPath, TCliIo& io) {
    TProgramState state;
    if (!LoadConfiguration(state, file, io)) {
        return kExitFile;
    }
    const SetOutcome outcome = ApplyTemplate(state, t);
    if (!outcome.ok()) {
        io.err << EscapeControls(outcome.error) << "\n";
        return kExitFailed;
    }
    PrintChanges(t, outcome, io.out);
    const int saved = SaveConfiguration(state, outPath, io);
    if (saved == kExitOk) {
        auto entry = JournalEntry(io, journal::TAction::Save, state);
        if (entry) {
            entry->note = Note(t);
        }
        RecordInJournal(io, std::move(entry), outPath);
    }
    return saved;
}

// What became of one panel.
struct PanelOutcome {
    int status = kExitOk;
    std::string device; // "Терсан 34x (тип 16), версия 6" once it was read
    std::size_t changed = 0;
    std::string failure; // why it failed
};

// Reads the panel, sets the template, shows its changes on changes and writes the panel with
// verification. The transaction's status lines go to status.
PanelOutcome ApplyToPanel(const SettingsTemplate& t, const std::string& port, bool slow, TCliIo& io,
                          TCliIo& status, std::ostream& changes) {
    PanelOutcome result;
    TProgramState state;
    ResetGsmFrame(state.GsmFrame);
    result.status = RunTransactionCommand(port, state, 0, status, slow);
    if (result.status != kExitOk) {
        result.failure = ResultStatusText(result.status);
        return result;
    }
    RefreshGsmModels(state);
    RecordInJournal(io, JournalEntry(io, journal::TAction::Read, state, port), {});
    const Byte type = state.device->DevType;
    result.device = DeviceName(type) + " (тип " + std::to_string(type) + "), версия " +
                    std::to_string(state.device->GetVersion());
    const SetOutcome outcome = ApplyTemplate(state, t);
    if (!outcome.ok()) {
        result.status = kExitFailed;
        result.failure = outcome.error;
        return result;
    }
    result.changed = outcome.changes.diffs.size();
    PrintChanges(t, outcome, changes);
    const CommitResult commit = UpdateAllTXBuffers(state, nullptr, CommitFor::Panel);
    if (!commit.ok()) {
        result.status = kExitFailed;
        result.failure = commit.refusal;
        return result;
    }
    if (state.device->GetGsmConnected() && !AnyDirectionEnabled(state.Directions)) {
        status.err << "Ни одно направление не включено\n";
    }
    result.status = RunTransactionCommand(port, state, 1, status, slow);
    if (result.status != kExitOk) {
        result.failure = ResultStatusText(result.status);
        return result;
    }
    auto entry = JournalEntry(io, journal::TAction::Write, state, port);
    if (entry) {
        entry->note = Note(t);
    }
    RecordInJournal(io, std::move(entry), {});
    return result;
}

// Panel after panel on one port: each once Enter is pressed, until the input ends.
int ApplyToEachPanel(const SettingsTemplate& t, const std::string& port, bool slow, TCliIo& io) {
    // The prompts and the transactions' status lines go to err; out has a line per panel.
    TCliIo status{io.err, io.err, io.journal, false, io.sync};
    int panels = 0;
    int failed = 0;
    for (;;) {
        io.err << "Подключите прибор " << panels + 1 << " и нажмите Enter (конец ввода - завершить)"
               << std::endl;
        std::string line;
        if (!std::getline(std::cin, line)) {
            break;
        }
        ++panels;
        const PanelOutcome panel = ApplyToPanel(t, port, slow, io, status, io.err);
        io.out << panels << ": " << (panel.device.empty() ? "прибор не прочитан" : panel.device);
        if (panel.status == kExitOk) {
            io.out << ", изменено параметров: " << panel.changed << ", записан";
        } else {
            ++failed;
            io.out << ", ошибка: " << EscapeControls(panel.failure);
        }
        io.out << std::endl;
    }
    io.out << "Итого: приборов " << panels << ", записано " << panels - failed << ", с ошибкой " << failed
           << std::endl;
    return failed == 0 ? kExitOk : kExitFailed;
}

} // namespace

int CmdTemplate(const TCommandArgs& args, TCliIo& io) {
    if (args.empty() || args[0] != "make") {
        io.err << "usage: orvanta-cli template make FILE.cf8 --keys PATTERN... --out T.json [--name NAME] "
                  "[--note TEXT] [--types CODE,...]\n";
        return kExitUsage;
    }
    return MakeTemplateFile(TCommandArgs(args.begin() + 1, args.end()), io);
}

int CmdApply(const TCommandArgs& args, TCliIo& io) {
    static constexpr std::array<std::string_view, 2> kOptions{"--port", "--out"};
    TCommandArgs rest = args;
    const auto take = [&rest](std::string_view flag) {
        const auto end = std::remove(rest.begin(), rest.end(), std::string(flag));
        const bool found = end != rest.end();
        rest.erase(end, rest.end());
        return found;
    };
    const bool slow = take("--slow");
    const bool each = take("--each");
    std::string error;
    const auto parsed = ParseArgs(rest, kOptions, error);
    if (!parsed) {
        io.err << "orvanta-cli apply: " << error << "\n";
        return kExitUsage;
    }
    const auto port = parsed->options.find("--port");
    const bool toPanel = port != parsed->options.end();
    const bool usable = toPanel ? parsed->positional.size() == 1 && !parsed->options.count("--out")
                                : parsed->positional.size() == 2 && !slow && !each;
    if (!usable) {
        io.err
            << "orvanta-cli apply: expected T.json FILE.cf8 [--out FILE.cf8], or T.json --port PORT [--slow] "
               "[--each]\n";
        return kExitUsage;
    }
    QString reason;
    const auto t = LoadTemplateFile(QString::fromStdString(parsed->positional[0]), reason);
    if (!t) {
        io.err << "orvanta-cli apply: " << EscapeControls(parsed->positional[0]) << ": "
               << reason.toStdString() << "\n";
        return kExitFile;
    }
    if (!toPanel) {
        const auto out = parsed->options.find("--out");
        const std::string& file = parsed->positional[1];
        return ApplyToFile(*t, file, out == parsed->options.end() ? file : out->second, io);
    }
    if (each) {
        return ApplyToEachPanel(*t, port->second, slow, io);
    }
    const PanelOutcome panel = ApplyToPanel(*t, port->second, slow, io, io, io.out);
    // A failed transaction has told its reason in its status lines.
    if (panel.status == kExitFailed) {
        io.err << EscapeControls(panel.failure) << "\n";
    }
    return panel.status;
}

} // namespace orv::cli
