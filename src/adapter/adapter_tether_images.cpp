// Tether images (pictures left in the camera's transfer buffer) and the update of the image
// lists after a capture wrote new files to a card.
#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_host.hpp"
#include "adapter/adapter_image_format.hpp"
#include "adapter/camera_model_profile.hpp"
#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "common/diagnostics.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "model/camera_image_impl.hpp"
#include "model/camera_image_list_impl.hpp"
#include "model/camera_status_impl.hpp"
#include "model/camera_storage_impl.hpp"
#include "model/camera_storage_list_impl.hpp"
#include "model/capture_impl.hpp"
#include "mtp/mtp_datasets.hpp"

namespace Corvane::CameraController::Impl {

namespace {

using std::chrono::milliseconds;
using namespace std::chrono_literals;

constexpr milliseconds kImageInfoSettle = 300ms;
constexpr milliseconds kTetherReset = 200ms;
constexpr milliseconds kResumeGap = 2ms;
constexpr size_t kTetherNameOffset = 3;
/// Condition datasets before this header word do not carry the slot of the last capture.
constexpr uint32_t kHeaderWithCaptureSlot = 0x8C;

struct TetherType {
    ImageFormat format;
    bool hasThumbnail;
};

TetherType tetherTypeOf(uint8_t typeByte) {
    switch (typeByte) {
        case 1:
            return {ImageFormat::JPEG, true};
        case 2:
            return {ImageFormat::QRW, true};
        case 3:
            return {ImageFormat::DNG, true};
        case 4:
            return {ImageFormat::TIFF, false};
        default:
            return {ImageFormat::Unknown, false};
    }
}

bool resetsTetherAfterCapture(const std::string& model) {
    return modelProfile(model).resetsTetherAfterCapture;
}

uint32_t lastCaptureSlot(const QuorinCameraCondition& condition) {
    if (condition.headerWord() < kHeaderWithCaptureSlot) {
        return 0xFFFFFFFF;
    }
    return condition.u32At(ConditionOffset::lastCaptureSlot);
}

bool contains(const std::vector<uint32_t>& handles, uint32_t handle) {
    return std::find(handles.begin(), handles.end(), handle) != handles.end();
}

}  // namespace

// ---- the transfer buffer ----

std::shared_ptr<CameraImageImpl> QuorinCameraDeviceMtpUsbAdapter::createImageFromTetherImage() {
    if (lockHost() == nullptr) {
        return nullptr;
    }
    const auto current = getCondition();
    const uint32_t objectHandle =
        current != nullptr ? current->u32At(ConditionOffset::objectHandle) : 0;
    if (!isOperationSupported(OperationCode::TetherImageTransfer)) {
        const auto info = readObjectInfo(objectHandle);
        if (info == nullptr) {
            writeDiagnostic("Error[1] createImageFromTetherImage");
            return nullptr;
        }
        return createImage(nullptr, *info);
    }

    MtpRequest request;
    request.operationCode = OperationCode::TetherImageTransfer;
    request.parameters = {0};
    request.dataPhase = MtpDataPhase::Read;
    const MtpResponse answer = execute(request);
    if (answer.responseCode != kResponseOk) {
        logResponseError(answer.responseCode, "Error[2] createImageFromTetherImage");
        return nullptr;
    }
    const uint8_t* data = answer.data.get();
    const size_t size = data != nullptr ? answer.dataSize : 0;
    const TetherType type = tetherTypeOf(size > 0 ? data[0] : 0);
    std::string name;
    if (size > kTetherNameOffset) {
        name = decodeMtpString(data + kTetherNameOffset, size - kTetherNameOffset).value_or("");
    }
    auto image = std::make_shared<CameraImageImpl>(weak_from_this().lock(),
                                                   std::weak_ptr<CameraStorage>(), makeCaptureId(),
                                                   name, 0, type.format, type.hasThumbnail, 0);
    rememberTetherImage(image);
    return image;
}

void QuorinCameraDeviceMtpUsbAdapter::deleteTetherImage() {
    if (lockHost() == nullptr) {
        return;
    }
    if (isOperationSupported(OperationCode::TetherImageTransfer)) {
        const MtpResponse released = execute(OperationCode::TetherImageRelease, {});
        if (released.responseCode != kResponseOk) {
            logResponseError(released.responseCode, "Error[2] deleteTetherImage");
        }
        return;
    }
    const auto current = getCondition();
    const uint32_t objectHandle =
        current != nullptr ? current->u32At(ConditionOffset::objectHandle) : 0;
    const MtpResponse answered = execute(OperationCode::ImageInformationRequest, {objectHandle});
    if (answered.responseCode != kResponseOk) {
        logResponseError(answered.responseCode, "Error[1] deleteTetherImage");
    }
    refreshAfterTetherDelete();
}

void QuorinCameraDeviceMtpUsbAdapter::refreshAfterTetherDelete() {
    const bool liveViewWasRunning = liveView.isRunning();
    if (!resetsTetherAfterCapture(deviceModel())) {
        return;
    }
    const auto pending = pendingCaptures.snapshot();
    if (pending.empty() || pending.front()->getRemainingFiles() != 1) {
        return;
    }
    if (liveViewWasRunning) {
        stopLiveView();
    }
    setTetherMode(false);
    setTetherMode(true);
    if (liveViewWasRunning) {
        startLiveView();
    }
    pause(kTetherReset);
}

// ---- the update after a capture ----

bool QuorinCameraDeviceMtpUsbAdapter::canUpdateImages() const {
    const auto current = getCondition();
    const uint32_t state = current != nullptr ? (current->cameraState() & 0xFF) : 0;
    if (state == 2 || state == 9 || state == 64) {
        return false;
    }
    return !isMovieRecording() && !pendingCaptures.movieStartPending;
}

void QuorinCameraDeviceMtpUsbAdapter::updateImageInfo() {
    std::vector<std::shared_ptr<CameraStorage>> storages;
    std::string model;
    {
        const auto owner = lockHost();
        if (owner == nullptr) {
            return;
        }
        model = owner->getModel();
        for (const auto& storage : owner->getStoragesImpl().snapshot()) {
            if (storage->isAvailable()) {
                storages.push_back(storage);
            }
        }
    }
    const auto current = getCondition();
    if (current == nullptr) {
        return;
    }
    if ((current->statusFlags() & StatusFlag::anyMovie) != 0 && current->objectReady() == 1) {
        const MtpResponse answered = execute(OperationCode::ImageInformationRequest,
                                             {current->u32At(ConditionOffset::objectHandle)});
        if (answered.responseCode != kResponseOk) {
            logResponseError(answered.responseCode, "[Error] updateImageInfo");
        }
        pause(kImageInfoSettle);
        const uint32_t slot = lastCaptureSlot(*current);
        const bool singleSlot = storageSlotCount(model) == 1;
        for (const auto& storage : storages) {
            const auto numericId = parseU32(storage->getId());
            if (singleSlot || (numericId && slot == *numericId / 65536 - 1)) {
                updateStorageImages(storage);
            } else if (storage->getListingState() != ListingState::Complete) {
                resumeListing(storage);
            }
        }
        return;
    }
    if (!canUpdateImages()) {
        pauseAllListings();
        if (pendingCaptures.movieStartPending && isMovieRecording()) {
            pendingCaptures.movieStartPending = false;
        }
        return;
    }
    for (const auto& storage : storages) {
        resumeListing(storage);
        updateStorageImages(storage);
    }
}

void QuorinCameraDeviceMtpUsbAdapter::updateStorageImages(
    const std::shared_ptr<CameraStorage>& storage) {
    const auto impl = std::dynamic_pointer_cast<CameraStorageImpl>(storage);
    if (impl == nullptr) {
        return;
    }
    const bool movie = isMovieMode();
    const std::string id = impl->getId();
    std::vector<uint32_t> fresh;
    const bool fetched = fetchObjectHandles(id, fresh);
    const auto baseline = listings.handlesOf(id);
    if (!baseline) {
        // No listing has taken the card's handles yet: every file would look new. The
        // listing that is due lists them all, without telling anyone.
        return;
    }
    const std::vector<uint32_t>& cached = *baseline;
    if (!fetched || fresh.size() == cached.size()) {
        return;
    }
    waitForStorageListing(storage);
    if (lockHost() == nullptr) {
        return;
    }

    std::vector<uint32_t> added;
    for (auto it = fresh.rbegin(); it != fresh.rend(); ++it) {
        const bool known =
            contains(cached, *it) || impl->getImagesImpl().findById(std::to_string(*it));
        if (!known) {
            added.push_back(*it);
        } else if (impl->getListingState() != ListingState::Complete) {
            break;
        }
    }

    for (auto it = added.rbegin(); it != added.rend(); ++it) {
        const auto info = readObjectInfo(*it);
        if (info == nullptr) {
            // Leave the cache as it is, so that the next update sees the difference again.
            return;
        }
        if (info->objectFormat == ObjectFormat::Association) {
            continue;
        }
        const auto owner = lockHost();
        if (owner == nullptr) {
            return;
        }
        const std::shared_ptr<CameraImageImpl> image = createImage(storage, *info);
        // A listing running beside the update may have found this file first: then it was
        // on the card before, and nobody is told.
        if (!impl->getImagesImpl().addIfAbsent(image)) {
            continue;
        }
        owner->getImagesImpl().addIfAbsent(image);
        if (movie) {
            notifyListeners("imageAdded",
                            [&image](CameraEventListener& listener,
                                     const std::shared_ptr<const CameraDevice>& device) {
                                listener.imageAdded(device, image);
                            });
        }
        notifyListeners("imageStored", [&image](CameraEventListener& listener,
                                                const std::shared_ptr<const CameraDevice>& device) {
            listener.imageStored(device, image);
        });
        captureFileArrived();
    }

    const auto vanished = impl->getImagesImpl().removeIf([&fresh](const CameraImage& image) {
        const auto handle = parseU32(image.getId());
        return !handle || !contains(fresh, *handle);
    });
    if (const auto owner = lockHost()) {
        for (const auto& image : vanished) {
            owner->getImagesImpl().remove(image);
        }
    }
    for (const auto& image : vanished) {
        if (const auto vanishedImpl = std::dynamic_pointer_cast<CameraImageImpl>(image)) {
            vanishedImpl->invalidate();
        }
    }

    if (impl->getListingState() == ListingState::Complete) {
        listings.rememberHandles(id, fresh);
    } else {
        resumeListing(storage);
        std::this_thread::sleep_for(kResumeGap);
    }
}

}  // namespace Corvane::CameraController::Impl
