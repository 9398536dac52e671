#include "file_commands.h"

#include "cli/journal_commands.h"
#include "device/catalogue.h"
#include "files/config_file.h"
#include "gsm/tx_buffers.h"

#include <algorithm>
#include <array>

namespace orv::cli {

namespace {

std::optional<TParsedArgs> Parse(const TCommandArgs& args, std::span<const std::string_view> options,
                                 std::size_t positional, const char* command, TCliIo& io) {
    std::string error;
    auto parsed = ParseArgs(args, options, error);
    if (!parsed) {
        io.err << "orvanta-cli " << command << ": " << error << "\n";
        return std::nullopt;
    }
    for (std::string_view name : options) {
        if (!parsed->options.count(name)) {
            io.err << "orvanta-cli " << command << ": " << name << " is required\n";
            return std::nullopt;
        }
    }
    if (parsed->positional.size() != positional) {
        io.err << "orvanta-cli " << command << ": expected " << positional << " file name(s)\n";
        return std::nullopt;
    }
    return parsed;
}

// The commit step and the save, as the window's "Сохранить как..." runs them.
int Save(TProgramState& state, const std::string& path, TCliIo& io) {
    const CommitResult commit = UpdateAllTXBuffers(state, nullptr, CommitFor::File);
    if (!commit.ok()) {
        io.err << commit.refusal << "\n";
        return kExitFile;
    }
    const SaveResult saved = WriteConfigFile(state, path);
    if (!saved.ok) {
        io.err << saved.message << "\n";
        return kExitFile;
    }
    io.out << "Файл сохранен: " << path << "\n";
    return kExitOk;
}

// Takes the flag out of the arguments; true when it was there.
bool TakeFlag(TCommandArgs& args, std::string_view flag) {
    const auto found = std::find(args.begin(), args.end(), flag);
    if (found == args.end()) {
        return false;
    }
    args.erase(found);
    return true;
}

} // namespace

int SaveConfiguration(TProgramState& state, const std::string& path, TCliIo& io) {
    return Save(state, path, io);
}

bool LoadConfiguration(TProgramState& state, const std::string& path, TCliIo& io) {
    std::string reason;
    if (ReadConfigFile(state, path, &reason)) {
        return true;
    }
    io.err << kDamagedFileText << ": " << path << "\n";
    if (!reason.empty()) {
        io.err << reason << "\n";
    }
    return false;
}

int CmdNew(const TCommandArgs& args, TCliIo& io) {
    static constexpr std::array<std::string_view, 2> kOptions{"--type", "--out"};
    const auto parsed = Parse(args, kOptions, 0, "new", io);
    if (!parsed) {
        return kExitUsage;
    }
    const std::string& typeText = parsed->options.find("--type")->second;
    const int code = typeText.size() <= 3 && !typeText.empty() &&
                             typeText.find_first_not_of("0123456789") == std::string::npos
                         ? std::stoi(typeText)
                         : -1;
    if (code < 1 || code > 18 || !DeviceSupported(static_cast<Byte>(code))) {
        io.err << "orvanta-cli new: no supported device type " << typeText << "\n";
        return kExitUsage;
    }
    TProgramState state;
    state.device = CreateDevice(static_cast<Byte>(code));
    ResetGsmFrame(state.GsmFrame);
    RefreshGsmModels(state);
    const std::string& out = parsed->options.find("--out")->second;
    const int saved = Save(state, out, io);
    if (saved == kExitOk) {
        RecordInJournal(io, JournalEntry(io, journal::TAction::Save, state), out);
    }
    return saved;
}

int CmdRead(const TCommandArgs& given, TCliIo& io) {
    static constexpr std::array<std::string_view, 2> kOptions{"--port", "--out"};
    TCommandArgs args = given;
    const bool slow = TakeFlag(args, "--slow");
    const auto parsed = Parse(args, kOptions, 0, "read", io);
    if (!parsed) {
        return kExitUsage;
    }
    TProgramState state;
    ResetGsmFrame(state.GsmFrame);
    const std::string& port = parsed->options.find("--port")->second;
    const int result = RunTransactionCommand(port, state, 0, io, slow);
    if (result != kExitOk) {
        return result;
    }
    // The models must show what was read, or the commit before saving would replace it.
    RefreshGsmModels(state);
    // What the panel sent, before the commit of the save encodes the models again.
    auto entry = JournalEntry(io, journal::TAction::Read, state, port);
    const std::string& out = parsed->options.find("--out")->second;
    const int saved = Save(state, out, io);
    // The read is kept even when the file could not be saved.
    RecordInJournal(io, std::move(entry), saved == kExitOk ? out : std::string());
    return saved;
}

int CmdWrite(const TCommandArgs& given, TCliIo& io) {
    static constexpr std::array<std::string_view, 1> kOptions{"--port"};
    TCommandArgs args = given;
    const bool slow = TakeFlag(args, "--slow");
    const auto parsed = Parse(args, kOptions, 1, "write", io);
    if (!parsed) {
        return kExitUsage;
    }
    TProgramState state;
    if (!LoadConfiguration(state, parsed->positional[0], io)) {
        return kExitFile;
    }
    const CommitResult commit = UpdateAllTXBuffers(state, nullptr, CommitFor::Panel);
    if (!commit.ok()) {
        io.err << commit.refusal << "\n";
        return kExitFile;
    }
    if (state.device->GetGsmConnected() && !AnyDirectionEnabled(state.Directions)) {
        io.err << "Ни одно направление не включено\n";
    }
    const std::string& port = parsed->options.find("--port")->second;
    const int result = RunTransactionCommand(port, state, 1, io, slow);
    if (result == kExitOk) {
        RecordInJournal(io, JournalEntry(io, journal::TAction::Write, state, port), parsed->positional[0]);
    }
    return result;
}

} // namespace orv::cli
