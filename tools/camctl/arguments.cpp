#include "arguments.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "errors.hpp"
#include "formatting.hpp"

namespace camctl {

namespace {

bool parseFraction(const std::string& text, float& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(parsed) || parsed < 0.0 ||
        parsed > 1.0) {
        return false;
    }
    value = static_cast<float>(parsed);
    return true;
}

}  // namespace

CLI::Validator finiteRange(double min, double max) {
    const std::string range = "[" + formatNumber(min) + " - " + formatNumber(max) + "]";
    return CLI::Validator(
        [min, max, range](std::string& text) -> std::string {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            if (text.empty() || end != text.c_str() + text.size()) {
                return "\"" + text + "\" is not a number";
            }
            if (!std::isfinite(value) || value < min || value > max) {
                return "\"" + text + "\" is not in the range " + range;
            }
            return {};
        },
        "FLOAT in " + range);
}

CLI::Validator nonEmpty() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return text.empty() ? "must not be empty" : std::string();
        },
        "not empty");
}

cc::Point parsePoint(const std::string& text) {
    const size_t comma = text.find(',');
    cc::Point point;
    if (comma == std::string::npos || !parseFraction(text.substr(0, comma), point.x) ||
        !parseFraction(text.substr(comma + 1), point.y)) {
        throw UsageError(
            "a point is X,Y with fractions of the frame from 0 to 1 (0.5,0.5 is the "
            "centre), got \"" +
            text + "\"");
    }
    return point;
}

int64_t parseTimeArgument(const std::string& text, int64_t now) {
    if (text == "now") {
        return now;
    }
    errno = 0;
    char* end = nullptr;
    const long long seconds = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || seconds < 0) {
        throw UsageError("--set takes \"now\" or seconds since 1970-01-01 UTC, got \"" + text +
                         "\"");
    }
    return seconds;
}

}  // namespace camctl
