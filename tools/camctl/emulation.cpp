#include "emulation.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "errors.hpp"

#ifdef CAMCTL_WITH_EMULATOR
#include <corvane/emulator/emulated_camera.hpp>
#endif

namespace camctl {

namespace {

const char* const shortModelNames[] = {"Alto",   "Alto II", "Brio",   "Grande",
                                       "Cresta", "Delta",   "Delta X"};

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

#ifdef CAMCTL_WITH_EMULATOR

namespace emu = Corvane::CameraController::Emulator;

unsigned long long parseUnsigned(const std::string& text, const std::string& control) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || end != text.c_str() + text.size()) {
        throw UsageError("--emulate-with " + control + ": \"" + text + "\" is not a number");
    }
    return value;
}

double parseDouble(const std::string& text, const std::string& control) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size()) {
        throw UsageError("--emulate-with " + control + ": \"" + text + "\" is not a number");
    }
    return value;
}

// "A:B:C" -> {"A", "B", "C"}
std::vector<std::string> fields(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
        const size_t colon = text.find(':', start);
        out.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) {
            return out;
        }
        start = colon + 1;
    }
}

struct Controls {
    std::vector<emu::FileSpec> files;
    std::vector<std::string> live;  // applied to the running camera, in order
    double timeScale = -1;
};

// Controls that shape the camera before it starts go into the configuration; the others
// are replayed on the running camera.
Controls sortControls(const std::vector<std::string>& controls, emu::CameraConfig& config) {
    Controls sorted;
    for (const auto& control : controls) {
        const size_t equals = control.find('=');
        if (equals == std::string::npos) {
            throw UsageError("--emulate-with takes KEY=VALUE, got \"" + control + "\"\n" +
                             emulationHelp());
        }
        const std::string key = control.substr(0, equals);
        const std::string value = control.substr(equals + 1);
        if (key == "file") {
            // The size is after the last ':' only when that part is a number, so names with
            // colons still work.
            emu::FileSpec file{value, 0, false};
            const size_t colon = value.rfind(':');
            if (colon != std::string::npos && colon + 1 < value.size() &&
                std::all_of(value.begin() + colon + 1, value.end(),
                            [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
                file.path = value.substr(0, colon);
                file.size = parseUnsigned(value.substr(colon + 1), key);
            }
            sorted.files.push_back(file);
        } else if (key == "timescale") {
            sorted.timeScale = parseDouble(value, key);
        } else if (key == "serial") {
            config.serialNumber = value;
        } else if (key == "firmware") {
            config.firmwareVersion = value;
        } else if (key == "battery") {
            config.batteryLevel = static_cast<uint8_t>(parseUnsigned(value, key));
        } else if (key == "latency" || key == "fail" || key == "failnext" || key == "truncate" ||
                   key == "mode" || key == "movie") {
            sorted.live.push_back(control);
        } else {
            throw UsageError("--emulate-with: unknown control \"" + key + "\"\n" + emulationHelp());
        }
    }
    return sorted;
}

void applyLive(emu::EmulatedCamera& camera, const std::string& control) {
    const size_t equals = control.find('=');
    const std::string key = control.substr(0, equals);
    const auto parts = fields(control.substr(equals + 1));
    const auto part = [&](size_t i) -> const std::string& {
        if (i >= parts.size()) {
            throw UsageError("--emulate-with " + control + ": missing a field\n" + emulationHelp());
        }
        return parts[i];
    };
    if (key == "latency") {
        camera.setLatency(std::chrono::microseconds(parseUnsigned(part(0), key)));
    } else if (key == "fail") {
        camera.failAlways(static_cast<uint16_t>(parseUnsigned(part(0), key)),
                          static_cast<uint16_t>(parseUnsigned(part(1), key)));
    } else if (key == "failnext") {
        const unsigned times = parts.size() > 2 ? parseUnsigned(part(2), key) : 1;
        camera.failNext(static_cast<uint16_t>(parseUnsigned(part(0), key)),
                        static_cast<uint16_t>(parseUnsigned(part(1), key)), times);
    } else if (key == "truncate") {
        camera.truncateData(static_cast<uint16_t>(parseUnsigned(part(0), key)),
                            static_cast<uint32_t>(parseUnsigned(part(1), key)), 0);
    } else if (key == "mode") {
        camera.setExposureMode(static_cast<int32_t>(parseUnsigned(part(0), key)));
    } else if (key == "movie") {
        camera.setMovieMode(parseUnsigned(part(0), key) != 0);
    }
}

// Detaches the camera when the command is done with it.
struct AttachedCamera {
    std::shared_ptr<emu::EmulatedCamera> camera;
    ~AttachedCamera() { camera->detach(); }
};

#endif

}  // namespace

std::string fullModelName(const std::string& model) {
    for (const char* name : shortModelNames) {
        if (equalsIgnoringCase(model, name)) {
            return std::string("QUORIN ") + name;
        }
    }
    return model;
}

std::string emulationHelp() {
    return "Emulator controls (--emulate-with KEY=VALUE, repeatable):\n"
           "  file=PATH[:SIZE]     a file on the card, e.g. "
           "file=DCIM/100QUORN/QRN_0001.JPG:4000000\n"
           "  timescale=F          the camera's own delays times F (0.01: a shot takes ms)\n"
           "  serial=S  firmware=V  battery=PERCENT\n"
           "  mode=N               exposure mode dial (8 manual, 5 aperture priority, ...)\n"
           "  movie=1              still/movie switch set to movie\n"
           "  latency=US           extra microseconds before every answer\n"
           "  fail=OP:CODE         answer operation OP with response CODE (hex with 0x)\n"
           "  failnext=OP:CODE[:N] the same for the next N times only\n"
           "  truncate=OP:BYTES    cut the data of operation OP to BYTES";
}

#ifdef CAMCTL_WITH_EMULATOR

std::shared_ptr<void> attachEmulatedCamera(const EmulationOptions& options) {
    emu::CameraConfig config;
    config.model = fullModelName(options.model);
    const Controls controls = sortControls(options.controls, config);
    if (controls.timeScale >= 0) {
        config.timeScale = controls.timeScale;
    }
    const unsigned slots = emu::CameraConfig::slotCountOf(config.model);
    config.slots.assign(slots, emu::CardSlotConfig{});
    for (unsigned i = 0; i < slots; ++i) {
        // A card in the first slot only, unless the tether case was asked for.
        config.slots[i].cardInserted = options.withCard && i == 0;
    }
    if (options.withCard) {
        config.slots[0].files = controls.files;
    } else if (!controls.files.empty()) {
        throw UsageError("--emulate-with file=... needs a card (drop --emulate-no-card)");
    }
    auto attached = std::make_shared<AttachedCamera>();
    attached->camera = emu::EmulatedCamera::create(config);
    for (const auto& control : controls.live) {
        applyLive(*attached->camera, control);
    }
    attached->camera->attach();
    return attached;
}

#else

std::shared_ptr<void> attachEmulatedCamera(const EmulationOptions&) {
    throw UsageError("this camctl was built without the camera emulator");
}

#endif

}  // namespace camctl
