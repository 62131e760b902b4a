// Where results go: standard output, as text lines or JSON documents.
#pragma once

#include <mutex>
#include <string>

#include "json.hpp"

namespace camctl {

/// Results of a command. Thread-safe: event handlers print from the library's threads.
class Output {
public:
    explicit Output(bool json) : jsonMode(json) {}

    /// The library writes its diagnostic lines to standard output by default. Results must stay
    /// parseable, so its lines go to standard error instead. Call before the library is used.
    static void sendLibraryDiagnosticsToStderr();

    bool json() const { return jsonMode; }
    /// One line of text output (a newline is appended).
    void line(const std::string& text);
    /// One JSON document on one line.
    void document(const Json& value);
    /// A remark for the person at the terminal (standard error), never part of the results.
    void note(const std::string& text);

private:
    static void writeAll(int fd, const std::string& text);

    bool jsonMode;
    std::mutex mutex;
};

}  // namespace camctl
