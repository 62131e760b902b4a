#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>
#include <string>

#include "mtp/mtp_device_provider.hpp"
#include "mtp/wpd/wpd_device_provider.hpp"
#include "mtp/wpd/wpd_strings.hpp"
#include "support/fake_device_provider.hpp"
#include "wpd/fake_wpd_api.hpp"

namespace Corvane::CameraController::Impl {
namespace {

using namespace Testing;

constexpr uint16_t kOpenSession = 0x1002;
constexpr uint16_t kGetDeviceInfo = 0x1001;

FakeWpdDevice camera(const std::wstring& pnpId, const std::wstring& serial) {
    FakeWpdDevice device;
    device.pnpId = pnpId;
    device.identity.manufacturer = {kWpdOk, L"Quorin"};
    device.identity.model = {kWpdOk, L"QUORIN Alto"};
    device.identity.firmwareVersion = {kWpdOk, L"1.10"};
    device.identity.serialNumber = {kWpdOk, serial};
    return device;
}

class WpdDeviceProviderTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeWpdApi> api = std::make_shared<FakeWpdApi>();
    ScopedDeviceProvider registration{std::make_shared<WpdDeviceProvider>(api)};
};

// Reuse of held devices is the registry's, tested with it.
TEST_F(WpdDeviceProviderTest, StartsComOnceAndOpensEachDeviceWithItsIdentity) {
    api->withoutCom();
    api->attach(camera(L"usb#a", L"1"));
    api->attach(camera(L"usb#b", L"2"));

    const auto devices = getDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]->getModel(), "QUORIN Alto");
    EXPECT_EQ(devices[0]->getSerialNumber(), "1");
    EXPECT_EQ(devices[1]->getSerialNumber(), "2");
    EXPECT_EQ(api->operationCount(kGetDeviceInfo), 2);
    EXPECT_EQ(api->operationCount(kOpenSession), 2);
    EXPECT_EQ(api->operations()[0].parameters, (std::vector<uint32_t>{1}));
    getDevices();
    EXPECT_EQ(api->comStarts(), 1);
}

TEST_F(WpdDeviceProviderTest, IdsAgreeingInTheirFirst512BytesAreOneDevice) {
    const std::wstring prefix(kWpdPnpIdLimit, L'x');
    api->attach(camera(prefix + L"-first", L"1"));
    api->attach(camera(prefix + L"-second", L"2"));

    const auto devices = getDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]->getSerialNumber(), "1");
    EXPECT_EQ(api->operationCount(kOpenSession), 1);
    // The cut id still finds the device again.
    EXPECT_TRUE(devices[0]->isConnected());
}

TEST_F(WpdDeviceProviderTest, DeviceRefusingTheSessionIsLeftOut) {
    for (const uint16_t refusal : {uint16_t{0x201E}, uint16_t{0x2002}}) {
        auto refusing = camera(L"usb#refusing", L"1");
        refusing.camera = [refusal](const FakeOperation& operation) {
            return FakeAnswer{operation.code == kOpenSession ? refusal : uint16_t{0x2001}, {}, {}};
        };
        api->attach(refusing);
        api->attach(camera(L"usb#good", L"2"));

        const auto devices = getDevices();
        ASSERT_EQ(devices.size(), 1u) << std::hex << refusal;
        EXPECT_EQ(devices[0]->getSerialNumber(), "2");
        api->detach(L"usb#refusing");
        api->detach(L"usb#good");
    }
}

TEST_F(WpdDeviceProviderTest, IdentityThatCannotBeReadDecidesByFirmwareVersion) {
    auto noSerial = camera(L"usb#a", L"1");
    noSerial.identity.serialNumber.status = kWpdFail;
    auto noFirmware = camera(L"usb#b", L"2");
    noFirmware.identity.firmwareVersion.status = kWpdFail;
    api->attach(noSerial);
    api->attach(noFirmware);

    const auto devices = getDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]->getModel(), "QUORIN Alto");
    EXPECT_EQ(devices[0]->getSerialNumber(), "");
    EXPECT_EQ(devices[0]->getFirmwareVersion(), "1.10");
}

#if defined(_WIN32)
// MSVCRT has no UTF-8 locale; Western European text still proves the locale is used.
constexpr const char* kNonAsciiLocale = "German_Germany.1252";
constexpr const char* kModelBytes = "QUORIN \xc5lto \xe9t\xe9";
constexpr const char* kManufacturerBytes = "Qu\xf6rin \x80";
#else
constexpr const char* kNonAsciiLocale = "C.UTF-8";
constexpr const char* kModelBytes = "QUORIN \xc3\x85lto \xc3\xa9t\xc3\xa9";
constexpr const char* kManufacturerBytes = "Qu\xc3\xb6rin \xe2\x82\xac";
#endif

TEST_F(WpdDeviceProviderTest, IdentityIsConvertedWithTheCurrentLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, kNonAsciiLocale)) {
        GTEST_SKIP() << "no " << kNonAsciiLocale << " locale";
    }
    auto device = camera(L"usb#a", L"1");
    device.identity.model.value = L"QUORIN \u00c5lto \u00e9t\u00e9";
    device.identity.manufacturer.value = L"Qu\u00f6rin \u20ac";
    api->attach(device);
    const auto devices = getDevices();
    std::setlocale(LC_ALL, previous.c_str());

    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]->getModel(), kModelBytes);
    EXPECT_EQ(devices[0]->getManufacturer(), kManufacturerBytes);
}

#if WCHAR_MAX <= 0xFFFF
TEST(WpdStrings, ACharacterBeyondTheBasicPlaneIsOneQuestionMark) {
    // U+1F4F7 as UTF-16, which the C locale cannot express.
    const std::wstring camera = L"QUORIN \xD83D\xDCF7 Alto";
    EXPECT_EQ(wpdToMultibyte(camera), "QUORIN ? Alto");
    // Halves that do not form a pair stay one '?' each.
    EXPECT_EQ(wpdToMultibyte(L"\xDCF7\xD83D"), "??");
}
#endif

TEST_F(WpdDeviceProviderTest, OpeningAsksForReadAccessOnceWhenRefused) {
    auto guarded = camera(L"usb#a", L"1");
    guarded.openStatuses = {kWpdAccessDenied};
    api->attach(guarded);
    const auto held = getDevices();
    ASSERT_EQ(held.size(), 1u);

    const auto opens = api->opens();
    ASSERT_GE(opens.size(), 2u);
    EXPECT_FALSE(opens[0].desiredAccess.has_value());
    EXPECT_EQ(opens[1].desiredAccess, kWpdGenericRead);
    EXPECT_EQ(opens[1].name, L"WPD SDK Application");

    auto locked = camera(L"usb#b", L"2");
    locked.openStatuses = {kWpdAccessDenied, kWpdAccessDenied};
    api->attach(locked);
    EXPECT_EQ(getDevices(), held);
    EXPECT_EQ(api->operationCount(kOpenSession), 1);
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
