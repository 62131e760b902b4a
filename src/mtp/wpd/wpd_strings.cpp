#include "mtp/wpd/wpd_strings.hpp"

#include <climits>
#include <cwchar>

namespace Corvane::CameraController::Impl {
namespace {

constexpr std::size_t kConversionFailed = static_cast<std::size_t>(-1);

std::size_t convertCharacter(char (&buffer)[MB_LEN_MAX], wchar_t c, std::mbstate_t& state) {
#if defined(_MSC_VER)
    // The checked variant keeps Visual Studio from deprecating the call.
    std::size_t length = 0;
    return wcrtomb_s(&length, buffer, sizeof buffer, c, &state) == 0 ? length : kConversionFailed;
#else
    return std::wcrtomb(buffer, c, &state);
#endif
}

}  // namespace

std::string wpdToMultibyte(const std::wstring& text) {
    std::string result;
    result.reserve(text.size());
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t c : text) {
        if (c == L'\0') {
            break;
        }
        const std::size_t length = convertCharacter(buffer, c, state);
        if (length == kConversionFailed) {
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
