// Finding emulated cameras the way an application finds real ones: in process through
// getDevices() and detect(), and in another process through camemu's socket.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "corvane/camera_controller/camera_device.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "emulator_test_support.hpp"
#include "mtp/mtp_device_provider.hpp"
#include "mtp/usb/seqpacket_pipe.hpp"
#include "support/background_process.hpp"
#include "usb/ptp_test_support.hpp"

namespace Corvane::CameraController::Emulator {
namespace {

using namespace Testing;
using namespace CameraController::Testing;

std::shared_ptr<MtpDevice> findModel(const std::string& model, const std::string& serial) {
    for (const auto& device : Impl::getDevices()) {
        if (device->getModel() == model && device->getSerialNumber() == serial) {
            return device;
        }
    }
    return nullptr;
}

TEST(Discovery, AnAttachedCameraIsListedLikeAUsbOne) {
    CameraConfig config = fastConfig();
    config.serialNumber = "DISCOVERY-1";
    auto camera = EmulatedCamera::create(config);
    EXPECT_EQ(findModel("QUORIN Alto II", "DISCOVERY-1"), nullptr) << "not attached yet";

    camera->attach();
    const auto first = findModel("QUORIN Alto II", "DISCOVERY-1");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(findModel("QUORIN Alto II", "DISCOVERY-1"), first) << "same object while held";
    EXPECT_FALSE(first->getSupportedOperations().empty());
    EXPECT_EQ(first->getStorageIds().size(), 2u);

    camera->unplug();
    EXPECT_EQ(findModel("QUORIN Alto II", "DISCOVERY-1"), nullptr);
    EXPECT_FALSE(first->isConnected());
    camera->replug();
    const auto again = findModel("QUORIN Alto II", "DISCOVERY-1");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, first) << "a new connection after replugging";
    EXPECT_TRUE(again->isConnected());

    camera->detach();
    EXPECT_EQ(findModel("QUORIN Alto II", "DISCOVERY-1"), nullptr);
}

#ifdef CAMEMU_PATH

/// A camemu child process serving one camera on a socket in a private directory.
class Camemu : public BackgroundProcess {
public:
    explicit Camemu(std::vector<std::string> extra, const std::string& directory = temporary())
        : BackgroundProcess(CAMEMU_PATH, withSocket(directory + "/camera.sock", std::move(extra))),
          directory_(directory) {
        eventually([&] { return std::filesystem::exists(socket()); });
    }
    ~Camemu() {
        stop();
        std::filesystem::remove_all(directory_);
    }
    std::string socket() const { return directory_ + "/camera.sock"; }
    void signal(int number) const { ::kill(pid(), number); }

private:
    static std::string temporary() {
        char pattern[] = "/tmp/camemu-test-XXXXXX";
        return ::mkdtemp(pattern);
    }
    static std::vector<std::string> withSocket(const std::string& socket,
                                               std::vector<std::string> extra) {
        extra.insert(extra.begin(), {"--socket", socket});
        return extra;
    }

    std::string directory_;
};

int runCamemu(const std::vector<std::string>& args) {
    return runProcess(CAMEMU_PATH, args, std::chrono::seconds(30)).exitCode;
}

TEST(Camemu, UsageErrorsExitWithTwo) {
    EXPECT_EQ(runCamemu({"--help"}), 0);
    EXPECT_EQ(runCamemu({}), 2) << "no socket";
    EXPECT_EQ(runCamemu({"--socket", "/tmp/x", "--battery", "101"}), 2);
    EXPECT_EQ(runCamemu({"--socket", "/tmp/x", "--card", "3"}), 2);
    EXPECT_EQ(runCamemu({"--socket", "/nonexistent-dir/camera.sock"}), 1);
}

TEST(Camemu, ACameraInAnotherProcessIsFoundThroughItsSocket) {
    Camemu camemu({"--model", "QUORIN Alto II", "--serial", "CAMEMU-1", "--time-scale", "0.001",
                   "--file", "1:DCIM/100QUORN/QRN_0001.QRW:3000000"});
    ::setenv("CORVANE_CAMEMU_SOCKET", ("/nonexistent.sock:" + camemu.socket()).c_str(), 1);
    const auto device = findModel("QUORIN Alto II", "CAMEMU-1");
    ASSERT_NE(device, nullptr);
    const auto cameras = CameraDeviceDetector::detect(DeviceInterface::USB);
    EXPECT_TRUE(std::any_of(cameras.begin(), cameras.end(), [](const auto& camera) {
        return camera->getSerialNumber() == "CAMEMU-1";
    }));

    std::vector<uint32_t> handles;
    ASSERT_TRUE(device->getObjectHandles(0x00010000, 0x3000, handles));
    ASSERT_EQ(handles.size(), 1u);
    const auto info = device->getObjectInfo(handles[0]);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->objectCompressedSize, 3000000u);
    // A 1 MiB piece crosses the socket in fragments and arrives whole.
    const auto piece = read(*device, 0x101B, {handles[0], 1000, 0x100000});
    EXPECT_EQ(piece.responseCode, 0x2001);
    EXPECT_EQ(piece.dataSize, 0x100000u);
    const auto thumb = read(*device, 0x100A, {handles[0]});
    EXPECT_EQ(thumb.responseCode, 0x2001);
    EXPECT_EQ(thumb.data.get()[0], 0xFF);

    // SIGUSR1 pulls the cable: the device goes away; again puts it back.
    camemu.signal(SIGUSR1);
    EXPECT_TRUE(eventually([&] { return !device->isConnected(); }));
    EXPECT_EQ(read(*device, 0x1004).responseCode, 0);
    camemu.signal(SIGUSR1);
    std::shared_ptr<MtpDevice> again;
    ASSERT_TRUE(
        eventually([&] { return (again = findModel("QUORIN Alto II", "CAMEMU-1")) != nullptr; }));

    EXPECT_EQ(camemu.stop(), 0);
    EXPECT_EQ(read(*again, 0x1004).responseCode, 0);
    ::unsetenv("CORVANE_CAMEMU_SOCKET");
}

TEST(Camemu, APeerThatDoesNotSpeakTheProtocolIsCutOffAlone) {
    Camemu camemu({"--model", "QUORIN Delta", "--time-scale", "0"});
    auto good = Impl::SeqpacketPipe::connect(camemu.socket());
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(good->packetSize(), 512u);

    const int rogue = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, camemu.socket().c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::connect(rogue, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const char junk[3] = {1, 2, 3};
    ASSERT_EQ(::send(rogue, junk, sizeof junk, MSG_NOSIGNAL), 3);
    char answer[64];
    EXPECT_EQ(::recv(rogue, answer, sizeof answer, 0), 0) << "the server hung up on it";
    ::close(rogue);

    // The well-behaved connection still works: OpenSession answered OK.
    const auto command = Impl::Testing::commandBytes(0x1002, 1, {1});
    size_t moved = 0;
    ASSERT_EQ(good->writeBulk(command.data(), command.size(), moved, 1000, true),
              Impl::PipeStatus::Ok);
    uint8_t response[512];
    ASSERT_EQ(good->readBulk(response, sizeof response, moved, 1000), Impl::PipeStatus::Ok);
    ASSERT_EQ(moved, 12u);
    EXPECT_EQ(le16(response + 6), 0x2001);
    EXPECT_EQ(Impl::SeqpacketPipe::connect("/nonexistent/camera.sock"), nullptr);
}

#endif

}  // namespace
}  // namespace Corvane::CameraController::Emulator
