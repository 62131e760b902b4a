#include "corvane/emulator/emulated_camera.hpp"

#include <algorithm>
#include <atomic>

#include "camera_model.hpp"
#include "codes.hpp"
#include "mtp/mtp_device_provider.hpp"
#include "mtp/usb/ptp_usb_device.hpp"
#include "usb_function.hpp"

namespace Corvane::CameraController::Emulator {

namespace {

class EmulatorProvider;
/// Set once the provider exists; never reset, as the provider is never destroyed.
std::atomic<EmulatorProvider*> createdProvider{nullptr};

/// Lists the attached emulated cameras to getDevices(). Registered once, on first attach, and
/// kept for the life of the process so that cameras destroyed during exit can still leave it.
class EmulatorProvider : public Impl::MtpDeviceProvider {
public:
    static EmulatorProvider& instance() {
        static const std::shared_ptr<EmulatorProvider>* const owner = [] {
            auto* held =
                new std::shared_ptr<EmulatorProvider>(std::make_shared<EmulatorProvider>());
            Impl::registerDeviceProvider(*held);
            createdProvider = held->get();
            return held;
        }();
        return **owner;
    }

    void add(const std::shared_ptr<EmulatedCamera>& camera) {
        std::lock_guard<std::mutex> lock(mutex_);
        prune();
        const bool known = std::any_of(cameras_.begin(), cameras_.end(),
                                       [&](const auto& w) { return w.lock() == camera; });
        if (!known) {
            cameras_.push_back(camera);
        }
    }

    void remove(const EmulatedCamera* camera) {
        std::lock_guard<std::mutex> lock(mutex_);
        cameras_.erase(std::remove_if(cameras_.begin(), cameras_.end(),
                                      [&](const auto& w) {
                                          const auto held = w.lock();
                                          return !held || held.get() == camera;
                                      }),
                       cameras_.end());
    }

    std::vector<Impl::MtpDeviceCandidate> listDevices() override {
        std::vector<std::shared_ptr<EmulatedCamera>> cameras;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            prune();
            for (const auto& weak : cameras_) {
                if (auto camera = weak.lock()) {
                    cameras.push_back(std::move(camera));
                }
            }
        }
        std::vector<Impl::MtpDeviceCandidate> candidates;
        for (const auto& camera : cameras) {
            if (!camera->isPlugged()) {
                continue;
            }
            std::weak_ptr<EmulatedCamera> weak = camera;
            candidates.push_back({camera->id(), [weak]() -> std::shared_ptr<Impl::MtpDevice> {
                                      const auto held = weak.lock();
                                      return held ? held->openDevice() : nullptr;
                                  }});
        }
        return candidates;
    }

private:
    void prune() {
        cameras_.erase(std::remove_if(cameras_.begin(), cameras_.end(),
                                      [](const auto& w) { return w.expired(); }),
                       cameras_.end());
    }

    std::mutex mutex_;
    std::vector<std::weak_ptr<EmulatedCamera>> cameras_;
};

}  // namespace

// --- CameraConfig --------------------------------------------------------------------------

std::vector<uint16_t> CameraConfig::allOperations() {
    return {Code::GetDeviceInfo,      Code::OpenSession,         Code::CloseSession,
            Code::GetStorageIDs,      Code::GetStorageInfo,      Code::GetNumObjects,
            Code::GetObjectHandles,   Code::GetObjectInfo,       Code::GetObject,
            Code::GetThumb,           Code::DeleteObject,        Code::GetDevicePropDesc,
            Code::GetDevicePropValue, Code::SetDevicePropValue,  Code::GetPartialObject,
            Code::TetherMode,         Code::ImageInfoRequest,    Code::StorageWriting,
            Code::LiveViewFrame,      Code::TetherTransferStart, Code::TetherTransferNext,
            Code::TetherTransferData, Code::TetherRelease,       Code::Condition,
            Code::ShutterPress,       Code::ShutterRelease,      Code::FocusMoveCoarse,
            Code::FocusMoveSteps,     Code::GetPartialObject64,  Code::GetObjectPropValue};
}

std::vector<uint16_t> CameraConfig::operationsWithout(const std::vector<uint16_t>& codes) {
    std::vector<uint16_t> operations = allOperations();
    operations.erase(
        std::remove_if(
            operations.begin(), operations.end(),
            [&](uint16_t op) { return std::find(codes.begin(), codes.end(), op) != codes.end(); }),
        operations.end());
    return operations;
}

unsigned CameraConfig::slotCountOf(const std::string& model) {
    static const char* const kTwoSlots[] = {"QUORIN Alto", "QUORIN Grande", "QUORIN Brio",
                                            "QUORIN Alto II"};
    return std::any_of(std::begin(kTwoSlots), std::end(kTwoSlots),
                       [&](const char* m) { return model == m; })
               ? 2
               : 1;
}

// --- EmulatedCamera ------------------------------------------------------------------------

std::shared_ptr<EmulatedCamera> EmulatedCamera::create(CameraConfig config) {
    return std::shared_ptr<EmulatedCamera>(
        new EmulatedCamera(std::make_shared<CameraModel>(std::move(config))));
}

EmulatedCamera::EmulatedCamera(std::shared_ptr<CameraModel> model) : model_(std::move(model)) {}

EmulatedCamera::~EmulatedCamera() {
    if (EmulatorProvider* provider = createdProvider.load()) {
        provider->remove(this);
    }
}

const std::string& EmulatedCamera::id() const {
    return model_->id();
}
const std::string& EmulatedCamera::model() const {
    return model_->config().model;
}

void EmulatedCamera::attach() {
    EmulatorProvider::instance().add(shared_from_this());
}
void EmulatedCamera::detach() {
    if (EmulatorProvider* provider = createdProvider.load()) {
        provider->remove(this);
    }
}
void EmulatedCamera::unplug() {
    model_->unplug();
}
void EmulatedCamera::replug() {
    model_->replug();
}
bool EmulatedCamera::isPlugged() const {
    return model_->plugged();
}

std::unique_ptr<Impl::BulkPipe> EmulatedCamera::connect() {
    return std::make_unique<MemoryPipe>(UsbFunction::create(model_));
}

std::shared_ptr<Impl::MtpDevice> EmulatedCamera::openDevice() {
    if (!isPlugged()) {
        return nullptr;
    }
    auto device = std::make_shared<Impl::PtpUsbDevice>(connect());
    return device->open() ? device : nullptr;
}

void EmulatedCamera::setExposureMode(int32_t mode) {
    model_->setExposureMode(mode);
}
void EmulatedCamera::setFNumber(uint16_t code) {
    model_->setFNumber(code);
}
void EmulatedCamera::setShutterSpeed(uint32_t numerator, uint32_t denominator) {
    model_->setShutterSpeed(numerator, denominator);
}
void EmulatedCamera::setIso(uint32_t code) {
    model_->setIso(code);
}
void EmulatedCamera::setWhiteBalance(uint16_t code) {
    model_->setWhiteBalance(code);
}
void EmulatedCamera::setExposureCompensation(int16_t code) {
    model_->setExposureCompensation(code);
}
void EmulatedCamera::setUserSettingsMode(uint8_t key) {
    model_->setUserSettingsMode(key);
}
void EmulatedCamera::setMovieMode(bool movie) {
    model_->setMovieMode(movie);
}
void EmulatedCamera::setBatteryLevel(uint8_t level) {
    model_->setBatteryLevel(level);
}
void EmulatedCamera::setCaptureInhibited(bool inhibited) {
    model_->setCaptureInhibited(inhibited);
}
void EmulatedCamera::setCameraState(uint32_t state) {
    model_->setCameraState(state);
}
void EmulatedCamera::pressShutter() {
    model_->pressShutter();
}

bool EmulatedCamera::insertCard(unsigned slot, uint64_t capacity,
                                const std::vector<FileSpec>& files) {
    return model_->insertCard(slot, capacity, files);
}
bool EmulatedCamera::removeCard(unsigned slot) {
    return model_->removeCard(slot);
}
uint32_t EmulatedCamera::addFile(unsigned slot, const FileSpec& file) {
    return model_->addFile(slot, file);
}
std::vector<ObjectSummary> EmulatedCamera::objects() const {
    return model_->objects();
}
std::vector<uint8_t> EmulatedCamera::objectData(uint32_t handle, uint64_t offset,
                                                uint64_t count) const {
    return model_->objectData(handle, offset, count);
}

void EmulatedCamera::failNext(uint16_t operation, uint16_t responseCode, unsigned times) {
    model_->failNext(operation, responseCode, times);
}
void EmulatedCamera::failAlways(uint16_t operation, uint16_t responseCode) {
    model_->failAlways(operation, responseCode);
}
void EmulatedCamera::truncateData(uint16_t operation, uint32_t size, unsigned times) {
    model_->truncateData(operation, size, times);
}
void EmulatedCamera::clearFaults() {
    model_->clearFaults();
}
void EmulatedCamera::setLatency(std::chrono::microseconds latency) {
    model_->setLatency(latency);
}
void EmulatedCamera::setTimeScale(double scale) {
    model_->setTimeScale(scale);
}
void EmulatedCamera::setTetherTransferStyle(TetherTransferStyle style) {
    model_->setTetherTransferStyle(style);
}
void EmulatedCamera::setCancelWindDown(std::chrono::microseconds duration) {
    model_->setCancelWindDown(duration);
}

std::vector<TransactionRecord> EmulatedCamera::transactions() const {
    return model_->transactions();
}
void EmulatedCamera::clearTransactions() {
    model_->clearTransactions();
}

std::vector<std::chrono::system_clock::time_point> EmulatedCamera::releaseTimes() const {
    return model_->releaseTimes();
}
std::vector<std::chrono::system_clock::time_point> EmulatedCamera::shotReadyTimes() const {
    return model_->shotReadyTimes();
}

CameraSnapshot EmulatedCamera::snapshot() const {
    return model_->snapshot();
}

}  // namespace Corvane::CameraController::Emulator
