// The emulated camera, so that scripts and tests run without hardware.
#include <chrono>

#include <pybind11/stl.h>

#include <corvane/emulator/emulated_camera.hpp>

#include "binding.hpp"
#include "camera_model.hpp"

namespace corvane_python {

namespace {

namespace emu = cc::Emulator;

// A file is a path, or a (path, size) pair.
emu::FileSpec fileOf(const py::handle& file) {
    if (py::isinstance<py::str>(file)) {
        return emu::FileSpec{file.cast<std::string>(), 0, false};
    }
    const auto [path, size] = file.cast<std::tuple<std::string, uint64_t>>();
    return emu::FileSpec{path, size, false};
}

std::vector<emu::FileSpec> filesOf(const py::handle& files) {
    std::vector<emu::FileSpec> specs;
    if (!files.is_none()) {
        for (const auto& file : files) {
            specs.push_back(fileOf(file));
        }
    }
    return specs;
}

// A slot is None (no card), a capacity in bytes, or an object with `capacity`, `files` and
// `recording` attributes (corvane.emulator.Card).
emu::CardSlotConfig slotOf(const py::handle& card) {
    emu::CardSlotConfig slot;
    if (card.is_none()) {
        slot.cardInserted = false;
    } else if (py::isinstance<py::int_>(card)) {
        slot.capacity = card.cast<uint64_t>();
    } else {
        slot.capacity = card.attr("capacity").cast<uint64_t>();
        slot.files = filesOf(card.attr("files"));
        slot.recording = card.attr("recording").cast<bool>();
    }
    return slot;
}

// `cards`: None for the model's own slots (a card in the first); a count of slots that all hold
// an empty card; or one entry per slot.
std::vector<emu::CardSlotConfig> slotsOf(const py::object& cards) {
    std::vector<emu::CardSlotConfig> slots;
    if (cards.is_none()) {
        return slots;
    }
    if (py::isinstance<py::int_>(cards)) {
        const int count = cards.cast<int>();
        if (count < 0) {
            throw py::value_error("cards must not be negative");
        }
        slots.resize(static_cast<size_t>(count));
        return slots;
    }
    for (const auto& card : cards) {
        slots.push_back(slotOf(card));
    }
    return slots;
}

std::shared_ptr<emu::EmulatedCamera> create(const std::string& model, const py::object& cards,
                                            double timeScale, const std::string& serialNumber,
                                            const std::string& firmwareVersion,
                                            unsigned batteryLevel, bool attach) {
    if (timeScale < 0) {
        throw py::value_error("time_scale must not be negative");
    }
    if (batteryLevel > 100) {
        throw py::value_error("battery_level is a percentage");
    }
    emu::CameraConfig config;
    config.model = model;
    config.slots = slotsOf(cards);
    config.timeScale = timeScale;
    config.serialNumber = serialNumber;
    config.firmwareVersion = firmwareVersion;
    config.batteryLevel = static_cast<uint8_t>(batteryLevel);
    auto camera = withoutGil([&] { return emu::EmulatedCamera::create(config); });
    if (attach) {
        camera->attach();
    }
    return camera;
}

py::dict snapshotOf(const emu::EmulatedCamera& camera) {
    const emu::CameraSnapshot s = camera.snapshot();
    py::dict d;
    d["plugged"] = s.plugged;
    d["session_open"] = s.sessionOpen;
    d["tether_mode"] = s.tetherMode;
    d["live_view"] = s.liveView;
    d["movie_mode"] = s.movieMode;
    d["recording"] = s.recording;
    d["busy"] = s.busy;
    d["exposure_mode"] = s.exposureMode;
    d["iso"] = s.iso;
    d["f_number"] = s.fNumber;
    d["focus_position"] = s.focusPosition;
    d["battery_level"] = s.batteryLevel;
    return d;
}

py::list objectsOf(const emu::EmulatedCamera& camera) {
    py::list objects;
    for (const auto& object : camera.objects()) {
        py::dict d;
        d["handle"] = object.handle;
        d["storage_id"] = object.storageId;
        d["format"] = object.format;
        d["path"] = object.path;
        d["size"] = object.size;
        objects.append(d);
    }
    return objects;
}

}  // namespace

void bindEmulator(py::module_& m) {
    using Emulated = emu::EmulatedCamera;
    py::class_<Emulated, std::shared_ptr<Emulated>>(m, "EmulatedCamera",
                                                    "An emulated Quorin camera on the USB list.")
        .def(py::init(&create), py::kw_only(), py::arg("model") = "QUORIN Alto II",
             py::arg("cards") = py::none(), py::arg("time_scale") = 1.0,
             py::arg("serial_number") = "3000001", py::arg("firmware_version") = "1.50",
             py::arg("battery_level") = 80, py::arg("attach") = true)
        .def_property_readonly("id", &Emulated::id)
        .def_property_readonly("model", &Emulated::model)
        .def_property_readonly(
            "serial_number",
            [](const Emulated& e) { return e.modelState()->config().serialNumber; })
        .def("attach", &Emulated::attach)
        .def("detach", &Emulated::detach)
        .def("unplug", &Emulated::unplug, py::call_guard<py::gil_scoped_release>())
        .def("replug", &Emulated::replug)
        .def_property_readonly("plugged", &Emulated::isPlugged)
        .def("set_exposure_mode", &Emulated::setExposureMode, py::arg("mode"))
        .def("set_f_number", &Emulated::setFNumber, py::arg("hundredths"))
        .def("set_shutter_speed", &Emulated::setShutterSpeed, py::arg("numerator"),
             py::arg("denominator"))
        .def("set_iso", &Emulated::setIso, py::arg("iso"))
        .def("set_white_balance", &Emulated::setWhiteBalance, py::arg("code"))
        .def("set_exposure_compensation", &Emulated::setExposureCompensation,
             py::arg("thousandths"))
        .def("set_movie_mode", &Emulated::setMovieMode, py::arg("movie"))
        .def("set_battery_level", &Emulated::setBatteryLevel, py::arg("level"))
        .def("set_capture_inhibited", &Emulated::setCaptureInhibited, py::arg("inhibited"))
        .def("press_shutter", &Emulated::pressShutter)
        .def(
            "insert_card",
            [](Emulated& e, unsigned slot, uint64_t capacity, const py::object& files) {
                return e.insertCard(slot, capacity, filesOf(files));
            },
            py::arg("slot"), py::arg("capacity") = 64ull << 30, py::arg("files") = py::none())
        .def("remove_card", &Emulated::removeCard, py::arg("slot"))
        .def(
            "add_file",
            [](Emulated& e, unsigned slot, const py::object& file) {
                return e.addFile(slot, fileOf(file));
            },
            py::arg("slot"), py::arg("file"))
        .def("objects", &objectsOf)
        .def("fail_next", &Emulated::failNext, py::arg("operation"), py::arg("response_code"),
             py::arg("times") = 1)
        .def("fail_always", &Emulated::failAlways, py::arg("operation"), py::arg("response_code"))
        .def("clear_faults", &Emulated::clearFaults)
        .def(
            "set_latency",
            [](Emulated& e, double seconds) {
                e.setLatency(std::chrono::microseconds(static_cast<int64_t>(seconds * 1e6)));
            },
            py::arg("seconds"))
        .def("set_time_scale", &Emulated::setTimeScale, py::arg("scale"))
        .def("snapshot", &snapshotOf)
        .def("__enter__", [](const std::shared_ptr<Emulated>& e) { return e; })
        .def("__exit__", [](Emulated& e, py::args) { e.detach(); })
        .def("__repr__", [](const Emulated& e) { return "<EmulatedCamera " + e.model() + ">"; });
}

}  // namespace corvane_python
