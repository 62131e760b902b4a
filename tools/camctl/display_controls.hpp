// Characters that are invisible yet change how the text around them is displayed.
#pragma once

#include <cstddef>
#include <string>

namespace camctl {

/// A C1 control (U+0080 to U+009F: a terminal may read U+009B as the start of an escape
/// sequence) or a bidirectional mark, embedding, override or isolate (U+061C, U+200E, U+200F,
/// U+202A to U+202E, U+2066 to U+2069: "\u202Egpj.exe" displays as "exe.jpg").
struct DisplayControl {
    char32_t codePoint = 0;
    size_t length = 0;  ///< bytes of its UTF-8 form; 0 when there is none at the position
};

/// The display control whose UTF-8 form starts at text[i], if any.
DisplayControl displayControlAt(const std::string& text, size_t i);

}  // namespace camctl
