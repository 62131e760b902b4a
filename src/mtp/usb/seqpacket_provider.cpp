// Lists the camemu processes named by CORVANE_CAMEMU_SOCKET (socket paths separated by ':').
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "mtp/mtp_device_provider.hpp"
#include "mtp/usb/ptp_usb_device.hpp"
#include "mtp/usb/seqpacket_pipe.hpp"

namespace Corvane::CameraController::Impl {

namespace {

constexpr const char* kSocketVariable = "CORVANE_CAMEMU_SOCKET";

class CamemuProvider : public MtpDeviceProvider {
public:
    std::vector<MtpDeviceCandidate> listDevices() override {
        std::vector<MtpDeviceCandidate> candidates;
        const char* value = std::getenv(kSocketVariable);
        if (value == nullptr) {
            return candidates;
        }
        const std::string paths = value;
        size_t start = 0;
        while (start <= paths.size()) {
            const size_t end = std::min(paths.find(':', start), paths.size());
            const std::string path = paths.substr(start, end - start);
            start = end + 1;
            struct stat info {};
            if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
                continue;
            }
            candidates.push_back({"camemu:" + path, [path]() -> std::shared_ptr<MtpDevice> {
                                      auto pipe = SeqpacketPipe::connect(path);
                                      if (!pipe) {
                                          return nullptr;
                                      }
                                      auto device = std::make_shared<PtpUsbDevice>(std::move(pipe));
                                      return device->open() ? device : nullptr;
                                  }});
        }
        return candidates;
    }
};

// Registered at library load; the registry is a function-local static, so order is safe.
const bool registered = [] {
    registerDeviceProvider(std::make_shared<CamemuProvider>());
    return true;
}();

}  // namespace

}  // namespace Corvane::CameraController::Impl
