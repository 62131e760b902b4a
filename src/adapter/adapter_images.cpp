// Images and storages: background listings, image handles from ObjectInfo, downloads of data
// and thumbnails (stored objects and the camera's transfer buffer), deletion, storage figures.
#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_host.hpp"
#include "adapter/adapter_image_format.hpp"
#include "adapter/adapter_transfer_stream.hpp"
#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "common/diagnostics.hpp"
#include "model/camera_image_impl.hpp"
#include "model/camera_image_list_impl.hpp"
#include "model/camera_status_impl.hpp"
#include "model/camera_storage_impl.hpp"
#include "model/camera_storage_list_impl.hpp"
#include "model/list_images_response.hpp"
#include "mtp/mtp_datasets.hpp"
#include "mtp/mtp_response.hpp"

namespace Corvane::CameraController::Impl {

namespace {

using std::chrono::milliseconds;
using namespace std::chrono_literals;

constexpr uint32_t kPartialObjectChunk = 0x100000;
constexpr milliseconds kListingThrottle = 10ms;
constexpr milliseconds kGateDeadline = 1000ms;
constexpr int kMovieStartChecks = 11;
constexpr milliseconds kMovieStartCheckPeriod = 100ms;

// A busy camera (storing a picture, say) is asked again for up to about one second before its
// answer counts as a failure.
constexpr int kBusyRetries = 10;
constexpr milliseconds kBusyRetryPause = 100ms;

/// Announced sizes that say nothing: 0 (unknown) and the 32-bit maximum (4 GiB or more).
constexpr uint32_t kSizeAtLeast4GiB = 0xFFFFFFFF;
constexpr uint64_t kLargest32BitOffset = 0xFFFFFFFF;

// Bounds on a camera that never finishes a buffer transfer.
constexpr int kMaxTransferInstructions = 100000;
constexpr int kMaxEmptyTransferAnswers = 100;

constexpr uint8_t kTransferFinished = 2;
constexpr uint8_t kTransferData = 3;
constexpr uint8_t kSeekFromBeginning = 4;
constexpr uint8_t kSeekFromCurrent = 5;
constexpr uint8_t kSeekFromEnd = 6;

constexpr uint32_t kThumbnailOfImage = 0xFF;
constexpr uint32_t kThumbnailOfDng = 0xFE;

Response incompleteTransfer() {
    return makeErrorResponse(ErrorCode::DeviceError, "Image transfer incomplete");
}

Response streamFailure() {
    return makeErrorResponse(ErrorCode::Unknown, "Write to output stream failed");
}

Response offsetBeyond4GiB() {
    return makeErrorResponse(ErrorCode::NotSupported,
                             "Camera cannot read an image beyond its first 4 GiB");
}

bool sizeIsUntrusted(uint64_t size) {
    return size == 0 || size == kSizeAtLeast4GiB;
}

MtpRequest readRequest(uint16_t operationCode, std::vector<uint32_t> parameters) {
    MtpRequest request;
    request.operationCode = operationCode;
    request.parameters = std::move(parameters);
    request.dataPhase = MtpDataPhase::Read;
    return request;
}

uint32_t readU32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

std::string storageKey(uint32_t storageId) {
    return std::to_string(storageId & ~1U);
}

StorageType storageTypeOf(uint16_t value) {
    return value >= 1 && value <= 4 ? static_cast<StorageType>(value) : StorageType::Unknown;
}

StoragePermission permissionOf(uint16_t accessCapability) {
    switch (accessCapability) {
        case 0:
            return StoragePermission::ReadWrite;
        case 1:
            return StoragePermission::ReadOnly;
        case 2:
            return StoragePermission::ReadOnlyWithDeletion;
        default:
            return StoragePermission::Unknown;
    }
}

/// Leaves Running when a listing ends on any path, so that nobody waits for it forever.
class ListingEnd {
public:
    explicit ListingEnd(CameraStorageImpl& storage) : storage(storage) {}
    ListingEnd(const ListingEnd&) = delete;
    ListingEnd& operator=(const ListingEnd&) = delete;
    ~ListingEnd() {
        // A resume may turn Paused into Running between two attempts; left Running, the
        // storage would keep a capture start waiting for a listing that no longer runs.
        ListingState state = storage.getListingState();
        while ((state == ListingState::Running || state == ListingState::Paused) &&
               !storage.changeListingState(state, ListingState::Stopped)) {
            state = storage.getListingState();
        }
    }

private:
    CameraStorageImpl& storage;
};

}  // namespace

// ---- listings ----

ListImagesResponse QuorinCameraDeviceMtpUsbAdapter::listImages(
    std::shared_ptr<CameraStorage> storage) {
    if (storage == nullptr || !storage->isAvailable()) {
        return ListImagesResponse(Result::Ok);
    }
    const std::string id = storage->getId();
    listings.start(id, [this, adapter = weak_from_this(), id] { listingTask(this, adapter, id); });
    return ListImagesResponse(Result::Ok);
}

Response QuorinCameraDeviceMtpUsbAdapter::listImages() {
    const auto owner = lockHost();
    if (owner == nullptr) {
        return makeErrorResponse(ErrorCode::Unknown, "camera object is deleted");
    }
    for (const auto& storage : owner->getStoragesImpl().snapshot()) {
        if (storage->isAvailable()) {
            listImages(storage);
        }
    }
    return Response(Result::Ok);
}

void QuorinCameraDeviceMtpUsbAdapter::listingTask(const void* owner,
                                                  std::weak_ptr<CameraDeviceAdapter> adapter,
                                                  std::string storageId) {
    // Declared first, so that it still marks the thread when the last reference to the
    // adapter (an image of the listing, say) is dropped here.
    const AdapterTaskMark mark(owner, AdapterTask::Listing);
    if (const auto self =
            std::static_pointer_cast<QuorinCameraDeviceMtpUsbAdapter>(adapter.lock())) {
        self->doListImagesAsync(storageId);
    }
}

void QuorinCameraDeviceMtpUsbAdapter::doListImagesAsync(const std::string& storageId) {
    if (!isConnected()) {
        writeDiagnostic("[error][doListImagesAsync] Device is NOT Connected.");
        return;
    }
    const auto transport = getMtpDevice();
    std::shared_ptr<CameraStorageImpl> storage;
    {
        // The device is locked only briefly: a listing must never hold the last reference.
        const auto owner = lockHost();
        if (owner == nullptr || transport == nullptr) {
            return;
        }
        storage = std::dynamic_pointer_cast<CameraStorageImpl>(
            owner->getStoragesImpl().findById(storageId));
    }
    const auto numericId = parseU32(storageId);
    if (storage == nullptr || !numericId) {
        return;
    }
    storage->setListingState(ListingState::Running);
    const ListingEnd listingEnd(*storage);
    // The application's own calls go first at every object.
    const BackgroundTransactions background;

    std::vector<uint32_t> handles;
    if (!readObjectHandles(*numericId, handles)) {
        // The card was not read: an empty list here would pass for an empty card.
        storage->changeListingState(ListingState::Running, ListingState::Failed);
        return;
    }
    listings.rememberHandles(storageId, handles);
    if (handles.empty()) {
        storage->setListingState(ListingState::Stopped);
        return;
    }
    removeVanishedImages(*storage, handles);
    for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
        if (!awaitListingTurn(*storage)) {
            return;
        }
        if (!listObject(storage, *it)) {
            writeDiagnostic("mtpObject is null");
            storage->changeListingState(ListingState::Running, ListingState::Failed);
            return;
        }
    }
    storage->changeListingState(ListingState::Running, ListingState::Complete);
}

void QuorinCameraDeviceMtpUsbAdapter::removeVanishedImages(CameraStorageImpl& storage,
                                                           const std::vector<uint32_t>& handles) {
    const auto vanished = storage.getImagesImpl().removeIf([&handles](const CameraImage& image) {
        const auto handle = parseU32(image.getId());
        return !handle || std::find(handles.begin(), handles.end(), *handle) == handles.end();
    });
    if (const auto owner = lockHost()) {
        for (const auto& image : vanished) {
            owner->getImagesImpl().remove(image);
        }
    }
    for (const auto& image : vanished) {
        if (const auto impl = std::dynamic_pointer_cast<CameraImageImpl>(image)) {
            impl->invalidate();
        }
    }
}

bool QuorinCameraDeviceMtpUsbAdapter::awaitListingTurn(CameraStorageImpl& storage) {
    if (listings.pauseRequested()) {
        storage.changeListingState(ListingState::Running, ListingState::Paused);
    }
    // A paused listing also ends when the camera or its device goes away, since nobody
    // resumes it then (and the adapter's destruction waits for this task).
    while (storage.getListingState() == ListingState::Paused && connected && !host.expired()) {
        std::this_thread::sleep_for(kListingThrottle);
    }
    if (!connected) {
        // The camera went away before every object was seen.
        storage.changeListingState(ListingState::Running, ListingState::Failed);
        storage.changeListingState(ListingState::Paused, ListingState::Failed);
        return false;
    }
    return storage.getListingState() == ListingState::Running && storage.isAvailable() &&
           !host.expired();
}

bool QuorinCameraDeviceMtpUsbAdapter::listObject(const std::shared_ptr<CameraStorageImpl>& storage,
                                                 uint32_t handle) {
    if (storage->getImagesImpl().findById(std::to_string(handle)) != nullptr) {
        return true;
    }
    const auto info = readObjectInfo(handle);
    if (info == nullptr) {
        return false;
    }
    if (info->objectFormat == ObjectFormat::Association) {
        return true;
    }
    const auto owner = lockHost();
    if (owner == nullptr) {
        return true;
    }
    // An update after a capture may have listed it meanwhile.
    const auto image = createImage(storage, *info);
    if (storage->getImagesImpl().addIfAbsent(image)) {
        owner->getImagesImpl().addIfAbsent(image);
    }
    return true;
}

void QuorinCameraDeviceMtpUsbAdapter::pauseAllListings() {
    const auto owner = lockHost();
    if (owner == nullptr) {
        return;
    }
    for (const auto& storage : owner->getStoragesImpl().snapshot()) {
        waitForStorageListing(storage);
    }
}

void QuorinCameraDeviceMtpUsbAdapter::resumeListing(const std::shared_ptr<CameraStorage>& storage) {
    const auto impl = std::dynamic_pointer_cast<CameraStorageImpl>(storage);
    if (impl != nullptr) {
        impl->changeListingState(ListingState::Paused, ListingState::Running);
    }
}

void QuorinCameraDeviceMtpUsbAdapter::stopListing(const std::shared_ptr<CameraStorage>& storage) {
    const auto impl = std::dynamic_pointer_cast<CameraStorageImpl>(storage);
    if (impl == nullptr) {
        return;
    }
    // A failed listing stays Failed: the application must still see that it is incomplete.
    ListingState state = impl->getListingState();
    while (state != ListingState::Complete && state != ListingState::Failed &&
           !impl->changeListingState(state, ListingState::Stopped)) {
        state = impl->getListingState();
    }
    listings.waitFor(impl->getId());
}

bool QuorinCameraDeviceMtpUsbAdapter::fetchObjectHandles(const std::string& storageId,
                                                         std::vector<uint32_t>& handles) {
    handles.clear();
    const auto numericId = parseU32(storageId);
    const auto transport = getMtpDevice();
    if (!numericId || transport == nullptr) {
        return false;
    }
    if (!pendingCaptures.gate().tryAcquireFor(kGateDeadline)) {
        return false;
    }
    const CaptureGateHold gateHold(pendingCaptures.gate());
    for (int check = 1;; ++check) {
        if (!isMovieMode() || !pendingCaptures.movieStartPending) {
            break;
        }
        if (check == kMovieStartChecks) {
            return false;
        }
        pause(kMovieStartCheckPeriod);
    }
    return readObjectHandles(*numericId, handles);
}

// ---- reads that a busy camera may delay ----

MtpResponse QuorinCameraDeviceMtpUsbAdapter::readRetryingBusy(const MtpRequest& request) {
    MtpResponse answer = execute(request);
    for (int retry = 0;
         retry < kBusyRetries && answer.responseCode == kResponseDeviceBusy && connected; ++retry) {
        pause(kBusyRetryPause);
        answer = execute(request);
    }
    return answer;
}

bool QuorinCameraDeviceMtpUsbAdapter::readObjectHandles(uint32_t storageId,
                                                        std::vector<uint32_t>& handles) {
    return objectHandlesOf(
        readRetryingBusy(readRequest(OperationCode::GetObjectHandles, {storageId, 0, 0})), handles);
}

std::unique_ptr<MtpObjectInfo> QuorinCameraDeviceMtpUsbAdapter::readObjectInfo(uint32_t handle) {
    return objectInfoOf(readRetryingBusy(readRequest(OperationCode::GetObjectInfo, {handle})),
                        handle);
}

uint64_t QuorinCameraDeviceMtpUsbAdapter::objectSizeOf(const MtpObjectInfo& info) {
    const uint64_t announced = info.objectCompressedSize;
    if (!sizeIsUntrusted(announced) || !isOperationSupported(OperationCode::GetObjectPropValue)) {
        return announced;
    }
    const MtpResponse answer = readRetryingBusy(
        readRequest(OperationCode::GetObjectPropValue, {info.objectHandle, kObjectPropertySize}));
    MtpDataReader reader(answer.data.get(), answer.dataSize);
    uint64_t size = 0;
    return answer.responseCode == kResponseOk && reader.readU64(size) ? size : announced;
}

// ---- image handles ----

std::shared_ptr<CameraImageImpl> QuorinCameraDeviceMtpUsbAdapter::createImage(
    const std::shared_ptr<CameraStorage>& storage, const MtpObjectInfo& info) {
    const bool thumbnail =
        info.thumbFormat == ObjectFormat::Jfif || info.thumbFormat == ObjectFormat::ExifJpeg;
    return std::make_shared<CameraImageImpl>(
        weak_from_this().lock(), storage, std::to_string(info.objectHandle), info.filename,
        objectSizeOf(info), imageFormatOf(info.objectFormat, info.filename), thumbnail,
        info.captureDate);
}

bool QuorinCameraDeviceMtpUsbAdapter::isTetherImage(const CameraImage& image) const {
    return tetherImages.contains(image);
}

void QuorinCameraDeviceMtpUsbAdapter::rememberTetherImage(
    const std::shared_ptr<CameraImageImpl>& image) {
    tetherImages.remember(image);
}

// ---- downloads ----

Response QuorinCameraDeviceMtpUsbAdapter::getImageData(const CameraImage& image,
                                                       std::ostream& out) {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    if (!image.isValid()) {
        return makeErrorResponse(ErrorCode::ImageNotFound, image.getName());
    }
    if (lockHost() == nullptr) {
        return makeErrorResponse(ErrorCode::Unknown, "camera object is deleted");
    }
    if (isTetherImage(image)) {
        MtpRequest request;
        request.operationCode = OperationCode::TetherImageTransfer;
        request.parameters = {0};
        request.dataPhase = MtpDataPhase::Read;
        const MtpResponse started = execute(request);
        if (started.responseCode != kResponseOk) {
            return makeResponseFromMtpCode(started);
        }
        return transferTetherBuffer(out);
    }
    const auto handle = parseU32(image.getId());
    if (!handle) {
        return makeErrorResponse(ErrorCode::ImageNotFound, image.getName());
    }
    return downloadObject(*handle, image.getSize(), out);
}

Response QuorinCameraDeviceMtpUsbAdapter::downloadObject(uint32_t handle, uint64_t size,
                                                         std::ostream& out) {
    // A size that says nothing is not trusted: the object is read until the camera's data
    // ends (a piece shorter than asked for), never taken as empty.
    const bool untilDataEnds = sizeIsUntrusted(size);
    uint64_t offset = 0;
    while (untilDataEnds || offset < size) {
        if (offset > kLargest32BitOffset &&
            !isOperationSupported(OperationCode::GetPartialObject64)) {
            return offsetBeyond4GiB();
        }
        const MtpResponse piece = execute(pieceRequest(handle, offset));
        if (piece.responseCode != kResponseOk) {
            return makeResponseFromMtpCode(piece);
        }
        const uint32_t received = piece.data != nullptr ? piece.dataSize : 0;
        if (received == 0) {
            return untilDataEnds ? Response(Result::Ok) : incompleteTransfer();
        }
        out.write(reinterpret_cast<const char*>(piece.data.get()), received);
        if (!out) {
            return streamFailure();
        }
        offset += received;
        if (untilDataEnds && received < kPartialObjectChunk) {
            break;
        }
    }
    return Response(Result::Ok);
}

MtpRequest QuorinCameraDeviceMtpUsbAdapter::pieceRequest(uint32_t handle, uint64_t offset) {
    if (offset <= kLargest32BitOffset) {
        return readRequest(OperationCode::GetPartialObject,
                           {handle, static_cast<uint32_t>(offset), kPartialObjectChunk});
    }
    return readRequest(OperationCode::GetPartialObject64,
                       {handle, static_cast<uint32_t>(offset), static_cast<uint32_t>(offset >> 32),
                        kPartialObjectChunk});
}

Response QuorinCameraDeviceMtpUsbAdapter::getImageThumbnail(const CameraImage& image,
                                                            std::ostream& out) {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    if (!image.isValid()) {
        return makeErrorResponse(ErrorCode::ImageNotFound, image.getName());
    }
    if (lockHost() == nullptr) {
        return makeErrorResponse(ErrorCode::Unknown, "camera object is deleted");
    }
    MtpRequest request;
    request.dataPhase = MtpDataPhase::Read;
    const bool tether = isTetherImage(image);
    if (tether) {
        request.operationCode = OperationCode::TetherImageTransfer;
        request.parameters = {image.getFormat() == ImageFormat::DNG ? kThumbnailOfDng
                                                                    : kThumbnailOfImage};
    } else {
        const auto handle = parseU32(image.getId());
        if (!handle) {
            return makeErrorResponse(ErrorCode::ImageNotFound, image.getName());
        }
        request.operationCode = OperationCode::GetThumb;
        request.parameters = {*handle};
    }
    const MtpResponse answer = execute(request);
    if (answer.responseCode != kResponseOk) {
        return makeResponseFromMtpCode(answer);
    }
    if (tether) {
        return transferTetherBuffer(out);
    }
    if (answer.dataSize > 0 && answer.data != nullptr) {
        out.write(reinterpret_cast<const char*>(answer.data.get()), answer.dataSize);
        if (!out) {
            return streamFailure();
        }
    }
    return Response(Result::Ok);
}

Response QuorinCameraDeviceMtpUsbAdapter::transferTetherBuffer(std::ostream& out) {
    for (int instructions = 0; instructions < kMaxTransferInstructions; ++instructions) {
        MtpRequest request;
        request.operationCode = OperationCode::TetherImageTransferData;
        request.dataPhase = MtpDataPhase::Read;
        const MtpResponse answer = execute(request);
        if (answer.responseCode != kResponseOk) {
            return makeResponseFromMtpCode(answer);
        }
        if (answer.dataSize < 1 || answer.data == nullptr) {
            return incompleteTransfer();
        }
        const uint8_t instruction = answer.data.get()[0];
        if (instruction == kTransferFinished) {
            return Response(Result::Ok);
        }
        if (instruction < kTransferData || instruction > kSeekFromEnd) {
            continue;
        }
        if (answer.dataSize < 5) {
            return incompleteTransfer();
        }
        const uint32_t value = readU32(answer.data.get() + 1);
        if (instruction == kTransferData) {
            const Response fetched = fetchTransferData(value, out);
            if (fetched.getResult() != Result::Ok) {
                return fetched;
            }
            continue;
        }
        const auto direction = instruction == kSeekFromBeginning ? std::ios_base::beg
                               : instruction == kSeekFromCurrent ? std::ios_base::cur
                                                                 : std::ios_base::end;
        if (!seekOrZeroFill(out, direction, static_cast<std::streamoff>(value))) {
            return streamFailure();
        }
    }
    return incompleteTransfer();
}

Response QuorinCameraDeviceMtpUsbAdapter::fetchTransferData(uint32_t count, std::ostream& out) {
    uint32_t remaining = count;
    int emptyAnswers = 0;
    while (remaining != 0) {
        MtpRequest request;
        request.operationCode = OperationCode::TetherImageTransferEnd;
        request.parameters = {remaining};
        request.dataPhase = MtpDataPhase::Read;
        const MtpResponse piece = execute(request);
        if (piece.responseCode != kResponseOk) {
            return makeResponseFromMtpCode(piece);
        }
        // The byte count is the first response parameter; without it, or with more bytes than
        // were expected or received, the answer cannot be used.
        if (piece.parameters.empty()) {
            return incompleteTransfer();
        }
        const uint32_t delivered = piece.parameters[0];
        if (delivered > remaining || delivered > piece.dataSize) {
            return incompleteTransfer();
        }
        if (delivered == 0) {
            if (++emptyAnswers >= kMaxEmptyTransferAnswers) {
                return incompleteTransfer();
            }
            continue;
        }
        emptyAnswers = 0;
        out.write(reinterpret_cast<const char*>(piece.data.get()), delivered);
        if (!out) {
            return streamFailure();
        }
        remaining -= delivered;
    }
    return Response(Result::Ok);
}

// ---- deletion ----

Response QuorinCameraDeviceMtpUsbAdapter::deleteImage(const CameraImage& image) {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    // Checked before the storage: the storages of a released device are gone too, and an
    // image without one would otherwise read as a tether image deleted with success.
    if (lockHost() == nullptr) {
        return makeErrorResponse(ErrorCode::Unknown, "camera object is deleted");
    }
    const auto storage = image.getStorage();
    if (storage == nullptr) {
        return Response(Result::Ok);
    }
    if (!image.isValid()) {
        return makeErrorResponse(ErrorCode::ImageNotFound, image.getName());
    }
    if (isMovieRecording()) {
        return makeErrorResponse(ErrorCode::DeviceError, "Device Busy");
    }
    const auto handle = parseU32(image.getId());
    if (!handle) {
        return makeErrorResponse(ErrorCode::ImageNotFound, image.getName());
    }
    const bool liveViewWasRunning = liveView.isRunning();
    if (liveViewWasRunning) {
        stopLiveView();
    }
    const Response tetherOff = setTetherMode(false);
    if (tetherOff.getResult() != Result::Ok) {
        return tetherOff;
    }
    const MtpResponse deleted = execute(OperationCode::DeleteObject, {*handle});
    if (deleted.responseCode == kResponseOk) {
        const auto owner = lockHost();
        if (owner != nullptr) {
            forgetImage(*owner, storage->getId(), image);
        }
        // Image handles are always created non-const, so clearing the flag is well defined.
        if (const auto* impl = dynamic_cast<const CameraImageImpl*>(&image)) {
            const_cast<CameraImageImpl*>(impl)->invalidate();
        }
    }
    const Response tetherOn = setTetherMode(true);
    if (tetherOn.getResult() != Result::Ok) {
        return tetherOn;
    }
    if (liveViewWasRunning) {
        startLiveView();
    }
    if (deleted.responseCode != kResponseOk) {
        return makeResponseFromMtpCode(deleted);
    }
    return Response(Result::Ok);
}

void QuorinCameraDeviceMtpUsbAdapter::forgetImage(AdapterHost& owner, const std::string& storageId,
                                                  const CameraImage& image) {
    const auto isThisImage = [&image](const CameraImage& listed) { return &listed == &image; };
    for (const auto& storage : owner.getStoragesImpl().snapshot()) {
        const auto impl = std::dynamic_pointer_cast<CameraStorageImpl>(storage);
        if (impl != nullptr && impl->getId() == storageId) {
            impl->getImagesImpl().removeIf(isThisImage);
        }
    }
    owner.getImagesImpl().removeIf(isThisImage);
}

// ---- storages ----

void QuorinCameraDeviceMtpUsbAdapter::updateStorages() {
    const auto owner = lockHost();
    const auto transport = getMtpDevice();
    if (owner == nullptr || transport == nullptr) {
        return;
    }
    const auto storages = owner->getStoragesImpl().snapshot();
    for (const uint32_t storageId : transport->getStorageIds()) {
        const std::string key = storageKey(storageId);
        for (const auto& storage : storages) {
            const auto impl = std::dynamic_pointer_cast<CameraStorageImpl>(storage);
            if (impl == nullptr || impl->getId() != key || !impl->isAvailable()) {
                continue;
            }
            const auto info = transport->getStorageInfo(storageId);
            if (info == nullptr) {
                writeDiagnostic("[Error] : Storage id = 0x" + lowerHex(storageId));
                continue;
            }
            applyStorageInfo(*impl, *info, storageWriting);
        }
    }
}

void QuorinCameraDeviceMtpUsbAdapter::applyStorageInfo(CameraStorageImpl& storage,
                                                       const MtpStorageInfo& info,
                                                       bool copyFreeImages) {
    const bool available = (info.storageId & 0xFFFF) != 0;
    storage.setId(storageKey(info.storageId));
    storage.setType(available ? storageTypeOf(info.storageType) : StorageType::Unknown);
    storage.setPermission(available ? permissionOf(info.accessCapability)
                                    : StoragePermission::Unknown);
    storage.setMaxCapacity(info.maxCapacity);
    storage.setFreeSpaceInBytes(info.freeSpaceInBytes);
    if (copyFreeImages) {
        storage.setFreeSpaceInImages(info.freeSpaceInImages);
    }
    storage.setAvailable(available);
}

}  // namespace Corvane::CameraController::Impl
