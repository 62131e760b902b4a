// The adapter's vocabulary: operation and property codes, and the turning of camera response
// codes into Error records and diagnostic lines.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "common/classic_text.hpp"
#include "corvane/camera_controller/response.hpp"
#include "mtp/mtp_device.hpp"

namespace Corvane::CameraController::Impl {

namespace OperationCode {
constexpr uint16_t GetDeviceInfo = 0x1001;
constexpr uint16_t OpenSession = 0x1002;
constexpr uint16_t GetStorageIDs = 0x1004;
constexpr uint16_t GetStorageInfo = 0x1005;
constexpr uint16_t GetObjectHandles = 0x1007;
constexpr uint16_t GetObjectInfo = 0x1008;
constexpr uint16_t GetThumb = 0x100A;
constexpr uint16_t DeleteObject = 0x100B;
constexpr uint16_t GetDevicePropDesc = 0x1014;
constexpr uint16_t GetDevicePropValue = 0x1015;
constexpr uint16_t SetDevicePropValue = 0x1016;
constexpr uint16_t GetPartialObject = 0x101B;
/// MTP extensions for objects of 4 GiB and more.
constexpr uint16_t GetPartialObject64 = 0x95C1;
constexpr uint16_t GetObjectPropValue = 0x9803;
constexpr uint16_t TetherMode = 0x9001;
constexpr uint16_t ImageInformationRequest = 0x9003;
constexpr uint16_t StorageWriting = 0x9004;
constexpr uint16_t LiveViewFrame = 0x9006;
constexpr uint16_t TetherImageTransfer = 0x900B;
constexpr uint16_t TetherImageTransferData = 0x900C;
constexpr uint16_t TetherImageTransferEnd = 0x900D;
constexpr uint16_t TetherImageRelease = 0x900E;
constexpr uint16_t CameraCondition = 0x900F;
constexpr uint16_t ShutterButtonAction = 0x9011;
constexpr uint16_t ShutterButtonRelease = 0x9012;
constexpr uint16_t FocusMoveCoarse = 0x9016;
constexpr uint16_t FocusMoveSteps = 0x9017;
}  // namespace OperationCode

namespace PropertyCode {
constexpr uint16_t BatteryLevel = 0x5001;
constexpr uint16_t WhiteBalance = 0x5005;
constexpr uint16_t FNumber = 0x5007;
constexpr uint16_t ExposureBiasCompensation = 0x5010;
constexpr uint16_t DateTime = 0x5011;
constexpr uint16_t LiveViewGeometry = 0xD009;
constexpr uint16_t ShutterSpeed = 0xD00F;
constexpr uint16_t ImageFormat = 0xD01B;
constexpr uint16_t IsoSensitivity = 0xD01E;
constexpr uint16_t LiveViewSwitch = 0xD035;
constexpr uint16_t AutofocusPoint = 0xD036;
}  // namespace PropertyCode

constexpr uint16_t kResponseOk = 0x2001;
constexpr uint16_t kResponseDeviceBusy = 0x2019;
/// MTP object property ObjectSize: the size as an unsigned 64-bit value.
constexpr uint16_t kObjectPropertySize = 0xDC04;

/// MTP response code to ErrorCode; built once, never changed. Codes absent from it are Unknown.
const std::map<uint16_t, ErrorCode>& responseCodeTable();

/// The Error for a failed transaction's response code: the table's ErrorCode (Unknown with the
/// prefix "Unknown MTP response code: " when absent) and "0x" plus the code in lower-case hex,
/// except for the vendor codes 0xA001 to 0xA00D, which get no number.
std::shared_ptr<Error> makeErrorFromMtpCode(uint16_t code);
/// Result::Error with the one Error of makeErrorFromMtpCode(response.responseCode).
Response makeResponseFromMtpCode(const MtpResponse& response);
/// Result::Error with one new Error(code, message).
Response makeErrorResponse(ErrorCode code, const std::string& message);
/// Writes "<tag> res = 0x<code>" as one diagnostic line (just the tag for 0xA001 to 0xA00D).
void logResponseError(uint16_t code, const std::string& tag);

/// Whether the DeviceInfo of `device` listed `operationCode`.
bool isOperationSupported(MtpDevice& device, uint16_t operationCode);
/// The model's code for the tether-mode operation; 0 for a model the adapter does not know.
uint32_t modelCode(const std::string& model);

}  // namespace Corvane::CameraController::Impl
