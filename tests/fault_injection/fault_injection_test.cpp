// A whole session through the public API against the emulated camera, repeated with one fault
// at transaction k (the cable pulled, an error code, or a data phase cut short). Every call must
// return within its bound, an unplug must be reported exactly once and fail every later call,
// and the camera must work again afterwards. k counts command containers, the event task's polls
// included. CORVANE_FAULT_RUNS=N|all sets the indices tried per kind of fault (default 16).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "corvane/camera_controller.hpp"
#include "corvane/emulator/emulated_camera.hpp"
#include "model/capture_setting_access.hpp"
#include "mtp/mtp_device_provider.hpp"
#include "mtp/usb/bulk_pipe.hpp"
#include "mtp/usb/ptp_container.hpp"
#include "mtp/usb/ptp_usb_device.hpp"
#include "support/eventually.hpp"
#include "support/fake_device_provider.hpp"
#include "support/watchdog.hpp"

namespace Corvane::CameraController {
namespace {

using namespace std::chrono_literals;
using Emulator::EmulatedCamera;

constexpr uint16_t kDeviceBusy = 0x2019;
constexpr uint16_t kGeneralError = 0x2002;

enum class FaultKind { None, Unplug, ErrorCode, Truncate };

const char* const kFaultNames[] = {"none", "unplug", "error code", "truncated data"};

// Long enough for several frames at the adapter's pace, short enough for 50 sessions a run.
constexpr auto kLiveViewTime = 400ms;

/// Counts the transactions of one session and places its fault at transaction `index`.
class FaultInjector {
public:
    FaultInjector(std::shared_ptr<EmulatedCamera> camera, FaultKind kind, size_t index)
        : camera_(std::move(camera)), kind_(kind), index_(index) {}

    /// Called with every command container before the camera sees it.
    void onCommand(uint16_t operation) {
        if (stopped_) {
            return;
        }
        const size_t number = ++count_;
        if (kind_ == FaultKind::None || number != index_) {
            return;
        }
        operation_ = operation;
        // Arming the camera before it reads the command makes this very transaction the
        // faulty one: the engine runs one transaction at a time per device.
        switch (kind_) {
            case FaultKind::Unplug:
                camera_->unplug();
                break;
            case FaultKind::ErrorCode:
                camera_->failNext(operation, index_ % 2 == 0 ? kDeviceBusy : kGeneralError);
                break;
            case FaultKind::Truncate:
                // Nothing, a few bytes (mid-field for every dataset), or about half a header.
                camera_->truncateData(operation, std::array<uint32_t, 4>{0, 3, 7, 21}[index_ % 4],
                                      1);
                break;
            case FaultKind::None:
                break;
        }
        injected_ = true;
    }

    /// Ends the count, so a fault past a short session never lands in the reconnect check.
    void stop() { stopped_ = true; }
    size_t transactions() const { return count_; }
    bool injected() const { return injected_; }
    uint16_t operation() const { return operation_; }

private:
    std::shared_ptr<EmulatedCamera> camera_;
    const FaultKind kind_;
    const size_t index_;
    std::atomic<size_t> count_{0};
    std::atomic<bool> injected_{false};
    std::atomic<bool> stopped_{false};
    std::atomic<uint16_t> operation_{0};
};

class FaultPipe : public Impl::BulkPipe {
public:
    FaultPipe(std::unique_ptr<Impl::BulkPipe> inner, std::shared_ptr<FaultInjector> injector)
        : inner_(std::move(inner)), injector_(std::move(injector)) {}

    Impl::PipeStatus writeBulk(const uint8_t* data, size_t size, size_t& written,
                               unsigned timeoutMs, bool terminate) override {
        // A command goes out as one whole transfer of 12 to 32 bytes; checking the length
        // keeps a piece of a data phase from being taken for one.
        const auto header = Impl::Ptp::decodeHeader(data, size);
        if (header && header->type == Impl::Ptp::ContainerType::Command && header->length == size &&
            size <= Impl::Ptp::kHeaderSize + 20) {
            injector_->onCommand(header->code);
        }
        return inner_->writeBulk(data, size, written, timeoutMs, terminate);
    }
    Impl::PipeStatus readBulk(uint8_t* data, size_t capacity, size_t& received,
                              unsigned timeoutMs) override {
        return inner_->readBulk(data, capacity, received, timeoutMs);
    }
    Impl::PipeStatus readInterrupt(uint8_t* data, size_t capacity, size_t& received,
                                   unsigned timeoutMs) override {
        return inner_->readInterrupt(data, capacity, received, timeoutMs);
    }
    Impl::PipeStatus cancel(uint32_t transactionId) override {
        return inner_->cancel(transactionId);
    }
    Impl::PipeStatus getDeviceStatus(Impl::PipeDeviceStatus& status) override {
        return inner_->getDeviceStatus(status);
    }
    Impl::PipeStatus resetDevice() override { return inner_->resetDevice(); }
    Impl::PipeStatus clearHalt(Impl::PipeEndpoint endpoint) override {
        return inner_->clearHalt(endpoint);
    }
    size_t packetSize() const override { return inner_->packetSize(); }
    bool isAttached() override { return inner_->isAttached(); }

private:
    std::unique_ptr<Impl::BulkPipe> inner_;
    std::shared_ptr<FaultInjector> injector_;
};

class FaultProvider : public Impl::MtpDeviceProvider {
public:
    FaultProvider(std::shared_ptr<EmulatedCamera> camera, std::shared_ptr<FaultInjector> injector)
        : camera_(std::move(camera)), injector_(std::move(injector)) {}

    std::vector<Impl::MtpDeviceCandidate> listDevices() override {
        if (!camera_->isPlugged()) {
            return {};
        }
        return {{camera_->id(),
                 [camera = camera_, injector = injector_]() -> std::shared_ptr<Impl::MtpDevice> {
                     auto device = std::make_shared<Impl::PtpUsbDevice>(
                         std::make_unique<FaultPipe>(camera->connect(), injector));
                     return device->open() ? device : nullptr;
                 }}};
    }

private:
    std::shared_ptr<EmulatedCamera> camera_;
    std::shared_ptr<FaultInjector> injector_;
};

class SessionListener : public CameraEventListener {
public:
    void imageStored(const std::shared_ptr<const CameraDevice>&,
                     const std::shared_ptr<const CameraImage>& image) override {
        std::atomic_store(&stored, image);
    }
    void captureComplete(const std::shared_ptr<const CameraDevice>&,
                         const std::shared_ptr<const Capture>&) override {
        ++completed;
    }
    void deviceDisconnected(const std::shared_ptr<const CameraDevice>&, DeviceInterface) override {
        ++disconnected;
    }
    void liveViewFrameUpdated(const std::shared_ptr<const CameraDevice>&,
                              const std::shared_ptr<const unsigned char>& data,
                              uint64_t size) override {
        frames += data != nullptr && size > 0;
    }

    std::shared_ptr<const CameraImage> image() const { return std::atomic_load(&stored); }

    std::shared_ptr<const CameraImage> stored;
    std::atomic<int> completed{0};
    std::atomic<int> disconnected{0};
    std::atomic<int> frames{0};
};

struct CallRecord {
    std::string name;
    bool ok = false;
    bool afterUnplug = false;  ///< started after the fault unplugged the camera
    std::string error;
};

struct SessionResult {
    std::vector<CallRecord> calls;
    bool connected = false;
    bool captureCompleted = false;
    uint64_t downloaded = 0;
    uint64_t expectedDownload = 0;
    uint64_t thumbnail = 0;
    int frames = 0;
    size_t imagesBeforeDelete = 0;
    size_t imagesAfterDelete = 0;
    int disconnectedReports = 0;
    size_t transactions = 0;
    bool faultInjected = false;
    bool unpluggedAfterConnect = false;
    uint16_t faultedOperation = 0;
};

Emulator::CameraConfig sessionConfig() {
    Emulator::CameraConfig config;
    // The camera's own delays (focus, exposure, writing) shrink to milliseconds.
    config.timeScale = 0.01;
    config.model = "QUORIN Alto II";
    config.serialNumber = "FAULT0001";
    Emulator::CardSlotConfig slot;
    slot.files = {{"DCIM/100QUORN/QRN_0001.JPG", 0, false},
                  {"DCIM/100QUORN/QRN_0002.JPG", 300000, false}};
    config.slots = {slot};
    config.rawFileSize = 1 << 20;
    return config;
}

std::string describe(const Response& response) {
    if (response.getErrors().empty()) {
        return "";
    }
    const auto& error = response.getErrors()[0];
    return std::to_string(static_cast<unsigned>(error->getCode())) + " " + error->getMessage();
}

std::shared_ptr<CameraDevice> findCamera(const std::string& serial) {
    for (const auto& device : CameraDeviceDetector::detect(DeviceInterface::USB)) {
        if (device->getSerialNumber() == serial) {
            return device;
        }
    }
    return nullptr;
}

class FaultSession {
public:
    FaultSession(FaultKind kind, size_t index)
        : context_(std::string(kFaultNames[static_cast<int>(kind)]) + " at transaction " +
                   std::to_string(index)),
          kind_(kind),
          camera_(EmulatedCamera::create(sessionConfig())),
          injector_(std::make_shared<FaultInjector>(camera_, kind, index)),
          registration_(std::make_shared<FaultProvider>(camera_, injector_)) {
        camera_->setExposureMode(8);  // manual: ISO is adjustable
    }

    /// A hang fails the test at once and says where, rather than waiting for ctest's timeout.
    template <class Call>
    auto bounded(const std::string& what, std::chrono::seconds bound, Call&& function) {
        return Testing::finishesWithin(bound, what + " (" + context_ + ")",
                                       std::forward<Call>(function));
    }

    SessionResult run() {
        SessionResult result;
        auto listener = std::make_shared<SessionListener>();
        std::shared_ptr<CameraDevice> device =
            bounded("detect", 20s, [&] { return findCamera(serial()); });
        if (device != nullptr) {
            device->addEventListener(listener);
            runOn(*device, *listener, result);
            // Cleanup, whatever happened: it must return too. A capture whose file never
            // arrived keeps disconnect waiting up to 60 one-second polls, by design.
            bounded("disconnect", 75s, [&] { return device->disconnect(DeviceInterface::USB); });
            device->removeEventListener(listener);
        }
        result.frames = listener->frames;
        result.disconnectedReports = listener->disconnected;
        result.transactions = injector_->transactions();
        result.faultInjected = injector_->injected();
        result.faultedOperation = injector_->operation();
        return result;
    }

    /// After the session: cable back in, a new detection, connect, one read, disconnect.
    Response reconnect() {
        injector_->stop();
        camera_->clearFaults();
        camera_->replug();
        auto device = bounded("detect after replug", 20s, [&] { return findCamera(serial()); });
        if (device == nullptr) {
            return Response(Result::Error,
                            std::make_shared<Error>(ErrorCode::Unclassified, "not detected"));
        }
        Response connected = bounded("connect after replug", 40s,
                                     [&] { return device->connect(DeviceInterface::USB); });
        if (connected.getResult() != Result::Ok) {
            return connected;
        }
        ISO iso;
        const Response read =
            bounded("read after replug", 20s, [&] { return device->getCaptureSettings({&iso}); });
        bounded("disconnect after replug", 75s,
                [&] { return device->disconnect(DeviceInterface::USB); });
        return read;
    }

    const std::string& context() const { return context_; }

private:
    std::string serial() const { return sessionConfig().serialNumber; }

    template <class Call>
    Response call(SessionResult& result, const std::string& name, std::chrono::seconds bound,
                  Call&& function) {
        CallRecord record;
        record.name = name;
        record.afterUnplug = kind_ == FaultKind::Unplug && injector_->injected();
        Response response = bounded(name, bound, std::forward<Call>(function));
        record.ok = response.getResult() == Result::Ok;
        record.error = describe(response);
        result.calls.push_back(record);
        return response;
    }

    void runOn(CameraDevice& device, SessionListener& listener, SessionResult& result) {
        const Response connected =
            call(result, "connect", 40s, [&] { return device.connect(DeviceInterface::USB); });
        result.connected = connected.getResult() == Result::Ok;
        result.unpluggedAfterConnect = result.connected && !injector_->injected();

        // Every capture setting the catalogue knows, ISO among them.
        std::vector<std::unique_ptr<CaptureSetting>> settings;
        std::vector<CaptureSetting*> toRead;
        for (const std::string& name : Impl::CaptureSettingAccess::names()) {
            settings.push_back(Impl::CaptureSettingAccess::create(name));
            toRead.push_back(settings.back().get());
        }
        call(result, "getCaptureSettings", 20s, [&] { return device.getCaptureSettings(toRead); });
        const CaptureSetting& iso = **std::find_if(toRead.begin(), toRead.end(), [](auto* setting) {
            return setting->getName() == "ISO";
        });
        CameraTime time;
        LiveViewSpecification liveView;
        call(result, "getCameraDeviceSettings", 20s, [&] {
            return device.getCameraDeviceSettings({&time, &liveView});
        });

        // Another offered ISO than the current one, so the write changes something.
        const CaptureSetting* newIso = nullptr;
        for (const CaptureSetting* offered : iso.getAvailableSettings()) {
            if (*offered != iso) {
                newIso = offered;
            }
        }
        call(result, "setCaptureSettings(ISO)", 20s, [&] {
            return newIso != nullptr
                       ? device.setCaptureSettings({newIso})
                       : Response(Result::Error, std::make_shared<Error>(ErrorCode::Unclassified,
                                                                         "no ISO offered"));
        });

        // No capture to wait for when it did not start or the camera is gone.
        const bool captureStarted = call(result, "startCapture", 75s, [&] {
                                        return device.startCapture(true);
                                    }).getResult() == Result::Ok;
        const auto captured = [&] { return listener.completed > 0 && listener.image() != nullptr; };
        result.captureCompleted =
            captureStarted &&
            Testing::eventually([&] { return captured() || listener.disconnected > 0; }, 5000ms) &&
            captured();

        auto image = listener.image();
        if (image == nullptr) {
            const auto images = device.getImages().clone();
            if (images->size() > 0) {
                image = images->get(images->size() - 1);
            }
        }
        if (image != nullptr) {
            std::ostringstream data;
            result.expectedDownload = image->getSize();
            call(result, "getData", 30s, [&] { return image->getData(data); });
            result.downloaded = data.str().size();
            std::ostringstream thumbnail;
            call(result, "getThumbnail", 20s, [&] { return image->getThumbnail(thumbnail); });
            result.thumbnail = thumbnail.str().size();
        }

        const Response started =
            call(result, "startLiveView", 20s, [&] { return device.startLiveView(); });
        if (started.getResult() == Result::Ok) {
            std::this_thread::sleep_for(kLiveViewTime);
        }
        call(result, "stopLiveView", 20s, [&] { return device.stopLiveView(); });

        // The listing: every storage's images and the device's, read while they may change.
        const auto& storages = device.getStorages();
        for (size_t i = 0; i < storages.size(); ++i) {
            const auto storage = storages.get(i);
            const auto images = storage->getImages().clone();
            for (size_t j = 0; j < images->size(); ++j) {
                images->get(j)->getName();
            }
        }
        result.imagesBeforeDelete = device.getImages().size();
        if (image != nullptr) {
            call(result, "deleteData", 20s, [&] { return image->deleteData(); });
        }
        result.imagesAfterDelete = device.getImages().size();

        if (kind_ == FaultKind::Unplug && injector_->injected()) {
            // The event task notices within a poll or two; generous for a loaded machine.
            Testing::eventually([&] { return listener.disconnected > 0; }, 10000ms);
        }
    }

    const std::string context_;
    const FaultKind kind_;
    std::shared_ptr<EmulatedCamera> camera_;
    std::shared_ptr<FaultInjector> injector_;
    Testing::ScopedDeviceProvider registration_;
};

std::string callsOf(const SessionResult& result) {
    char fault[64];
    std::snprintf(fault, sizeof fault, "  fault on operation 0x%04x, %zu transactions\n",
                  result.faultedOperation, result.transactions);
    std::string text = fault;
    for (const auto& call : result.calls) {
        text += "  " + call.name + (call.ok ? " ok" : " error " + call.error) +
                (call.afterUnplug ? " (after unplug)" : "") + "\n";
    }
    return text;
}

class FaultInjectionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { baseline_ = FaultSession(FaultKind::None, 0).run(); }

    /// Indices spread over the baseline session, shifted per kind so kinds hit other transactions.
    static std::vector<size_t> indicesFor(FaultKind kind) {
        const size_t total = baseline_.transactions;
        size_t runs = 16;
        if (const char* setting = std::getenv("CORVANE_FAULT_RUNS")) {
            runs = std::string(setting) == "all" ? total : std::strtoul(setting, nullptr, 10);
        }
        std::vector<size_t> indices;
        if (total == 0 || runs == 0) {
            return indices;
        }
        runs = std::min(runs, total);
        const double stride = static_cast<double>(total) / static_cast<double>(runs);
        const double shift = stride * (static_cast<int>(kind) - 1) / 3.0;
        for (size_t i = 0; i < runs; ++i) {
            const auto k = static_cast<size_t>(1 + shift + stride * static_cast<double>(i));
            if (k <= total && (indices.empty() || indices.back() != k)) {
                indices.push_back(k);
            }
        }
        return indices;
    }

    /// A session per sampled index, each checked, and the camera must connect again after it.
    static void sweep(FaultKind kind, const std::function<void(const SessionResult&)>& check) {
        const std::vector<size_t> indices = indicesFor(kind);
        size_t reached = 0;
        for (const size_t k : indices) {
            FaultSession session(kind, k);
            SCOPED_TRACE(session.context());
            const SessionResult result = session.run();
            reached += result.faultInjected ? 1 : 0;
            check(result);
            const Response again = session.reconnect();
            EXPECT_EQ(again.getResult(), Result::Ok)
                << "after the fault on 0x" << std::hex << result.faultedOperation << ": "
                << describe(again);
        }
        std::printf("%s: %zu transaction indices tried, %zu reached by the session\n",
                    kFaultNames[static_cast<int>(kind)], indices.size(), reached);
    }

    static inline SessionResult baseline_;
};

TEST_F(FaultInjectionTest, SessionWithoutFaultsSucceedsThroughout) {
    const SessionResult& result = baseline_;
    ASSERT_TRUE(result.connected) << callsOf(result);
    for (const auto& call : result.calls) {
        EXPECT_TRUE(call.ok) << call.name << ": " << call.error;
    }
    EXPECT_TRUE(result.captureCompleted);
    EXPECT_GT(result.expectedDownload, 0u);
    EXPECT_EQ(result.downloaded, result.expectedDownload);
    EXPECT_GT(result.thumbnail, 0u);
    // Twelve frames at the adapter's pace; a loaded machine may deliver fewer.
    EXPECT_GE(result.frames, 3);
    EXPECT_EQ(result.imagesAfterDelete + 1, result.imagesBeforeDelete);
    EXPECT_EQ(result.disconnectedReports, 0);
    // The session must be long enough for the sampled faults to mean something.
    EXPECT_GT(result.transactions, 20u);
    std::printf("session without faults: %zu transactions\n", result.transactions);
}

TEST_F(FaultInjectionTest, UnplugAtAnyTransactionIsReportedOnceAndRecoverable) {
    sweep(FaultKind::Unplug, [](const SessionResult& result) {
        if (!result.faultInjected) {
            return;  // this run was shorter than k
        }
        if (result.unpluggedAfterConnect) {
            EXPECT_EQ(result.disconnectedReports, 1) << callsOf(result);
        } else {
            EXPECT_LE(result.disconnectedReports, 1) << callsOf(result);
        }
        for (const auto& call : result.calls) {
            EXPECT_FALSE(call.afterUnplug && call.ok)
                << call.name << " succeeded after the unplug\n"
                << callsOf(result);
        }
    });
}

// Neither fault may make the camera look gone.
TEST_F(FaultInjectionTest, ErrorCodeOrTruncatedDataAtAnyTransactionLeavesTheCameraUsable) {
    for (const FaultKind kind : {FaultKind::ErrorCode, FaultKind::Truncate}) {
        sweep(kind, [](const SessionResult& result) {
            EXPECT_EQ(result.disconnectedReports, 0) << callsOf(result);
        });
    }
}

}  // namespace
}  // namespace Corvane::CameraController
