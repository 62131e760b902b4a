// Runs a test where an application might run the library: a German global locale (comma
// decimal point) and a time zone with daylight saving, both restored afterwards.
#pragma once

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <locale>
#include <optional>
#include <stdexcept>
#include <string>

namespace Corvane::CameraController::Testing {

// The same calls on POSIX and Windows.
inline void setEnvironment(const char* name, const char* value) {
#if defined(_WIN32)
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

inline void unsetEnvironment(const char* name) {
#if defined(_WIN32)
    _putenv_s(name, "");  // an empty value removes the variable
#else
    unsetenv(name);
#endif
}

/// Sets the process time zone (a TZ value such as "UTC") for its lifetime, then restores it.
class TimeZoneGuard {
public:
    explicit TimeZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            saved = old;
        }
        setEnvironment("TZ", zone);
        reload();
    }
    ~TimeZoneGuard() {
        if (saved) {
            setEnvironment("TZ", saved->c_str());
        } else {
            unsetEnvironment("TZ");
        }
        reload();
    }
    TimeZoneGuard(const TimeZoneGuard&) = delete;
    TimeZoneGuard& operator=(const TimeZoneGuard&) = delete;

private:
    static void reload() {
#if defined(_WIN32)
        _tzset();
#else
        tzset();
#endif
    }

    std::optional<std::string> saved;
};

/// Central European time: UTC+1, UTC+2 from the last Sunday of March to the last of October.
inline constexpr const char* kDaylightSavingZone = "CET-1CEST,M3.5.0,M10.5.0/3";
#if defined(_WIN32)
// The Windows C runtime has no UTF-8 locales; its German one has the same separators.
inline constexpr const char* kCommaDecimalLocale = "German_Germany.1252";
#else
inline constexpr const char* kCommaDecimalLocale = "de_DE.UTF-8";
#endif

class ApplicationEnvironment {
public:
    ApplicationEnvironment()
        : zone(kDaylightSavingZone),
          savedGlobal(std::locale()),
          savedC(std::setlocale(LC_ALL, nullptr)) {
        try {
            // As an application's std::locale::global(std::locale("")) would; this also sets
            // the C library's locale.
            std::locale::global(std::locale(kCommaDecimalLocale));
        } catch (const std::runtime_error& e) {
            failure = std::string("locale ") + kCommaDecimalLocale +
                      " is missing (scripts/setup generates it): " + e.what();
        }
    }
    ~ApplicationEnvironment() {
        std::locale::global(savedGlobal);
        std::setlocale(LC_ALL, savedC.c_str());
    }
    ApplicationEnvironment(const ApplicationEnvironment&) = delete;
    ApplicationEnvironment& operator=(const ApplicationEnvironment&) = delete;

    bool ready() const { return failure.empty(); }
    const std::string& problem() const { return failure; }

private:
    TimeZoneGuard zone;
    std::locale savedGlobal;
    std::string savedC;
    std::string failure;
};

}  // namespace Corvane::CameraController::Testing

// Starts a test that needs the application environment. Where the platform cannot give it, the
// test is skipped: MinGW's C++ library knows no named locales, and the Windows C runtime reads no
// daylight-saving rules from TZ. Elsewhere a missing locale fails the test.
#if defined(_WIN32)
#define REQUIRE_APPLICATION_ENVIRONMENT(environment) \
    GTEST_SKIP() << "no named C++ locales and no TZ daylight-saving rules on this runtime"
#else
#define REQUIRE_APPLICATION_ENVIRONMENT(environment) \
    ASSERT_TRUE((environment).ready()) << (environment).problem()
#endif
