#include "mtp/usb/ptp_usb_device.hpp"

#include <atomic>
#include <condition_variable>
#include <utility>

#include "mtp/mtp_datasets.hpp"
#include "mtp/mtp_response.hpp"
#include "mtp/usb/ptp_transaction.hpp"

namespace Corvane::CameraController::Impl {
namespace {

constexpr uint16_t kGetDeviceInfo = 0x1001;
constexpr uint16_t kOpenSession = 0x1002;
constexpr uint16_t kCloseSession = 0x1003;
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
    Engine(std::unique_ptr<BulkPipe> pipe, PtpLimits limits)
        : pipe_(std::move(pipe)), runner_(*pipe_, limits) {}

    /// Claims the interface again after close(), keeps a session this engine already has (its
    /// transaction ids go on), opens one otherwise, and arms the identity capture of the next
    /// GetDeviceInfo.
    bool openSession() {
        const Turn turn = takeTurn();
        if (closed_ && pipe_->reclaim() != PipeStatus::Ok) {
            return false;
        }
        closed_ = false;
        identityPending_ = true;
        sessionWanted_ = true;
        return sessionOpen_ || openSessionLocked();
    }

    /// True when a GetDeviceInfo since openSession() delivered the identity strings.
    bool identityCaptured() {
        std::lock_guard<std::mutex> lock(transactionMutex_);
        return !std::exchange(identityPending_, false);
    }

    // The interface goes back to the system, so another program may use the camera next: it
    // must not find a session whose transaction ids it cannot know.
    bool close() {
        const Turn turn = takeTurn();
        if (closed_) {
            return true;
        }
        if (sessionOpen_ && !runner_.deviceGone()) {
            MtpRequest request;
            request.operationCode = kCloseSession;
            runLocked(request);
        }
        sessionOpen_ = false;
        sessionWanted_ = false;
        closed_ = true;
        pipe_->release();
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
        const Turn turn = takeTurn();
        if (closed_) {
            return {};
        }
        // A device reset during an earlier recovery ends the session; until it is open again
        // nothing else is sent.
        if (runner_.takeResetFlag()) {
            sessionOpen_ = false;
        }
        if (sessionWanted_ && !sessionOpen_ && !openSessionLocked()) {
            return {};
        }
        MtpResponse response = runLocked(request);
        if (identityPending_ && request.operationCode == kGetDeviceInfo) {
            captureIdentityLocked(response);
        }
        return response;
    }

    uint64_t sessionNumber() const { return sessionNumber_.load(); }

    Identity identity() {
        std::lock_guard<std::mutex> lock(identityMutex_);
        return identity_;
    }

private:
    /// Holds the transaction mutex; giving it back wakes a background thread that let others go
    /// first.
    class Turn {
    public:
        Turn(std::unique_lock<std::mutex> lock, std::condition_variable& handedBack)
            : lock_(std::move(lock)), handedBack_(handedBack) {}
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        ~Turn() {
            lock_.unlock();
            handedBack_.notify_all();
        }

    private:
        std::unique_lock<std::mutex> lock_;
        std::condition_variable& handedBack_;
    };

    // A background thread (a listing between two objects) takes the device only when no
    // other thread waits for it; std::mutex alone would let it win again and again.
    Turn takeTurn() {
        if (BackgroundTransactions::active()) {
            std::unique_lock<std::mutex> lock(transactionMutex_);
            handedBack_.wait(lock, [this] { return waitingForeground_ == 0; });
            return Turn(std::move(lock), handedBack_);
        }
        ++waitingForeground_;
        std::unique_lock<std::mutex> lock(transactionMutex_);
        // Counted down under the mutex, so a background thread never misses the last one.
        --waitingForeground_;
        return Turn(std::move(lock), handedBack_);
    }

    // Uses the next transaction id unless the command never reached the camera.
    MtpResponse runLocked(const MtpRequest& request) {
        const uint32_t id = nextTransactionId_;
        MtpResponse response = runWithIdLocked(request, id);
        if (runner_.commandDelivered()) {
            // 0 belongs to OpenSession and 0xFFFFFFFF is reserved, so the counter wraps to 1.
            nextTransactionId_ = id >= 0xFFFFFFFEu ? 1 : id + 1;
        }
        return response;
    }

    MtpResponse runWithIdLocked(const MtpRequest& request, uint32_t transactionId) {
        MtpResponse response = runner_.run(request, transactionId);
        if (runner_.deviceGone()) {
            attached_ = false;
        }
        return response;
    }

    // OpenSession carries transaction id 0; the session's first operation uses 1. A session
    // that is already open was left by someone else, with transaction ids this engine cannot
    // know: the class reset ends it and a new one is opened.
    bool openSessionLocked() {
        uint16_t code = openSessionRequestLocked();
        if (code == kResponseSessionAlreadyOpen && !runner_.deviceGone()) {
            runner_.reset();
            runner_.takeResetFlag();
            code = openSessionRequestLocked();
        }
        // A camera whose reset keeps its session leaves no better choice than to go on in it.
        sessionOpen_ = code == kMtpResponseOk || code == kResponseSessionAlreadyOpen;
        if (sessionOpen_) {
            nextTransactionId_ = 1;
            ++sessionNumber_;
        }
        return sessionOpen_;
    }

    uint16_t openSessionRequestLocked() {
        MtpRequest request;
        request.operationCode = kOpenSession;
        request.parameters = {kSessionId};
        return runWithIdLocked(request, 0).responseCode;
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

    std::mutex transactionMutex_;
    std::condition_variable handedBack_;
    std::atomic<unsigned> waitingForeground_{0};
    const std::unique_ptr<BulkPipe> pipe_;
    PtpTransactionRunner runner_;
    uint32_t nextTransactionId_ = 1;
    bool sessionWanted_ = false;
    bool sessionOpen_ = false;
    bool closed_ = false;
    bool identityPending_ = false;
    std::atomic<bool> attached_{true};
    std::atomic<uint64_t> sessionNumber_{0};

    std::mutex identityMutex_;
    Identity identity_;
};

PtpUsbDevice::PtpUsbDevice(std::unique_ptr<BulkPipe> pipe, PtpLimits limits)
    : engine_(std::make_unique<Engine>(std::move(pipe), limits)) {}

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

uint64_t PtpUsbDevice::sessionNumber() {
    return engine_->sessionNumber();
}

}  // namespace Corvane::CameraController::Impl
