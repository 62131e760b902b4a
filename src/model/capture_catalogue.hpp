// The capture setting catalogue as a table, for the library-side helpers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/capture_setting_access.hpp"

namespace Corvane::CameraController::Impl {

struct CatalogueClass {
    std::string name;
    std::function<std::unique_ptr<CaptureSetting>()> create;
    /// A copy of `value` when it is of this class's value class, else null.
    std::function<std::unique_ptr<CaptureSettingValue>(const CaptureSettingValue&)> cloneValue;
    std::vector<const CaptureSetting*> singletons;
};

/// The twelve classes in catalogue order. Built on first use, which must come after static
/// initialisation of the library (the singletons must exist).
const std::vector<CatalogueClass>& catalogue();
/// The entry named `name`, or null.
const CatalogueClass* findCatalogueClass(const std::string& name);

}  // namespace Corvane::CameraController::Impl
