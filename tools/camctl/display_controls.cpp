#include "display_controls.hpp"

namespace camctl {

DisplayControl displayControlAt(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) {
        return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u;
    };
    const unsigned lead = byte(i);
    if (lead == 0xC2 && byte(i + 1) >= 0x80 && byte(i + 1) <= 0x9F) {
        return {static_cast<char32_t>(byte(i + 1)), 2};
    }
    if (lead == 0xD8 && byte(i + 1) == 0x9C) {
        return {U'\u061C', 2};
    }
    if (lead != 0xE2) {
        return {};
    }
    const unsigned second = byte(i + 1);
    const unsigned third = byte(i + 2);
    const bool marks = second == 0x80 && (third == 0x8E || third == 0x8F);
    const bool embeddings = second == 0x80 && third >= 0xAA && third <= 0xAE;
    const bool isolates = second == 0x81 && third >= 0xA6 && third <= 0xA9;
    if (!marks && !embeddings && !isolates) {
        return {};
    }
    return {static_cast<char32_t>(0x2000 + ((second & 0x3F) << 6) + (third & 0x3F)), 3};
}

}  // namespace camctl
