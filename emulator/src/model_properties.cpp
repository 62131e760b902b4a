// Device properties: descriptions, values and the body's answer to a change.
#include <algorithm>
#include <ctime>

#include "byte_writer.hpp"
#include "camera_model.hpp"
#include "codes.hpp"

namespace Corvane::CameraController::Emulator {

namespace {

constexpr uint16_t kTypeByteArray = 0x4002;

// Properties whose value is a vendor dataset rather than a number.
Bytes byteArrayDesc(uint16_t property, bool settable, const Bytes& value) {
    Wire::ByteWriter w(2 * value.size() + 20);
    w.u16(property).u16(kTypeByteArray).u8(settable ? 1 : 0);
    for (int copy = 0; copy < 2; ++copy) {
        w.u32(static_cast<uint32_t>(value.size())).raw(value.data(), value.size());
    }
    w.u8(0);
    return w.take();
}

template <typename T>
std::vector<uint64_t> widen(const std::vector<T>& values) {
    std::vector<uint64_t> out;
    out.reserve(values.size());
    for (const T v : values) {
        // Signed codes keep their two's-complement pattern in the value's width.
        out.push_back(static_cast<uint64_t>(static_cast<std::make_unsigned_t<T>>(v)));
    }
    return out;
}

std::vector<uint64_t> shutterCodes() {
    std::vector<uint64_t> out;
    for (const auto& s : Exposure::shutterSpeeds()) {
        out.push_back(Wire::shutterCode(s.numerator, s.denominator));
    }
    return out;
}

template <typename T>
bool contains(const std::vector<T>& values, T value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

}  // namespace

std::vector<uint32_t> CameraModel::offeredIsoValues() const {
    std::vector<uint32_t> values = Exposure::isoValues();
    if (Exposure::forbidsAutoIso(exposureMode_)) {
        values.erase(std::remove(values.begin(), values.end(), 0u), values.end());
    }
    return values;
}

Reply CameraModel::getPropDesc(const Operation& op, Clock::time_point now) const {
    const auto property = static_cast<uint16_t>(op.param(0));
    switch (property) {
        case Code::PropBatteryLevel:
            return Reply::withData(Wire::encodePropDescRange(property, Code::TypeUint8, false, 100,
                                                             battery_, 0, 100, 1));
        case Code::PropWhiteBalance:
            return Reply::withData(Wire::encodePropDescEnum(property, Code::TypeUint16, true, 2,
                                                            whiteBalance_,
                                                            widen(Exposure::whiteBalances())));
        case Code::PropFNumber:
            return Reply::withData(Wire::encodePropDescEnum(
                property, Code::TypeUint16, true, 560, fNumber_, widen(Exposure::apertures())));
        case Code::PropExposureBias:
            return Reply::withData(Wire::encodePropDescEnum(property, Code::TypeInt16, true, 0,
                                                            static_cast<uint16_t>(compensation_),
                                                            widen(Exposure::compensations())));
        case Code::PropIso:
            return Reply::withData(Wire::encodePropDescEnum(property, Code::TypeUint32, true, 0,
                                                            iso_, widen(offeredIsoValues())));
        case Code::PropShutterSpeed: {
            const auto current = exposureMode_ == Exposure::kModeBulb ? Exposure::kBulb : shutter_;
            return Reply::withData(Wire::encodePropDescEnum(
                property, Code::TypeUint64, true, Wire::shutterCode(1, 125),
                Wire::shutterCode(current.numerator, current.denominator), shutterCodes()));
        }
        case Code::PropDateTime:
            return Reply::withData(Wire::encodePropDescString(property, true, "20260101T000000",
                                                              Wire::formatDateTime(cameraTime())));
        case Code::PropLiveView:
            return Reply::withData(Wire::encodePropDescEnum(property, Code::TypeUint32, true, 0,
                                                            liveView_ ? 1 : 0, {0, 1}));
        case Code::PropLiveViewGeometry:
        case Code::PropImageFormat:
        case Code::PropFocusPoint: {
            Reply value = getPropValue(op, now);
            const bool settable = property != Code::PropLiveViewGeometry;
            return Reply::withData(byteArrayDesc(
                property, settable, Bytes(value.data.data(), value.data.data() + value.data.size)));
        }
        default:
            return Reply::error(Code::DevicePropNotSupported);
    }
}

Reply CameraModel::getPropValue(const Operation& op, Clock::time_point) const {
    switch (static_cast<uint16_t>(op.param(0))) {
        case Code::PropBatteryLevel:
            return Reply::withData(Wire::encodeValue(Code::TypeUint8, battery_));
        case Code::PropWhiteBalance:
            return Reply::withData(Wire::encodeValue(Code::TypeUint16, whiteBalance_));
        case Code::PropFNumber:
            return Reply::withData(Wire::encodeValue(Code::TypeUint16, fNumber_));
        case Code::PropExposureBias:
            return Reply::withData(
                Wire::encodeValue(Code::TypeInt16, static_cast<uint16_t>(compensation_)));
        case Code::PropIso:
            return Reply::withData(Wire::encodeValue(Code::TypeUint32, iso_));
        case Code::PropShutterSpeed: {
            const auto current = exposureMode_ == Exposure::kModeBulb ? Exposure::kBulb : shutter_;
            return Reply::withData(Wire::encodeValue(
                Code::TypeUint64, Wire::shutterCode(current.numerator, current.denominator)));
        }
        case Code::PropDateTime: {
            Wire::ByteWriter w(40);
            w.string(Wire::formatDateTime(cameraTime()));
            return Reply::withData(w.take());
        }
        case Code::PropLiveView:
            return Reply::withData(Wire::encodeValue(Code::TypeUint32, liveView_ ? 1 : 0));
        case Code::PropLiveViewGeometry:
            return Reply::withData(Wire::encodeLiveViewGeometry(
                config_.liveViewWidth, config_.liveViewHeight, focusPointX_, focusPointY_,
                config_.liveViewWidth / 2, config_.liveViewHeight / 2));
        case Code::PropImageFormat:
            return Reply::withData(Wire::encodeImageFormat(imageFormat_));
        case Code::PropFocusPoint: {
            Wire::ByteWriter w(8);
            w.u32(2).u16(focusPointX_).u16(focusPointY_);
            return Reply::withData(w.take());
        }
        default:
            return Reply::error(Code::DevicePropNotSupported);
    }
}

Reply CameraModel::setPropValue(const Operation& op, Clock::time_point now) {
    const auto property = static_cast<uint16_t>(op.param(0));
    const Bytes& data = op.data;
    const uint32_t mask = Exposure::adjustableMask(exposureMode_);
    const bool fullAuto = exposureMode_ == Exposure::kModeAuto;
    auto sized = [&](size_t n) { return data.size() == n; };
    switch (property) {
        case Code::PropBatteryLevel:
        case Code::PropLiveViewGeometry:
            return Reply::error(Code::AccessDenied);
        case Code::PropWhiteBalance: {
            if (!sized(2)) {
                return Reply::error(Code::InvalidDevicePropFormat);
            }
            if (recording_) {
                return Reply::error(Code::DeviceBusy);
            }
            const uint16_t value = Wire::readU16(data.data());
            if (fullAuto || !contains(Exposure::whiteBalances(), value)) {
                return Reply::error(Code::InvalidDevicePropValue);
            }
            whiteBalance_ = value;
            settlingUntil_ = now + scaled(0.3);
            return Reply::ok();
        }
        case Code::PropFNumber: {
            if (!sized(2)) {
                return Reply::error(Code::InvalidDevicePropFormat);
            }
            const uint16_t value = Wire::readU16(data.data());
            if (!(mask & Exposure::kAdjustAperture) || !contains(Exposure::apertures(), value)) {
                return Reply::error(Code::InvalidDevicePropValue);
            }
            fNumber_ = value;
            return Reply::ok();
        }
        case Code::PropExposureBias: {
            if (!sized(2)) {
                return Reply::error(Code::InvalidDevicePropFormat);
            }
            const auto value = static_cast<int16_t>(Wire::readU16(data.data()));
            if (!(fullAuto || (mask & Exposure::kAdjustCompensation)) ||
                !contains(Exposure::compensations(), value)) {
                return Reply::error(Code::InvalidDevicePropValue);
            }
            compensation_ = value;
            return Reply::ok();
        }
        case Code::PropIso: {
            if (!sized(4)) {
                return Reply::error(Code::InvalidDevicePropFormat);
            }
            const uint32_t value = Wire::readU32(data.data());
            if (!(fullAuto || (mask & Exposure::kAdjustIso)) ||
                !contains(offeredIsoValues(), value)) {
                return Reply::error(Code::InvalidDevicePropValue);
            }
            iso_ = value;
            return Reply::ok();
        }
        case Code::PropShutterSpeed: {
            if (!sized(8)) {
                return Reply::error(Code::InvalidDevicePropFormat);
            }
            const Exposure::ShutterSpeed value{Wire::readU32(data.data()),
                                               Wire::readU32(data.data() + 4)};
            const auto& offered = Exposure::shutterSpeeds();
            if (!(mask & Exposure::kAdjustShutter) || value.numerator == 0 ||
                std::find(offered.begin(), offered.end(), value) == offered.end()) {
                return Reply::error(Code::InvalidDevicePropValue);
            }
            shutter_ = value;
            return Reply::ok();
        }
        case Code::PropDateTime: {
            std::string text;
            size_t consumed = 0;
            int64_t seconds = 0;
            if (!Wire::readPtpString(data.data(), data.size(), text, consumed)) {
                return Reply::error(Code::InvalidDevicePropFormat);
            }
            if (!Wire::parseDateTime(text, seconds)) {
                return Reply::error(Code::InvalidDevicePropValue);
            }
            clockOffset_ = seconds - static_cast<int64_t>(std::time(nullptr));
            return Reply::ok();
        }
        case Code::PropImageFormat: {
            Wire::ImageFormatFields format;
            if (!Wire::decodeImageFormat(data.data(), data.size(), format) ||
                format.header != imageFormat_.header) {
                return Reply::error(Code::InvalidDevicePropFormat);
            }
            if (recording_) {
                return Reply::error(Code::DeviceBusy);
            }
            const bool knownFormat = format.fileFormat <= 2 || format.fileFormat == 5;
            const uint8_t largestSize = config_.model == "QUORIN Brio" ? 2 : 3;
            if (!knownFormat || format.jpegSize > largestSize || format.jpegGrade > 2 ||
                (config_.rawAndJpegOnly && format.fileFormat != 2)) {
                return Reply::error(Code::InvalidDevicePropValue);
            }
            format.rawKind = format.rawKind != 0 ? 1 : 0;
            if (config_.rawAndJpegOnly) {
                format.formatLock = 3;
            }
            imageFormat_ = format;
            settlingUntil_ = now + scaled(0.3);
            return Reply::ok();
        }
        case Code::PropLiveView: {
            if (!sized(4)) {
                return Reply::error(Code::InvalidDevicePropFormat);
            }
            const uint32_t value = Wire::readU32(data.data());
            if (value > 1) {
                return Reply::error(Code::InvalidDevicePropValue);
            }
            liveView_ = value == 1;
            return Reply::ok();
        }
        case Code::PropFocusPoint: {
            if (!sized(8)) {
                return Reply::error(Code::InvalidDevicePropFormat);
            }
            const uint16_t x = Wire::readU16(data.data() + 4);
            const uint16_t y = Wire::readU16(data.data() + 6);
            if (Wire::readU32(data.data()) != 2 || x > config_.liveViewWidth ||
                y > config_.liveViewHeight) {
                return Reply::error(Code::InvalidDevicePropValue);
            }
            focusPointX_ = x;
            focusPointY_ = y;
            return Reply::ok();
        }
        default:
            return Reply::error(Code::DevicePropNotSupported);
    }
}

}  // namespace Corvane::CameraController::Emulator
