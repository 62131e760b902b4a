#include "json_reader.hpp"

#include <cstdlib>

namespace camctl::test {

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : text(text) {}

    JsonValue document() {
        JsonValue value = parseValue();
        skipSpace();
        if (pos != text.size()) {
            fail("trailing text");
        }
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos));
    }

    void skipSpace() {
        while (pos < text.size() &&
               (text[pos] == ' ' || text[pos] == '\n' || text[pos] == '\t' || text[pos] == '\r')) {
            ++pos;
        }
    }

    bool consume(const std::string& word) {
        if (text.compare(pos, word.size(), word) == 0) {
            pos += word.size();
            return true;
        }
        return false;
    }

    void expect(char c) {
        skipSpace();
        if (pos >= text.size() || text[pos] != c) {
            fail(std::string("expected '") + c + "'");
        }
        ++pos;
    }

    JsonValue parseValue() {
        skipSpace();
        if (pos >= text.size()) {
            fail("unexpected end");
        }
        JsonValue value;
        const char c = text[pos];
        if (c == '{') {
            value.value = parseObject();
        } else if (c == '[') {
            value.value = parseArray();
        } else if (c == '"') {
            value.value = parseString();
        } else if (consume("true")) {
            value.value = true;
        } else if (consume("false")) {
            value.value = false;
        } else if (consume("null")) {
            value.value = nullptr;
        } else {
            char* end = nullptr;
            const double number = std::strtod(text.c_str() + pos, &end);
            if (end == text.c_str() + pos) {
                fail("unexpected character");
            }
            pos = static_cast<size_t>(end - text.c_str());
            value.value = number;
        }
        return value;
    }

    std::shared_ptr<JsonValue::Object> parseObject() {
        auto object = std::make_shared<JsonValue::Object>();
        expect('{');
        skipSpace();
        if (pos < text.size() && text[pos] == '}') {
            ++pos;
            return object;
        }
        while (true) {
            skipSpace();
            const std::string key = parseString();
            expect(':');
            (*object)[key] = parseValue();
            skipSpace();
            if (pos < text.size() && text[pos] == ',') {
                ++pos;
                continue;
            }
            expect('}');
            return object;
        }
    }

    std::shared_ptr<JsonValue::Array> parseArray() {
        auto array = std::make_shared<JsonValue::Array>();
        expect('[');
        skipSpace();
        if (pos < text.size() && text[pos] == ']') {
            ++pos;
            return array;
        }
        while (true) {
            array->push_back(parseValue());
            skipSpace();
            if (pos < text.size() && text[pos] == ',') {
                ++pos;
                continue;
            }
            expect(']');
            return array;
        }
    }

    std::string parseString() {
        if (pos >= text.size() || text[pos] != '"') {
            fail("expected a string");
        }
        ++pos;
        std::string out;
        while (pos < text.size() && text[pos] != '"') {
            const unsigned char c = static_cast<unsigned char>(text[pos]);
            if (c < 0x20) {
                fail("raw control character in string");
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                ++pos;
                continue;
            }
            if (++pos >= text.size()) {
                fail("unfinished escape");
            }
            const char e = text[pos++];
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case '/':
                    out += '/';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '"':
                    out += '"';
                    break;
                case 'u': {
                    if (pos + 4 > text.size()) {
                        fail("short \\u escape");
                    }
                    const unsigned code = std::stoul(text.substr(pos, 4), nullptr, 16);
                    pos += 4;
                    // camctl writes bytes that are not UTF-8 as \u00XX of the byte; anything
                    // above is a character (no surrogates: camctl escapes none outside the BMP).
                    if (code < 0x100) {
                        out += static_cast<char>(code);
                    } else if (code < 0x800) {
                        out += static_cast<char>(0xC0 | (code >> 6));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    } else {
                        out += static_cast<char>(0xE0 | (code >> 12));
                        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    }
                    break;
                }
                default:
                    fail("bad escape");
            }
        }
        if (pos >= text.size()) {
            fail("unterminated string");
        }
        ++pos;
        return out;
    }

    const std::string& text;
    size_t pos = 0;
};

JsonValue JsonValue::parse(const std::string& text) {
    return JsonParser(text).document();
}

}  // namespace camctl::test
