// End-to-end tests: the built camctl binary against an emulated camera.
#include <gtest/gtest.h>

#include <turbojpeg.h>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>
#include "support/background_process.hpp"

namespace {

namespace fs = std::filesystem;
using JsonValue = nlohmann::json;
using namespace Corvane::CameraController::Testing;
using Args = std::vector<std::string>;

class CamctlCli : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/camctl-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        work = pattern;
    }
    void TearDown() override { fs::remove_all(work); }

    static ProcessResult run(const Args& args,
                             std::chrono::milliseconds timeout = std::chrono::seconds(120),
                             const std::function<bool(int)>& whileRunning = {}) {
        return runProcess(CAMCTL_PATH, args, timeout, whileRunning);
    }

    // An emulated camera with fast timing; `controls` are extra --emulate-with values.
    static Args emulated(const Args& command, const Args& controls = {},
                         const std::string& model = "Alto II") {
        Args args{"--emulate", model, "--emulate-with", "timescale=0.01"};
        for (const auto& control : controls) {
            args.push_back("--emulate-with");
            args.push_back(control);
        }
        args.insert(args.end(), command.begin(), command.end());
        return args;
    }

    static JsonValue json(const ProcessResult& result) {
        EXPECT_FALSE(result.out.empty()) << result.err;
        return JsonValue::parse(result.out);
    }

    static JsonValue jsonOf(const Args& args) {
        const auto result = run(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return json(result);
    }

    static std::vector<fs::path> filesIn(const fs::path& folder) {
        std::vector<fs::path> files;
        if (fs::exists(folder)) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    // Decodes the whole picture: a truncated or garbled file fails here.
    static bool isDecodableJpeg(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        const std::string data(std::istreambuf_iterator<char>(in), {});
        tjhandle handle = tjInitDecompress();
        int width = 0, height = 0, subsampling = 0, colorspace = 0;
        auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
        bool ok = tjDecompressHeader3(handle, bytes, data.size(), &width, &height, &subsampling,
                                      &colorspace) == 0 &&
                  width > 0 && height > 0;
        if (ok) {
            std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
            ok = tjDecompress2(handle, bytes, data.size(), pixels.data(), width, 0, height,
                               TJPF_RGB, 0) == 0;
        }
        tjDestroy(handle);
        return ok;
    }

    fs::path work;
};

TEST_F(CamctlCli, BadCommandLinesAreUsageErrorsAndAMissingCameraACameraError) {
    EXPECT_EQ(run({}).exitCode, 2);
    EXPECT_EQ(run({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(run({"capture", "--no-focus", "--focus-point", "0.5,0.5"}).exitCode, 2);
    EXPECT_EQ(run({"--emulate-no-card", "list"}).exitCode, 2);
    EXPECT_EQ(run({"liveview", "--frames", "0", "--out", "x"}).exitCode, 2);

    const auto badPoint = run(emulated({"focus", "--point", "2,0.5"}));
    EXPECT_EQ(badPoint.exitCode, 2);
    EXPECT_NE(badPoint.err.find("fractions"), std::string::npos) << badPoint.err;

    const auto noFolder = run(emulated({"download", "1"}));
    EXPECT_EQ(noFolder.exitCode, 2);
    const auto unknownId = run(emulated({"download", "999999", (work / "d").string()}));
    EXPECT_EQ(unknownId.exitCode, 2);
    EXPECT_NE(unknownId.err.find("no image with id 999999"), std::string::npos) << unknownId.err;
    EXPECT_FALSE(fs::exists(work / "d"));

    const auto help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command : {"list", "info", "get", "set", "capture", "movie", "liveview", "ls",
                                "download", "delete", "focus", "time", "watch"}) {
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    }
    EXPECT_NE(run({"capture", "--help"}).out.find("--focus-point"), std::string::npos);

    // A missing camera is a camera error, named by its code.
    const auto wrongSerial = run(emulated({"--json", "--serial", "nope", "info"}));
    EXPECT_EQ(wrongSerial.exitCode, 1);
    EXPECT_EQ(json(wrongSerial).at("error").at("code").get<std::string>(), "NoCamera");
    EXPECT_NE(wrongSerial.err.find("NoCamera"), std::string::npos) << wrongSerial.err;
}

TEST_F(CamctlCli, ListInfoAndTheClockSpeakJson) {
    const auto cameras = jsonOf(emulated({"--json", "list"}, {"serial=4711"})).at("cameras");
    ASSERT_EQ(cameras.size(), 1u);
    EXPECT_EQ(cameras[0].at("model").get<std::string>(), "QUORIN Alto II");
    EXPECT_EQ(cameras[0].at("serial").get<std::string>(), "4711");

    const auto document =
        jsonOf(emulated({"--json", "--serial", "4711", "info"}, {"serial=4711", "battery=55"}));
    EXPECT_EQ(document.at("battery").get<double>(), 55);
    const auto& storages = document.at("storages");
    ASSERT_FALSE(storages.empty());
    EXPECT_TRUE(storages[0].at("available").get<bool>());
    EXPECT_GT(storages[0].at("capacity").get<double>(), 0);
    EXPECT_LE(storages[0].at("freeBytes").get<double>(), storages[0].at("capacity").get<double>());

    EXPECT_EQ(jsonOf(emulated({"--json", "time", "--set", "1700000000"})).at("time").get<double>(),
              1700000000);
    EXPECT_EQ(run(emulated({"time", "--set", "tomorrow"})).exitCode, 2);
}

TEST_F(CamctlCli, GetListsEverySettingAndSetAcceptsOnlyWhatTheCameraOffers) {
    const auto settings = jsonOf(emulated({"--json", "get"}, {"mode=8"})).at("settings");
    EXPECT_EQ(settings.size(), 12u);
    for (const auto& [name, setting] : settings.items()) {
        ASSERT_TRUE(setting.contains("value")) << name;
        EXPECT_TRUE(setting.at("accepted").is_array()) << name;
    }
    EXPECT_FALSE(settings.at("ShutterSpeed").at("accepted").empty());
    const auto iso = settings.at("ISO");
    const auto& accepted = iso.at("accepted");
    ASSERT_GE(accepted.size(), 2u);
    std::string wanted = accepted[1].get<std::string>();
    if (wanted == iso.at("value").get<std::string>()) {
        wanted = accepted[0].get<std::string>();
    }

    const auto set = jsonOf(emulated({"--json", "set", "ISO=" + wanted}, {"mode=8"}));
    EXPECT_EQ(set.at("settings").at("ISO").get<std::string>(), wanted);

    // A value the camera does not offer is refused before anything is written, with the list.
    const auto refused = run(emulated({"set", "ISO=12345"}, {"mode=8"}));
    EXPECT_EQ(refused.exitCode, 2);
    for (const auto& value : accepted) {
        EXPECT_NE(refused.err.find(value.get<std::string>()), std::string::npos)
            << value.get<std::string>();
    }

    const auto unknownName = run(emulated({"set", "Aperture=5.6"}));
    EXPECT_EQ(unknownName.exitCode, 2);
    EXPECT_NE(unknownName.err.find("FNumber"), std::string::npos) << unknownName.err;
    EXPECT_EQ(run(emulated({"set", "ExposureProgram=Manual"})).exitCode, 2);
    EXPECT_EQ(run(emulated({"set", "ISO"})).exitCode, 2);
}

TEST_F(CamctlCli, CapturesAndLiveViewFramesAreValidJpegsOfTheAnnouncedSize) {
    const fs::path folder = work / "shots";
    const auto captures =
        jsonOf(emulated({"--json", "capture", "--count", "2", "--download", folder.string()}))
            .at("captures");
    ASSERT_EQ(captures.size(), 2u);
    std::set<std::string> files;
    for (const auto& capture : captures) {
        EXPECT_EQ(capture.at("state").get<std::string>(), "Complete");
        ASSERT_FALSE(capture.at("images").empty());
        for (const auto& image : capture.at("images")) {
            ASSERT_TRUE(image.at("file").is_string()) << image;
            const fs::path file = image.at("file").get<std::string>();
            EXPECT_EQ(file.parent_path(), folder);
            EXPECT_EQ(fs::file_size(file), static_cast<uint64_t>(image.at("size").get<double>()));
            if (image.at("format").get<std::string>() == "JPEG") {
                EXPECT_TRUE(isDecodableJpeg(file)) << file;
            }
            files.insert(file.string());
        }
    }
    EXPECT_EQ(filesIn(folder).size(), files.size());  // no temporary files left

    const fs::path frameFolder = work / "frames";
    const auto frames =
        jsonOf(emulated({"--json", "liveview", "--frames", "3", "--out", frameFolder.string()}))
            .at("frames");
    ASSERT_EQ(frames.size(), 3u);
    for (const auto& frame : frames) {
        EXPECT_TRUE(isDecodableJpeg(frame.at("file").get<std::string>()));
    }
    EXPECT_EQ(filesIn(frameFolder).size(), 3u);
}

TEST_F(CamctlCli, ListedImagesDownloadWholeAndDeleteByTheirIds) {
    const Args files{"file=DCIM/100QUORN/QRN_0001.JPG:300000",
                     "file=DCIM/100QUORN/QRN_0002.JPG:2500000"};
    const auto images = jsonOf(emulated({"--json", "ls"}, files)).at("images");
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].at("name").get<std::string>(), "QRN_0001.JPG");
    EXPECT_EQ(images[1].at("size").get<double>(), 2500000);

    const fs::path folder = work / "all";
    jsonOf(emulated({"--json", "download", "--all", folder.string()}, files));
    EXPECT_EQ(fs::file_size(folder / "QRN_0001.JPG"), 300000u);
    EXPECT_EQ(fs::file_size(folder / "QRN_0002.JPG"), 2500000u);  // three 1 MiB pieces
    EXPECT_TRUE(isDecodableJpeg(folder / "QRN_0002.JPG"));

    // One image by its id, beside the copy already there.
    const auto again =
        run(emulated({"download", images[0].at("id").get<std::string>(), folder.string()}, files));
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(fs::exists(folder / "QRN_0001-1.JPG"));

    const auto del =
        jsonOf(emulated({"--json", "delete", images[1].at("id").get<std::string>()}, files));
    EXPECT_TRUE(del.at("deleted")[0].at("deleted").get<bool>());
}

TEST_F(CamctlCli, HostileCameraFileNamesStayInsideTheTargetFolder) {
    const std::string rightToLeftOverride = "\xe2\x80\xae";  // "\u202Egpj.exe" shows as "exe.jpg"
    const Args files{"file=DCIM/100QUORN/..\\..\\escape.JPG:1000",
                     "file=DCIM/100QUORN/\x1b]0;pwned\x07\x1b[31mred.JPG:1000",
                     "file=DCIM/100QUORN/.hidden.JPG:1000", "file=DCIM/100QUORN/..:1000",
                     "file=DCIM/100QUORN/" + rightToLeftOverride + "gpj.exe:1000"};
    const fs::path folder = work / "inside" / "target";
    const auto result = run(emulated({"--json", "download", "--all", folder.string()}, files));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto written = filesIn(folder);
    EXPECT_EQ(written.size(), json(result).at("files").size());
    EXPECT_GE(written.size(), 3u);
    EXPECT_TRUE(fs::exists(folder / "_gpj.exe"));
    EXPECT_EQ(filesIn(work / "inside"), std::vector<fs::path>{folder});
    EXPECT_EQ(filesIn(work), std::vector<fs::path>{work / "inside"});
    // And nothing from the camera reached the terminal as an escape sequence or a reordering.
    EXPECT_EQ(result.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(result.out.find(rightToLeftOverride), std::string::npos);
    const auto ls = run(emulated({"ls"}, files));
    ASSERT_EQ(ls.exitCode, 0) << ls.err;
    EXPECT_EQ(ls.out.find(rightToLeftOverride), std::string::npos) << ls.out;
    EXPECT_NE(ls.out.find("?gpj.exe"), std::string::npos) << ls.out;
}

TEST_F(CamctlCli, InterruptedDownloadLeavesNoFileUnderTheFinalName) {
    // Slow transactions make the download of 24 pieces last more than a second; it is
    // interrupted once its temporary file exists.
    const Args controls{"file=DCIM/100QUORN/BIG.JPG:24000000", "latency=50000"};
    for (const int signal : {SIGINT, SIGHUP, SIGKILL}) {
        const fs::path folder = work / ("cut" + std::to_string(signal));
        const auto result =
            run(emulated({"download", "--all", folder.string()}, controls),
                std::chrono::seconds(120), [&](int pid) {
                    for (const auto& path : filesIn(folder)) {
                        if (path.filename().string().find(".part-") != std::string::npos &&
                            fs::file_size(path) > 0) {
                            ::kill(pid, signal);
                            return true;
                        }
                    }
                    return false;
                });
        EXPECT_FALSE(fs::exists(folder / "BIG.JPG")) << "signal " << signal;
        if (signal != SIGKILL) {
            EXPECT_EQ(result.exitCode, 130) << "signal " << signal << "\n" << result.err;
            EXPECT_TRUE(filesIn(folder).empty()) << "signal " << signal;  // no temporary file
            continue;
        }
        EXPECT_EQ(result.signal, SIGKILL);
        // Nothing can clean up after SIGKILL; the next download into the folder removes the
        // temporary file once it is old, and only then.
        const auto leftovers = filesIn(folder);
        ASSERT_EQ(leftovers.size(), 1u);
        const auto again = [&] {
            return run(emulated({"download", "--all", folder.string()}, {controls[0]}));
        };
        ASSERT_EQ(again().exitCode, 0);
        EXPECT_TRUE(fs::exists(leftovers[0]));
        fs::last_write_time(leftovers[0],
                            fs::file_time_type::clock::now() - std::chrono::hours(25));
        ASSERT_EQ(again().exitCode, 0);
        EXPECT_FALSE(fs::exists(leftovers[0]));
        EXPECT_EQ(filesIn(folder).size(), 2u);  // BIG.JPG and BIG-1.JPG
    }
}

TEST_F(CamctlCli, ListingTheCameraCouldNotFinishFailsInsteadOfLookingEmpty) {
    const Args files{"file=DCIM/100QUORN/QRN_0001.JPG:2500000",
                     "file=DCIM/100QUORN/QRN_0002.JPG:1000"};
    // A refused piece, pieces that arrive empty as if whole, handles or object details refused:
    // no file is left, and neither an empty card nor a short one passes.
    for (const std::string fault : {"failnext=0x101B:0x2002", "truncate=0x101B:0",
                                    "fail=0x1007:0x2002", "fail=0x1008:0x2002"}) {
        const bool listing = fault.rfind("fail=", 0) == 0;
        const Args failing = listing ? Args{files[0], files[1], fault} : Args{files[0], fault};
        const fs::path folder = work / "all";
        const auto download = run(emulated({"download", "--all", folder.string()}, failing));
        EXPECT_EQ(download.exitCode, 1) << fault << "\n" << download.err;
        EXPECT_TRUE(filesIn(folder).empty()) << fault;
        fs::remove_all(folder);
        if (!listing) {
            continue;
        }
        const auto ls = run(emulated({"ls"}, failing));
        EXPECT_EQ(ls.exitCode, 1) << fault << "\n" << ls.out;
        EXPECT_EQ(ls.out.find("No images."), std::string::npos) << fault;
        EXPECT_NE(ls.err.find("could not all be listed"), std::string::npos) << ls.err;
    }
}

TEST_F(CamctlCli, WatchPrintsEventsAsJsonLines) {
    // The dial is turned on the body while watching; the change must arrive as one line.
    const auto result =
        run(emulated({"--json", "watch", "--seconds", "2"}, {"mode=8", "after=1000:iso=800"}));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::istringstream lines(result.out);
    std::string line;
    bool sawChange = false;
    while (std::getline(lines, line)) {
        const auto event = JsonValue::parse(line);
        EXPECT_TRUE(event.at("time").is_string());
        if (event.at("event").get<std::string>() == "captureSettingsChanged") {
            sawChange = sawChange || event.at("settings").at("ISO").get<std::string>() == "800";
        }
    }
    EXPECT_TRUE(sawChange) << result.out;
}

// NaN passes every range check, so it would reach the camera (and an integer conversion).
TEST_F(CamctlCli, NonFiniteNumbersAndEmptyTextsAreUsageErrors) {
    const std::string folder = (work / "never").string();
    const std::vector<Args> commands{
        {"capture", "--timeout", "nan", "--download", folder},
        {"capture", "--count", "2", "--interval", "nan", "--download", folder},
        {"capture", "--timeout", "inf", "--download", folder},
        {"movie", "--duration", "nan", "--download", folder},
        {"movie", "--duration", "1", "--timeout", "-nan", "--download", folder},
        {"watch", "--seconds", "nan"},
        {"liveview", "--frames", "1", "--timeout", "nan", "--out", folder},
        {"liveview", "--frames", "1", "--out", ""},
        {"time", "--set", ""},
        {"capture", "--download", ""},
        {"download", "--all", ""}};
    for (const auto& command : commands) {
        const auto result = run(emulated(command, {"movie=1"}), std::chrono::seconds(60));
        EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(command) << "\n" << result.err;
    }
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(CamctlCli, BusyCameraWhileReadingATransferBufferPictureIsAskedAgain) {
    // Without a card the picture is gone once the event handler returns: two busy answers to
    // the first read must not lose it.
    const fs::path folder = work / "tether";
    const auto images = jsonOf(emulated({"--emulate-no-card", "--json", "capture", "--no-focus",
                                         "--download", folder.string()},
                                        {"failnext=0x900C:0x2019:2"}))
                            .at("captures")[0]
                            .at("images");
    ASSERT_FALSE(images.empty());
    EXPECT_TRUE(images[0].at("storage").is_null());
    ASSERT_TRUE(images[0].at("file").is_string()) << images;
    EXPECT_TRUE(isDecodableJpeg(images[0].at("file").get<std::string>()));
}

TEST_F(CamctlCli, JsonDownloadReportsEveryFileAndGoesOnAfterALocalWriteError) {
    const Args files{"file=DCIM/100QUORN/QRN_0001.JPG:300000",
                     "file=DCIM/100QUORN/QRN_0002.JPG:2500000",
                     "file=DCIM/100QUORN/QRN_0003.JPG:300000"};
    const fs::path folder = work / "limited";
    // A file-size limit of about 1 MB: the big file hits it the way it would hit a full disk,
    // the small ones still fit. SIGXFSZ is ignored so the write fails with EFBIG instead.
    Args args{"-c", "trap '' XFSZ; ulimit -f 2000; exec \"$0\" \"$@\"", CAMCTL_PATH};
    const Args command = emulated({"--json", "download", "--all", folder.string()}, files);
    args.insert(args.end(), command.begin(), command.end());
    const auto result = runProcess("/bin/sh", args);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const auto reported = json(result).at("files");
    ASSERT_EQ(reported.size(), 3u) << result.out;
    EXPECT_EQ(reported[0].at("bytes").get<double>(), 300000);
    EXPECT_EQ(reported[1].at("error").at("code").get<std::string>(), "WriteError");
    EXPECT_FALSE(reported[1].contains("file"));
    EXPECT_EQ(reported[2].at("bytes").get<double>(), 300000);
    EXPECT_EQ(filesIn(folder),
              (std::vector<fs::path>{folder / "QRN_0001.JPG", folder / "QRN_0003.JPG"}));
}

TEST_F(CamctlCli, CaptureSeriesReportsEachCaptureAndGoesOnAfterAFailedDownload) {
    const fs::path folder = work / "series";
    const auto result =
        run(emulated({"--json", "capture", "--count", "3", "--download", folder.string()},
                     {"failnext=0x101B:0x2002"}));
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const auto captures = json(result).at("captures");
    ASSERT_EQ(captures.size(), 3u) << result.out;
    EXPECT_FALSE(captures[0].at("id").get<std::string>().empty());
    EXPECT_EQ(captures[0].at("state").get<std::string>(), "Complete");
    const auto failed = captures[0].at("images");
    ASSERT_FALSE(failed.empty());
    EXPECT_TRUE(failed[0].at("file").is_null());
    EXPECT_NE(failed[0].at("error").get<std::string>().find("DeviceError: 0x2002"),
              std::string::npos)
        << result.out;
    for (size_t i = 1; i < captures.size(); ++i) {
        for (const auto& image : captures[i].at("images")) {
            EXPECT_TRUE(image.at("file").is_string()) << result.out;
        }
    }
}

TEST_F(CamctlCli, ErrorTextsSayWhatHappenedAndKeepTheLibrarysCodes) {
    const Args files{"file=DCIM/100QUORN/QRN_0001.JPG:300000", "failnext=0x100B:0x2019"};
    const std::string id =
        jsonOf(emulated({"--json", "ls"}, {files[0]})).at("images")[0].at("id").get<std::string>();

    const auto busy = run(emulated({"--json", "delete", id}, files));
    EXPECT_EQ(busy.exitCode, 1);
    const auto error = json(busy).at("deleted")[0].at("error");
    EXPECT_EQ(error.at("code").get<std::string>(), "DeviceError");
    EXPECT_EQ(error.at("message").get<std::string>(), "0x2019");
    EXPECT_NE(error.at("reason").get<std::string>().find("camera busy"), std::string::npos)
        << busy.out;
    EXPECT_NE(busy.err.find("DeviceError: 0x2019 (camera busy"), std::string::npos) << busy.err;

    // A camera busy when its session is opened is found once it is free.
    const auto busyAtOpen = run(emulated({"--json", "info"}, {"failnext=0x1002:0x2019"}));
    EXPECT_EQ(busyAtOpen.exitCode, 0) << busyAtOpen.err;

    // Pulled out in the middle of a slow download: at this latency connecting and listing take
    // about 1.5 s and the download more than 6 s, so the cable is pulled during the download.
    const fs::path folder = work / "unplugged";
    const auto unplugged = run(
        emulated({"download", "--all", folder.string()},
                 {"file=DCIM/100QUORN/BIG.JPG:120000000", "latency=50000", "after=3500:unplug=1"}));
    EXPECT_EQ(unplugged.exitCode, 1);
    EXPECT_NE(unplugged.err.find("camera disconnected"), std::string::npos) << unplugged.err;
    EXPECT_EQ(unplugged.err.find("Unknown MTP response code: 0x0\n"), std::string::npos)
        << unplugged.err;
    EXPECT_TRUE(filesIn(folder).empty());
}

}  // namespace
