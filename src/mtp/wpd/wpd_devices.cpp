#include "mtp/wpd/wpd_devices.hpp"

#include <memory>

#include "mtp/wpd/wpd_startup.hpp"
#include "mtp/wpd/wpd_strings.hpp"
#include "mtp/wpd/wpd_transaction.hpp"

namespace Corvane::CameraController::Impl {
namespace {

constexpr uint16_t kOpenSession = 0x1002;
constexpr uint32_t kSessionId = 1;

// A value that did not read stays empty.
std::string readWpdString(const WpdStringValue& value) {
    return wpdFailed(value.status) ? std::string() : wpdToMultibyte(value.value);
}

// Some devices refuse the default access to a second client; reading is all the identity
// needs.
bool openForIdentity(WpdConnection& connection, const std::wstring& pnpDeviceId) {
    WpdClientInfo clientInfo;
    WpdStatus status = connection.open(pnpDeviceId, clientInfo);
    if (status == kWpdAccessDenied) {
        clientInfo.desiredAccess = kWpdGenericRead;
        status = connection.open(pnpDeviceId, clientInfo);
    }
    return !wpdFailed(status);
}

bool startSession(WpdApi& api, const std::wstring& pnpDeviceId) {
    MtpRequest request;
    request.operationCode = kOpenSession;
    request.parameters = {kSessionId};
    WpdTransaction transaction = makeWpdTransaction(request);
    return runExchangeWithoutData(api, pnpDeviceId, transaction) &&
           transaction.responseCode == kMtpResponseOk;
}

}  // namespace

bool listWpdDevices(WpdApi& api, std::vector<WpdDeviceRecord>& records) {
    records.clear();
    std::vector<std::wstring> ids;
    if (wpdFailed(listWpdDeviceIds(api, ids))) {
        return false;
    }
    records.reserve(ids.size());
    for (const auto& id : ids) {
        WpdDeviceRecord record;
        record.pnpDeviceId = wpdDeviceKey(id);
        records.push_back(std::move(record));
    }
    return true;
}

std::optional<std::wstring> findWpdDevice(WpdApi& api, const std::string& pnpDeviceId) {
    std::vector<std::wstring> ids;
    if (wpdFailed(listWpdDeviceIds(api, ids))) {
        return std::nullopt;
    }
    for (auto& id : ids) {
        if (wpdDeviceKey(id) == pnpDeviceId) {
            return std::move(id);
        }
    }
    return std::nullopt;
}

std::optional<WpdDeviceHandle> openWpdDevice(WpdApi& api, const WpdDeviceRecord& record) {
    auto widePnpId = findWpdDevice(api, record.pnpDeviceId);
    if (!widePnpId) {
        return std::nullopt;
    }
    std::unique_ptr<WpdConnection> connection;
    if (wpdFailed(createWpdConnection(api, connection)) || !connection) {
        return std::nullopt;
    }
    WpdIdentity identity;
    if (!openForIdentity(*connection, *widePnpId) ||
        wpdFailed(connection->readIdentity(identity))) {
        connection->close();
        return std::nullopt;
    }

    WpdDeviceHandle handle;
    handle.record = record;
    handle.record.manufacturer = readWpdString(identity.manufacturer);
    handle.record.model = readWpdString(identity.model);
    handle.record.serialNumber = readWpdString(identity.serialNumber);
    handle.record.firmwareVersion = readWpdString(identity.firmwareVersion);
    handle.widePnpId = std::move(*widePnpId);

    // The session goes over a connection of its own, like every later transaction; this one
    // only had to read the identity.
    const bool sessionStarted = startSession(api, handle.widePnpId);
    if (!sessionStarted || identity.firmwareVersion.status != kWpdOk) {
        connection->close();
        return std::nullopt;
    }
    return handle;
}

}  // namespace Corvane::CameraController::Impl
