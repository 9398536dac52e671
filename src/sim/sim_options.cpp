#include "sim_options.h"

#include "sim/hex.h"

#include <charconv>
#include <functional>
#include <map>

namespace orv::sim {

namespace {

std::optional<long> Number(const std::string& text) {
    std::string_view digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    long value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

// Frame data of a block: at most the longest frame less its header and checksum.
constexpr std::size_t kMaxBlockData = frame::kMaxFrame - 5;

struct Pending {
    std::optional<Byte> type;
    std::optional<Byte> version;
    std::optional<std::vector<Byte>> config, gsm, gprs, sms, objects, smsRecordBytes;
    std::optional<std::size_t> objectCount, smsRecordCount;
    std::string configFile;
};

} // namespace

std::string SimUsage() {
    return "usage: orvanta-sim [options]\n"
           "A simulated panel on a pseudo-terminal; prints the terminal's path on its first line.\n"
           "  --personality NAME     what answers on the line: panel (default) or loader\n"
           "  --loader               as --personality loader: a firmware loader that answers 0x11 to\n"
           "                         each whole block (two length bytes, high first, then the payload)\n"
           "  --type CODE            the panel's type code (default 1)\n"
           "  --version N            its firmware version (default 1)\n"
           "  --config-hex HEX       configuration bytes (as many as the type has)\n"
           "  --config FILE          type, configuration, GSM settings, objects and SMS list of a .cf8 file\n"
           "  --gsm HEX              GSM directions block: frame bytes from offset 4 to the checksum\n"
           "  --gprs HEX             GPRS block, likewise\n"
           "  --sms HEX              SMS list block, likewise\n"
           "  --objects HEX          retranslator object records, 3 bytes each (up to 32)\n"
           "  --object-count N       N synthetic objects\n"
           "  --sms-records N        N synthetic retranslator SMS records\n"
           "  --sms-records-hex HEX  retranslator SMS records, 10 bytes each (up to 40)\n"
           "  --fault NAME[:ARG]     misbehave (may be given several times):\n" +
           FaultHelp() + "    in loader mode, counting blocks from 1:\n" + LoaderFaultHelp() +
           "  --baud N               line rate: bytes that arrive while the program's end of the line\n"
           "                         is set to another rate than N or to two stop bits are ignored (a\n"
           "                         pseudo-terminal carries no parity or data bits: only the rate and\n"
           "                         the stop bits are checked); it also paces what is sent, and what\n"
           "                         is received: nothing is answered before its last byte would have\n"
           "                         come (default 9600; 115200 for the loader)\n"
           "  --no-pace              send and answer at once\n"
           "  --deaf-after-reply MS  the panel ignores bytes that arrive sooner than MS after it sent\n"
           "                         its last byte\n"
           "  --log FILE             one line per frame (loader: per block) received: its bytes in hex,\n"
           "                         then for a frame at=MS when its first byte came (from the start)\n"
           "                         and quiet=MS how long after the panel's last byte; bytes ignored\n"
           "                         as \"ignored HEX: why\"\n"
           "  --dump FILE            the panel's state, after every write and on exit\n"
           "Stops on SIGTERM or SIGINT.\n";
}

std::optional<TSimOptions> ParseSimOptions(const std::vector<std::string>& args, std::string& error) {
    TSimOptions options;
    Pending pending;
    std::vector<std::string> faultTexts;
    bool baudGiven = false;

    auto hexValue = [&](const std::string& name, const std::string& text,
                        std::optional<std::vector<Byte>>& target) {
        auto bytes = FromHex(text);
        if (!bytes) {
            error = name + " needs hexadecimal digit pairs";
            return false;
        }
        target = std::move(bytes);
        return true;
    };
    auto byteValue = [&](const std::string& name, const std::string& text, std::optional<Byte>& target) {
        const auto n = Number(text);
        if (!n || *n < 0 || *n > 255) {
            error = name + " needs a number from 0 to 255";
            return false;
        }
        target = static_cast<Byte>(*n);
        return true;
    };

    using Handler = std::function<bool(const std::string&)>;
    const std::map<std::string, Handler> withValue{
        {"--personality",
         [&](const std::string& v) {
             options.personality = v;
             if (v != "panel" && v != "loader") {
                 error = "unknown personality " + v;
                 return false;
             }
             return true;
         }},
        {"--type", [&](const std::string& v) { return byteValue("--type", v, pending.type); }},
        {"--version", [&](const std::string& v) { return byteValue("--version", v, pending.version); }},
        {"--config-hex", [&](const std::string& v) { return hexValue("--config-hex", v, pending.config); }},
        {"--config",
         [&](const std::string& v) {
             pending.configFile = v;
             return true;
         }},
        {"--gsm", [&](const std::string& v) { return hexValue("--gsm", v, pending.gsm); }},
        {"--gprs", [&](const std::string& v) { return hexValue("--gprs", v, pending.gprs); }},
        {"--sms", [&](const std::string& v) { return hexValue("--sms", v, pending.sms); }},
        {"--objects", [&](const std::string& v) { return hexValue("--objects", v, pending.objects); }},
        {"--object-count",
         [&](const std::string& v) {
             const auto n = Number(v);
             if (!n || *n < 0 || *n > 32) {
                 error = "--object-count needs a number from 0 to 32";
                 return false;
             }
             pending.objectCount = static_cast<std::size_t>(*n);
             return true;
         }},
        {"--sms-records",
         [&](const std::string& v) {
             const auto n = Number(v);
             if (!n || *n < 0 || *n > 40) {
                 error = "--sms-records needs a count from 0 to 40";
                 return false;
             }
             pending.smsRecordCount = static_cast<std::size_t>(*n);
             return true;
         }},
        {"--sms-records-hex",
         [&](const std::string& v) { return hexValue("--sms-records-hex", v, pending.smsRecordBytes); }},
        {"--fault",
         [&](const std::string& v) {
             faultTexts.push_back(v);
             return true;
         }},
        {"--baud",
         [&](const std::string& v) {
             const auto n = Number(v);
             if (!n || *n < 50 || *n > 4'000'000) {
                 error = "--baud needs a rate in bits per second";
                 return false;
             }
             options.baud = static_cast<int>(*n);
             baudGiven = true;
             return true;
         }},
        {"--deaf-after-reply",
         [&](const std::string& v) {
             const auto n = Number(v);
             if (!n || *n < 0 || *n > 60'000) {
                 error = "--deaf-after-reply needs milliseconds from 0 to 60000";
                 return false;
             }
             options.deafAfterReply = std::chrono::milliseconds(*n);
             return true;
         }},
        {"--log",
         [&](const std::string& v) {
             options.logPath = v;
             return true;
         }},
        {"--dump",
         [&](const std::string& v) {
             options.dumpPath = v;
             return true;
         }},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        }
        if (arg == "--no-pace") {
            options.pace = false;
            continue;
        }
        if (arg == "--loader") {
            options.personality = "loader";
            continue;
        }
        const auto handler = withValue.find(arg);
        if (handler == withValue.end()) {
            error = "unknown option " + arg;
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        if (!handler->second(args[++i])) {
            return std::nullopt;
        }
    }

    options.panel = DefaultPanelState(pending.type.value_or(1), pending.version.value_or(1));
    TPanelState& panel = options.panel;
    if (!pending.configFile.empty()) {
        if (auto reason = LoadConfigFile(pending.configFile, panel)) {
            error = *reason;
            return std::nullopt;
        }
    }
    if (pending.config) {
        if (pending.config->size() != panel.config.size()) {
            error = "--config-hex needs " + std::to_string(panel.config.size()) + " bytes for type " +
                    std::to_string(panel.type);
            return std::nullopt;
        }
        panel.config = *pending.config;
    }
    for (auto [name, block, target] :
         {std::tuple{"--gsm", &pending.gsm, &panel.gsm}, std::tuple{"--gprs", &pending.gprs, &panel.gprs},
          std::tuple{"--sms", &pending.sms, &panel.sms}}) {
        if (*block) {
            if ((*block)->size() > kMaxBlockData) {
                error = std::string(name) + " holds more than " + std::to_string(kMaxBlockData) + " bytes";
                return std::nullopt;
            }
            *target = **block;
        }
    }
    if (pending.objectCount) {
        FillObjects(panel, *pending.objectCount);
    }
    if (pending.objects) {
        if (pending.objects->size() % 3 != 0 || pending.objects->size() > panel.objects.size()) {
            error = "--objects needs up to 32 records of 3 bytes";
            return std::nullopt;
        }
        panel.objects.fill(0);
        std::copy(pending.objects->begin(), pending.objects->end(), panel.objects.begin());
    }
    if (pending.smsRecordCount) {
        FillSmsRecords(panel, *pending.smsRecordCount);
    }
    if (pending.smsRecordBytes) {
        const auto& bytes = *pending.smsRecordBytes;
        if (bytes.size() % 10 != 0 || bytes.size() > 400) {
            error = "--sms-records-hex needs up to 40 records of 10 bytes";
            return std::nullopt;
        }
        panel.smsRecords = {};
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            panel.smsRecords[i / 10][i % 10] = bytes[i];
        }
    }
    if (options.personality == "loader") {
        if (!baudGiven) {
            options.baud = 115200;
        }
        for (const std::string& text : faultTexts) {
            auto fault = ParseLoaderFault(text, error);
            if (!fault) {
                return std::nullopt;
            }
            options.loaderFaults.push_back(*fault);
        }
        return options;
    }
    for (const std::string& text : faultTexts) {
        auto fault = MakeFault(text, error);
        if (!fault) {
            return std::nullopt;
        }
        options.faults.push_back(std::move(fault));
    }
    return options;
}

} // namespace orv::sim
