#include "flash_command.h"

#include "files/firmware_image.h"
#include "link/firmware_update.h"
#include "link/port_discovery.h"
#include "link/result_codes.h"

#include <array>

namespace orv::cli {

namespace {

constexpr const char* kUpdatedText = "Прошивка прибора обновлена";
constexpr const char* kNoAnswerText = "Нет связи с устройством";
constexpr const char* kChecksumText = "Ошибка контрольной суммы";

} // namespace

int CmdFlash(const TCommandArgs& args, TCliIo& io) {
    static constexpr std::array<std::string_view, 1> kOptions{"--port"};
    std::string error;
    const auto parsed = ParseArgs(args, kOptions, error);
    if (!parsed) {
        io.err << "orvanta-cli flash: " << error << "\n";
        return kExitUsage;
    }
    const auto port = parsed->options.find("--port");
    if (port == parsed->options.end()) {
        io.err << "orvanta-cli flash: --port is required\n";
        return kExitUsage;
    }
    if (parsed->positional.size() != 1) {
        io.err << "orvanta-cli flash: expected 1 file name(s)\n";
        return kExitUsage;
    }

    // The whole file is checked before the port is touched.
    const std::string& file = parsed->positional[0];
    const TFirmwareLoad load = ReadFirmwareFile(file);
    if (!load.ok()) {
        io.err << FirmwareRefusalText(load) << ": " << file << "\n" << FirmwareFaultDetails(load) << "\n";
        return kExitFile;
    }

    const auto driver = Make_cmprtdrvrUpdate();
    TFirmwareSender sender(*driver);
    const QString path = PortPathForEntry(QString::fromStdString(port->second));
    if (!sender.Open(path)) {
        io.out << ResultStatusText(rcPortError) << std::endl;
        io.err << "orvanta-cli: " << path.toStdString() << ": " << driver->LastError().toStdString() << "\n";
        return rcPortError;
    }
    bool progressShown = false;
    const TUpdateOutcome outcome =
        sender.Send(load.image, [&](int percent, std::size_t block, std::size_t blocks) {
            io.out << "\rПрошивка: " << percent << "%, блок " << block << " из " << blocks << std::flush;
            progressShown = true;
        });
    if (progressShown) {
        io.out << "\n";
    }
    switch (outcome) {
    case TUpdateOutcome::Done:
        io.out << kUpdatedText << std::endl;
        return kExitOk;
    case TUpdateOutcome::NoAnswer:
        io.out << kNoAnswerText << std::endl;
        return kExitNoAnswer;
    case TUpdateOutcome::ChecksumError:
        io.out << kChecksumText << std::endl;
        return kExitChecksumError;
    case TUpdateOutcome::PortError:
        return rcPortError;
    case TUpdateOutcome::Aborted:
        break;
    }
    return kExitFailed;
}

} // namespace orv::cli
