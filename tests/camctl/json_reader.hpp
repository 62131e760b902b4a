// Reads the JSON that camctl prints, so tests check structure rather than text.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace camctl::test {

class JsonValue {
public:
    using Array = std::vector<JsonValue>;
    using Object = std::map<std::string, JsonValue>;

    /// Parses one document; throws std::runtime_error on malformed input or trailing text.
    static JsonValue parse(const std::string& text);

    bool isNull() const { return std::holds_alternative<std::nullptr_t>(value); }
    bool isString() const { return std::holds_alternative<std::string>(value); }
    bool isNumber() const { return std::holds_alternative<double>(value); }
    bool isArray() const { return std::holds_alternative<std::shared_ptr<Array>>(value); }
    bool isObject() const { return std::holds_alternative<std::shared_ptr<Object>>(value); }

    const std::string& str() const { return std::get<std::string>(value); }
    double number() const { return std::get<double>(value); }
    bool boolean() const { return std::get<bool>(value); }
    const Array& array() const { return *std::get<std::shared_ptr<Array>>(value); }
    const Object& object() const { return *std::get<std::shared_ptr<Object>>(value); }
    bool has(const std::string& key) const { return isObject() && object().count(key) > 0; }
    /// Member of an object; throws std::out_of_range when missing.
    const JsonValue& operator[](const std::string& key) const { return object().at(key); }
    const JsonValue& operator[](size_t index) const { return array().at(index); }

private:
    friend class JsonParser;
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Array>,
                 std::shared_ptr<Object>>
        value;
};

}  // namespace camctl::test
