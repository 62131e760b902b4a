// Card files over the whole stack: public API, discovery, PTP over USB, emulated camera.
#include <gtest/gtest.h>

#include <set>

#include "corvane/camera_controller/camera_image_list.hpp"
#include "corvane/camera_controller/camera_status.hpp"
#include "corvane/camera_controller/camera_storage.hpp"
#include "corvane/camera_controller/camera_storage_list.hpp"
#include "emulator_fixture.hpp"

namespace Corvane::CameraController::Testing {
namespace {

using Emulator::FileSpec;

constexpr uint16_t kGetObjectPropValue = 0x9803;

/// Connects to a camera whose first card holds `files` and waits for the card's listing.
class CardFilesTest : public EmulatorTest {
protected:
    void startWithCard(std::vector<FileSpec> files,
                       std::vector<uint16_t> operations = CameraConfig::allOperations()) {
        CameraConfig config;
        config.timeScale = 0.01;
        config.operations = std::move(operations);
        Emulator::CardSlotConfig slot;
        slot.files = std::move(files);
        config.slots = {slot};
        ASSERT_NO_FATAL_FAILURE(start(config));
        ASSERT_EQ(device->getStorages().size(), 1u);
        const auto storage = device->getStorages().get(0);
        ASSERT_TRUE(
            eventually([&] { return storage->getListingState() == ListingState::Complete; }, 60s));
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
};

TEST_F(CardFilesTest, FileAnnouncedAsEmptyIsReadUntilItsDataEnds) {
    FileSpec file{"DCIM/100QUORN/MVI_0002.MOV", 5000000};
    file.sizeAnnouncedAsZero = true;
    // Without the size property the size stays unknown, but the download is whole.
    ASSERT_NO_FATAL_FAILURE(
        startWithCard({file}, CameraConfig::operationsWithout({kGetObjectPropValue})));
    const auto movie = imageNamed("MVI_0002.MOV");
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->getSize(), 0u);
    std::ostringstream out;
    ASSERT_EQ(movie->getData(out).getResult(), Result::Ok);
    EXPECT_EQ(out.str().size(), 5000000u);
    EXPECT_TRUE(out.str() == onCamera(*movie));
    TearDown();

    // With it, the image carries its real size.
    ASSERT_NO_FATAL_FAILURE(startWithCard({file}));
    EXPECT_EQ(imageNamed("MVI_0002.MOV")->getSize(), 5000000u);
}

TEST_F(CardFilesTest, ConnectToAFullCardReportsNoFileAsNewAndListsEachOnce) {
    std::vector<FileSpec> files;
    for (int i = 1; i <= 150; ++i) {
        files.push_back({"DCIM/100QUORN/IMG_" + std::to_string(1000 + i) + ".MOV", 1000});
    }
    ASSERT_NO_FATAL_FAILURE(startWithCard(files));
    const auto listed = device->getImages().clone();
    std::set<std::string> ids;
    for (size_t i = 0; i < listed->size(); ++i) {
        ids.insert(listed->get(i)->getId());
    }
    EXPECT_EQ(listed->size(), 150u);
    EXPECT_EQ(ids.size(), 150u);
    EXPECT_FALSE(startsWith(listener->events(), "imageStored"));
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
