// camemu: one emulated Quorin camera in a process of its own, reached over a Unix socket.
#include <getopt.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "camera_model.hpp"
#include "seqpacket_server.hpp"

namespace Emu = Corvane::CameraController::Emulator;

namespace {

constexpr int kExitRuntime = 1;
constexpr int kExitUsage = 2;

int controlPipe[2] = {-1, -1};

void onSignal(int signal) {
    const char command = signal == SIGUSR1 ? 'u' : 'q';
    // Nothing else is async-signal-safe here; the main loop does the work.
    [[maybe_unused]] const ssize_t n = ::write(controlPipe[1], &command, 1);
}

const char* const kUsage =
    R"(Usage: camemu --socket PATH [options]

Runs one emulated Quorin camera and serves its USB pipes on a Unix SOCK_SEQPACKET
socket. Point the library at it with CORVANE_CAMEMU_SOCKET=PATH.

  --socket PATH          socket to create (required)
  --model NAME           model string (default "QUORIN Alto II")
  --serial TEXT          serial number (default 3000001)
  --firmware TEXT        firmware version (default 1.50)
  --manufacturer TEXT    manufacturer (default QUORIN)
  --id TEXT              device key (default emulator-N)
  --battery PERCENT      battery level 0-100 (default 80)
  --slots N              number of card slots (default: the model's)
  --card SLOT[:MIB]      put a card of MIB MiB (default 65536) into SLOT (1-based)
  --no-card SLOT         leave SLOT empty
  --file SLOT:PATH[:BYTES]  a file already on the card in SLOT, e.g. 1:DCIM/100QUORN/A.JPG
  --without-op CODE      do not support operation CODE (e.g. 0x900B); repeatable
  --time-scale X         multiply the camera's own delays by X (default 1)
  --latency-us N         extra microseconds before every answer
  --live-view WxH        live view size (default 640x480)
  --raw-size BYTES       size of captured raw files (default 20 MiB)
  --raw-jpeg-only        the body records raw and JPEG together only
  --record-dir DIR       on exit, write into DIR the files on the cards (by base name)
                         and "releases": when each release arrived, in ns since 1970
  --help                 show this text

Signals: SIGUSR1 pulls the USB cable out or plugs it back in; SIGINT/SIGTERM end.
Exit status: 0 after a signal to end, 1 when the socket cannot be served, 2 on bad usage.
)";

bool parseNumber(const std::string& text, unsigned long long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, 0);
    return errno == 0 && end != nullptr && *end == '\0' && text[0] != '-';
}

struct Options {
    std::string socket;
    Emu::CameraConfig config;
    std::optional<unsigned> slots;
    std::vector<std::pair<unsigned, std::optional<uint64_t>>> cards;
    std::vector<unsigned> emptySlots;
    std::vector<std::pair<unsigned, Emu::FileSpec>> files;
    std::vector<uint16_t> withoutOps;
    uint64_t latencyUs = 0;
    std::string recordDir;
};

bool usageError(const std::string& message) {
    std::cerr << "camemu: " << message << "\nTry 'camemu --help'.\n";
    return false;
}

bool parseFile(const std::string& text, Options& options) {
    const auto first = text.find(':');
    unsigned long long slot = 0;
    if (first == std::string::npos || !parseNumber(text.substr(0, first), slot)) {
        return usageError("--file wants SLOT:PATH[:BYTES], got '" + text + "'");
    }
    Emu::FileSpec file;
    file.path = text.substr(first + 1);
    const auto last = file.path.rfind(':');
    unsigned long long bytes = 0;
    if (last != std::string::npos && parseNumber(file.path.substr(last + 1), bytes)) {
        file.size = bytes;
        file.path.resize(last);
    }
    if (file.path.empty()) {
        return usageError("--file needs a path");
    }
    options.files.emplace_back(static_cast<unsigned>(slot), file);
    return true;
}

bool parseArguments(int argc, char** argv, Options& options, bool& help) {
    enum : int {
        kSocket = 1000,
        kModel,
        kSerial,
        kFirmware,
        kManufacturer,
        kId,
        kBattery,
        kSlots,
        kCard,
        kNoCard,
        kFile,
        kWithoutOp,
        kTimeScale,
        kLatency,
        kLiveView,
        kRawSize,
        kRawJpegOnly,
        kRecordDir,
        kHelp
    };
    static const option longOptions[] = {
        {"socket", required_argument, nullptr, kSocket},
        {"model", required_argument, nullptr, kModel},
        {"serial", required_argument, nullptr, kSerial},
        {"firmware", required_argument, nullptr, kFirmware},
        {"manufacturer", required_argument, nullptr, kManufacturer},
        {"id", required_argument, nullptr, kId},
        {"battery", required_argument, nullptr, kBattery},
        {"slots", required_argument, nullptr, kSlots},
        {"card", required_argument, nullptr, kCard},
        {"no-card", required_argument, nullptr, kNoCard},
        {"file", required_argument, nullptr, kFile},
        {"without-op", required_argument, nullptr, kWithoutOp},
        {"time-scale", required_argument, nullptr, kTimeScale},
        {"latency-us", required_argument, nullptr, kLatency},
        {"live-view", required_argument, nullptr, kLiveView},
        {"raw-size", required_argument, nullptr, kRawSize},
        {"raw-jpeg-only", no_argument, nullptr, kRawJpegOnly},
        {"record-dir", required_argument, nullptr, kRecordDir},
        {"help", no_argument, nullptr, kHelp},
        {nullptr, 0, nullptr, 0}};
    opterr = 0;
    int option = 0;
    while ((option = getopt_long(argc, argv, "", longOptions, nullptr)) != -1) {
        const std::string value = optarg != nullptr ? optarg : "";
        unsigned long long number = 0;
        switch (option) {
            case kSocket:
                options.socket = value;
                break;
            case kModel:
                options.config.model = value;
                break;
            case kSerial:
                options.config.serialNumber = value;
                break;
            case kFirmware:
                options.config.firmwareVersion = value;
                break;
            case kManufacturer:
                options.config.manufacturer = value;
                break;
            case kId:
                options.config.id = value;
                break;
            case kBattery:
                if (!parseNumber(value, number) || number > 100) {
                    return usageError("--battery wants 0 to 100");
                }
                options.config.batteryLevel = static_cast<uint8_t>(number);
                break;
            case kSlots:
                if (!parseNumber(value, number) || number < 1 || number > 2) {
                    return usageError("--slots wants 1 or 2");
                }
                options.slots = static_cast<unsigned>(number);
                break;
            case kCard: {
                const auto colon = value.find(':');
                unsigned long long mib = 0;
                if (!parseNumber(value.substr(0, colon), number) ||
                    (colon != std::string::npos && !parseNumber(value.substr(colon + 1), mib))) {
                    return usageError("--card wants SLOT[:MIB]");
                }
                options.cards.emplace_back(
                    static_cast<unsigned>(number),
                    colon == std::string::npos ? std::nullopt : std::optional<uint64_t>(mib << 20));
                break;
            }
            case kNoCard:
                if (!parseNumber(value, number)) {
                    return usageError("--no-card wants a slot number");
                }
                options.emptySlots.push_back(static_cast<unsigned>(number));
                break;
            case kFile:
                if (!parseFile(value, options)) {
                    return false;
                }
                break;
            case kWithoutOp:
                if (!parseNumber(value, number) || number > 0xFFFF) {
                    return usageError("--without-op wants an operation code such as 0x900B");
                }
                options.withoutOps.push_back(static_cast<uint16_t>(number));
                break;
            case kTimeScale: {
                char* end = nullptr;
                const double scale = std::strtod(value.c_str(), &end);
                if (value.empty() || *end != '\0' || !(scale >= 0)) {
                    return usageError("--time-scale wants a number of 0 or more");
                }
                options.config.timeScale = scale;
                break;
            }
            case kLatency:
                if (!parseNumber(value, number)) {
                    return usageError("--latency-us wants a number");
                }
                options.latencyUs = number;
                break;
            case kLiveView: {
                unsigned width = 0;
                unsigned height = 0;
                char extra = 0;
                if (std::sscanf(value.c_str(), "%ux%u%c", &width, &height, &extra) != 2 ||
                    width < 16 || height < 16 || width > 4096 || height > 4096) {
                    return usageError("--live-view wants WxH, each 16 to 4096");
                }
                options.config.liveViewWidth = static_cast<uint16_t>(width);
                options.config.liveViewHeight = static_cast<uint16_t>(height);
                break;
            }
            case kRawSize:
                if (!parseNumber(value, number) || number == 0 || number > (1ull << 32)) {
                    return usageError("--raw-size wants 1 byte to 4 GiB");
                }
                options.config.rawFileSize = number;
                break;
            case kRawJpegOnly:
                options.config.rawAndJpegOnly = true;
                break;
            case kRecordDir:
                options.recordDir = value;
                break;
            case kHelp:
                help = true;
                return true;
            default:
                return usageError(std::string("unknown or incomplete option '") + argv[optind - 1] +
                                  "'");
        }
    }
    if (optind < argc) {
        return usageError(std::string("unexpected argument '") + argv[optind] + "'");
    }
    if (options.socket.empty()) {
        return usageError("--socket is required");
    }
    return true;
}

bool buildSlots(Options& options) {
    const unsigned count =
        options.slots.value_or(Emu::CameraConfig::slotCountOf(options.config.model));
    options.config.slots.assign(count, Emu::CardSlotConfig{});
    for (unsigned i = 1; i < count; ++i) {
        options.config.slots[i].cardInserted = false;
    }
    auto valid = [count](unsigned slot) { return slot >= 1 && slot <= count; };
    for (const auto& [slot, capacity] : options.cards) {
        if (!valid(slot)) {
            return usageError("--card: no slot " + std::to_string(slot));
        }
        options.config.slots[slot - 1].cardInserted = true;
        if (capacity) {
            options.config.slots[slot - 1].capacity = *capacity;
        }
    }
    for (const unsigned slot : options.emptySlots) {
        if (!valid(slot)) {
            return usageError("--no-card: no slot " + std::to_string(slot));
        }
        options.config.slots[slot - 1].cardInserted = false;
    }
    for (const auto& [slot, file] : options.files) {
        if (!valid(slot) || !options.config.slots[slot - 1].cardInserted) {
            return usageError("--file: no card in slot " + std::to_string(slot));
        }
        options.config.slots[slot - 1].files.push_back(file);
    }
    if (!options.withoutOps.empty()) {
        options.config.operations = Emu::CameraConfig::operationsWithout(options.withoutOps);
    }
    return true;
}

// What the camera served and when it was released, for tests that check a whole rig from
// outside (the files the host collected must be these bytes).
bool writeRecord(Emu::CameraModel& model, const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(dir, error);
    std::ofstream releases(fs::path(dir) / "releases", std::ios::trunc);
    for (const auto& time : model.releaseTimes()) {
        releases
            << std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count()
            << '\n';
    }
    for (const auto& object : model.objects()) {
        constexpr uint16_t kFolderFormat = 0x3001;
        const std::string name = fs::path(object.path).filename().string();
        if (object.format == kFolderFormat || name.empty() || name == "releases") {
            continue;
        }
        const auto bytes = model.objectData(object.handle, 0, object.size);
        std::ofstream file(fs::path(dir) / name, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    releases.flush();
    return static_cast<bool>(releases);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool help = false;
    if (!parseArguments(argc, argv, options, help)) {
        return kExitUsage;
    }
    if (help) {
        std::cout << kUsage;
        return 0;
    }
    if (!buildSlots(options)) {
        return kExitUsage;
    }
    if (::pipe(controlPipe) != 0) {
        std::perror("camemu: pipe");
        return kExitRuntime;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGUSR1, &action, nullptr);

    auto model = std::make_shared<Emu::CameraModel>(options.config);
    model->setLatency(std::chrono::microseconds(options.latencyUs));
    Emu::SeqpacketServer server(model, options.socket);
    std::string error;
    if (!server.listen(error)) {
        std::cerr << "camemu: " << error << "\n";
        return kExitRuntime;
    }
    std::cout << "camemu: " << options.config.model << " ready on " << options.socket << std::endl;
    server.run(controlPipe[0]);
    if (!options.recordDir.empty() && !writeRecord(*model, options.recordDir)) {
        std::cerr << "camemu: cannot write the record into " << options.recordDir << "\n";
        return kExitRuntime;
    }
    return 0;
}
