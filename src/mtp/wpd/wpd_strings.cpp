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

// Where wchar_t is UTF-16 (Windows), a character beyond U+FFFF is a surrogate pair.
bool startsSurrogatePair(const std::wstring& text, std::size_t i) {
    if constexpr (sizeof(wchar_t) != 2) {
        return false;
    }
    return i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 &&
           text[i + 1] <= 0xDFFF;
}

}  // namespace

std::string wpdToMultibyte(const std::wstring& text) {
    std::string result;
    result.reserve(text.size());
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (std::size_t i = 0; i < text.size() && text[i] != L'\0'; ++i) {
        const std::size_t length = convertCharacter(buffer, text[i], state);
        if (length == kConversionFailed) {
            // One '?' per character: the C runtime refuses each half of a pair on its own.
            result.push_back('?');
            state = std::mbstate_t{};
            if (startsSurrogatePair(text, i)) {
                ++i;
            }
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
