// Connection lifecycle and the camera condition.
#include <thread>
#include <utility>

#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_host.hpp"
#include "adapter/adapter_wire.hpp"
#include "adapter/camera_model_profile.hpp"
#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "common/diagnostics.hpp"
#include "model/camera_image_list_impl.hpp"
#include "model/camera_status_impl.hpp"
#include "model/camera_storage_impl.hpp"
#include "model/camera_storage_list_impl.hpp"

namespace Corvane::CameraController::Impl {

namespace {

constexpr std::chrono::milliseconds kConnectPoll{10};
constexpr uint32_t kWriteToCard = 3;

bool hasCard(uint32_t storageId) {
    return (storageId & 1) != 0;
}
uint32_t slotOf(uint32_t storageId) {
    return storageId >> 16;
}
std::string storageKey(uint32_t storageId) {
    return std::to_string(storageId & ~1u);
}

StoragePermission permissionFrom(uint16_t accessCapability) {
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

void resetStorage(CameraStorageImpl& storage, const std::string& key) {
    storage.setId(key);
    storage.setType(StorageType::Unknown);
    storage.setPermission(StoragePermission::Unknown);
    storage.setMaxCapacity(0);
    storage.setFreeSpaceInBytes(0);
    storage.setFreeSpaceInImages(0);
    storage.setAvailable(false);
}

void fillStorage(CameraStorageImpl& storage, const std::string& key, uint32_t storageId,
                 const MtpStorageInfo& info, bool writingToCard) {
    const bool available = (storageId & 0xFFFF) != 0;
    storage.setId(key);
    storage.setAvailable(available);
    const bool knownType = info.storageType >= 1 && info.storageType <= 4;
    storage.setType(available && knownType ? static_cast<StorageType>(info.storageType)
                                           : StorageType::Unknown);
    storage.setPermission(available ? permissionFrom(info.accessCapability)
                                    : StoragePermission::Unknown);
    storage.setMaxCapacity(info.maxCapacity);
    storage.setFreeSpaceInBytes(info.freeSpaceInBytes);
    storage.setFreeSpaceInImages(writingToCard ? info.freeSpaceInImages : 0);
}

// A storage without a card keeps no images, neither in its own list nor in the device's.
void forgetImagesOf(AdapterHost& owner, CameraStorageImpl& storage) {
    for (const auto& image : storage.getImagesImpl().snapshot()) {
        owner.getImagesImpl().remove(image);
    }
    storage.getImagesImpl().clear();
}

}  // namespace

QuorinCameraDeviceMtpUsbAdapter::QuorinCameraDeviceMtpUsbAdapter(std::weak_ptr<AdapterHost> owner)
    : host(std::move(owner)) {}

std::shared_ptr<CameraDeviceMtpUsbAdapter> createQuorinAdapter(std::weak_ptr<AdapterHost> host) {
    return std::make_shared<QuorinCameraDeviceMtpUsbAdapter>(std::move(host));
}

QuorinCameraDeviceMtpUsbAdapter::~QuorinCameraDeviceMtpUsbAdapter() {
    // The event and live-view parts end their own tasks as they are destroyed. A listing task
    // that dropped the last reference cannot wait for itself, so a helper thread collects it;
    // it holds the adapter while it uses it, so it no longer touches it.
    if (runsOnOwnTask(AdapterTask::Listing)) {
        listings.collectTasksLater();
    }
}

void QuorinCameraDeviceMtpUsbAdapter::rebindTransport(const std::shared_ptr<MtpDevice>& transport) {
    const auto previous = getMtpDevice();
    setMtpDevice(transport);
    if (previous == nullptr || previous == transport || !connected.exchange(false)) {
        return;
    }
    // Runs under discovery's lock, on any thread: nothing here waits or calls a listener.
    pendingCaptures.abandonAll();
    liveView.requestStop();
    // The running event task reports the loss. With none running (a connect or disconnect
    // is under way) nobody is to be told, and nothing is left behind for the next task.
    eventTask.currentStop()->requestForLoss();
}

bool QuorinCameraDeviceMtpUsbAdapter::isConnected() const {
    const auto transport = getMtpDevice();
    return transport != nullptr && transport->isConnected() && connected;
}

MtpResponse QuorinCameraDeviceMtpUsbAdapter::execute(const MtpRequest& request) const {
    const auto transport = getMtpDevice();
    if (transport == nullptr) {
        return MtpResponse{};
    }
    return transport->execute(request);
}

std::shared_ptr<AdapterHost> QuorinCameraDeviceMtpUsbAdapter::lockHost() const {
    return host.lock();
}

std::shared_ptr<QuorinCameraCondition> QuorinCameraDeviceMtpUsbAdapter::getCondition() const {
    return conditionTracker.current();
}

bool QuorinCameraDeviceMtpUsbAdapter::updateCondition() {
    MtpRequest request;
    request.operationCode = OperationCode::CameraCondition;
    request.dataPhase = MtpDataPhase::Read;
    const MtpResponse response = execute(request);
    if (response.responseCode != kResponseOk) {
        return false;
    }
    conditionTracker.store(
        std::make_shared<QuorinCameraCondition>(response.data.get(), response.dataSize));
    return true;
}

void QuorinCameraDeviceMtpUsbAdapter::updateBatteryLevel() {
    const auto owner = lockHost();
    if (owner == nullptr) {
        return;
    }
    const MtpResponse response =
        readProperty(OperationCode::GetDevicePropDesc, PropertyCode::BatteryLevel);
    if (response.responseCode != kResponseOk) {
        return;
    }
    if (const auto level = decodeBatteryLevel(response.data.get(), response.dataSize)) {
        owner->getStatusImpl().setBatteryLevel(*level);
    }
}

uint32_t QuorinCameraDeviceMtpUsbAdapter::storageSlotCount(const std::string& model) {
    return modelProfile(model).cardSlots;
}

Response QuorinCameraDeviceMtpUsbAdapter::connect() {
    const auto serialised = eventTask.lockLifecycle();
    if (!serialised.owns_lock()) {
        return makeErrorResponse(ErrorCode::DeviceError, "Device Busy");
    }
    // Re-binds this adapter to the camera's current transport object if it was replugged.
    if (const auto owner = lockHost()) {
        owner->rediscover();
    }
    const auto transport = getMtpDevice();
    if (transport == nullptr) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    if (isConnected()) {
        return Response(Result::Ok);
    }
    if (!transport->open()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    sessionSetUp = transport->sessionNumber();
    const Response tether = setTetherMode(true);
    if (tether.getResult() != Result::Ok) {
        return tether;
    }
    const auto owner = lockHost();
    if (owner == nullptr) {
        return makeErrorResponse(ErrorCode::Unknown, "camera object is deleted");
    }
    transport->loadDeviceInfo();
    const std::vector<uint32_t> storageIds = transport->getStorageIds();
    const uint32_t slots = storageSlotCount(owner->getModel());

    bool writing = false;
    for (const uint32_t id : storageIds) {
        writing = writing || (slotOf(id) <= slots && hasCard(id));
    }
    storageWriting = writing;
    const MtpResponse written =
        execute(OperationCode::StorageWriting, {writing ? kWriteToCard : 0u, 0});
    if (written.responseCode != kResponseOk) {
        logResponseError(written.responseCode, "Error[1] connect");
    }

    connectStorages(*owner, storageIds);
    updateBatteryLevel();
    connected = true;
    liveView.requestStop();
    listImages();
    startEventLoop();

    if (!eventTask.waitForFirstPass(firstPassTimeout)) {
        abandonConnection(*owner);
        return makeErrorResponse(ErrorCode::DeviceError, "Camera condition could not be read");
    }
    if (!waitForListingsToStart(*owner)) {
        abandonConnection(*owner);
        return makeErrorResponse(ErrorCode::DeviceError, "Image listing did not start");
    }
    if (!connected) {
        // Re-bound to another transport object meanwhile: this connection is already gone.
        abandonConnection(*owner);
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    return Response(Result::Ok);
}

void QuorinCameraDeviceMtpUsbAdapter::restoreSessionIfReopened() {
    const auto transport = getMtpDevice();
    if (transport == nullptr) {
        return;
    }
    const uint64_t session = transport->sessionNumber();
    if (sessionSetUp.exchange(session) == session) {
        return;
    }
    setTetherMode(true);
    const MtpResponse written =
        execute(OperationCode::StorageWriting, {storageWriting ? kWriteToCard : 0u, 0});
    if (written.responseCode != kResponseOk) {
        logResponseError(written.responseCode, "Error[1] connect");
    }
}

void QuorinCameraDeviceMtpUsbAdapter::connectStorages(AdapterHost& owner,
                                                      const std::vector<uint32_t>& storageIds) {
    const auto transport = getMtpDevice();
    const uint32_t slots = storageSlotCount(owner.getModel());
    const bool hasTransferBuffer = isOperationSupported(OperationCode::TetherImageTransfer);
    for (const uint32_t id : storageIds) {
        if (slotOf(id) > slots) {
            continue;
        }
        const std::string key = storageKey(id);
        auto storage =
            std::dynamic_pointer_cast<CameraStorageImpl>(owner.getStoragesImpl().findById(key));
        if (storage == nullptr) {
            storage = std::make_shared<CameraStorageImpl>();
            storage->setId(key);
            owner.getStoragesImpl().add(storage);
        }
        if (!hasTransferBuffer && !hasCard(id)) {
            resetStorage(*storage, key);
        } else {
            const auto info = transport == nullptr ? nullptr : transport->getStorageInfo(id);
            if (info == nullptr) {
                writeDiagnostic("Error[2] connect : Storage id = 0x" + lowerHex(id));
                continue;
            }
            fillStorage(*storage, key, id, *info, storageWriting);
        }
        if (!storage->isAvailable()) {
            forgetImagesOf(owner, *storage);
        }
    }
}

bool QuorinCameraDeviceMtpUsbAdapter::waitForListingsToStart(AdapterHost& owner) const {
    const auto deadline = std::chrono::steady_clock::now() + listingStartTimeout;
    for (const auto& storage : owner.getStoragesImpl().snapshot()) {
        // Connect returns only once each listing has the card's handles, so that an update
        // after a capture never mistakes the files already there for new ones.
        while (storage->isAvailable() && !listings.tookHandles(storage->getId())) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(kConnectPoll);
        }
    }
    return true;
}

void QuorinCameraDeviceMtpUsbAdapter::stopBackgroundWork(AdapterHost& owner) {
    eventTask.stop();
    for (const auto& storage : owner.getStoragesImpl().snapshot()) {
        stopListing(storage);
    }
    pendingCaptures.abandonAll();
    // Also for a vanished camera: the frame task must be gone before the transport closes.
    liveView.stopAndJoin();
}

void QuorinCameraDeviceMtpUsbAdapter::abandonConnection(AdapterHost& owner) {
    stopBackgroundWork(owner);
    connected = false;
    const auto transport = getMtpDevice();
    if (transport != nullptr && transport->isConnected()) {
        setTetherMode(false);
    }
    if (transport != nullptr) {
        transport->close();
    }
}

Response QuorinCameraDeviceMtpUsbAdapter::disconnect() {
    const auto serialised = eventTask.lockLifecycle();
    if (!serialised.owns_lock()) {
        return makeErrorResponse(ErrorCode::DeviceError, "Device Busy");
    }
    finishMovieBeforeDisconnect();
    const auto owner = lockHost();
    if (owner != nullptr) {
        stopBackgroundWork(*owner);
    } else {
        eventTask.stop();
        pendingCaptures.abandonAll();
    }
    connected = false;
    const auto transport = getMtpDevice();
    if (transport == nullptr) {
        return Response(Result::Ok);
    }
    if (transport->isConnected()) {
        const Response tether = setTetherMode(false);
        if (tether.getResult() != Result::Ok) {
            return tether;
        }
    }
    transport->close();
    return Response(Result::Ok);
}

}  // namespace Corvane::CameraController::Impl

namespace Corvane::CameraController::Impl {

Response QuorinCameraDeviceMtpUsbAdapter::getCaptureSettings(
    const std::vector<CaptureSetting*>& settings) {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    return settingCodecs.readCaptureSettings(settings);
}

Response QuorinCameraDeviceMtpUsbAdapter::setCaptureSettings(
    const std::vector<const CaptureSetting*>& settings) {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    return settingCodecs.writeCaptureSettings(settings);
}

Response QuorinCameraDeviceMtpUsbAdapter::getCameraDeviceSettings(
    const std::vector<CameraDeviceSetting*>& settings) {
    return settingCodecs.readDeviceSettings(settings);
}

Response QuorinCameraDeviceMtpUsbAdapter::setCameraDeviceSettings(
    const std::vector<const CameraDeviceSetting*>& settings) {
    return settingCodecs.writeDeviceSettings(settings);
}

}  // namespace Corvane::CameraController::Impl
