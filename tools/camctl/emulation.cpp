#include "emulation.hpp"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

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

// Controls that act on the running camera (and so may also be scheduled with after=).
bool isLiveKey(const std::string& key) {
    static const char* const keys[] = {"latency", "fail", "failnext", "truncate", "mode",
                                       "movie",   "iso",  "fnumber",  "shutter",  "unplug"};
    return std::find(std::begin(keys), std::end(keys), key) != std::end(keys);
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
        } else if (key == "after" || isLiveKey(key)) {
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
    } else if (key == "iso") {
        camera.setIso(static_cast<uint32_t>(parseUnsigned(part(0), key)));
    } else if (key == "fnumber") {
        camera.setFNumber(static_cast<uint16_t>(parseUnsigned(part(0), key)));
    } else if (key == "shutter") {
        camera.pressShutter();
    } else if (key == "unplug") {
        if (parseUnsigned(part(0), key) != 0) {
            camera.unplug();
        } else {
            camera.replug();
        }
    }
}

// Body actions scheduled with after=MS:CONTROL, run on a thread of their own so that a command
// sees them happen while it runs.
class ScheduledActions {
public:
    ScheduledActions(std::shared_ptr<emu::EmulatedCamera> camera,
                     std::vector<std::pair<std::chrono::milliseconds, std::string>> actions)
        : worker([this, camera = std::move(camera), actions = std::move(actions)] {
              const auto start = std::chrono::steady_clock::now();
              for (const auto& [delay, control] : actions) {
                  std::unique_lock<std::mutex> lock(mutex);
                  if (stop.wait_until(lock, start + delay, [this] { return stopping; })) {
                      return;
                  }
                  lock.unlock();
                  try {
                      applyLive(*camera, control);
                  } catch (const std::exception&) {
                      return;  // malformed controls were rejected before the thread started
                  }
              }
          }) {}
    ~ScheduledActions() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        stop.notify_all();
        worker.join();
    }

private:
    std::mutex mutex;
    std::condition_variable stop;
    bool stopping = false;
    std::thread worker;
};

// "after=1000:iso=800" -> (1000 ms, "iso=800"); throws UsageError when malformed.
std::pair<std::chrono::milliseconds, std::string> parseScheduled(const std::string& control) {
    const std::string value = control.substr(control.find('=') + 1);
    const size_t colon = value.find(':');
    if (colon == std::string::npos || value.find('=', colon) == std::string::npos) {
        throw UsageError("--emulate-with after=MS:KEY=VALUE, got \"" + control + "\"");
    }
    const std::string inner = value.substr(colon + 1);
    if (!isLiveKey(inner.substr(0, inner.find('=')))) {
        throw UsageError("--emulate-with " + control + ": not an action on the running camera\n" +
                         emulationHelp());
    }
    return {std::chrono::milliseconds(parseUnsigned(value.substr(0, colon), "after")), inner};
}

// Detaches the camera when the command is done with it.
struct AttachedCamera {
    std::shared_ptr<emu::EmulatedCamera> camera;
    std::unique_ptr<ScheduledActions> scheduled;
    ~AttachedCamera() {
        scheduled.reset();
        camera->detach();
    }
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
           "  truncate=OP:BYTES    cut the data of operation OP to BYTES\n"
           "  iso=N  fnumber=N     turn a dial on the body (ISO 0 = auto, f-number x 100)\n"
           "  shutter=1            press the shutter button on the body\n"
           "  unplug=1, unplug=0   pull the USB cable, plug it back in\n"
           "  after=MS:KEY=VALUE   do one of the above MS milliseconds after the start";
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
    std::vector<std::pair<std::chrono::milliseconds, std::string>> scheduled;
    for (const auto& control : controls.live) {
        if (control.rfind("after=", 0) == 0) {
            scheduled.push_back(parseScheduled(control));
        } else {
            applyLive(*attached->camera, control);
        }
    }
    attached->camera->attach();
    if (!scheduled.empty()) {
        attached->scheduled =
            std::make_unique<ScheduledActions>(attached->camera, std::move(scheduled));
    }
    return attached;
}

#else

std::shared_ptr<void> attachEmulatedCamera(const EmulationOptions&) {
    throw UsageError("this camctl was built without the camera emulator");
}

#endif

}  // namespace camctl
