#include "events.hpp"

#include <string>

#include "common/diagnostics.hpp"

namespace corvane_python {

namespace {

// One line in the library's own diagnostics format; the Python error is cleared here, so it
// never propagates into the library's task.
void reportListenerFailure(const char* eventName, const std::string& what) {
    cc::Impl::writeDiagnostic(std::string("[error][") + eventName +
                              "] event listener threw: " + what);
}

// pybind11 makes a new object for every enum value it converts; the class attributes are the
// members that `is` compares with.
py::object kindMember(EventKind kind) {
    static const auto* type = new py::object(py::type::of<EventKind>());  // never destroyed
    return type->attr(py::cast(kind).attr("name"));
}

std::string describe(const py::error_already_set& error) {
    try {
        std::string text = py::str(error.type().attr("__name__"));
        const std::string message = py::str(error.value());
        return message.empty() ? text : text + ": " + message;
    } catch (...) {
        PyErr_Clear();
        return "a Python exception";
    }
}

}  // namespace

PythonListener::PythonListener(py::object sink)
    : sink(std::make_unique<py::object>(std::move(sink))) {}

PythonListener::~PythonListener() {
    if (!interpreterRunning()) {
        (void)sink.release();  // Python objects cannot be released any more: leave them
        return;
    }
    py::gil_scoped_acquire gil;
    sink.reset();
}

void PythonListener::close() {
    sink.reset();
}

template <typename Fill>
void PythonListener::deliver(const char* eventName, EventKind kind,
                             const std::shared_ptr<const cc::CameraDevice>& device, Fill&& fill) {
    if (!interpreterRunning()) {
        return;
    }
    py::gil_scoped_acquire gil;
    if (!sink) {
        return;
    }
    const py::object callable = *sink;  // close() from inside the callable must not free it
    try {
        Event event;
        event.kind = kindMember(kind);
        event.camera = std::const_pointer_cast<cc::CameraDevice>(device);
        event.data = py::none();
        event.settings = py::none();
        fill(event);
        callable(py::cast(std::move(event)));
    } catch (py::error_already_set& error) {
        reportListenerFailure(eventName, describe(error));
    } catch (const std::exception& error) {
        reportListenerFailure(eventName, error.what());
    }
}

void PythonListener::imageAdded(const std::shared_ptr<const cc::CameraDevice>& device,
                                const std::shared_ptr<const cc::CameraImage>& image) {
    deliver("imageAdded", EventKind::ImageAdded, device,
            [&](Event& e) { e.image = std::const_pointer_cast<cc::CameraImage>(image); });
}

void PythonListener::imageStored(const std::shared_ptr<const cc::CameraDevice>& device,
                                 const std::shared_ptr<const cc::CameraImage>& image) {
    deliver("imageStored", EventKind::ImageStored, device,
            [&](Event& e) { e.image = std::const_pointer_cast<cc::CameraImage>(image); });
}

void PythonListener::captureComplete(const std::shared_ptr<const cc::CameraDevice>& device,
                                     const std::shared_ptr<const cc::Capture>& capture) {
    deliver("captureComplete", EventKind::CaptureComplete, device,
            [&](Event& e) { e.capture = std::const_pointer_cast<cc::Capture>(capture); });
}

void PythonListener::deviceDisconnected(const std::shared_ptr<const cc::CameraDevice>& device,
                                        cc::DeviceInterface) {
    deliver("deviceDisconnected", EventKind::DeviceDisconnected, device, [](Event&) {});
}

void PythonListener::liveViewFrameUpdated(const std::shared_ptr<const cc::CameraDevice>& device,
                                          const std::shared_ptr<const unsigned char>& data,
                                          uint64_t size) {
    deliver("liveViewFrameUpdated", EventKind::LiveViewFrame, device, [&](Event& e) {
        const char* bytes = data ? reinterpret_cast<const char*>(data.get()) : "";
        e.data = py::bytes(bytes, data ? static_cast<size_t>(size) : 0);
    });
}

void PythonListener::captureSettingsChanged(
    const std::shared_ptr<const cc::CameraDevice>& device,
    const std::vector<std::shared_ptr<const cc::CaptureSetting>>& settings) {
    deliver("captureSettingsChanged", EventKind::CaptureSettingsChanged, device, [&](Event& e) {
        py::dict values;
        for (const auto& setting : settings) {
            if (setting && setting->hasValue()) {
                values[py::str(setting->getName())] = py::str(setting->getValue().toString());
            }
        }
        e.settings = values;
    });
}

void bindEvents(py::module_& m) {
    py::enum_<EventKind>(m, "EventKind")
        .value("ImageAdded", EventKind::ImageAdded)
        .value("ImageStored", EventKind::ImageStored)
        .value("CaptureComplete", EventKind::CaptureComplete)
        .value("DeviceDisconnected", EventKind::DeviceDisconnected)
        .value("LiveViewFrame", EventKind::LiveViewFrame)
        .value("CaptureSettingsChanged", EventKind::CaptureSettingsChanged);
    py::class_<Event>(m, "Event", "Something the camera reported unasked.")
        .def_readonly("kind", &Event::kind)
        .def_readonly("camera", &Event::camera)
        .def_readonly("image", &Event::image)
        .def_readonly("capture", &Event::capture)
        .def_readonly("data", &Event::data)
        .def_readonly("settings", &Event::settings)
        .def("__repr__", [](const Event& e) {
            return "<Event " + std::string(py::str(e.kind.attr("name"))) + ">";
        });
    py::class_<PythonListener, std::shared_ptr<PythonListener>>(m, "_ListenerHandle")
        .def("close", &PythonListener::close);
}

}  // namespace corvane_python
