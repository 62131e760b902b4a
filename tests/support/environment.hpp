// Environment variables and the C library's time zone, set the same way on POSIX and Windows.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace Corvane::CameraController::Testing {

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

/// Makes the C library read TZ again.
inline void reloadTimeZone() {
#if defined(_WIN32)
    _tzset();
#else
    tzset();
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
        reloadTimeZone();
    }
    ~TimeZoneGuard() {
        if (saved) {
            setEnvironment("TZ", saved->c_str());
        } else {
            unsetEnvironment("TZ");
        }
        reloadTimeZone();
    }
    TimeZoneGuard(const TimeZoneGuard&) = delete;
    TimeZoneGuard& operator=(const TimeZoneGuard&) = delete;

private:
    std::optional<std::string> saved;
};

}  // namespace Corvane::CameraController::Testing
