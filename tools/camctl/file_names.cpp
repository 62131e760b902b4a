#include "file_names.hpp"

#include <algorithm>

#include "display_controls.hpp"

namespace camctl {

namespace {

bool isUnsafeByte(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '/' || c == '\\';
}

// Cuts `text` to at most `length` bytes without splitting a UTF-8 sequence.
std::string truncateUtf8(const std::string& text, size_t length) {
    if (text.size() <= length) {
        return text;
    }
    size_t end = length;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

// Position of the extension's dot, or npos when the name has no short extension.
size_t extensionStart(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > 16) {
        return std::string::npos;
    }
    return dot;
}

std::string clean(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size();) {
        const size_t control = displayControlAt(name, i).length;
        out += control > 0 || isUnsafeByte(static_cast<unsigned char>(name[i])) ? '_' : name[i];
        i += control > 0 ? control : 1;
    }
    // A leading dot would hide the file, and no name may hold "..": every dot of a leading run
    // or of a run of two or more becomes '_'.
    for (size_t i = 0; i < out.size();) {
        if (out[i] != '.') {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < out.size() && out[end] == '.') {
            ++end;
        }
        if (i == 0 || end - i >= 2) {
            std::fill(out.begin() + i, out.begin() + end, '_');
        }
        i = end;
    }
    if (out.size() > maxFileNameLength) {
        const size_t dot = extensionStart(out);
        const std::string extension = dot == std::string::npos ? "" : out.substr(dot);
        out = truncateUtf8(out.substr(0, dot), maxFileNameLength - extension.size()) + extension;
    }
    return out;
}

}  // namespace

std::string sanitizeFileName(const std::string& name, const std::string& fallback) {
    std::string out = clean(name);
    if (out.empty()) {
        out = clean(fallback);
    }
    return out.empty() ? std::string("unnamed") : out;
}

std::string numberedFileName(const std::string& name, unsigned n) {
    if (n == 0) {
        return name;
    }
    const size_t dot = extensionStart(name);
    const std::string suffix = "-" + std::to_string(n);
    if (dot == std::string::npos) {
        return name + suffix;
    }
    return name.substr(0, dot) + suffix + name.substr(dot);
}

}  // namespace camctl
