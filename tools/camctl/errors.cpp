#include "errors.hpp"

namespace camctl {

std::string errorCodeName(cc::ErrorCode code) {
    switch (code) {
        case cc::ErrorCode::Unclassified:
            return "Unclassified";
        case cc::ErrorCode::NotConnected:
            return "NotConnected";
        case cc::ErrorCode::ImageNotFound:
            return "ImageNotFound";
        case cc::ErrorCode::InvalidValue:
            return "InvalidValue";
        case cc::ErrorCode::InvalidParameter:
            return "InvalidParameter";
        case cc::ErrorCode::StorageFull:
            return "StorageFull";
        case cc::ErrorCode::DeviceError:
            return "DeviceError";
        case cc::ErrorCode::NotSupported:
            return "NotSupported";
        case cc::ErrorCode::VendorSpecific:
            return "VendorSpecific";
        case cc::ErrorCode::PartialDeletion:
            return "PartialDeletion";
        case cc::ErrorCode::Unknown:
            return "Unknown";
    }
    return "ErrorCode" + std::to_string(static_cast<uint32_t>(code));
}

void throwIfFailed(const cc::Response& response, const std::string& what) {
    if (response.getResult() == cc::Result::Ok) {
        return;
    }
    // One exception to the "at least one error" rule exists (a device-settings write without a
    // time), so an empty list must still read as a failure.
    const auto& errors = response.getErrors();
    if (errors.empty()) {
        throw CameraError("Unknown", what + " failed");
    }
    const auto& first = *errors.front();
    const std::string message = first.getMessage().empty() ? what + " failed" : first.getMessage();
    throw CameraError(errorCodeName(first.getCode()), message);
}

}  // namespace camctl
