// The camera's own vocabulary: operation, property, response and format codes.
#pragma once

#include <cstdint>

namespace Corvane::CameraController::Emulator::Code {

// Standard operations.
constexpr uint16_t GetDeviceInfo = 0x1001;
constexpr uint16_t OpenSession = 0x1002;
constexpr uint16_t CloseSession = 0x1003;
constexpr uint16_t GetStorageIDs = 0x1004;
constexpr uint16_t GetStorageInfo = 0x1005;
constexpr uint16_t GetNumObjects = 0x1006;
constexpr uint16_t GetObjectHandles = 0x1007;
constexpr uint16_t GetObjectInfo = 0x1008;
constexpr uint16_t GetObject = 0x1009;
constexpr uint16_t GetThumb = 0x100A;
constexpr uint16_t DeleteObject = 0x100B;
constexpr uint16_t GetDevicePropDesc = 0x1014;
constexpr uint16_t GetDevicePropValue = 0x1015;
constexpr uint16_t SetDevicePropValue = 0x1016;
constexpr uint16_t GetPartialObject = 0x101B;
// MTP extensions for objects of 4 GiB and more.
constexpr uint16_t GetPartialObject64 = 0x95C1;
constexpr uint16_t GetObjectPropValue = 0x9803;
constexpr uint16_t ObjectPropSize = 0xDC04;
constexpr uint16_t InvalidObjectPropCode = 0xA801;

// Vendor operations.
constexpr uint16_t TetherMode = 0x9001;
constexpr uint16_t ImageInfoRequest = 0x9003;
constexpr uint16_t StorageWriting = 0x9004;
constexpr uint16_t LiveViewFrame = 0x9006;
constexpr uint16_t TetherTransferStart = 0x900B;
constexpr uint16_t TetherTransferNext = 0x900C;
constexpr uint16_t TetherTransferData = 0x900D;
constexpr uint16_t TetherRelease = 0x900E;
constexpr uint16_t Condition = 0x900F;
constexpr uint16_t ShutterPress = 0x9011;
constexpr uint16_t ShutterRelease = 0x9012;
constexpr uint16_t FocusMoveCoarse = 0x9016;
constexpr uint16_t FocusMoveSteps = 0x9017;

// Device properties.
constexpr uint16_t PropBatteryLevel = 0x5001;
constexpr uint16_t PropWhiteBalance = 0x5005;
constexpr uint16_t PropFNumber = 0x5007;
constexpr uint16_t PropExposureBias = 0x5010;
constexpr uint16_t PropDateTime = 0x5011;
constexpr uint16_t PropLiveViewGeometry = 0xD009;
constexpr uint16_t PropShutterSpeed = 0xD00F;
constexpr uint16_t PropImageFormat = 0xD01B;
constexpr uint16_t PropIso = 0xD01E;
constexpr uint16_t PropLiveView = 0xD035;
constexpr uint16_t PropFocusPoint = 0xD036;

// Response codes.
constexpr uint16_t Ok = 0x2001;
constexpr uint16_t GeneralError = 0x2002;
constexpr uint16_t SessionNotOpen = 0x2003;
constexpr uint16_t InvalidTransactionId = 0x2004;
constexpr uint16_t OperationNotSupported = 0x2005;
constexpr uint16_t InvalidStorageId = 0x2008;
constexpr uint16_t InvalidObjectHandle = 0x2009;
constexpr uint16_t DevicePropNotSupported = 0x200A;
constexpr uint16_t StoreFull = 0x200C;
constexpr uint16_t ObjectWriteProtected = 0x200D;
constexpr uint16_t AccessDenied = 0x200F;
constexpr uint16_t NoThumbnailPresent = 0x2010;
constexpr uint16_t StoreNotAvailable = 0x2013;
constexpr uint16_t DeviceBusy = 0x2019;
constexpr uint16_t InvalidDevicePropFormat = 0x201B;
constexpr uint16_t InvalidDevicePropValue = 0x201C;
constexpr uint16_t InvalidParameter = 0x201D;
constexpr uint16_t SessionAlreadyOpen = 0x201E;
constexpr uint16_t TransactionCancelled = 0x201F;
/// The camera's answer when its transfer buffer holds nothing to send.
constexpr uint16_t VendorNoObject = 0xA005;

// Object formats.
constexpr uint16_t FormatUndefined = 0x3000;
constexpr uint16_t FormatAssociation = 0x3001;
constexpr uint16_t FormatAvi = 0x300A;
constexpr uint16_t FormatMov = 0x300D;
constexpr uint16_t FormatUnknownImage = 0x3800;
constexpr uint16_t FormatExifJpeg = 0x3801;
constexpr uint16_t FormatJfif = 0x3808;
constexpr uint16_t FormatTiff = 0x380D;
constexpr uint16_t FormatMp4 = 0xB982;

// PTP data types of device properties.
constexpr uint16_t TypeInt16 = 0x0003;
constexpr uint16_t TypeUint8 = 0x0002;
constexpr uint16_t TypeUint16 = 0x0004;
constexpr uint16_t TypeUint32 = 0x0006;
constexpr uint16_t TypeUint64 = 0x0008;
constexpr uint16_t TypeString = 0xFFFF;

}  // namespace Corvane::CameraController::Emulator::Code
