// Events delivered to Python: one Event object per listener call, given to a Python callable.
#pragma once

#include <memory>

#include "binding.hpp"

namespace corvane_python {

enum class EventKind {
    ImageAdded,
    ImageStored,
    CaptureComplete,
    DeviceDisconnected,
    LiveViewFrame,
    CaptureSettingsChanged,
};

struct Event {
    py::object kind;  ///< the EventKind member itself, so that `event.kind is EventKind.X` holds
    std::shared_ptr<cc::CameraDevice> camera;
    std::shared_ptr<cc::CameraImage> image;  ///< ImageAdded, ImageStored
    std::shared_ptr<cc::Capture> capture;    ///< CaptureComplete
    py::object data;                         ///< LiveViewFrame: the JPEG bytes
    py::object settings;                     ///< CaptureSettingsChanged: name -> value text
};

/// A library listener that hands every event to one Python callable, taking the GIL for the
/// call. An exception from the callable is reported as one diagnostic line and goes no further.
class PythonListener : public cc::CameraEventListener {
public:
    explicit PythonListener(py::object sink);
    ~PythonListener() override;
    PythonListener(const PythonListener&) = delete;
    PythonListener& operator=(const PythonListener&) = delete;

    /// Drops the callable; deliveries still under way when this is called end without it.
    void close();

    void imageAdded(const std::shared_ptr<const cc::CameraDevice>& device,
                    const std::shared_ptr<const cc::CameraImage>& image) override;
    void imageStored(const std::shared_ptr<const cc::CameraDevice>& device,
                     const std::shared_ptr<const cc::CameraImage>& image) override;
    void captureComplete(const std::shared_ptr<const cc::CameraDevice>& device,
                         const std::shared_ptr<const cc::Capture>& capture) override;
    void deviceDisconnected(const std::shared_ptr<const cc::CameraDevice>& device,
                            cc::DeviceInterface deviceInterface) override;
    void liveViewFrameUpdated(const std::shared_ptr<const cc::CameraDevice>& device,
                              const std::shared_ptr<const unsigned char>& data,
                              uint64_t size) override;
    void captureSettingsChanged(
        const std::shared_ptr<const cc::CameraDevice>& device,
        const std::vector<std::shared_ptr<const cc::CaptureSetting>>& settings) override;

private:
    template <typename Fill>
    void deliver(const char* eventName, EventKind kind,
                 const std::shared_ptr<const cc::CameraDevice>& device, Fill&& fill);

    // Touched only with the GIL held.
    std::unique_ptr<py::object> sink;
};

}  // namespace corvane_python
