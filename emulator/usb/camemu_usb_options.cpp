#include "camemu_usb_options.hpp"

#include <algorithm>
#include <cstdlib>

namespace Corvane::CameraController::Emulator::Usb {
namespace {

bool toNumber(const std::string& text, unsigned long long& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

/// "DCIM/100QUORN/QRN_0001.JPG:2097152" or just the path.
bool toFile(const std::string& text, FileSpec& file) {
    const size_t colon = text.rfind(':');
    file.path = text.substr(0, colon);
    unsigned long long size = 0;
    if (colon != std::string::npos && !toNumber(text.substr(colon + 1), size)) {
        return false;
    }
    file.size = size;
    return !file.path.empty();
}

std::string numberedJpeg(unsigned long long n) {
    std::string digits = std::to_string(n);
    digits.insert(0, 4 - std::min<size_t>(4, digits.size()), '0');
    return "DCIM/100QUORN/QRN_" + digits + ".JPG";
}

}  // namespace

const char* camemuUsbUsage() {
    return "usage: camemu-usb [options] -- COMMAND [ARGS...]\n"
           "Runs COMMAND with an emulated camera on an emulated USB bus (/dev/bus/usb).\n"
           "  --model NAME        model string (default \"QUORIN Alto II\")\n"
           "  --serial TEXT       serial number\n"
           "  --firmware TEXT     firmware version\n"
           "  --no-card           no card in slot 1\n"
           "  --files N           N pictures on the card (DCIM/100QUORN/QRN_0001.JPG ...)\n"
           "  --file PATH[:SIZE]  one more file on the card, SIZE bytes\n"
           "  --time-scale X      multiply the camera's own delays (0.01: fast)\n"
           "  --split-urbs        a host controller without scatter-gather (16 KiB URBs)\n"
           "  --unplug-after MS   pull the cable MS milliseconds after COMMAND started\n"
           "  --replug-after MS   plug it back in MS milliseconds after the unplug\n"
           "  --timeout SECONDS   stop COMMAND after this long (default 600)\n";
}

std::optional<CamemuUsbOptions> parseCamemuUsbOptions(const std::vector<std::string>& args,
                                                      std::string& error) {
    CamemuUsbOptions options;
    CardSlotConfig card;
    bool noCard = false;
    size_t i = 0;
    const auto value = [&](std::string& out) {
        if (i + 1 >= args.size()) {
            error = args[i] + " needs a value";
            return false;
        }
        out = args[++i];
        return true;
    };
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string text;
        unsigned long long number = 0;
        if (arg == "--") {
            options.command.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        }
        if (arg == "-h" || arg == "--help") {
            error.clear();
            return std::nullopt;
        }
        if (arg == "--no-card") {
            noCard = true;
        } else if (arg == "--split-urbs") {
            options.host.capabilities = kSplittingHostCapabilities;
        } else if (arg == "--model" || arg == "--serial" || arg == "--firmware") {
            if (!value(text)) {
                return std::nullopt;
            }
            (arg == "--model"    ? options.camera.model
             : arg == "--serial" ? options.camera.serialNumber
                                 : options.camera.firmwareVersion) = text;
        } else if (arg == "--file") {
            FileSpec file;
            if (!value(text) || !toFile(text, file)) {
                error = error.empty() ? "bad --file " + text : error;
                return std::nullopt;
            }
            card.files.push_back(file);
        } else if (arg == "--time-scale") {
            if (!value(text)) {
                return std::nullopt;
            }
            char* end = nullptr;
            options.camera.timeScale = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || options.camera.timeScale < 0) {
                error = "bad --time-scale " + text;
                return std::nullopt;
            }
        } else if (arg == "--files" || arg == "--unplug-after" || arg == "--replug-after" ||
                   arg == "--timeout") {
            if (!value(text) || !toNumber(text, number)) {
                error = error.empty() ? "bad " + arg + " " + text : error;
                return std::nullopt;
            }
            if (arg == "--files") {
                for (unsigned long long n = 1; n <= number; ++n) {
                    card.files.push_back({numberedJpeg(n), 0, false});
                }
            } else if (arg == "--unplug-after") {
                options.unplugAfterMs = static_cast<unsigned>(number);
            } else if (arg == "--replug-after") {
                options.replugAfterMs = static_cast<unsigned>(number);
            } else {
                options.timeoutSeconds = static_cast<unsigned>(number);
            }
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    if (options.command.empty()) {
        error = "no command after --";
        return std::nullopt;
    }
    if (options.replugAfterMs && !options.unplugAfterMs) {
        error = "--replug-after needs --unplug-after";
        return std::nullopt;
    }
    card.cardInserted = !noCard;
    if (noCard) {
        card.files.clear();
    }
    options.camera.slots = {card};
    if (CameraConfig::slotCountOf(options.camera.model) > 1) {
        CardSlotConfig empty;
        empty.cardInserted = false;
        options.camera.slots.push_back(empty);
    }
    return options;
}

}  // namespace Corvane::CameraController::Emulator::Usb
