// The narrow view of one connected camera that the adapter's parts work through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "adapter/adapter_host.hpp"
#include "adapter/quorin_camera_condition.hpp"
#include "mtp/mtp_device.hpp"

namespace Corvane::CameraController::Impl {

/// Transactions on the bound transport, the condition record and the owning device. The
/// adapter implements it; a part holds a reference to it and never sees the adapter's fields.
/// Every call is thread-safe and takes no lock that is held across a transaction.
class CameraPort {
public:
    virtual ~CameraPort() = default;

    /// Runs one transaction on the bound transport; code 0 when none is bound.
    virtual MtpResponse execute(const MtpRequest& request) const = 0;
    /// Refreshes the condition from the camera (0x900F); false keeps the previous record.
    virtual bool updateCondition() = 0;
    /// The current condition record; null before the first successful refresh.
    virtual std::shared_ptr<QuorinCameraCondition> getCondition() const = 0;
    /// The owning device, or null when it no longer exists.
    virtual std::shared_ptr<AdapterHost> lockHost() const = 0;
    /// Whether the camera is connected: a transport bound and open, and connect done.
    virtual bool isConnected() const = 0;
    /// Whether the camera stores captures on its cards (0x9012's mode 3) rather than only in
    /// its transfer buffer.
    virtual bool isStorageWriting() const = 0;
    virtual void setStorageWriting(bool on) = 0;
    /// After a write of `propertyCode`: the change tracking takes that property's words from
    /// the current condition, so the write is not reported as a camera-side change.
    virtual void takeRememberedWordsOf(uint16_t propertyCode) = 0;

    /// Shorthand for a transaction without data phase.
    MtpResponse execute(uint16_t operationCode, std::vector<uint32_t> parameters) const;
    /// GetDevicePropDesc or GetDevicePropValue (`operationCode`) of `propertyCode`.
    MtpResponse readProperty(uint16_t operationCode, uint16_t propertyCode) const;
    /// SetDevicePropValue of `propertyCode` with `value` as the data phase.
    MtpResponse writeProperty(uint16_t propertyCode, const std::vector<uint8_t>& value) const;
    /// The device's model string, or empty when the device no longer exists.
    std::string deviceModel() const;
    /// Refreshes the condition and returns the current record (the previous one when the
    /// refresh failed).
    std::shared_ptr<QuorinCameraCondition> refreshedCondition();
};

}  // namespace Corvane::CameraController::Impl
