#include "mtp/wpd/wpd_transaction.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "mtp/wpd/wpd_startup.hpp"

namespace Corvane::CameraController::Impl {
namespace {

using Results = std::unique_ptr<WpdResults>;

WpdCommandParameters executeCommand(WpdCommand command, const WpdTransaction& transaction) {
    WpdCommandParameters parameters;
    parameters.command = command;
    parameters.operationCode = transaction.operationCode;
    // The first word always goes out, 0 when the operation has none: the MTP driver expects
    // at least one parameter.
    std::vector<uint32_t> words{transaction.parameters[0]};
    for (uint32_t i = 1; i < transaction.parameterCount; ++i) {
        words.push_back(transaction.parameters[i]);
    }
    parameters.operationParameters = std::move(words);
    return parameters;
}

WpdCommandParameters transferCommand(WpdCommand command, const std::wstring& context) {
    WpdCommandParameters parameters;
    parameters.command = command;
    parameters.transferContext = context;
    return parameters;
}

// A command counts only when SendCommand and the status inside its results both succeed.
bool sendChecked(WpdConnection& connection, const WpdCommandParameters& parameters,
                 Results& results) {
    results.reset();
    if (wpdFailed(connection.sendCommand(parameters, results)) || !results) {
        return false;
    }
    WpdStatus status = kWpdOk;
    return !wpdFailed(results->getError(WpdResultKey::Hresult, status)) && !wpdFailed(status);
}

// Null when the exchange cannot start. Failures of Open other than a refusal are left to
// surface through the first SendCommand.
std::unique_ptr<WpdConnection> openForExchange(WpdApi& api, const std::wstring& pnpDeviceId) {
    std::unique_ptr<WpdConnection> connection;
    if (wpdFailed(createWpdConnection(api, connection)) || !connection) {
        return nullptr;
    }
    if (connection->open(pnpDeviceId, WpdClientInfo{}) == kWpdAccessDenied) {
        return nullptr;
    }
    return connection;
}

bool readResponseCode(const WpdResults& results, WpdTransaction& transaction) {
    uint32_t code = 0;
    if (wpdFailed(results.getUnsigned(WpdResultKey::ResponseCode, code))) {
        return false;
    }
    transaction.responseCode = static_cast<uint16_t>(code);
    return true;
}

// Parameters belong to a successful response only. An entry that does not read is skipped
// rather than failing the whole response.
bool readResponseParameters(const WpdResults& results, WpdTransaction& transaction) {
    transaction.responseParameters.clear();
    if (transaction.responseCode != kMtpResponseOk) {
        return true;
    }
    std::unique_ptr<WpdUnsignedList> list;
    uint32_t count = 0;
    if (wpdFailed(results.getUnsignedList(WpdResultKey::ResponseParameters, list)) || !list ||
        wpdFailed(list->getCount(count))) {
        return false;
    }
    for (uint32_t i = 0; i < count && transaction.responseParameters.size() < kMtpMaxParameters;
         ++i) {
        uint32_t value = 0;
        if (!wpdFailed(list->getAt(i, value))) {
            transaction.responseParameters.push_back(value);
        }
    }
    return true;
}

bool finishResponse(const WpdResults& results, WpdTransaction& transaction) {
    return readResponseCode(results, transaction) && readResponseParameters(results, transaction);
}

bool takeReceivedData(const WpdBuffer& received, WpdTransaction& transaction) {
    if (!received.data || received.size == 0) {
        return true;
    }
    MtpBuffer copy(static_cast<uint8_t*>(std::malloc(received.size)), &std::free);
    if (!copy) {
        return false;
    }
    std::memcpy(copy.get(), received.data.get(), received.size);
    transaction.data = std::move(copy);
    transaction.dataSize = received.size;
    return true;
}

}  // namespace

WpdTransaction makeWpdTransaction(const MtpRequest& request) {
    WpdTransaction transaction;
    transaction.operationCode = request.operationCode;
    transaction.parameterCount =
        static_cast<uint32_t>(std::min(request.parameters.size(), kMtpMaxParameters));
    std::copy_n(request.parameters.begin(), transaction.parameterCount,
                transaction.parameters.begin());
    return transaction;
}

MtpResponse toMtpResponse(WpdTransaction&& transaction) {
    MtpResponse response;
    response.responseCode = transaction.responseCode;
    if (transaction.responseCode == kMtpResponseOk) {
        response.parameters = std::move(transaction.responseParameters);
    }
    response.data = std::move(transaction.data);
    response.dataSize = response.data ? transaction.dataSize : 0;
    return response;
}

bool runExchangeWithoutData(WpdApi& api, const std::wstring& pnpDeviceId,
                            WpdTransaction& transaction) {
    const auto connection = openForExchange(api, pnpDeviceId);
    if (!connection) {
        return false;
    }
    Results results;
    if (!sendChecked(*connection, executeCommand(WpdCommand::ExecuteWithoutDataPhase, transaction),
                     results)) {
        return false;
    }
    return finishResponse(*results, transaction);
}

bool runExchangeWithDataToRead(WpdApi& api, const std::wstring& pnpDeviceId,
                               WpdTransaction& transaction) {
    const auto connection = openForExchange(api, pnpDeviceId);
    if (!connection) {
        return false;
    }
    Results results;
    if (!sendChecked(*connection, executeCommand(WpdCommand::ExecuteWithDataToRead, transaction),
                     results)) {
        return false;
    }
    std::wstring context;
    uint32_t totalSize = 0;
    if (wpdFailed(results->getString(WpdResultKey::TransferContext, context)) ||
        wpdFailed(results->getUnsigned(WpdResultKey::TransferTotalDataSize, totalSize))) {
        return false;
    }
    const bool emptyTransfer = totalSize == 0;

    // The size comes from the camera; a size we cannot hold ends the exchange instead of
    // throwing out of execute().
    std::unique_ptr<uint8_t[]> space(new (std::nothrow) uint8_t[totalSize]());
    if (!space) {
        return false;
    }
    WpdCommandParameters read = transferCommand(WpdCommand::ReadData, context);
    read.transferData = WpdBytes{space.get(), totalSize};
    read.numBytesToRead = totalSize;
    WpdBuffer received;
    const bool dataRead = sendChecked(*connection, read, results) &&
                          !wpdFailed(results->getBuffer(WpdResultKey::TransferData, received));
    space.reset();
    // With nothing to transfer some drivers have no data to hand back; the response code
    // must still be fetched.
    if (!dataRead && !emptyTransfer) {
        return false;
    }
    if (!sendChecked(*connection, transferCommand(WpdCommand::EndDataTransfer, context), results)) {
        return false;
    }
    if (!readResponseCode(*results, transaction)) {
        return false;
    }
    if (!takeReceivedData(received, transaction)) {
        // Reporting the camera's code without its data would pass off lost data as success.
        transaction.responseCode = 0;
        return false;
    }
    return readResponseParameters(*results, transaction);
}

bool runExchangeWithDataToWrite(WpdApi& api, const std::wstring& pnpDeviceId,
                                WpdTransaction& transaction, const uint8_t* data,
                                uint32_t dataSize) {
    if (data == nullptr && dataSize > 0) {
        return false;
    }
    const auto connection = openForExchange(api, pnpDeviceId);
    if (!connection) {
        return false;
    }
    WpdCommandParameters execute = executeCommand(WpdCommand::ExecuteWithDataToWrite, transaction);
    execute.transferTotalDataSize = dataSize;
    Results results;
    std::wstring context;
    if (!sendChecked(*connection, execute, results) ||
        wpdFailed(results->getString(WpdResultKey::TransferContext, context))) {
        return false;
    }
    WpdCommandParameters write = transferCommand(WpdCommand::WriteData, context);
    write.numBytesToWrite = dataSize;
    write.transferData = WpdBytes{data, dataSize};
    uint32_t written = 0;
    if (!sendChecked(*connection, write, results) ||
        wpdFailed(results->getUnsigned(WpdResultKey::TransferNumBytesWritten, written))) {
        return false;
    }
    if (!sendChecked(*connection, transferCommand(WpdCommand::EndDataTransfer, context), results)) {
        return false;
    }
    return finishResponse(*results, transaction);
}

}  // namespace Corvane::CameraController::Impl
