// Detection and the camera handle.
#include <optional>
#include <stdexcept>
#include <tuple>

#include <pybind11/stl.h>

#include "events.hpp"
#include "settings.hpp"

namespace corvane_python {

namespace {

using Camera = cc::CameraDevice;
using CameraPtr = std::shared_ptr<Camera>;
using FramePoint = std::tuple<float, float>;

cc::Point pointOf(const FramePoint& point) {
    return cc::Point{std::get<0>(point), std::get<1>(point)};
}

// The library throws "Not Supported" for a focus drive the camera lacks; Python sees the same
// exception as for any other unsupported operation.
template <typename Call>
cc::Response focusCall(Call&& call) {
    try {
        return withoutGil(std::forward<Call>(call));
    } catch (const std::runtime_error& error) {
        raiseError(cc::ErrorCode::NotSupported, error.what());
    }
}

void focus(Camera& camera, const std::optional<FramePoint>& point, std::optional<int32_t> steps) {
    if (point && steps) {
        throw py::value_error("focus() takes a point or steps, not both");
    }
    if (steps) {
        check(focusCall([&] { return camera.focus(*steps); }));
    } else if (point) {
        const cc::Point at = pointOf(*point);
        check(focusCall([&] { return camera.focus(at); }));
    } else {
        check(focusCall([&] { return camera.focus(); }));
    }
}

std::shared_ptr<cc::Capture> capture(Camera& camera, const py::object& focus) {
    std::optional<cc::Point> point;
    bool withFocus = false;
    if (py::isinstance<py::bool_>(focus)) {
        withFocus = focus.cast<bool>();
    } else {
        point = pointOf(focus.cast<FramePoint>());
    }
    const cc::StartCaptureResponse response = withoutGil(
        [&] { return point ? camera.startCapture(*point) : camera.startCapture(withFocus); });
    check(response);
    return std::const_pointer_cast<cc::Capture>(response.getCapture());
}

int64_t readClock(Camera& camera) {
    cc::CameraTime time;
    check(withoutGil([&] { return camera.getCameraDeviceSettings({&time}); }));
    return dynamic_cast<const cc::CameraTimeValue&>(time.getValue()).get();
}

void writeClock(Camera& camera, int64_t seconds) {
    const cc::CameraTime time(seconds);
    check(withoutGil([&] { return camera.setCameraDeviceSettings({&time}); }));
}

struct LiveViewGeometry {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<FramePoint> focusArea;
};

LiveViewGeometry readLiveViewGeometry(Camera& camera) {
    cc::LiveViewSpecification liveViewSetting;
    check(withoutGil([&] { return camera.getCameraDeviceSettings({&liveViewSetting}); }));
    const auto& image =
        dynamic_cast<const cc::LiveViewSpecificationValue&>(liveViewSetting.getValue()).get();
    LiveViewGeometry geometry{image.width, image.height, {}};
    for (const auto& corner : image.focusArea) {
        geometry.focusArea.emplace_back(corner.x, corner.y);
    }
    return geometry;
}

std::vector<SettingSnapshot> readNamedSettings(Camera& camera,
                                               const std::vector<std::string>& names) {
    return readSettings(camera, names);
}

void writeNamedSettings(Camera& camera, const py::dict& values) {
    std::vector<std::pair<std::string, std::string>> texts;
    for (const auto& [name, value] : values) {
        std::string text;
        if (py::isinstance<py::bool_>(value)) {
            text = value.cast<bool>() ? "true" : "false";
        } else if (py::isinstance<py::str>(value)) {
            text = value.cast<std::string>();
        } else {
            throw py::type_error("setting values are texts (or bools for flags)");
        }
        texts.emplace_back(name.cast<std::string>(), text);
    }
    writeSettings(camera, texts);
}

std::shared_ptr<PythonListener> addSink(Camera& camera, py::object sink) {
    auto listener = std::make_shared<PythonListener>(std::move(sink));
    camera.addEventListener(listener);
    return listener;
}

void removeSink(Camera& camera, const std::shared_ptr<PythonListener>& listener) {
    listener->close();
    const std::shared_ptr<cc::CameraEventListener> base = listener;
    withoutGil([&] { camera.removeEventListener(base); });
}

std::vector<std::shared_ptr<cc::CameraStorage>> storagesOf(const Camera& camera) {
    const auto& list = camera.getStorages();
    std::vector<std::shared_ptr<cc::CameraStorage>> storages;
    for (size_t i = 0, n = list.size(); i < n; ++i) {
        try {
            storages.push_back(std::const_pointer_cast<cc::CameraStorage>(list.get(i)));
        } catch (const std::out_of_range&) {
            break;  // the list shrank meanwhile
        }
    }
    return storages;
}

}  // namespace

void bindCamera(py::module_& m) {
    py::class_<LiveViewGeometry>(m, "LiveViewGeometry")
        .def_readonly("width", &LiveViewGeometry::width)
        .def_readonly("height", &LiveViewGeometry::height)
        .def_readonly("focus_area", &LiveViewGeometry::focusArea,
                      "Corners (x, y) as fractions of the frame: top-left, top-right, "
                      "bottom-right, bottom-left.");

    py::class_<Camera, CameraPtr>(m, "Camera", py::dynamic_attr(), "One camera.")
        .def_property_readonly("manufacturer", &Camera::getManufacturer)
        .def_property_readonly("model", &Camera::getModel)
        .def_property_readonly("firmware_version", &Camera::getFirmwareVersion)
        .def_property_readonly("serial_number", &Camera::getSerialNumber)
        .def("_connect",
             [](Camera& c, cc::DeviceInterface i) {
                 check(withoutGil([&] { return c.connect(i); }));
             })
        .def("_disconnect",
             [](Camera& c, cc::DeviceInterface i) {
                 check(withoutGil([&] { return c.disconnect(i); }));
             })
        .def("_is_connected", &Camera::isConnected)
        .def_property_readonly("battery_level",
                               [](const Camera& c) { return c.getStatus().getBatteryLevel(); })
        .def_property_readonly(
            "current_capture",
            [](const Camera& c) {
                return std::const_pointer_cast<cc::Capture>(c.getStatus().getCurrentCapture());
            })
        .def_property_readonly("storages", &storagesOf)
        .def_property_readonly("images", [](const Camera& c) { return imagesOf(c.getImages()); })
        .def("focus", &focus, py::arg("point") = py::none(), py::kw_only(),
             py::arg("steps") = py::none())
        .def("capture", &capture, py::arg("focus") = false)
        .def("stop_capture", [](Camera& c) { check(withoutGil([&] { return c.stopCapture(); })); })
        .def("start_live_view",
             [](Camera& c) { check(withoutGil([&] { return c.startLiveView(); })); })
        .def("stop_live_view",
             [](Camera& c) { check(withoutGil([&] { return c.stopLiveView(); })); })
        .def("read_settings", &readNamedSettings, py::arg("names") = std::vector<std::string>{})
        .def("write_settings", &writeNamedSettings, py::arg("values"))
        .def("_read_clock", &readClock)
        .def("_write_clock", &writeClock)
        .def_property_readonly("live_view_geometry", &readLiveViewGeometry)
        .def("_add_sink", &addSink)
        .def("_remove_sink", &removeSink)
        .def("__eq__", [](const Camera& a, const Camera& b) { return a == b; })
        .def("__hash__",
             [](const Camera& c) {
                 return py::hash(py::make_tuple(c.getManufacturer(), c.getModel(),
                                                c.getSerialNumber(), c.getFirmwareVersion()));
             })
        .def("__repr__", [](const Camera& c) {
            return "<Camera " + c.getModel() + " serial " + c.getSerialNumber() + ">";
        });

    m.def(
        "detect",
        [](cc::DeviceInterface interface) {
            return withoutGil([&] { return cc::CameraDeviceDetector::detect(interface); });
        },
        py::arg("interface") = cc::DeviceInterface::USB,
        "The cameras attached now; a camera still held comes back as the same object.");
}

}  // namespace corvane_python
