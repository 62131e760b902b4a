#include "settings.hpp"

#include <algorithm>

#include <pybind11/stl.h>

#include "model/capture_catalogue.hpp"

namespace corvane_python {

namespace {

// The classes the library writes; it skips the others with a warning yet answers Ok, which a
// script would read as success. Those are set on the camera body.
const std::vector<std::string>& writableSettings() {
    static const std::vector<std::string> names = {"FNumber",
                                                   "ExposureCompensation",
                                                   "ISO",
                                                   "WhiteBalance",
                                                   "ShutterSpeed",
                                                   "StorageWriting",
                                                   "StillImageCaptureFormat",
                                                   "StillImageQuality"};
    return names;
}

bool isWritable(const std::string& name) {
    const auto& names = writableSettings();
    return std::find(names.begin(), names.end(), name) != names.end();
}

const cc::Impl::CatalogueClass& catalogueClass(const std::string& name) {
    const auto* entry = cc::Impl::findCatalogueClass(name);
    if (!entry) {
        throw py::key_error("no capture setting named '" + name + "'");
    }
    return *entry;
}

const cc::CaptureSetting& singletonWithText(const cc::Impl::CatalogueClass& entry,
                                            const std::string& text) {
    for (const auto* singleton : entry.singletons) {
        if (singleton->getValue().toString() == text) {
            return *singleton;
        }
    }
    throw py::value_error("'" + text + "' is not a value of " + entry.name +
                          " (see corvane.CAPTURE_SETTINGS['" + entry.name + "'])");
}

py::dict catalogueTexts() {
    py::dict texts;
    for (const auto& entry : cc::Impl::catalogue()) {
        py::tuple values(entry.singletons.size());
        for (size_t i = 0; i < entry.singletons.size(); ++i) {
            values[i] = py::str(entry.singletons[i]->getValue().toString());
        }
        texts[py::str(entry.name)] = values;
    }
    return texts;
}

}  // namespace

SettingSnapshot snapshotOf(const cc::CaptureSetting& setting) {
    SettingSnapshot snapshot{setting.getName(), std::nullopt, {}};
    if (setting.hasValue()) {
        snapshot.value = setting.getValue().toString();
    }
    for (const auto* available : setting.getAvailableSettings()) {
        snapshot.available.push_back(available->getValue().toString());
    }
    return snapshot;
}

std::vector<SettingSnapshot> readSettings(cc::CameraDevice& camera,
                                          const std::vector<std::string>& names) {
    std::vector<std::unique_ptr<cc::CaptureSetting>> owned;
    if (names.empty()) {
        for (const auto& entry : cc::Impl::catalogue()) {
            owned.push_back(entry.create());
        }
    } else {
        for (const auto& name : names) {
            owned.push_back(catalogueClass(name).create());
        }
    }
    std::vector<cc::CaptureSetting*> settings;
    for (const auto& setting : owned) {
        settings.push_back(setting.get());
    }
    check(withoutGil([&] { return camera.getCaptureSettings(settings); }));
    std::vector<SettingSnapshot> snapshots;
    for (const auto* setting : settings) {
        snapshots.push_back(snapshotOf(*setting));
    }
    return snapshots;
}

void writeSettings(cc::CameraDevice& camera,
                   const std::vector<std::pair<std::string, std::string>>& values) {
    std::vector<const cc::CaptureSetting*> settings;
    for (const auto& [name, text] : values) {
        const auto& entry = catalogueClass(name);
        if (!isWritable(name)) {
            raiseError(cc::ErrorCode::NotSupported, name + " is set on the camera itself");
        }
        settings.push_back(&singletonWithText(entry, text));
    }
    check(withoutGil([&] { return camera.setCaptureSettings(settings); }));
}

void bindSettings(py::module_& m) {
    py::class_<SettingSnapshot>(m, "Setting", "A capture setting as the camera reported it.")
        .def_readonly("name", &SettingSnapshot::name)
        .def_readonly("value", &SettingSnapshot::value, "The value text; None when unset.")
        .def_readonly("available", &SettingSnapshot::available,
                      "The value texts the camera accepts now, in the camera's order.")
        .def("__str__",
             [](const SettingSnapshot& s) { return s.name + ": " + s.value.value_or("no value"); })
        .def("__repr__", [](const SettingSnapshot& s) {
            return "<Setting " + s.name + "=" + (s.value ? "'" + *s.value + "'" : "None") + ">";
        });
    m.attr("CAPTURE_SETTINGS") = catalogueTexts();
    m.attr("WRITABLE_SETTINGS") = py::frozenset(py::cast(writableSettings()));
}

}  // namespace corvane_python
