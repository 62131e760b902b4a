#include "mtp/wpd/wpd_startup.hpp"

namespace Corvane::CameraController::Impl {
namespace {

template <typename Call>
WpdStatus withCom(WpdApi& api, Call call) {
    WpdStatus status = call();
    if (status == kWpdComNotInitialized && !wpdFailed(api.initializeCom())) {
        status = call();
    }
    return status;
}

}  // namespace

WpdStatus createWpdConnection(WpdApi& api, std::unique_ptr<WpdConnection>& connection) {
    return withCom(api, [&] { return api.createConnection(connection); });
}

WpdStatus listWpdDeviceIds(WpdApi& api, std::vector<std::wstring>& pnpDeviceIds) {
    return withCom(api, [&] {
        pnpDeviceIds.clear();
        return api.listDeviceIds(pnpDeviceIds);
    });
}

}  // namespace Corvane::CameraController::Impl
