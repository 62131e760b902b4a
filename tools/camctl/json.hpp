// A small JSON value for --json output: insertion-ordered objects, compact one-line text.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace camctl {

class Json {
public:
    using Array = std::vector<Json>;
    using Object = std::vector<std::pair<std::string, Json>>;

    Json() = default;
    Json(std::nullptr_t) {}
    Json(bool value) : value(value) {}
    Json(int value) : value(static_cast<int64_t>(value)) {}
    Json(long value) : value(static_cast<int64_t>(value)) {}
    Json(long long value) : value(static_cast<int64_t>(value)) {}
    Json(unsigned value) : value(static_cast<uint64_t>(value)) {}
    Json(unsigned long value) : value(static_cast<uint64_t>(value)) {}
    Json(unsigned long long value) : value(static_cast<uint64_t>(value)) {}
    Json(double value) : value(value) {}
    Json(std::string value) : value(std::move(value)) {}
    Json(const char* value) : value(std::string(value)) {}

    static Json array() { return Json(Array{}); }
    static Json object() { return Json(Object{}); }

    /// Appends to an array (turns a null value into an empty array first).
    Json& push(Json element);
    /// Adds or replaces a member of an object (turns a null value into an empty object first).
    Json& set(const std::string& key, Json member);

    /// Compact text on one line; strings escaped so that any byte sequence stays valid JSON.
    std::string dump() const;

private:
    explicit Json(Array array) : value(std::move(array)) {}
    explicit Json(Object object) : value(std::move(object)) {}
    void dumpTo(std::string& out) const;

    std::variant<std::nullptr_t, bool, int64_t, uint64_t, double, std::string, Array, Object> value;
};

/// `text` as a JSON string literal, quotes included. Bytes that do not form valid UTF-8 (a
/// camera may send anything) are written as \u00XX escapes of the byte, so the output parses;
/// characters that reorder the display (see DisplayControl) are escaped as well.
std::string jsonQuote(const std::string& text);

}  // namespace camctl
