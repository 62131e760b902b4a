#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <numeric>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "adapter/adapter_image_format.hpp"
#include "adapter_fixture.hpp"
#include "model/list_images_response.hpp"
#include "support/application_environment.hpp"
#include "support/eventually.hpp"
#include "support/sanitizer_build.hpp"

namespace Corvane::CameraController::Testing {
namespace {

using Impl::ConditionOffset::statusFlags;

constexpr uint16_t kGetObjectHandles = 0x1007;
constexpr uint16_t kGetObjectInfo = 0x1008;
constexpr uint16_t kGetThumb = 0x100A;
constexpr uint16_t kDeleteObject = 0x100B;
constexpr uint16_t kGetPartialObject = 0x101B;
constexpr uint16_t kGetPartialObject64 = 0x95C1;
constexpr uint16_t kGetObjectPropValue = 0x9803;
constexpr uint16_t kDeviceBusy = 0x2019;
constexpr uint16_t kTetherMode = 0x9001;
constexpr uint16_t kInformationRequest = 0x9003;

std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    }
    return bytes;
}

/// A stream whose device accepts `capacity` bytes and then fails, as a full disk does.
class FullDisk : public std::streambuf {
public:
    explicit FullDisk(size_t capacity) : space(capacity) {
        setp(space.data(), space.data() + space.size());
    }

private:
    std::vector<char> space;
};

TEST(ImageFormat, ObjectFormatAndExtensionInAnyCase) {
    using Impl::imageFormatOf;
    EXPECT_EQ(imageFormatOf(0x3801, "IMG_0001.JPG"), ImageFormat::JPEG);
    EXPECT_EQ(imageFormatOf(0x3000, "IMG_0001.QRW"), ImageFormat::QRW);
    EXPECT_EQ(imageFormatOf(0x3800, "img_0001.Dng"), ImageFormat::DNG);
    EXPECT_EQ(imageFormatOf(0x3000, "IMG_0001.JPG"), ImageFormat::Unknown);
    EXPECT_EQ(imageFormatOf(0x3000, "QRW"), ImageFormat::Unknown);
    EXPECT_EQ(imageFormatOf(0x3000, "archive.tar.qrw"), ImageFormat::QRW);
    EXPECT_EQ(imageFormatOf(0x3801 + 1, "x.jpg"), ImageFormat::Unknown);
}

class StoredImageTest : public AdapterFixture {
protected:
    void SetUp() override {
        AdapterFixture::SetUp();
        storage = addStorage("65536", true);
    }
    std::shared_ptr<Impl::CameraImageImpl> image(uint32_t handle, uint32_t size,
                                                 const std::string& name = "IMG_0001.JPG") {
        Impl::MtpObjectInfo info;
        info.objectHandle = handle;
        info.objectFormat = 0x3801;
        info.objectCompressedSize = size;
        info.thumbFormat = 0x3808;
        info.filename = name;
        auto made = adapter->createImage(storage, info);
        storage->getImagesImpl().add(made);
        device->getImagesImpl().add(made);
        return made;
    }
    void serve(const std::vector<uint8_t>& file) {
        camera->on(kGetPartialObject, [file](const RecordedRequest& request) {
            const size_t offset = std::min<size_t>(request.parameters.at(1), file.size());
            const size_t count = std::min<size_t>(request.parameters.at(2), file.size() - offset);
            return ScriptedResponse::ok(
                std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + count));
        });
    }
    std::shared_ptr<Impl::CameraStorageImpl> storage;
};

TEST_F(StoredImageTest, DownloadIsFetchedInOneMebibytePiecesUntilTheCameraDataEnds) {
    const auto file = pattern(0x280000);
    serve(file);
    const auto stored = image(42, static_cast<uint32_t>(file.size()));
    EXPECT_TRUE(stored->hasThumbnail());
    std::ostringstream out;
    ASSERT_EQ(stored->getData(out).getResult(), Result::Ok);
    const auto requests = camera->requestsFor(kGetPartialObject);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].parameters, (std::vector<uint32_t>{42, 0, 0x100000}));
    EXPECT_EQ(requests[1].parameters, (std::vector<uint32_t>{42, 0x100000, 0x100000}));
    EXPECT_EQ(requests[2].parameters, (std::vector<uint32_t>{42, 0x200000, 0x100000}));
    EXPECT_TRUE(out.str() == std::string(file.begin(), file.end()));

    camera->on(kGetThumb, [](const RecordedRequest& request) {
        EXPECT_EQ(request.parameters, (std::vector<uint32_t>{42}));
        return ScriptedResponse::ok({0xFF, 0xD8, 0xFF, 0xD9});
    });
    std::ostringstream thumbnail;
    ASSERT_EQ(stored->getThumbnail(thumbnail).getResult(), Result::Ok);
    EXPECT_EQ(thumbnail.str(), std::string("\xFF\xD8\xFF\xD9"));

    // The same 2.5 MiB behind a size of 0: read until a piece comes back short.
    camera->clearRequests();
    std::ostringstream unsized;
    ASSERT_EQ(image(7, 0)->getData(unsized).getResult(), Result::Ok);
    EXPECT_EQ(camera->countOf(kGetPartialObject), 3u);
    EXPECT_TRUE(unsized.str() == std::string(file.begin(), file.end()));

    // Exactly two pieces: the third answer, empty, ends it.
    camera->clearRequests();
    serve(pattern(0x200000));
    std::ostringstream whole;
    ASSERT_EQ(image(8, 0)->getData(whole).getResult(), Result::Ok);
    EXPECT_EQ(camera->countOf(kGetPartialObject), 3u);
    EXPECT_EQ(whole.str().size(), 0x200000u);

    // An object that really is empty is confirmed by the camera, not assumed.
    camera->clearRequests();
    serve({});
    std::ostringstream empty;
    ASSERT_EQ(image(9, 0)->getData(empty).getResult(), Result::Ok);
    EXPECT_EQ(camera->countOf(kGetPartialObject), 1u);
    EXPECT_TRUE(empty.str().empty());

    camera->on(kGetPartialObject,
               [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2002); });
    EXPECT_EQ(image(10, 0)->getData(out).getResult(), Result::Error);
}

class LargeObjectTest : public StoredImageTest {
protected:
    static constexpr uint64_t kOver4GiB = (4ull << 30) + 0x100000 + 3;

    void SetUp() override {
        StoredImageTest::SetUp();
        useOperations({0x1001, 0x9001, 0x900F, 0x9011, kGetObjectPropValue, kGetPartialObject64});
    }
    void useOperations(std::vector<uint16_t> operations) {
        bind(std::move(operations));
        storage = addStorage("65536", true);
    }
    void answerSizeProperty(uint64_t size) {
        camera->on(kGetObjectPropValue, [size](const RecordedRequest&) {
            return ScriptedResponse::ok(DatasetBuilder().u64(size).bytes());
        });
    }
    // Pieces of a file of `size` bytes whose first eight bytes tell their own offset.
    void servePiecesTellingTheirOffset(uint64_t size) {
        const auto piece = [size](uint64_t offset, uint32_t wanted) {
            const uint64_t count = offset < size ? std::min<uint64_t>(wanted, size - offset) : 0;
            std::vector<uint8_t> bytes(count);
            for (size_t i = 0; i < 8 && i < bytes.size(); ++i) {
                bytes[i] = static_cast<uint8_t>(offset >> (8 * i));
            }
            return ScriptedResponse::ok(std::move(bytes));
        };
        camera->on(kGetPartialObject, [piece](const RecordedRequest& request) {
            return piece(request.parameters.at(1), request.parameters.at(2));
        });
        camera->on(kGetPartialObject64, [piece](const RecordedRequest& request) {
            const uint64_t offset =
                request.parameters.at(1) | (uint64_t{request.parameters.at(2)} << 32);
            return piece(offset, request.parameters.at(3));
        });
    }
};

/// Counts what it receives and checks that every 1 MiB piece starts with its own offset.
class OffsetCheckingSink : public std::streambuf {
public:
    uint64_t received = 0;
    uint64_t misplaced = 0;

protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        if (received % 0x100000 == 0 && count >= 8) {
            uint64_t told = 0;
            for (int i = 7; i >= 0; --i) {
                told = (told << 8) | static_cast<uint8_t>(bytes[i]);
            }
            misplaced += told != received ? 1 : 0;
        }
        received += static_cast<uint64_t>(count);
        return count;
    }
};

TEST_F(LargeObjectTest, SizeThatSaysNothingIsAskedForAsThe64BitProperty) {
    answerSizeProperty(4400000000ull);
    EXPECT_EQ(image(5, 0xFFFFFFFF)->getSize(), 4400000000ull);
    const auto asked = camera->requestsFor(kGetObjectPropValue);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].parameters, (std::vector<uint32_t>{5, 0xDC04}));

    answerSizeProperty(5000000);
    EXPECT_EQ(image(6, 0)->getSize(), 5000000u);
    // A size that can be trusted costs no question.
    EXPECT_EQ(image(7, 1234)->getSize(), 1234u);
    EXPECT_EQ(camera->countOf(kGetObjectPropValue), 2u);

    // A camera that refuses the property leaves the announced size, read until its data ends.
    camera->on(kGetObjectPropValue,
               [](const RecordedRequest&) { return ScriptedResponse::withCode(0xA801); });
    EXPECT_EQ(image(8, 0xFFFFFFFF)->getSize(), 0xFFFFFFFFu);
}

TEST_F(LargeObjectTest, FileJustOver4GiBIsReadWith64BitOffsetsAndRefusedWithoutThem) {
    SKIP_GIGABYTE_TEST_IF_SANITIZED();
    answerSizeProperty(kOver4GiB);
    servePiecesTellingTheirOffset(kOver4GiB);
    const auto big = image(12, 0xFFFFFFFF, "MVI_0001.MOV");
    ASSERT_EQ(big->getSize(), kOver4GiB);
    OffsetCheckingSink sink;
    std::ostream out(&sink);
    ASSERT_EQ(big->getData(out).getResult(), Result::Ok);
    EXPECT_EQ(sink.received, kOver4GiB);
    EXPECT_EQ(sink.misplaced, 0u);
    EXPECT_EQ(camera->countOf(kGetPartialObject), 4096u);
    const auto beyond = camera->requestsFor(kGetPartialObject64);
    ASSERT_EQ(beyond.size(), 2u);
    EXPECT_EQ(beyond[0].parameters, (std::vector<uint32_t>{12, 0, 1, 0x100000}));
    EXPECT_EQ(beyond[1].parameters, (std::vector<uint32_t>{12, 0x100000, 1, 0x100000}));

    // Without the 64-bit read the rest is refused, neither wrapped to offset 0 nor cut short.
    useOperations({0x1001, 0x9001, 0x900F, 0x9011});
    servePiecesTellingTheirOffset(kOver4GiB);
    OffsetCheckingSink head;
    std::ostream part(&head);
    const auto result = image(13, 0xFFFFFFFF, "MVI_0002.MOV")->getData(part);
    ASSERT_EQ(result.getResult(), Result::Error);
    EXPECT_EQ(result.getErrors().at(0)->getCode(), ErrorCode::NotSupported);
    EXPECT_EQ(head.misplaced, 0u);
    EXPECT_EQ(head.received, 4ull << 30);
    EXPECT_EQ(camera->countOf(kGetPartialObject64), 0u);
}

TEST_F(StoredImageTest, DownloadFailuresAreReportedNeverAsSuccess) {
    // The camera answers a piece without bytes: no progress, no endless loop.
    camera->on(kGetPartialObject, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    std::ostringstream out;
    const auto stalled = image(1, 10)->getData(out);
    ASSERT_EQ(stalled.getResult(), Result::Error);
    EXPECT_EQ(stalled.getErrors()[0]->getMessage(), "Image transfer incomplete");
    EXPECT_EQ(camera->countOf(kGetPartialObject), 1u);

    serve(pattern(0x180000));
    FullDisk disk(0x100000 + 10);
    std::ostream full(&disk);
    const auto written = image(2, 0x180000)->getData(full);
    ASSERT_EQ(written.getResult(), Result::Error);
    EXPECT_EQ(written.getErrors()[0]->getMessage(), "Write to output stream failed");

    camera->on(kGetPartialObject,
               [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2009); });
    const auto refused = image(3, 10)->getData(out);
    EXPECT_EQ(refused.getErrors()[0]->getCode(), ErrorCode::ImageNotFound);
}

TEST_F(StoredImageTest, DeletionRemovesTheImageInsideTetherModeOff) {
    camera->on(kTetherMode, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    camera->on(kDeleteObject, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    const auto doomed = image(5, 100);
    const auto kept = image(6, 100, "IMG_0002.JPG");
    setCondition([](ConditionBuilder&) {});
    ASSERT_EQ(doomed->deleteData().getResult(), Result::Ok);
    EXPECT_EQ(camera->operationCodes(),
              (std::vector<uint16_t>{0x900F, kTetherMode, kDeleteObject, kTetherMode}));
    EXPECT_EQ(camera->requestsFor(kTetherMode)[0].parameters.at(2), 0u);
    EXPECT_EQ(camera->requestsFor(kTetherMode)[1].parameters.at(2), 1u);
    EXPECT_FALSE(doomed->isValid());
    EXPECT_TRUE(kept->isValid());
    EXPECT_EQ(device->getImages().size(), 1u);
    EXPECT_EQ(storage->getImages().size(), 1u);
    EXPECT_EQ(device->getImages().get(0), kept);

    // A deleted image stays a handle, but its camera operations fail.
    std::ostringstream out;
    const auto again = doomed->getData(out);
    EXPECT_EQ(again.getErrors()[0]->getCode(), ErrorCode::ImageNotFound);
    EXPECT_EQ(again.getErrors()[0]->getMessage(), "IMG_0001.JPG");
}

TEST_F(StoredImageTest, DeletionIsRefusedWhileRecordingAndSkippedWithoutStorage) {
    const auto busy = image(5, 100);
    setCondition([](ConditionBuilder& c) { c.set(Impl::ConditionOffset::statusFlags, 0x300); });
    camera->clearRequests();
    EXPECT_EQ(busy->deleteData().getErrors()[0]->getMessage(), "Device Busy");
    EXPECT_TRUE(camera->requests().empty());

    // The storage goes away: the image is still a stored object, never mistaken for the
    // transfer buffer, and there is nothing left to delete.
    const auto orphan = image(11, 100);
    device->getStoragesImpl().remove(storage);
    storage->getImagesImpl().clear();
    storage.reset();
    ASSERT_EQ(orphan->getStorage(), nullptr);
    camera->on(kGetPartialObject,
               [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2009); });
    std::ostringstream out;
    EXPECT_EQ(orphan->getData(out).getErrors()[0]->getCode(), ErrorCode::ImageNotFound);
    EXPECT_EQ(camera->countOf(0x900B), 0u);
    camera->clearRequests();
    EXPECT_EQ(orphan->deleteData().getResult(), Result::Ok);
    EXPECT_TRUE(camera->requests().empty());
}

/// A card whose files the camera lists; each file is a JPEG named after its handle. The camera
/// has a transfer buffer, so a still capture starts without waiting for the camera.
class CardTest : public StoredImageTest {
protected:
    void SetUp() override {
        withTransferBuffer();
        storage = addStorage("65536", true);
        camera->on(kGetObjectHandles, [this](const RecordedRequest&) {
            const std::lock_guard<std::mutex> lock(handlesMutex);
            return ScriptedResponse::ok(DatasetBuilder().u32Array(handles).bytes());
        });
        camera->on(kGetObjectInfo, [](const RecordedRequest& request) {
            return ScriptedResponse::ok(jpegInfo(request.parameters.at(0)));
        });
        setCondition([](ConditionBuilder&) {});
    }
    static std::vector<uint8_t> jpegInfo(uint32_t handle) {
        return objectInfoDataset(0x10001, 0x3801, 100, "IMG_" + std::to_string(handle) + ".JPG");
    }
    void cameraHolds(std::vector<uint32_t> now) {
        const std::lock_guard<std::mutex> lock(handlesMutex);
        handles = std::move(now);
    }
    static std::vector<uint32_t> handlesUpTo(uint32_t count) {
        std::vector<uint32_t> all(count);
        std::iota(all.begin(), all.end(), 1u);
        return all;
    }

    // Starts a background listing of `count` files and returns once it runs. The listing
    // waits at its first file until then and takes a few milliseconds per file after it,
    // so that a pause requested next lands in the middle.
    void startSlowListing(uint32_t count) {
        cameraHolds(handlesUpTo(count));
        std::promise<void> seen;
        camera->on(kGetObjectInfo, [gate = seen.get_future().share()](const RecordedRequest& r) {
            gate.wait_for(std::chrono::seconds(5));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return ScriptedResponse::ok(jpegInfo(r.parameters.at(0)));
        });
        adapter->listImages(storage);
        while (storage->getListingState() != ListingState::Running) {
            std::this_thread::yield();
        }
        seen.set_value();
    }

    std::mutex handlesMutex;
    std::vector<uint32_t> handles;
};

TEST_F(CardTest, FoldersNeverBecomeImagesAndTheStorageIdLosesBitZero) {
    camera->on(kGetObjectInfo, [](const RecordedRequest& request) {
        const uint32_t handle = request.parameters.at(0);
        if (handle == 2) {
            return ScriptedResponse::ok(objectInfoDataset(0x10001, 0x3001, 0, "DCIM"));
        }
        return ScriptedResponse::ok(objectInfoDataset(0x10001, 0x3000, 1000 + handle,
                                                      "IMG_000" + std::to_string(handle) + ".QRW"));
    });
    cameraHolds({1, 2, 3});
    adapter->doListImagesAsync("65536");
    EXPECT_EQ(storage->getListingState(), ListingState::Complete);
    EXPECT_EQ(camera->requestsFor(kGetObjectHandles)[0].parameters,
              (std::vector<uint32_t>{65536, 0, 0}));
    ASSERT_EQ(storage->getImages().size(), 2u);
    // Newest first.
    EXPECT_EQ(storage->getImages().get(0)->getId(), "3");
    EXPECT_EQ(storage->getImages().get(1)->getFormat(), ImageFormat::QRW);
    EXPECT_EQ(device->getImages().size(), 2u);

    // A second listing asks only about handles it does not know yet, and drops vanished ones.
    camera->clearRequests();
    cameraHolds({3, 4});
    adapter->doListImagesAsync("65536");
    EXPECT_EQ(camera->countOf(kGetObjectInfo), 1u);
    EXPECT_EQ(storage->getImages().size(), 2u);
    EXPECT_EQ(device->getImages().size(), 2u);
}

TEST_F(CardTest, EmptyUnknownOrUnreachableStorageListsNothing) {
    DiagnosticCapture diagnostics;
    image(1, 10);
    adapter->doListImagesAsync("65536");
    EXPECT_EQ(storage->getListingState(), ListingState::Stopped);
    EXPECT_EQ(storage->getImages().size(), 1u);

    camera->clearRequests();
    adapter->doListImagesAsync("131072");
    EXPECT_TRUE(camera->requests().empty());

    adapter->connected = false;
    adapter->doListImagesAsync("65536");
    EXPECT_EQ(diagnostics.lines(),
              std::vector<std::string>{"[error][doListImagesAsync] Device is NOT Connected."});
    EXPECT_TRUE(camera->requests().empty());
}

TEST_F(CardTest, ListingTheCameraCutShortReadsFailedNotEmptyOrComplete) {
    DiagnosticCapture diagnostics;
    image(1, 10);
    // Handles refused: that is not an empty card, and what was listed stays.
    camera->queue(kGetObjectHandles, ScriptedResponse::withCode(0x2002));
    adapter->doListImagesAsync("65536");
    EXPECT_EQ(storage->getListingState(), ListingState::Failed);
    EXPECT_EQ(storage->getImages().size(), 1u);

    // The second of three files cannot be read: the newest one was listed, then it ends.
    cameraHolds({2, 3, 4});
    camera->on(kGetObjectInfo, [](const RecordedRequest& request) {
        const uint32_t handle = request.parameters.at(0);
        return handle == 3 ? ScriptedResponse::withCode(0x2002)
                           : ScriptedResponse::ok(jpegInfo(handle));
    });
    adapter->doListImagesAsync("65536");
    EXPECT_EQ(storage->getListingState(), ListingState::Failed);
    ASSERT_EQ(storage->getImages().size(), 1u);
    EXPECT_EQ(storage->getImages().get(0)->getId(), "4");
    EXPECT_EQ(diagnostics.lines(), std::vector<std::string>{"mtpObject is null"});

    // Ending the listings (at disconnect) does not hide the failure.
    adapter->stopListing(storage);
    EXPECT_EQ(storage->getListingState(), ListingState::Failed);
}

TEST_F(CardTest, BusyCameraIsAskedAgainWithinABound) {
    adapter->setTimingForTesting(nullptr, [this](std::chrono::milliseconds) { ++pauses; });
    cameraHolds({1, 2});
    camera->queue(kGetObjectHandles, ScriptedResponse::withCode(kDeviceBusy));
    camera->queue(kGetObjectInfo, ScriptedResponse::withCode(kDeviceBusy));
    camera->queue(kGetObjectInfo, ScriptedResponse::withCode(kDeviceBusy));
    adapter->doListImagesAsync("65536");
    EXPECT_EQ(storage->getListingState(), ListingState::Complete);
    EXPECT_EQ(storage->getImages().size(), 2u);
    EXPECT_EQ(pauses.load(), 3);

    // A camera that stays busy fails the listing after a bounded number of questions.
    storage->getImagesImpl().clear();
    device->getImagesImpl().clear();
    camera->clearRequests();
    camera->on(kGetObjectInfo,
               [](const RecordedRequest&) { return ScriptedResponse::withCode(kDeviceBusy); });
    adapter->doListImagesAsync("65536");
    EXPECT_EQ(storage->getListingState(), ListingState::Failed);
    EXPECT_EQ(camera->countOf(kGetObjectInfo), 11u);
}

TEST_F(CardTest, BackgroundListingPausesForACaptureStartAndStops) {
    startSlowListing(200);
    adapter->waitForStorageListing(storage);
    EXPECT_EQ(storage->getListingState(), ListingState::Paused);
    const size_t listed = storage->getImages().size();
    adapter->stopListing(storage);
    EXPECT_EQ(storage->getListingState(), ListingState::Stopped);
    EXPECT_LT(storage->getImages().size(), 200u);
    EXPECT_LE(storage->getImages().size(), listed + 1);
}

TEST_F(CardTest, PausedListingEndsWhenTheDeviceGoesAway) {
    startSlowListing(100);
    adapter->waitForStorageListing(storage);
    ASSERT_EQ(storage->getListingState(), ListingState::Paused);
    // Nobody will resume it once the device is gone; the adapter's destruction waits for it.
    device.reset();
    EXPECT_TRUE(eventually([&] { return storage->getListingState() != ListingState::Paused; }));
    EXPECT_EQ(storage->getListingState(), ListingState::Stopped);
}

TEST_F(CardTest, LastReferenceMayBeDroppedOnTheListingItself) {
    cameraHolds({1, 2});
    std::promise<void> started;
    std::promise<void> released;
    // The application lets go of device, adapter and storage while the listing asks about a
    // file; the listing's own references are then the last ones.
    camera->on(kGetObjectInfo, [this, gate = started.get_future().share(),
                                &released](const RecordedRequest& request) {
        if (gate.wait_for(std::chrono::seconds(5)) == std::future_status::ready &&
            adapter != nullptr) {
            device.reset();
            adapter.reset();
            storage.reset();
            released.set_value();
        }
        return ScriptedResponse::ok(jpegInfo(request.parameters.at(0)));
    });
    // The transport goes only once the adapter's destructor has returned.
    const std::weak_ptr<ScriptedMtpDevice> transport = camera;
    camera.reset();

    adapter->listImages(storage);
    started.set_value();
    ASSERT_EQ(released.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(eventually([&] { return transport.expired(); }));
}

TEST_F(CardTest, NewFilesAreStoredReportedAndCountedAgainstTheCapture) {
    cameraHolds({1});
    adapter->doListImagesAsync("65536");
    ASSERT_EQ(storage->getListingState(), ListingState::Complete);

    // Two active slots with JPEG: two files expected.
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

TEST_F(CardTest, AListenerThatThrowsIsLoggedUnderTheEventItWasGiven) {
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

TEST_F(CardTest, FilesOnTheCardBeforeTheListingTookThemAreNeverNew) {
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

TEST_F(CardTest, UpdatesBesideARunningListingListEachFileOnce) {
    std::vector<uint32_t> onCard = handlesUpTo(60);
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

TEST_F(CardTest, InMovieModeEachListenerHearsImageAddedBeforeImageStored) {
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

TEST_F(CardTest, AfterAMovieOnlyTheSlotThatReceivedItIsUpdated) {
    const auto second = addStorage("131072", true);
    adapter->setTimingForTesting(nullptr, [](std::chrono::milliseconds) {});
    camera->on(kInformationRequest, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    adapter->doListImagesAsync("131072");
    cameraHolds({1});
    setCondition([](ConditionBuilder& c) {
        c.set(Impl::ConditionOffset::headerWord, 0x8C)
            .set(statusFlags, 0x100)
            .set(Impl::ConditionOffset::objectReady, 1)
            .set(Impl::ConditionOffset::objectHandle, 9)
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

TEST_F(StoredImageTest, StorageFiguresComeFromStorageInfo) {
    camera->on(0x1004, [](const RecordedRequest&) {
        return ScriptedResponse::ok(DatasetBuilder().u32Array({0x10001}).bytes());
    });
    camera->on(0x1005, [](const RecordedRequest&) {
        return ScriptedResponse::ok(DatasetBuilder()
                                        .u16(4)
                                        .u16(3)
                                        .u16(2)
                                        .u64(64000000000ULL)
                                        .u64(1000)
                                        .u32(12)
                                        .string("SD")
                                        .string("")
                                        .bytes());
    });
    adapter->setStorageWriting(false);
    adapter->updateStorages();
    EXPECT_EQ(storage->getType(), StorageType::RemovableRAM);
    EXPECT_EQ(storage->getPermission(), StoragePermission::ReadOnlyWithDeletion);
    EXPECT_EQ(storage->getMaxCapacity(), 64000000000ULL);
    EXPECT_EQ(storage->getFreeSpaceInBytes(), 1000u);
    EXPECT_EQ(storage->getFreeSpaceInImages(), 0u);
    adapter->setStorageWriting(true);
    adapter->updateStorages();
    EXPECT_EQ(storage->getFreeSpaceInImages(), 12u);
    EXPECT_EQ(camera->requestsFor(0x1005)[0].parameters, (std::vector<uint32_t>{0x10001}));
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
