// The catalogue as data: each class's name, factory, value copier and singletons in
// declaration order.
#include "model/capture_catalogue.hpp"

#include <stdexcept>

namespace Corvane::CameraController::Impl {

namespace {

template <class Setting, class Value>
CatalogueClass describe(std::vector<const CaptureSetting*> singletons) {
    CatalogueClass entry;
    entry.name = CaptureSettingAccess::nameOf<Setting>();
    entry.create = [] { return std::unique_ptr<CaptureSetting>(new Setting()); };
    entry.cloneValue =
        [](const CaptureSettingValue& value) -> std::unique_ptr<CaptureSettingValue> {
        const auto* same = dynamic_cast<const Value*>(&value);
        if (same == nullptr) {
            return nullptr;
        }
        return std::make_unique<Value>(*same);
    };
    entry.singletons = std::move(singletons);
    return entry;
}

}  // namespace

// One list element per singleton, in the order of its values list.
#define CORVANE_CATALOGUE_ENTRY(Class, Member, Payload) Class::Member,

const std::vector<CatalogueClass>& catalogue() {
    static const std::vector<CatalogueClass> classes = {
        describe<CaptureMethod, CaptureMethodValue>(
            {CORVANE_CAPTURE_METHOD_VALUES(CORVANE_CATALOGUE_ENTRY)}),
        describe<ExposureCompensation, ExposureCompensationValue>(
            {CORVANE_EXPOSURE_COMPENSATION_VALUES(CORVANE_CATALOGUE_ENTRY)}),
        describe<ExposureProgram, ExposureProgramValue>(
            {CORVANE_EXPOSURE_PROGRAM_VALUES(CORVANE_CATALOGUE_ENTRY)}),
        describe<FNumber, FNumberValue>({CORVANE_FNUMBER_VALUES(CORVANE_CATALOGUE_ENTRY)}),
        describe<AgileOperationEnable, AgileOperationEnableValue>(
            {CORVANE_AGILE_OPERATION_ENABLE_VALUES(CORVANE_CATALOGUE_ENTRY)}),
        describe<ISO, ISOValue>({CORVANE_ISO_VALUES(CORVANE_CATALOGUE_ENTRY)}),
        describe<ShutterSpeed, ShutterSpeedValue>(
            {CORVANE_SHUTTER_SPEED_VALUES(CORVANE_CATALOGUE_ENTRY)}),
        describe<StillImageCaptureFormat, StillImageCaptureFormatValue>(
            {CORVANE_STILL_IMAGE_CAPTURE_FORMAT_VALUES(CORVANE_CATALOGUE_ENTRY)}),
        describe<StillImageQuality, StillImageQualityValue>(
            {CORVANE_STILL_IMAGE_QUALITY_VALUES(CORVANE_CATALOGUE_ENTRY)}),
        describe<StorageWriting, StorageWritingValue>(
            {CORVANE_STORAGE_WRITING_VALUES(CORVANE_CATALOGUE_ENTRY)}),
        describe<UserCaptureSettingsMode, UserCaptureSettingsModeValue>(
            {CORVANE_USER_CAPTURE_SETTINGS_MODE_VALUES(CORVANE_CATALOGUE_ENTRY)}),
        describe<WhiteBalance, WhiteBalanceValue>(
            {CORVANE_WHITE_BALANCE_VALUES(CORVANE_CATALOGUE_ENTRY)}),
    };
    return classes;
}

#undef CORVANE_CATALOGUE_ENTRY

const CatalogueClass* findCatalogueClass(const std::string& name) {
    for (const auto& entry : catalogue()) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace Corvane::CameraController::Impl
