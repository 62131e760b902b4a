// Finding, opening and identifying the devices WPD lists.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mtp/wpd/wpd_api.hpp"

namespace Corvane::CameraController::Impl {

/// One device as WPD lists it. The identity strings stay empty until the device is opened
/// (and stay empty for a value the device did not deliver).
struct WpdDeviceRecord {
    std::string manufacturer;
    std::string model;
    std::string serialNumber;
    std::string firmwareVersion;
    /// The PnP id as wpdDeviceKey() makes it: the device's identity inside the transport.
    std::string pnpDeviceId;
};

/// An opened device: its record with the identity read, its MTP session started, and the PnP
/// id as WPD gave it, which every later Open uses.
struct WpdDeviceHandle {
    WpdDeviceRecord record;
    std::wstring widePnpId;
};

/// Records of every attached device in WPD's order. False when WPD cannot be asked.
bool listWpdDevices(WpdApi& api, std::vector<WpdDeviceRecord>& records);

/// The wide PnP id of the attached device whose key equals `pnpDeviceId`; nothing when no such
/// device is attached or WPD cannot be asked. One listing, no retries.
std::optional<std::wstring> findWpdDevice(WpdApi& api, const std::string& pnpDeviceId);

/// Opens the device: reads its identity over a connection of its own and starts MTP session 1.
/// Nothing when the device is gone, refuses access even for reading, cannot tell its
/// identity or firmware version, or answers OpenSession with anything but 0x2001. The WPD
/// connection used here is not kept. Blocks for a WPD open and one transaction.
std::optional<WpdDeviceHandle> openWpdDevice(WpdApi& api, const WpdDeviceRecord& record);

}  // namespace Corvane::CameraController::Impl
