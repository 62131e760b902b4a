#include "device/camera_device_base_impl.hpp"

#include <algorithm>

#include "corvane/camera_controller/camera_event_listener.hpp"
#include "device/listener_delivery.hpp"

namespace Corvane::CameraController::Impl {
namespace {

std::shared_ptr<Error> notConnectedError() {
    return std::make_shared<Error>(ErrorCode::NotConnected, "");
}

void assignIfChanged(std::string& field, const std::string& value) {
    if (field != value) {
        field = value;
    }
}

}  // namespace

template <typename R, typename Operation>
R CameraDeviceBaseImpl::forward(Operation&& operation) const {
    const auto adapter = getAdapter();
    if (!adapter) {
        return R(Result::Error, notConnectedError());
    }
    return operation(*adapter);
}

bool CameraDeviceBaseImpl::operator==(const CameraDevice& other) const {
    return other.getManufacturer() == manufacturer && other.getModel() == model &&
           other.getSerialNumber() == serialNumber && other.getFirmwareVersion() == firmwareVersion;
}

bool CameraDeviceBaseImpl::operator!=(const CameraDevice& other) const {
    return !(*this == other);
}

Response CameraDeviceBaseImpl::connect(DeviceInterface deviceInterface) {
    const auto adapter = adapterFor(deviceInterface);
    return adapter ? adapter->connect() : Response(Result::Error, notConnectedError());
}

Response CameraDeviceBaseImpl::disconnect(DeviceInterface deviceInterface) {
    const auto adapter = adapterFor(deviceInterface);
    return adapter ? adapter->disconnect() : Response(Result::Error, notConnectedError());
}

bool CameraDeviceBaseImpl::isConnected(DeviceInterface deviceInterface) const {
    const auto adapter = adapterFor(deviceInterface);
    return adapter && adapter->isConnected();
}

void CameraDeviceBaseImpl::addEventListener(const std::shared_ptr<CameraEventListener>& listener) {
    if (!listener) {
        return;
    }
    const MutexLock lock(listenerMutex);
    eventListeners.push_back(listener);
}

void CameraDeviceBaseImpl::removeEventListener(
    const std::shared_ptr<CameraEventListener>& listener) {
    const MutexLock lock(listenerMutex);
    eventListeners.erase(std::remove(eventListeners.begin(), eventListeners.end(), listener),
                         eventListeners.end());
}

const std::vector<std::shared_ptr<CameraEventListener>>& CameraDeviceBaseImpl::getEventListeners()
    const {
    const MutexLock lock(listenerMutex);
    return eventListeners;
}

std::vector<std::shared_ptr<CameraEventListener>> CameraDeviceBaseImpl::copyEventListeners() const {
    const MutexLock lock(listenerMutex);
    return eventListeners;
}

void CameraDeviceBaseImpl::deliverEvent(const std::string& eventName, const EventCall& call) const {
    const std::shared_ptr<const CameraDevice> self = weak_from_this().lock();
    if (!self || !call) {
        return;
    }
    deliverToListeners(copyEventListeners(), eventName,
                       [&](CameraEventListener& listener) { call(listener, self); });
}

void CameraDeviceBaseImpl::rediscover() const {
    if (rediscovery) {
        rediscovery();
    }
}

Response CameraDeviceBaseImpl::focus(int32_t adjustment) {
    return forward<Response>([&](CameraDeviceAdapter& a) { return a.focus(adjustment); });
}

Response CameraDeviceBaseImpl::focus(const Point& point) {
    return forward<Response>([&](CameraDeviceAdapter& a) { return a.focus(point); });
}

Response CameraDeviceBaseImpl::focus() {
    return forward<Response>([](CameraDeviceAdapter& a) { return a.focus(); });
}

StartCaptureResponse CameraDeviceBaseImpl::startCapture(const Point& focusPoint) {
    return forward<StartCaptureResponse>(
        [&](CameraDeviceAdapter& a) { return a.startCapture(focusPoint); });
}

StartCaptureResponse CameraDeviceBaseImpl::startCapture(bool withFocus) {
    return forward<StartCaptureResponse>(
        [&](CameraDeviceAdapter& a) { return a.startCapture(withFocus); });
}

Response CameraDeviceBaseImpl::stopCapture() {
    return forward<Response>([](CameraDeviceAdapter& a) { return a.stopCapture(); });
}

Response CameraDeviceBaseImpl::startLiveView() {
    return forward<Response>([](CameraDeviceAdapter& a) { return a.startLiveView(); });
}

Response CameraDeviceBaseImpl::stopLiveView() {
    return forward<Response>([](CameraDeviceAdapter& a) { return a.stopLiveView(); });
}

Response CameraDeviceBaseImpl::getCameraDeviceSettings(
    const std::vector<CameraDeviceSetting*>& settings) {
    return forward<Response>(
        [&](CameraDeviceAdapter& a) { return a.getCameraDeviceSettings(settings); });
}

Response CameraDeviceBaseImpl::setCameraDeviceSettings(
    const std::vector<const CameraDeviceSetting*>& settings) {
    return forward<Response>(
        [&](CameraDeviceAdapter& a) { return a.setCameraDeviceSettings(settings); });
}

Response CameraDeviceBaseImpl::getCaptureSettings(const std::vector<CaptureSetting*>& settings) {
    return forward<Response>(
        [&](CameraDeviceAdapter& a) { return a.getCaptureSettings(settings); });
}

Response CameraDeviceBaseImpl::setCaptureSettings(
    const std::vector<const CaptureSetting*>& settings) {
    return forward<Response>(
        [&](CameraDeviceAdapter& a) { return a.setCaptureSettings(settings); });
}

void CameraDeviceBaseImpl::setManufacturer(const std::string& value) {
    assignIfChanged(manufacturer, value);
}

void CameraDeviceBaseImpl::setModel(const std::string& value) {
    assignIfChanged(model, value);
}

void CameraDeviceBaseImpl::setFirmwareVersion(const std::string& value) {
    assignIfChanged(firmwareVersion, value);
}

void CameraDeviceBaseImpl::setSerialNumber(const std::string& value) {
    assignIfChanged(serialNumber, value);
}

void CameraDeviceBaseImpl::addAdapter(DeviceInterface deviceInterface,
                                      const std::shared_ptr<CameraDeviceAdapter>& adapter) {
    const MutexLock lock(adapterMutex);
    if (adapter) {
        adapters[deviceInterface] = adapter;
    } else {
        adapters.erase(deviceInterface);
    }
}

std::shared_ptr<CameraDeviceAdapter> CameraDeviceBaseImpl::getAdapter() const {
    // isConnected() is asked outside the lock: it belongs to the adapter.
    for (const auto& entry : copyAdapters()) {
        if (entry.second->isConnected()) {
            return entry.second;
        }
    }
    return nullptr;
}

std::shared_ptr<CameraDeviceAdapter> CameraDeviceBaseImpl::adapterFor(
    DeviceInterface deviceInterface) const {
    const MutexLock lock(adapterMutex);
    const auto found = adapters.find(deviceInterface);
    return found == adapters.end() ? nullptr : found->second;
}

std::map<DeviceInterface, std::shared_ptr<CameraDeviceAdapter>> CameraDeviceBaseImpl::copyAdapters()
    const {
    const MutexLock lock(adapterMutex);
    return adapters;
}

}  // namespace Corvane::CameraController::Impl
