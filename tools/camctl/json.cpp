#include "json.hpp"

#include <cmath>
#include <cstdio>

#include "display_controls.hpp"

namespace camctl {

namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0 when it is not one.
size_t utf8SequenceLength(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

void appendEscape(std::string& out, unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", value);
    out += buffer;
}

}  // namespace

std::string jsonQuote(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            appendEscape(out, c);
        } else if (const DisplayControl control = displayControlAt(text, i); control.length > 0) {
            // Valid, but it would reorder the document where it is displayed.
            appendEscape(out, static_cast<unsigned>(control.codePoint));
            i += control.length;
            continue;
        } else if (c >= 0x80) {
            const size_t length = utf8SequenceLength(text, i);
            if (length == 0) {
                appendEscape(out, c);
                ++i;
                continue;
            }
            out.append(text, i, length);
            i += length;
            continue;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    out += '"';
    return out;
}

Json& Json::push(Json element) {
    if (std::holds_alternative<std::nullptr_t>(value)) {
        value = Array{};
    }
    std::get<Array>(value).push_back(std::move(element));
    return *this;
}

Json& Json::set(const std::string& key, Json member) {
    if (std::holds_alternative<std::nullptr_t>(value)) {
        value = Object{};
    }
    auto& object = std::get<Object>(value);
    for (auto& entry : object) {
        if (entry.first == key) {
            entry.second = std::move(member);
            return *this;
        }
    }
    object.emplace_back(key, std::move(member));
    return *this;
}

std::string Json::dump() const {
    std::string out;
    dumpTo(out);
    return out;
}

void Json::dumpTo(std::string& out) const {
    struct Visitor {
        std::string& out;
        void operator()(std::nullptr_t) const { out += "null"; }
        void operator()(bool b) const { out += b ? "true" : "false"; }
        void operator()(int64_t n) const { out += std::to_string(n); }
        void operator()(uint64_t n) const { out += std::to_string(n); }
        void operator()(double d) const {
            if (!std::isfinite(d)) {
                out += "null";
                return;
            }
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%.6g", d);
            out += buffer;
        }
        void operator()(const std::string& s) const { out += jsonQuote(s); }
        void operator()(const Array& array) const {
            out += '[';
            for (size_t i = 0; i < array.size(); ++i) {
                if (i > 0) {
                    out += ',';
                }
                array[i].dumpTo(out);
            }
            out += ']';
        }
        void operator()(const Object& object) const {
            out += '{';
            for (size_t i = 0; i < object.size(); ++i) {
                if (i > 0) {
                    out += ',';
                }
                out += jsonQuote(object[i].first);
                out += ':';
                object[i].second.dumpTo(out);
            }
            out += '}';
        }
    };
    std::visit(Visitor{out}, value);
}

}  // namespace camctl
