#include "mtp/usb/ptp_usb_device.hpp"

#include <atomic>
#include <utility>

#include "mtp/mtp_datasets.hpp"
#include "mtp/mtp_response.hpp"
#include "mtp/usb/ptp_transaction.hpp"

namespace Corvane::CameraController::Impl {
namespace {

constexpr uint16_t kGetDeviceInfo = 0x1001;
constexpr uint16_t kOpenSession = 0x1002;
constexpr uint16_t kResponseSessionAlreadyOpen = 0x201E;
constexpr uint32_t kSessionId = 1;

struct Identity {
    std::string manufacturer;
    std::string model;
    std::string firmwareVersion;
    std::string serialNumber;
};

}  // namespace

class PtpUsbDevice::Engine {
public:
    explicit Engine(std::unique_ptr<BulkPipe> pipe) : pipe_(std::move(pipe)), runner_(*pipe_) {}

    /// Opens the session and arms the identity capture of the next GetDeviceInfo.
    bool openSession() {
        std::lock_guard<std::mutex> lock(transactionMutex_);
        closed_ = false;
        identityPending_ = true;
        sessionWanted_ = openSessionLocked();
        return sessionWanted_;
    }

    /// True when a GetDeviceInfo since openSession() delivered the identity strings.
    bool identityCaptured() {
        std::lock_guard<std::mutex> lock(transactionMutex_);
        return !std::exchange(identityPending_, false);
    }

    bool close() {
        std::lock_guard<std::mutex> lock(transactionMutex_);
        closed_ = true;
        sessionWanted_ = false;
        return true;
    }

    bool isConnected() {
        if (!attached_) {
            return false;
        }
        // A running transaction finds out about a loss on its own; do not wait behind it.
        std::unique_lock<std::mutex> lock(transactionMutex_, std::try_to_lock);
        if (lock.owns_lock()) {
            attached_ = !runner_.deviceGone() && pipe_->isAttached();
        }
        return attached_;
    }

    MtpResponse execute(const MtpRequest& request) {
        std::lock_guard<std::mutex> lock(transactionMutex_);
        if (closed_) {
            return {};
        }
        // A device reset during an earlier recovery may have ended the session; until it is
        // open again nothing else is sent.
        sessionLost_ = runner_.takeResetFlag() || sessionLost_;
        if (sessionWanted_ && sessionLost_ && !openSessionLocked()) {
            return {};
        }
        MtpResponse response = runLocked(request, nextTransactionId());
        if (identityPending_ && request.operationCode == kGetDeviceInfo) {
            captureIdentityLocked(response);
        }
        return response;
    }

    Identity identity() {
        std::lock_guard<std::mutex> lock(identityMutex_);
        return identity_;
    }

private:
    MtpResponse runLocked(const MtpRequest& request, uint32_t transactionId) {
        MtpResponse response = runner_.run(request, transactionId);
        if (runner_.deviceGone()) {
            attached_ = false;
        }
        return response;
    }

    // OpenSession carries transaction id 0; the session's first operation uses 1.
    bool openSessionLocked() {
        MtpRequest request;
        request.operationCode = kOpenSession;
        request.parameters = {kSessionId};
        const uint16_t code = runLocked(request, 0).responseCode;
        nextTransactionId_ = 1;
        sessionLost_ = code != kMtpResponseOk && code != kResponseSessionAlreadyOpen;
        return !sessionLost_;
    }

    void captureIdentityLocked(const MtpResponse& response) {
        if (response.responseCode != kMtpResponseOk || !response.data) {
            return;
        }
        const auto info = decodeDeviceInfo(response.data.get(), response.dataSize);
        if (!info) {
            return;
        }
        std::lock_guard<std::mutex> lock(identityMutex_);
        identity_ = {info->manufacturer, info->model, info->deviceVersion, info->serialNumber};
        identityPending_ = false;
    }

    // 0 belongs to OpenSession and 0xFFFFFFFF is reserved, so the counter wraps to 1.
    uint32_t nextTransactionId() {
        const uint32_t id = nextTransactionId_;
        nextTransactionId_ = id >= 0xFFFFFFFEu ? 1 : id + 1;
        return id;
    }

    std::mutex transactionMutex_;
    const std::unique_ptr<BulkPipe> pipe_;
    PtpTransactionRunner runner_;
    uint32_t nextTransactionId_ = 1;
    bool sessionWanted_ = false;
    bool sessionLost_ = false;
    bool closed_ = false;
    bool identityPending_ = false;
    std::atomic<bool> attached_{true};

    std::mutex identityMutex_;
    Identity identity_;
};

PtpUsbDevice::PtpUsbDevice(std::unique_ptr<BulkPipe> pipe)
    : engine_(std::make_unique<Engine>(std::move(pipe))) {}

PtpUsbDevice::~PtpUsbDevice() = default;

// One GetDeviceInfo serves both the identity strings and the supported-operations cache.
bool PtpUsbDevice::open() {
    if (!engine_->openSession()) {
        return false;
    }
    const bool loaded = loadDeviceInfo();
    return engine_->identityCaptured() && loaded;
}

bool PtpUsbDevice::close() {
    return engine_->close();
}

bool PtpUsbDevice::isConnected() {
    return engine_->isConnected();
}

std::string PtpUsbDevice::getManufacturer() {
    return engine_->identity().manufacturer;
}

std::string PtpUsbDevice::getModel() {
    return engine_->identity().model;
}

std::string PtpUsbDevice::getFirmwareVersion() {
    return engine_->identity().firmwareVersion;
}

std::string PtpUsbDevice::getSerialNumber() {
    return engine_->identity().serialNumber;
}

MtpResponse PtpUsbDevice::execute(const MtpRequest& request) {
    return engine_->execute(request);
}

}  // namespace Corvane::CameraController::Impl
