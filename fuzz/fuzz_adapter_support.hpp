// For harnesses whose decoder lives inside the adapter: a connected Quorin adapter whose
// camera answers chosen operations with bytes taken from the fuzzer's input.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "common/diagnostics.hpp"
#include "device/quorin_camera_device.hpp"
#include "support/scripted_mtp_device.hpp"

namespace Corvane::CameraController::Fuzzing {

/// Opens the connected flag, which connect() would set after a whole handshake.
class FuzzAdapter : public Impl::QuorinCameraDeviceMtpUsbAdapter {
public:
    using QuorinCameraDeviceMtpUsbAdapter::QuorinCameraDeviceMtpUsbAdapter;
    using QuorinCameraDeviceMtpUsbAdapter::conditionTracker;
    using QuorinCameraDeviceMtpUsbAdapter::countExpectedFiles;
    using QuorinCameraDeviceMtpUsbAdapter::detectSettingChanges;
    using QuorinCameraDeviceMtpUsbAdapter::isCaptureAllowed;
    using QuorinCameraDeviceMtpUsbAdapter::isMovieMode;
    using QuorinCameraDeviceMtpUsbAdapter::isMovieRecording;
    using QuorinCameraDeviceMtpUsbAdapter::transferTetherBuffer;
    void markConnected(bool on) { connected = on; }
};

/// The model names the adapter treats differently, plus one it does not know.
inline std::string pickModel(FuzzedDataProvider& input) {
    static const char* const models[] = {"QUORIN Alto",    "QUORIN Alto II",  "QUORIN Brio",
                                         "QUORIN Grande",  "QUORIN Cresta",   "QUORIN Delta",
                                         "QUORIN Delta X", "QUORIN Prototype"};
    return models[input.ConsumeIntegralInRange<size_t>(0, 7)];
}

/// One camera answer made of fuzzed bytes: mostly OK, sometimes another code, with up to two
/// response parameters and a data phase of random length.
inline Testing::ScriptedResponse fuzzedAnswer(FuzzedDataProvider& input) {
    const uint8_t selector = input.ConsumeIntegral<uint8_t>();
    uint16_t code = 0x2001;
    if (selector >= 0xF0) {
        static const uint16_t others[] = {0x2002, 0x2005, 0x2019, 0x201D, 0xA001, 0xA005, 0, 0};
        code = others[selector & 7];
    }
    std::vector<uint32_t> parameters;
    for (unsigned n = selector & 3u; n > 0 && n <= 2; --n) {
        parameters.push_back(input.ConsumeIntegral<uint32_t>());
    }
    const std::string bytes = input.ConsumeRandomLengthString(4096);
    return {code, std::move(parameters), std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

/// A device, its adapter (marked connected) and the fake camera behind it. The fake answers
/// every operation not scripted by the harness with fuzzed bytes from the same input.
struct FuzzedCamera {
    FuzzedCamera(FuzzedDataProvider& input, const std::string& model) {
        // Diagnostics would flood the fuzzer's output (and slow it down a lot); drop them.
        Impl::setDiagnosticSink([](const std::string&) {});
        camera = std::make_shared<Testing::ScriptedMtpDevice>("QUORIN", model, "1.00", "0001");
        camera->setSupportedOperations({0x1001, 0x9001, 0x900F, 0x900B, 0x9016, 0x9017});
        // Handlers run on the caller's thread, and only while the harness keeps `input` alive.
        camera->onAny([&input](const Testing::RecordedRequest&) { return fuzzedAnswer(input); });
        device = std::make_shared<Impl::QuorinCameraDevice>();
        device->setModel(model);
        adapter = std::make_shared<FuzzAdapter>(device);
        adapter->setMtpDevice(camera);
        device->addAdapter(DeviceInterface::USB, adapter);
        adapter->markConnected(true);
    }
    ~FuzzedCamera() { adapter->markConnected(false); }

    std::shared_ptr<Testing::ScriptedMtpDevice> camera;
    std::shared_ptr<Impl::QuorinCameraDevice> device;
    std::shared_ptr<FuzzAdapter> adapter;
};

}  // namespace Corvane::CameraController::Fuzzing
