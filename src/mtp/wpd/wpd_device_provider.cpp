#include "mtp/wpd/wpd_device_provider.hpp"

#include <exception>
#include <set>
#include <string>
#include <utility>

#include "mtp/wpd/mtp_device_win.hpp"
#include "mtp/wpd/wpd_devices.hpp"

namespace Corvane::CameraController::Impl {
namespace {

std::shared_ptr<MtpDevice> openDevice(const std::shared_ptr<WpdApi>& api,
                                      const WpdDeviceRecord& record) {
    auto handle = openWpdDevice(*api, record);
    if (!handle) {
        return nullptr;
    }
    auto device = std::make_shared<MtpDeviceWin>(api, std::move(*handle));
    // A camera that cannot describe itself is still handed out; detection decides.
    device->loadDeviceInfo();
    return device;
}

}  // namespace

WpdDeviceProvider::WpdDeviceProvider(std::shared_ptr<WpdApi> api) : api_(std::move(api)) {}

std::vector<MtpDeviceCandidate> WpdDeviceProvider::listDevices() {
    try {
        return listCandidates();
    } catch (const std::exception&) {
        // Out of memory while listing: the contract is an empty list, not an exception.
        return {};
    }
}

std::vector<MtpDeviceCandidate> WpdDeviceProvider::listCandidates() {
    std::call_once(comStarted_, [this] { api_->initializeCom(); });

    std::vector<WpdDeviceRecord> records;
    if (!listWpdDevices(*api_, records)) {
        return {};
    }
    std::vector<MtpDeviceCandidate> candidates;
    std::set<std::string> listed;
    for (auto& record : records) {
        if (!listed.insert(record.pnpDeviceId).second) {
            continue;
        }
        MtpDeviceCandidate candidate;
        candidate.key = record.pnpDeviceId;
        candidate.open = [api = api_, record = std::move(record)] {
            return openDevice(api, record);
        };
        candidates.push_back(std::move(candidate));
    }
    return candidates;
}

}  // namespace Corvane::CameraController::Impl
