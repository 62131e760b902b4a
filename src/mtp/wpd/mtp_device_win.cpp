#include "mtp/wpd/mtp_device_win.hpp"

#include <chrono>
#include <new>
#include <thread>
#include <utility>

#include "mtp/wpd/wpd_transaction.hpp"

namespace Corvane::CameraController::Impl {
namespace {

constexpr int kPresenceChecks = 5;
constexpr auto kPresenceRetryDelay = std::chrono::milliseconds(10);

}  // namespace

MtpDeviceWin::MtpDeviceWin(std::shared_ptr<WpdApi> api, WpdDeviceHandle handle)
    : api_(std::move(api)), handle_(std::move(handle)) {}

bool MtpDeviceWin::open() {
    return isConnected();
}

bool MtpDeviceWin::close() {
    return true;
}

bool MtpDeviceWin::isConnected() {
    for (int check = 0; check < kPresenceChecks; ++check) {
        if (findWpdDevice(*api_, handle_.record.pnpDeviceId)) {
            return true;
        }
        std::this_thread::sleep_for(kPresenceRetryDelay);
    }
    return false;
}

std::string MtpDeviceWin::getManufacturer() {
    return handle_.record.manufacturer;
}

std::string MtpDeviceWin::getModel() {
    return handle_.record.model;
}

std::string MtpDeviceWin::getFirmwareVersion() {
    return handle_.record.firmwareVersion;
}

std::string MtpDeviceWin::getSerialNumber() {
    return handle_.record.serialNumber;
}

MtpResponse MtpDeviceWin::execute(const MtpRequest& request) {
    WpdTransaction transaction = makeWpdTransaction(request);
    std::lock_guard<std::mutex> lock(transactionMutex_);
    try {
        runExchange(request, transaction);
    } catch (const std::bad_alloc&) {
        // Out of memory is a transport failure like any other: execute() does not throw.
        transaction = makeWpdTransaction(request);
    }
    return toMtpResponse(std::move(transaction));
}

void MtpDeviceWin::runExchange(const MtpRequest& request, WpdTransaction& transaction) {
    switch (request.dataPhase) {
        case MtpDataPhase::None:
            runExchangeWithoutData(*api_, handle_.widePnpId, transaction);
            break;
        case MtpDataPhase::Read:
            runExchangeWithDataToRead(*api_, handle_.widePnpId, transaction);
            break;
        default:  // any other value is a write
            runExchangeWithDataToWrite(*api_, handle_.widePnpId, transaction, request.data,
                                       request.dataSize);
            break;
    }
}

}  // namespace Corvane::CameraController::Impl
