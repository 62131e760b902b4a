// One MTP transaction carried over the WPD MTP-extension commands.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mtp/mtp_device.hpp"
#include "mtp/mtp_response.hpp"
#include "mtp/wpd/wpd_api.hpp"

namespace Corvane::CameraController::Impl {

/// A transaction as it travels through the exchanges: the request's code and first five
/// parameters, and what came back.
struct WpdTransaction {
    uint16_t operationCode = 0;
    std::array<uint32_t, kMtpMaxParameters> parameters{};
    uint32_t parameterCount = 0;

    uint16_t responseCode = 0;  // 0 until a response code was read
    std::vector<uint32_t> responseParameters;
    MtpBuffer data{nullptr, &std::free};
    uint32_t dataSize = 0;
};

WpdTransaction makeWpdTransaction(const MtpRequest& request);
MtpResponse toMtpResponse(WpdTransaction&& transaction);

/// The three exchanges. Each opens its own WPD connection to `pnpDeviceId` and releases it at
/// the end. They return true when the exchange completed: a response code was read and, for
/// 0x2001, the response parameters as well. On false the transaction keeps responseCode 0 and
/// no data unless a code was read. The caller serialises exchanges on one device.
bool runExchangeWithoutData(WpdApi& api, const std::wstring& pnpDeviceId,
                            WpdTransaction& transaction);
bool runExchangeWithDataToRead(WpdApi& api, const std::wstring& pnpDeviceId,
                               WpdTransaction& transaction);
bool runExchangeWithDataToWrite(WpdApi& api, const std::wstring& pnpDeviceId,
                                WpdTransaction& transaction, const uint8_t* data,
                                uint32_t dataSize);

}  // namespace Corvane::CameraController::Impl
