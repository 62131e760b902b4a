// Operation codes, response-code mapping and tether mode.
#include "adapter/adapter_codes.hpp"
#include "adapter/camera_model_profile.hpp"

#include <algorithm>

#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "common/diagnostics.hpp"

namespace Corvane::CameraController::Impl {

namespace {

// The vendor codes 0xA001..0xA00D carry their meaning in the ErrorCode alone.
bool isPlainVendorCode(uint16_t code) {
    return code >= 0xA001 && code <= 0xA00D;
}

std::map<uint16_t, ErrorCode> buildResponseCodeTable() {
    std::map<uint16_t, ErrorCode> table;
    for (uint16_t code = 0x02FA; code <= 0x02FF; ++code) {
        table[code] = ErrorCode::Unclassified;
    }
    for (const uint16_t code :
         {0x2000, 0x2002, 0x2003, 0x2004, 0x2005, 0x200B, 0x200D, 0x200E, 0x200F, 0x2013, 0x2014,
          0x2016, 0x2017, 0x2019, 0xA001, 0xA005, 0xA007}) {
        table[code] = ErrorCode::DeviceError;
    }
    table[0x2006] = ErrorCode::InvalidParameter;
    table[0x201D] = ErrorCode::InvalidParameter;
    table[0x2009] = ErrorCode::ImageNotFound;
    table[0x2010] = ErrorCode::ImageNotFound;
    table[0x200A] = ErrorCode::NotSupported;
    table[0xA80A] = ErrorCode::NotSupported;
    table[0x200C] = ErrorCode::StorageFull;
    table[0x2012] = ErrorCode::PartialDeletion;
    table[0x201B] = ErrorCode::InvalidValue;
    table[0x201C] = ErrorCode::InvalidValue;
    table[0xA004] = ErrorCode::VendorSpecific;
    return table;
}

// Built during static initialisation so that no camera operation ever races its creation.
[[maybe_unused]] const std::map<uint16_t, ErrorCode>& tableAtLoad = responseCodeTable();

}  // namespace

const std::map<uint16_t, ErrorCode>& responseCodeTable() {
    static const std::map<uint16_t, ErrorCode> table = buildResponseCodeTable();
    return table;
}

std::shared_ptr<Error> makeErrorFromMtpCode(uint16_t code) {
    const auto& table = responseCodeTable();
    const auto found = table.find(code);
    ErrorCode errorCode = ErrorCode::Unknown;
    std::string message;
    if (found == table.end()) {
        message = "Unknown MTP response code: ";
    } else {
        errorCode = found->second;
    }
    if (!isPlainVendorCode(code)) {
        message += "0x" + lowerHex(code);
    }
    return std::make_shared<Error>(errorCode, message);
}

Response makeResponseFromMtpCode(const MtpResponse& response) {
    return Response(Result::Error, makeErrorFromMtpCode(response.responseCode));
}

Response makeErrorResponse(ErrorCode code, const std::string& message) {
    return Response(Result::Error, std::make_shared<Error>(code, message));
}

void logResponseError(uint16_t code, const std::string& tag) {
    if (isPlainVendorCode(code)) {
        writeDiagnostic(tag);
    } else {
        writeDiagnostic(tag + " res = 0x" + lowerHex(code));
    }
}

bool isOperationSupported(MtpDevice& device, uint16_t operationCode) {
    const std::vector<uint16_t> supported = device.getSupportedOperations();
    return std::find(supported.begin(), supported.end(), operationCode) != supported.end();
}

uint32_t modelCode(const std::string& model) {
    return modelProfile(model).code;
}

bool QuorinCameraDeviceMtpUsbAdapter::isOperationSupported(uint16_t operationCode) const {
    const auto transport = getMtpDevice();
    return transport != nullptr && Impl::isOperationSupported(*transport, operationCode);
}

Response QuorinCameraDeviceMtpUsbAdapter::setTetherMode(bool on) {
    if (lockHost() == nullptr) {
        return makeErrorResponse(ErrorCode::Unknown, "camera object is deleted");
    }
    const uint32_t mode = on ? 1 : 0;
    const MtpResponse response =
        execute(OperationCode::TetherMode, {0x0D, modelCode(deviceModel()), mode, 1, 0});
    if (response.responseCode != kResponseOk) {
        return makeResponseFromMtpCode(response);
    }
    return Response(Result::Ok);
}

}  // namespace Corvane::CameraController::Impl
