#include "mtp/wpd/wpd_strings.hpp"

#include <climits>
#include <cwchar>

namespace Corvane::CameraController::Impl {

std::string wpdToMultibyte(const std::wstring& text) {
    std::string result;
    result.reserve(text.size());
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t c : text) {
        if (c == L'\0') {
            break;
        }
        const std::size_t length = std::wcrtomb(buffer, c, &state);
        if (length == static_cast<std::size_t>(-1)) {
            result.push_back('?');
            state = std::mbstate_t{};
            continue;
        }
        result.append(buffer, length);
    }
    return result;
}

std::string wpdDeviceKey(const std::wstring& pnpDeviceId) {
    std::string key = wpdToMultibyte(pnpDeviceId);
    if (key.size() > kWpdPnpIdLimit) {
        key.resize(kWpdPnpIdLimit);
    }
    return key;
}

}  // namespace Corvane::CameraController::Impl
