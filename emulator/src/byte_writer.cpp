#include "byte_writer.hpp"

namespace Corvane::CameraController::Emulator::Wire {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence starting at `i`; advances `i` past what it consumed.
char32_t decodeUtf8(const std::string& s, size_t& i) {
    const auto lead = static_cast<unsigned char>(s[i++]);
    if (lead < 0x80) {
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return kReplacement;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            return kReplacement;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return kReplacement;
    }
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::u16string utf8ToUtf16(const std::string& utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = decodeUtf8(utf8, i);
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string utf16ToUtf8(const std::u16string& utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char16_t u = utf16[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                                (static_cast<char32_t>(utf16[i + 1]) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

ByteWriter& ByteWriter::string(const std::string& utf8) {
    std::u16string units = utf8ToUtf16(utf8);
    if (units.empty()) {
        return u8(0);
    }
    if (units.size() > 254) {
        units.resize(254);
    }
    u8(static_cast<uint8_t>(units.size() + 1));
    for (const char16_t unit : units) {
        u16(unit);
    }
    return u16(0);
}

ByteWriter& ByteWriter::array16(const std::vector<uint16_t>& values) {
    u32(static_cast<uint32_t>(values.size()));
    for (const uint16_t v : values) {
        u16(v);
    }
    return *this;
}

ByteWriter& ByteWriter::array32(const std::vector<uint32_t>& values) {
    u32(static_cast<uint32_t>(values.size()));
    for (const uint32_t v : values) {
        u32(v);
    }
    return *this;
}

bool readPtpString(const uint8_t* data, size_t size, std::string& text, size_t& consumed) {
    if (size < 1) {
        return false;
    }
    const size_t count = data[0];
    if (1 + 2 * count > size) {
        return false;
    }
    std::u16string units;
    for (size_t k = 0; k < count; ++k) {
        const char16_t unit = readU16(data + 1 + 2 * k);
        if (unit == 0) {
            break;
        }
        units.push_back(unit);
    }
    text = utf16ToUtf8(units);
    consumed = 1 + 2 * count;
    return true;
}

}  // namespace Corvane::CameraController::Emulator::Wire
