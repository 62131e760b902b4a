// Files on the card over the whole stack: sizes the camera does not announce, files of 4 GiB
// and more, and what a connect to a full card reports.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <sstream>
#include <streambuf>
#include <thread>

#include "corvane/camera_controller/camera_device.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/camera_controller/camera_image.hpp"
#include "corvane/camera_controller/camera_image_list.hpp"
#include "corvane/camera_controller/camera_storage.hpp"
#include "corvane/camera_controller/camera_storage_list.hpp"
#include "corvane/emulator/emulated_camera.hpp"
#include "support/sanitizer_build.hpp"

namespace Corvane::CameraController {
namespace {

using namespace std::chrono_literals;
using Emulator::CameraConfig;
using Emulator::EmulatedCamera;
using Emulator::FileSpec;

constexpr uint16_t kGetObjectPropValue = 0x9803;

class StoredImageCounter : public CameraEventListener {
public:
    void imageStored(const std::shared_ptr<const CameraDevice>&,
                     const std::shared_ptr<const CameraImage>&) override {
        ++stored;
    }
    std::atomic<int> stored{0};
};

/// Keeps only the bytes inside the given windows of the stream, and counts the rest.
class SamplingSink : public std::streambuf {
public:
    struct Window {
        uint64_t offset;
        uint64_t size;
    };
    explicit SamplingSink(std::vector<Window> windows)
        : windows(std::move(windows)), samples(this->windows.size()) {}

    uint64_t received = 0;
    std::vector<Window> windows;
    std::vector<std::string> samples;

protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        const uint64_t end = received + static_cast<uint64_t>(count);
        for (size_t i = 0; i < windows.size(); ++i) {
            const uint64_t from = std::max(received, windows[i].offset);
            const uint64_t to = std::min(end, windows[i].offset + windows[i].size);
            if (from < to) {
                samples[i].append(bytes + (from - received), to - from);
            }
        }
        received = end;
        return count;
    }
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            const char byte = traits_type::to_char_type(c);
            xsputn(&byte, 1);
        }
        return traits_type::not_eof(c);
    }
};

class CardFilesTest : public ::testing::Test {
protected:
    void start(std::vector<FileSpec> files,
               std::vector<uint16_t> operations = CameraConfig::allOperations()) {
        static int serial = 0;
        CameraConfig config;
        config.serialNumber = "CARD-FILES-" + std::to_string(++serial);
        config.timeScale = 0.01;
        config.operations = std::move(operations);
        Emulator::CardSlotConfig slot;
        slot.files = std::move(files);
        config.slots = {slot};
        emulated = EmulatedCamera::create(config);
        emulated->attach();
        for (const auto& found : CameraDeviceDetector::detect(DeviceInterface::USB)) {
            if (found->getSerialNumber() == config.serialNumber) {
                device = found;
            }
        }
        ASSERT_NE(device, nullptr);
        device->addEventListener(counter);
        ASSERT_EQ(device->connect(DeviceInterface::USB).getResult(), Result::Ok);
        ASSERT_EQ(device->getStorages().size(), 1u);
        const auto storage = device->getStorages().get(0);
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (storage->getListingState() != ListingState::Complete &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_EQ(storage->getListingState(), ListingState::Complete);
    }

    std::shared_ptr<const CameraImage> imageNamed(const std::string& name) const {
        const auto& images = device->getImages();
        for (size_t i = 0; i < images.size(); ++i) {
            if (images.get(i)->getName() == name) {
                return images.get(i);
            }
        }
        return nullptr;
    }

    std::string onCamera(const CameraImage& image, uint64_t offset, uint64_t size) const {
        const auto bytes =
            emulated->objectData(static_cast<uint32_t>(std::stoul(image.getId())), offset, size);
        return std::string(bytes.begin(), bytes.end());
    }

    void TearDown() override {
        if (device != nullptr) {
            device->disconnect(DeviceInterface::USB);
        }
        device.reset();
        if (emulated != nullptr) {
            emulated->detach();
        }
    }

    std::shared_ptr<EmulatedCamera> emulated;
    std::shared_ptr<CameraDevice> device;
    std::shared_ptr<StoredImageCounter> counter = std::make_shared<StoredImageCounter>();
};

TEST_F(CardFilesTest, FileJustOver4GiBHasItsRealSizeAndDownloadsWhole) {
    SKIP_GIGABYTE_TEST_IF_SANITIZED();
    constexpr uint64_t kSize = (4ull << 30) + 0x100000 + 3;
    ASSERT_NO_FATAL_FAILURE(start({{"DCIM/100QUORN/MVI_0001.MOV", kSize}}));
    const auto movie = imageNamed("MVI_0001.MOV");
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->getSize(), kSize);

    // The start, both sides of the 4 GiB line and the end: a cut offset shows up here.
    SamplingSink sink({{0, 64}, {(4ull << 30) - 32, 64}, {kSize - 64, 64}});
    std::ostream out(&sink);
    ASSERT_EQ(movie->getData(out).getResult(), Result::Ok);
    EXPECT_EQ(sink.received, kSize);
    for (size_t i = 0; i < sink.windows.size(); ++i) {
        EXPECT_TRUE(sink.samples[i] ==
                    onCamera(*movie, sink.windows[i].offset, sink.windows[i].size))
            << "window at " << sink.windows[i].offset;
    }
}

TEST_F(CardFilesTest, FileAnnouncedAsEmptyIsReadUntilItsDataEnds) {
    FileSpec file{"DCIM/100QUORN/MVI_0002.MOV", 5000000};
    file.sizeAnnouncedAsZero = true;
    // Without the size property the size stays unknown, but the download is whole.
    ASSERT_NO_FATAL_FAILURE(start({file}, CameraConfig::operationsWithout({kGetObjectPropValue})));
    const auto movie = imageNamed("MVI_0002.MOV");
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->getSize(), 0u);
    std::ostringstream out;
    ASSERT_EQ(movie->getData(out).getResult(), Result::Ok);
    EXPECT_EQ(out.str().size(), 5000000u);
    EXPECT_TRUE(out.str() == onCamera(*movie, 0, 5000000));
    TearDown();

    // With it, the image carries its real size.
    ASSERT_NO_FATAL_FAILURE(start({file}));
    EXPECT_EQ(imageNamed("MVI_0002.MOV")->getSize(), 5000000u);
}

TEST_F(CardFilesTest, ConnectToAFullCardReportsNoFileAsNewAndListsEachOnce) {
    std::vector<FileSpec> files;
    for (int i = 1; i <= 150; ++i) {
        files.push_back({"DCIM/100QUORN/IMG_" + std::to_string(1000 + i) + ".MOV", 1000});
    }
    ASSERT_NO_FATAL_FAILURE(start(files));
    const auto listed = device->getImages().clone();
    std::set<std::string> ids;
    for (size_t i = 0; i < listed->size(); ++i) {
        ids.insert(listed->get(i)->getId());
    }
    EXPECT_EQ(listed->size(), 150u);
    EXPECT_EQ(ids.size(), 150u);
    EXPECT_EQ(counter->stored.load(), 0);
}

}  // namespace
}  // namespace Corvane::CameraController
