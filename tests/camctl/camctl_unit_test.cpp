// Unit tests of camctl's pieces that decide what lands on disk and how input is read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>
#include "arguments.hpp"
#include "atomic_file.hpp"
#include "errors.hpp"
#include "failure_reason.hpp"
#include "file_names.hpp"
#include "formatting.hpp"
#include "json.hpp"
#include "model/capture_setting_access.hpp"
#include "settings_catalog.hpp"

namespace {

namespace fs = std::filesystem;
namespace cc = Corvane::CameraController;
using camctl::UsageError;

bool safeComponent(const std::string& name) {
    if (name.empty() || name[0] == '.' || name.find("..") != std::string::npos) {
        return false;
    }
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '/' || ch == '\\' || c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return name.size() <= camctl::maxFileNameLength;
}

TEST(FileNameSanitiser, HostileNamesBecomeOneSafeComponent) {
    const std::string nulByte("nul\0byte", 8);
    for (const std::string& name : std::initializer_list<std::string>{
             "../x", "a/b", "..", ".", "/etc/passwd", "..\\..\\x.JPG", "x\x01y.JPG",
             "\x1b[31mred.JPG", "", "////", ".hidden.JPG", "a..b.JPG", nulByte, "tab\there\n.JPG",
             "\x7f"}) {
        const std::string safe = camctl::sanitizeFileName(name, "image-7");
        EXPECT_TRUE(safeComponent(safe)) << "for input \"" << name << "\" got \"" << safe << "\"";
    }
    EXPECT_EQ(camctl::sanitizeFileName("a/b", "f"), "a_b");
    EXPECT_EQ(camctl::sanitizeFileName("../x", "f"), "___x");
    EXPECT_EQ(camctl::sanitizeFileName("x\x01y.JPG", "f"), "x_y.JPG");
    EXPECT_EQ(camctl::sanitizeFileName("", "image-7"), "image-7");
}

// Characters that reorder or hide what follows must neither be saved nor shown as they come:
// "\u202Egpj.exe" displays as "exe.jpg".
TEST(FileNameSanitiser, DisplayControlsAreReplacedInNamesOutputAndJson) {
    const std::string rlo = "\xe2\x80\xae";  // U+202E
    const std::string controls[] = {rlo,
                                    "\xe2\x80\xaa",  // U+202A
                                    "\xe2\x81\xa6",  // U+2066
                                    "\xe2\x81\xa9",  // U+2069
                                    "\xe2\x80\x8f",  // U+200F
                                    "\xd8\x9c",      // U+061C
                                    "\xc2\x9b",      // U+009B, read as CSI by some terminals
                                    "\xc2\x85"};     // U+0085
    for (const auto& control : controls) {
        const std::string name = "a" + control + "gpj.exe";
        EXPECT_EQ(camctl::sanitizeFileName(name, "f"), "a_gpj.exe");
        EXPECT_EQ(camctl::printable(name), "a?gpj.exe");
        EXPECT_EQ(camctl::jsonQuote(name).find(control), std::string::npos);
    }
    // In JSON the name stays what the camera sent, only escaped.
    const std::string json = camctl::Json::object().set("name", rlo + "gpj.exe").dump();
    EXPECT_NE(json.find("\\u202e"), std::string::npos) << json;
    EXPECT_EQ(nlohmann::json::parse(json).at("name").get<std::string>(), rlo + "gpj.exe");
    // Neighbours of the controls are ordinary characters: U+2010 (hyphen), U+202F, U+00A0.
    for (const std::string kept : {"\xe2\x80\x90", "\xe2\x80\xaf", "\xc2\xa0", "\xe2\x81\xa5"}) {
        EXPECT_EQ(camctl::sanitizeFileName("a" + kept + ".JPG", "f"), "a" + kept + ".JPG");
        EXPECT_EQ(camctl::printable("a" + kept), "a" + kept);
    }
    // A control cut short at the end of the text is no control, and nothing is read past it.
    EXPECT_EQ(camctl::sanitizeFileName("a\xe2\x80", "f"), "a\xe2\x80");
}

TEST(FileNameSanitiser, OrdinaryNamesAreKeptAndNumberedBeforeTheExtension) {
    for (const std::string name : {"QRN_0001.JPG", "movie.final.MP4", "\u00dcber.JPG", "a b.jpg"}) {
        EXPECT_EQ(camctl::sanitizeFileName(name, "f"), name);
    }
    EXPECT_EQ(camctl::numberedFileName("QRN_0001.JPG", 0), "QRN_0001.JPG");
    EXPECT_EQ(camctl::numberedFileName("QRN_0001.JPG", 2), "QRN_0001-2.JPG");
    EXPECT_EQ(camctl::numberedFileName("README", 3), "README-3");

    // Long names keep their extension and whole characters.
    std::string name;
    for (int i = 0; i < 150; ++i) {
        name += "\xc3\xa9";  // two bytes each, so a byte cut could split one
    }
    name += ".JPG";
    const std::string safe = camctl::sanitizeFileName(name, "f");
    EXPECT_LE(safe.size(), camctl::maxFileNameLength);
    EXPECT_EQ(safe.substr(safe.size() - 4), ".JPG");
    const std::string stem = safe.substr(0, safe.size() - 4);
    ASSERT_EQ(stem.size() % 2, 0u);
    for (size_t i = 0; i < stem.size(); i += 2) {
        EXPECT_EQ(stem.substr(i, 2), "\xc3\xa9");
    }
}

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/camctl-unit-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
};

TEST_F(AtomicFileTest, CommitNeverReplacesAnExistingFile) {
    std::ofstream(folder / "QRN_0001.JPG") << "original";
    const fs::path first = camctl::writeFileAtomically(folder, "QRN_0001.JPG", "new", 3);
    const fs::path second = camctl::writeFileAtomically(folder, "QRN_0001.JPG", "newer", 5);
    EXPECT_EQ(first, folder / "QRN_0001-1.JPG");
    EXPECT_EQ(second, folder / "QRN_0001-2.JPG");
    std::ifstream original(folder / "QRN_0001.JPG");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(original), {}), "original");
}

// Old temporary files of a killed run are removed; nothing else is, however it is named.
TEST_F(AtomicFileTest, OnlyStaleTemporaryFilesOfOurOwnNamingAreRemoved) {
    const auto make = [&](const std::string& name, std::chrono::hours age) {
        std::ofstream(folder / name) << "x";
        const auto when = fs::file_time_type::clock::now() - age;
        fs::last_write_time(folder / name, when);
    };
    const std::chrono::hours old(25);
    make(".QRN_0001.JPG.part-a1B2c3", old);                    // stale: removed
    make(".QRN_0002.JPG.part-XyZ789", std::chrono::hours(1));  // maybe still being written
    make("QRN_0003.JPG.part-a1B2c3", old);                     // not hidden: not ours
    make(".QRN_0004.JPG.part-a1B2", old);                      // not six characters
    make(".QRN_0005.JPG.part-a1B2c3.bak", old);                // something else
    make(".part-a1B2c3", old);                                 // no name before the marker
    make("keep.JPG", old);
    fs::create_directory(folder / ".dir.JPG.part-a1B2c3");
    fs::create_symlink(folder / "keep.JPG", folder / ".link.JPG.part-a1B2c3");
    const auto when = fs::file_time_type::clock::now() - old;
    fs::last_write_time(folder / ".dir.JPG.part-a1B2c3", when);

    EXPECT_EQ(camctl::removeStaleTemporaryFiles(folder), 1u);
    EXPECT_FALSE(fs::exists(folder / ".QRN_0001.JPG.part-a1B2c3"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 8);
    EXPECT_TRUE(fs::exists(folder / "keep.JPG"));  // the link was not followed
    EXPECT_EQ(camctl::removeStaleTemporaryFiles(folder / "missing"), 0u);
}

TEST(Arguments, PointsTimesAssignmentsAndNumbersRefuseWhatTheyCannotRead) {
    const auto point = camctl::parsePoint("0.25,1");
    EXPECT_FLOAT_EQ(point.x, 0.25f);
    EXPECT_FLOAT_EQ(point.y, 1.0f);
    for (const char* bad : {"", "0.5", "0.5,", ",0.5", "1.01,0.5", "-0.1,0.5", "a,b", "0.5;0.5",
                            "0.5,0.5,0.5", "nan,0.5"}) {
        EXPECT_THROW(camctl::parsePoint(bad), UsageError) << bad;
    }
    EXPECT_EQ(camctl::parseTimeArgument("now", 1234), 1234);
    EXPECT_EQ(camctl::parseTimeArgument("1700000000", 0), 1700000000);
    for (const char* bad : {"", "yesterday", "-5", "12x", "99999999999999999999999"}) {
        EXPECT_THROW(camctl::parseTimeArgument(bad, 0), UsageError) << bad;
    }
    // An assignment splits at its first '='.
    EXPECT_EQ(camctl::splitAssignment("WhiteBalance=Tungsten Light"),
              std::make_pair(std::string("WhiteBalance"), std::string("Tungsten Light")));
    EXPECT_EQ(camctl::splitAssignment("ISO="), std::make_pair(std::string("ISO"), std::string()));
    EXPECT_THROW(camctl::splitAssignment("ISO"), UsageError);
    EXPECT_THROW(camctl::splitAssignment("=400"), UsageError);

    // NaN fails every comparison, so a plain range check lets it through to the camera.
    const CLI::Validator seconds = camctl::finiteRange(1.0, 3600.0);
    for (std::string good : {"1", "2.5", "3600", "1e3"}) {
        EXPECT_EQ(seconds(good), "") << good;
    }
    for (std::string bad : {"nan", "NaN", "-nan", "inf", "-inf", "infinity", "1e400", "0.5",
                            "3600.5", "", "5s", "0x"}) {
        EXPECT_NE(seconds(bad), "") << bad;
    }
    std::string empty;
    EXPECT_NE(camctl::nonEmpty()(empty), "");
}

TEST(SettingValues, MatchExactlyThenLooselyOnlyAmongAcceptedValues) {
    using Access = cc::Impl::CaptureSettingAccess;
    cc::FNumber fNumber;
    Access::appendAvailable(fNumber, cc::FNumber::F5_6);
    Access::appendAvailable(fNumber, cc::FNumber::F8_0);
    EXPECT_EQ(camctl::matchAvailable(fNumber, "5.6"), cc::FNumber::F5_6);
    EXPECT_EQ(camctl::matchAvailable(fNumber, "8"), cc::FNumber::F8_0);
    EXPECT_EQ(camctl::matchAvailable(fNumber, "11"), nullptr);  // in the catalogue, not offered

    cc::WhiteBalance whiteBalance;
    Access::appendAvailable(whiteBalance, cc::WhiteBalance::Tungsten);
    EXPECT_EQ(camctl::matchAvailable(whiteBalance, "tungsten light"), cc::WhiteBalance::Tungsten);
    EXPECT_EQ(camctl::matchAvailable(whiteBalance, "Tungsten"), nullptr);

    cc::ShutterSpeed shutter;
    Access::appendAvailable(shutter, cc::ShutterSpeed::SS1_250);
    EXPECT_EQ(camctl::matchAvailable(shutter, "1/250"), cc::ShutterSpeed::SS1_250);
    EXPECT_EQ(camctl::matchAvailable(shutter, "0.004"), nullptr);

    // Names are found ignoring case.
    ASSERT_NE(camctl::findSettingKind("iso"), nullptr);
    EXPECT_EQ(camctl::findSettingKind("iso")->name, "ISO");
    EXPECT_TRUE(camctl::findSettingKind("FNumber")->writable);
    EXPECT_FALSE(camctl::findSettingKind("ExposureProgram")->writable);
    EXPECT_EQ(camctl::findSettingKind("Aperture"), nullptr);
}

TEST(JsonOutput, AnyCameraTextStaysParseable) {
    const std::string hostile = std::string("a\"b\\c\nd\x01\x7f\xff\xc3(") + "\xc3\xa9";
    camctl::Json json = camctl::Json::object();
    json.set("name", hostile).set("size", uint64_t{18446744073709551615ull}).set("none", nullptr);
    const auto parsed = nlohmann::json::parse(json.dump());
    const std::string back = parsed.at("name").get<std::string>();
    // Valid text survives unchanged; each invalid byte comes back as the code point of its value.
    EXPECT_EQ(back, std::string("a\"b\\c\nd\x01\x7f\xc3\xbf\xc3\x83(") + "\xc3\xa9");
    EXPECT_TRUE(parsed.at("none").is_null());
    EXPECT_EQ(json.dump().find('\n'), std::string::npos);
}

TEST(FailureTexts, SayWhatHappenedBesideTheLibrarysMessage) {
    EXPECT_EQ(camctl::failureReason("DeviceError", "0x2019", false), "camera busy: Device Busy");
    EXPECT_EQ(camctl::failureReason("DeviceError", "Device Busy", false), "camera busy");
    EXPECT_EQ(camctl::failureReason("DeviceError", "Unknown MTP response code: 0x0", true),
              "camera disconnected");
    EXPECT_NE(camctl::failureReason("DeviceError", "Unknown MTP response code: 0x0", false)
                  .find("timed out"),
              std::string::npos);
    EXPECT_EQ(camctl::failureReason("DeviceError", "0x2002", false), "General Error");
    EXPECT_EQ(camctl::failureReason("DeviceError", "Unknown MTP response code: 0x2007", false),
              "Incomplete Transfer");
    // Messages that are no bare code, or codes without a name, get no reason.
    for (const char* plain : {"", "0x", "0x12345", "QRN_0x2019.JPG", "0x20zz", "0xa004"}) {
        EXPECT_EQ(camctl::failureReason("DeviceError", plain, false), "") << plain;
    }
    EXPECT_EQ(camctl::failureReason("NotConnected", "", false), "camera disconnected");
    EXPECT_EQ(camctl::describeFailure("DeviceError", "0x2019", "camera busy: Device Busy"),
              "DeviceError: 0x2019 (camera busy: Device Busy)");
    EXPECT_EQ(camctl::describeFailure("VendorSpecific", "", ""), "VendorSpecific");
    EXPECT_EQ(camctl::describeFailure("ImageNotFound", "\x1b[2Jx", ""), "ImageNotFound: ?[2Jx");

    EXPECT_TRUE(camctl::isBusy(camctl::CameraError("DeviceError", "0x2019")));
    EXPECT_TRUE(camctl::isBusy(camctl::CameraError("DeviceError", "Device Busy")));
    EXPECT_FALSE(camctl::isBusy(camctl::CameraError("DeviceError", "0x2002")));
    EXPECT_TRUE(
        camctl::gotNoAnswer(camctl::CameraError("Unknown", "Unknown MTP response code: 0x0")));
    EXPECT_FALSE(camctl::gotNoAnswer(camctl::CameraError("Unknown", "0x2019")));
}

}  // namespace
