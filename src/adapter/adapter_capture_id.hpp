// Capture IDs: the UTC start time of a capture, readable back to time out stale captures.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

namespace Corvane::CameraController::Impl {

namespace CaptureIdDetail {

// Proleptic Gregorian calendar arithmetic, so that no C library time zone state is involved.
constexpr int64_t daysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

struct CivilDate {
    int64_t year;
    unsigned month;
    unsigned day;
};

constexpr CivilDate civilFromDays(int64_t days) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const unsigned month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    return {static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

}  // namespace CaptureIdDetail

/// "%Y%m%d%H%M%S" of `time` in UTC followed by its milliseconds without leading zeros
/// (12:00:00.007 gives ...1200007).
inline std::string formatCaptureId(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const int64_t totalMs = duration_cast<milliseconds>(time.time_since_epoch()).count();
    int64_t seconds = totalMs / 1000;
    int64_t millis = totalMs % 1000;
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    int64_t days = seconds / 86400;
    int64_t secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    const CaptureIdDetail::CivilDate date = CaptureIdDetail::civilFromDays(days);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld%02u%02u%02lld%02lld%02lld%lld",
                  static_cast<long long>(date.year), date.month, date.day,
                  static_cast<long long>(secondOfDay / 3600),
                  static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60), static_cast<long long>(millis));
    return text;
}

/// The UTC start time in the first 14 characters of a capture ID, or nothing when they are not
/// a valid time stamp.
inline std::optional<int64_t> parseCaptureIdTime(const std::string& id) {
    if (id.size() < 14) {
        return std::nullopt;
    }
    int64_t fields[6] = {};
    const int widths[6] = {4, 2, 2, 2, 2, 2};
    size_t position = 0;
    for (int i = 0; i < 6; ++i) {
        for (int digit = 0; digit < widths[i]; ++digit, ++position) {
            const char c = id[position];
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            fields[i] = fields[i] * 10 + (c - '0');
        }
    }
    const int64_t year = fields[0];
    const int64_t month = fields[1];
    const int64_t day = fields[2];
    const int64_t hour = fields[3];
    const int64_t minute = fields[4];
    const int64_t second = fields[5];
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    const int64_t days = CaptureIdDetail::daysFromCivil(year, static_cast<unsigned>(month),
                                                        static_cast<unsigned>(day));
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace Corvane::CameraController::Impl
