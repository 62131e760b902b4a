#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "adapter_fixture.hpp"
#include "model/capture_impl.hpp"
#include "model/list_images_response.hpp"
#include "support/application_environment.hpp"

namespace Corvane::CameraController::Testing {
namespace {

using namespace std::string_literals;
using Impl::ConditionOffset::objectHandle;
using Impl::ConditionOffset::objectReady;
using Impl::ConditionOffset::statusFlags;

constexpr uint16_t kGetObjectHandles = 0x1007;
constexpr uint16_t kGetObjectInfo = 0x1008;
constexpr uint16_t kInformationRequest = 0x9003;
constexpr uint16_t kTransfer = 0x900B;
constexpr uint16_t kInstruction = 0x900C;
constexpr uint16_t kRelease = 0x900E;

std::vector<uint8_t> transferStart(uint8_t type, const std::string& name) {
    return DatasetBuilder().u8(type).u16(0).string(name).bytes();
}

class TetherImageTest : public AdapterFixture {
protected:
    void SetUp() override {
        bind("QUORIN Alto II", "1.50",
             {0x1001, 0x9001, 0x900F, 0x9011, kTransfer, 0x900C, 0x900D, kRelease});
    }
};

TEST_F(TetherImageTest, TypeByteGivesFormatAndThumbnail) {
    struct Case {
        uint8_t type;
        ImageFormat format;
        bool thumbnail;
    };
    const Case cases[] = {{1, ImageFormat::JPEG, true},     {2, ImageFormat::QRW, true},
                          {3, ImageFormat::DNG, true},      {4, ImageFormat::TIFF, false},
                          {0, ImageFormat::Unknown, false}, {7, ImageFormat::Unknown, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        camera->queue(kTransfer, ScriptedResponse::ok(transferStart(c.type, "T0001.JPG")));
        const auto image = adapter->createImageFromTetherImage();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->getFormat(), c.format);
        EXPECT_EQ(image->hasThumbnail(), c.thumbnail);
        EXPECT_EQ(image->getName(), "T0001.JPG");
        EXPECT_EQ(image->getSize(), 0u);
        EXPECT_EQ(image->getStorage(), nullptr);
    }
    EXPECT_EQ(camera->requestsFor(kTransfer)[0].parameters, (std::vector<uint32_t>{0}));

    // Malformed answers still give a defined image.
    camera->queue(kTransfer, ScriptedResponse::ok({}));
    ASSERT_NE(adapter->createImageFromTetherImage(), nullptr);
    camera->queue(kTransfer, ScriptedResponse::ok({1, 0, 0, 40, 'x'}));
    EXPECT_EQ(adapter->createImageFromTetherImage()->getName(), "");
}

TEST_F(TetherImageTest, DataAndThumbnailComeThroughTheTransferBuffer) {
    camera->queue(kTransfer, ScriptedResponse::ok(transferStart(3, "T0001.DNG")));
    const auto image = adapter->createImageFromTetherImage();
    ASSERT_NE(image, nullptr);
    camera->on(kTransfer, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    camera->on(kInstruction, [](const RecordedRequest&) {
        return ScriptedResponse::ok(DatasetBuilder().u8(2).u32(0).bytes());
    });
    std::ostringstream out;
    EXPECT_EQ(image->getData(out).getResult(), Result::Ok);
    EXPECT_EQ(image->getThumbnail(out).getResult(), Result::Ok);
    const auto requests = camera->requestsFor(kTransfer);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].parameters, (std::vector<uint32_t>{0}));
    EXPECT_EQ(requests[2].parameters, (std::vector<uint32_t>{0xFE}));
    EXPECT_EQ(camera->countOf(0x101B), 0u);
}

TEST_F(TetherImageTest, ATransferThatSeeksPastTheEndArrivesInAStringStream) {
    const ApplicationEnvironment environment;
    REQUIRE_APPLICATION_ENVIRONMENT(environment);
    camera->queue(kTransfer, ScriptedResponse::ok(transferStart(1, "T0001.JPG")));
    const auto image = adapter->createImageFromTetherImage();
    ASSERT_NE(image, nullptr);
    camera->on(kTransfer, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    camera->on(0x900D, [](const RecordedRequest& request) {
        const uint32_t count = request.parameters.at(0);
        return ScriptedResponse::ok(std::vector<uint8_t>(count, 'x'), {count});
    });
    for (const auto& step : {DatasetBuilder().u8(3).u32(4), DatasetBuilder().u8(4).u32(8),
                             DatasetBuilder().u8(3).u32(2), DatasetBuilder().u8(5).u32(3),
                             DatasetBuilder().u8(2).u32(0)}) {
        camera->queue(kInstruction, ScriptedResponse::ok(step.bytes()));
    }
    std::stringstream out;
    EXPECT_EQ(image->getData(out).getResult(), Result::Ok);
    EXPECT_EQ(out.str(), "xxxx\0\0\0\0xx\0\0\0"s);
}

TEST_F(TetherImageTest, FailuresAreWrittenWithTheCodeOutsideTheVendorRange) {
    DiagnosticCapture diagnostics;
    camera->queue(kTransfer, ScriptedResponse::withCode(0xA005));
    EXPECT_EQ(adapter->createImageFromTetherImage(), nullptr);
    camera->queue(kTransfer, ScriptedResponse::withCode(0x2019));
    EXPECT_EQ(adapter->createImageFromTetherImage(), nullptr);
    camera->queue(kRelease, ScriptedResponse::withCode(0x2002));
    adapter->deleteTetherImage();
    EXPECT_EQ(diagnostics.lines(),
              (std::vector<std::string>{"Error[2] createImageFromTetherImage",
                                        "Error[2] createImageFromTetherImage res = 0x2019",
                                        "Error[2] deleteTetherImage res = 0x2002"}));
}

TEST_F(AdapterFixture, WithoutTransferBufferTheCapturedObjectIsUsed) {
    setCondition([](ConditionBuilder& c) { c.set(objectHandle, 77); });
    camera->on(kGetObjectInfo, [](const RecordedRequest& request) {
        EXPECT_EQ(request.parameters.at(0), 77u);
        return ScriptedResponse::ok(objectInfoDataset(0x10001, 0x3801, 5000, "IMG_0077.JPG"));
    });
    camera->on(kInformationRequest, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    const auto image = adapter->createImageFromTetherImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getId(), "77");
    EXPECT_EQ(image->getSize(), 5000u);
    adapter->deleteTetherImage();
    ASSERT_EQ(camera->countOf(kInformationRequest), 1u);
    EXPECT_EQ(camera->requestsFor(kInformationRequest)[0].parameters, (std::vector<uint32_t>{77}));
}

class ImageUpdateTest : public AdapterFixture {
protected:
    void SetUp() override {
        bind("QUORIN Alto II", "1.50", {0x1001, 0x9001, 0x900F, 0x9011, kTransfer});
        storage = addStorage("65536", true);
        camera->on(kGetObjectHandles, [this](const RecordedRequest&) {
            const std::lock_guard<std::mutex> lock(handlesMutex);
            return ScriptedResponse::ok(DatasetBuilder().u32Array(handles).bytes());
        });
        camera->on(kGetObjectInfo, [](const RecordedRequest& request) {
            const uint32_t handle = request.parameters.at(0);
            return ScriptedResponse::ok(
                objectInfoDataset(0x10001, 0x3801, 100, "IMG_" + std::to_string(handle) + ".JPG"));
        });
        setCondition([](ConditionBuilder&) {});
    }
    void cameraHolds(std::vector<uint32_t> now) {
        const std::lock_guard<std::mutex> lock(handlesMutex);
        handles = std::move(now);
    }
    std::shared_ptr<Impl::CameraStorageImpl> storage;
    std::mutex handlesMutex;
    std::vector<uint32_t> handles;
};

TEST_F(ImageUpdateTest, NewFilesAreStoredReportedAndCountedAgainstTheCapture) {
    cameraHolds({1});
    adapter->doListImagesAsync("65536");
    ASSERT_EQ(storage->getListingState(), ListingState::Complete);

    // Two active slots with JPEG: two files expected.
    camera->on(kShutter, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    const auto started = adapter->startCapture(false).getCapture();
    ASSERT_NE(started, nullptr);

    cameraHolds({1, 2, 3});
    adapter->updateStorageImages(storage);
    EXPECT_EQ(listener->events(),
              (std::vector<std::string>{"imageStored IMG_2.JPG", "imageStored IMG_3.JPG",
                                        "captureComplete " + started->getId()}));
    EXPECT_EQ(storage->getImages().size(), 3u);
    EXPECT_EQ(device->getImages().size(), 3u);

    // Same count as cached: nothing is examined, even when a file was replaced.
    camera->clearRequests();
    cameraHolds({1, 2, 4});
    adapter->updateStorageImages(storage);
    EXPECT_EQ(camera->countOf(kGetObjectInfo), 0u);
    EXPECT_EQ(listener->events().size(), 3u);
}

TEST_F(ImageUpdateTest, AListenerThatThrowsIsLoggedUnderTheEventItWasGiven) {
    const ApplicationEnvironment environment;
    REQUIRE_APPLICATION_ENVIRONMENT(environment);
    class Throwing : public RecordingListener {
        void imageStored(const std::shared_ptr<const CameraDevice>&,
                         const std::shared_ptr<const CameraImage>&) override {
            throw std::runtime_error("disk full");
        }
        void captureComplete(const std::shared_ptr<const CameraDevice>&,
                             const std::shared_ptr<const Capture>&) override {
            throw 42;
        }
    };
    device->removeEventListener(listener);
    device->addEventListener(std::make_shared<Throwing>());
    device->addEventListener(listener);
    cameraHolds({1});
    adapter->doListImagesAsync("65536");
    camera->on(kShutter, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    ASSERT_NE(adapter->startCapture(false).getCapture(), nullptr);

    DiagnosticCapture diagnostics;
    cameraHolds({1, 2, 3});
    adapter->updateStorageImages(storage);
    EXPECT_EQ(diagnostics.lines(),
              (std::vector<std::string>{"[error][imageStored] event listener threw: disk full",
                                        "[error][imageStored] event listener threw: disk full",
                                        "[error][captureComplete] event listener threw"}));
    // The listeners after it still hear every event.
    EXPECT_EQ(listener->events().size(), 3u);
}

TEST_F(ImageUpdateTest, FilesOnTheCardBeforeTheListingTookThemAreNeverNew) {
    // At connect the event task's update may run before the listing has read the card.
    cameraHolds({1, 2, 3});
    adapter->updateStorageImages(storage);
    EXPECT_TRUE(listener->events().empty());
    EXPECT_EQ(storage->getImages().size(), 0u);

    adapter->doListImagesAsync("65536");
    EXPECT_EQ(storage->getImages().size(), 3u);
    cameraHolds({1, 2, 3, 4});
    adapter->updateStorageImages(storage);
    EXPECT_EQ(listener->events(), (std::vector<std::string>{"imageStored IMG_4.JPG"}));
    EXPECT_EQ(device->getImages().size(), 4u);
}

TEST_F(ImageUpdateTest, UpdatesBesideARunningListingListEachFileOnce) {
    std::vector<uint32_t> onCard(60);
    for (uint32_t i = 0; i < onCard.size(); ++i) {
        onCard[i] = i + 1;
    }
    cameraHolds(onCard);
    adapter->listImages(storage);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (uint32_t added = 100; storage->getListingState() != ListingState::Complete; ++added) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the listing never completed";
        onCard.push_back(added);
        cameraHolds(onCard);
        adapter->updateStorageImages(storage);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    std::set<std::string> ids;
    const auto listed = device->getImages().clone();
    for (size_t i = 0; i < listed->size(); ++i) {
        EXPECT_TRUE(ids.insert(listed->get(i)->getId()).second) << listed->get(i)->getId();
    }
    // Every file that was on the card before the listing is listed, none of them as new.
    for (uint32_t handle = 1; handle <= 60; ++handle) {
        EXPECT_EQ(ids.count(std::to_string(handle)), 1u) << handle;
    }
    for (const auto& event : listener->events()) {
        EXPECT_GE(std::stoul(event.substr(event.find('_') + 1)), 100u) << event;
    }
}

TEST_F(ImageUpdateTest, InMovieModeEachListenerHearsImageAddedBeforeImageStored) {
    device->addEventListener(listener);  // registered twice: called twice per event
    cameraHolds({1});
    adapter->doListImagesAsync("65536");
    setCondition([](ConditionBuilder& c) { c.set(statusFlags, 0x100); });
    cameraHolds({1, 2});
    adapter->updateStorageImages(storage);
    EXPECT_EQ(listener->events(),
              (std::vector<std::string>{"imageAdded IMG_2.JPG", "imageAdded IMG_2.JPG",
                                        "imageStored IMG_2.JPG", "imageStored IMG_2.JPG"}));
}

TEST_F(ImageUpdateTest, AfterAMovieOnlyTheSlotThatReceivedItIsUpdated) {
    const auto second = addStorage("131072", true);
    adapter->setTimingForTesting(nullptr, [](std::chrono::milliseconds) {});
    camera->on(kInformationRequest, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    cameraHolds({});
    adapter->doListImagesAsync("131072");
    cameraHolds({1});
    setCondition([](ConditionBuilder& c) {
        c.set(Impl::ConditionOffset::headerWord, 0x8C)
            .set(statusFlags, 0x100)
            .set(objectReady, 1)
            .set(objectHandle, 9)
            .set(Impl::ConditionOffset::lastCaptureSlot, 1);
    });
    camera->clearRequests();
    adapter->updateImageInfo();
    EXPECT_EQ(camera->requestsFor(kInformationRequest).at(0).parameters,
              (std::vector<uint32_t>{9}));
    const auto listings = camera->requestsFor(kGetObjectHandles);
    ASSERT_EQ(listings.size(), 1u);
    EXPECT_EQ(listings[0].parameters.at(0), 131072u);
    EXPECT_EQ(second->getImages().size(), 1u);
    EXPECT_EQ(storage->getImages().size(), 0u);
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
