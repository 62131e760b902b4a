#include "model/capture_setting_access.hpp"

#include <algorithm>
#include <stdexcept>

#include "model/capture_catalogue.hpp"

namespace Corvane::CameraController::Impl {

namespace {

const CatalogueClass& classOf(const CaptureSetting& setting) {
    const CatalogueClass* entry = findCatalogueClass(setting.getName());
    if (entry == nullptr) {
        throw std::invalid_argument("not a catalogue setting: " + setting.getName());
    }
    return *entry;
}

}  // namespace

void CaptureSettingAccess::clearAvailable(CaptureSetting& setting) {
    setting.availableSettings.clear();
}

void CaptureSettingAccess::appendAvailable(CaptureSetting& setting,
                                           const CaptureSetting* singleton) {
    if (singleton == nullptr || singleton->name != setting.name) {
        throw std::invalid_argument("available value for " + setting.name +
                                    " must be a setting of the same class");
    }
    setting.availableSettings.push_back(singleton);
}

bool CaptureSettingAccess::removeFirstAvailable(CaptureSetting& setting,
                                                const CaptureSetting* singleton) {
    auto& available = setting.availableSettings;
    const auto found = std::find(available.begin(), available.end(), singleton);
    if (found == available.end()) {
        return false;
    }
    available.erase(found);
    return true;
}

void CaptureSettingAccess::copyValue(CaptureSetting& setting, const CaptureSetting& source) {
    if (source.name != setting.name) {
        throw std::invalid_argument("cannot copy a " + source.name + " value into " + setting.name);
    }
    setting.value = cloneValue(source.getValue());
}

std::unique_ptr<CaptureSetting> CaptureSettingAccess::create(const std::string& name) {
    const CatalogueClass* entry = findCatalogueClass(name);
    return entry != nullptr ? entry->create() : nullptr;
}

std::unique_ptr<CaptureSetting> CaptureSettingAccess::clone(const CaptureSetting& source) {
    auto copy = classOf(source).create();
    if (source.value) {
        copy->value = cloneValue(*source.value);
    }
    return copy;
}

std::unique_ptr<CaptureSettingValue> CaptureSettingAccess::cloneValue(
    const CaptureSettingValue& value) {
    for (const auto& entry : catalogue()) {
        if (auto copy = entry.cloneValue(value)) {
            return copy;
        }
    }
    throw std::invalid_argument("not a catalogue value: " + value.toString());
}

const std::vector<const CaptureSetting*>& CaptureSettingAccess::singletons(
    const std::string& name) {
    static const std::vector<const CaptureSetting*> none;
    const CatalogueClass* entry = findCatalogueClass(name);
    return entry != nullptr ? entry->singletons : none;
}

const std::vector<std::string>& CaptureSettingAccess::names() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> result;
        for (const auto& entry : catalogue()) {
            result.push_back(entry.name);
        }
        return result;
    }();
    return all;
}

}  // namespace Corvane::CameraController::Impl
