// Enumerations and the translation of failed responses into Python exceptions.
#include "binding.hpp"

namespace corvane_python {

namespace {

// The exception classes live in corvane/_errors.py, imported when the first failure is raised.
py::object makeException(cc::ErrorCode code, const std::string& message, const py::list& errors) {
    return py::module_::import("corvane._errors").attr("make_error")(code, message, errors);
}

[[noreturn]] void raiseObject(const py::object& exception) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
    throw py::error_already_set();
}

}  // namespace

void raiseFailure(const cc::Response& response) {
    py::list errors;
    for (const auto& error : response.getErrors()) {
        errors.append(py::make_tuple(error->getCode(), error->getMessage()));
    }
    const auto& all = response.getErrors();
    const cc::ErrorCode code = all.empty() ? cc::ErrorCode::Unclassified : all.front()->getCode();
    const std::string message = all.empty() ? std::string() : all.front()->getMessage();
    raiseObject(makeException(code, message, errors));
}

void raiseError(cc::ErrorCode code, const std::string& message) {
    py::list errors;
    errors.append(py::make_tuple(code, message));
    raiseObject(makeException(code, message, errors));
}

bool interpreterRunning() {
#if PY_VERSION_HEX >= 0x030D0000
    return Py_IsInitialized() && !Py_IsFinalizing();
#else
    return Py_IsInitialized() && !_Py_IsFinalizing();
#endif
}

void bindTypes(py::module_& m) {
    py::enum_<cc::ErrorCode>(m, "ErrorCode")
        .value("Unclassified", cc::ErrorCode::Unclassified)
        .value("NotConnected", cc::ErrorCode::NotConnected)
        .value("ImageNotFound", cc::ErrorCode::ImageNotFound)
        .value("InvalidValue", cc::ErrorCode::InvalidValue)
        .value("InvalidParameter", cc::ErrorCode::InvalidParameter)
        .value("StorageFull", cc::ErrorCode::StorageFull)
        .value("DeviceError", cc::ErrorCode::DeviceError)
        .value("NotSupported", cc::ErrorCode::NotSupported)
        .value("VendorSpecific", cc::ErrorCode::VendorSpecific)
        .value("PartialDeletion", cc::ErrorCode::PartialDeletion)
        .value("Unknown", cc::ErrorCode::Unknown);
    py::enum_<cc::DeviceInterface>(m, "DeviceInterface").value("USB", cc::DeviceInterface::USB);
    py::enum_<cc::ImageType>(m, "ImageType")
        .value("Unknown", cc::ImageType::Unknown)
        .value("StillImage", cc::ImageType::StillImage)
        .value("Movie", cc::ImageType::Movie);
    py::enum_<cc::ImageFormat>(m, "ImageFormat")
        .value("Unknown", cc::ImageFormat::Unknown)
        .value("JPEG", cc::ImageFormat::JPEG)
        .value("TIFF", cc::ImageFormat::TIFF)
        .value("DPOF", cc::ImageFormat::DPOF)
        .value("QRW", cc::ImageFormat::QRW)
        .value("DNG", cc::ImageFormat::DNG)
        .value("MP4", cc::ImageFormat::MP4)
        .value("MOV", cc::ImageFormat::MOV)
        .value("AVI", cc::ImageFormat::AVI);
    py::enum_<cc::StorageType>(m, "StorageType")
        .value("Unknown", cc::StorageType::Unknown)
        .value("FixedROM", cc::StorageType::FixedROM)
        .value("RemovableROM", cc::StorageType::RemovableROM)
        .value("FixedRAM", cc::StorageType::FixedRAM)
        .value("RemovableRAM", cc::StorageType::RemovableRAM);
    py::enum_<cc::StoragePermission>(m, "StoragePermission")
        .value("Unknown", cc::StoragePermission::Unknown)
        .value("ReadWrite", cc::StoragePermission::ReadWrite)
        .value("ReadOnly", cc::StoragePermission::ReadOnly)
        .value("ReadOnlyWithDeletion", cc::StoragePermission::ReadOnlyWithDeletion);
    py::enum_<cc::ListingState>(m, "ListingState")
        .value("Idle", cc::ListingState::Idle)
        .value("Running", cc::ListingState::Running)
        .value("Paused", cc::ListingState::Paused)
        .value("Complete", cc::ListingState::Complete)
        .value("Stopped", cc::ListingState::Stopped)
        .value("Failed", cc::ListingState::Failed);
    py::enum_<cc::CaptureState>(m, "CaptureState")
        .value("Unknown", cc::CaptureState::Unknown)
        .value("Executing", cc::CaptureState::Executing)
        .value("Complete", cc::CaptureState::Complete);
}

}  // namespace corvane_python
