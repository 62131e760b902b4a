// Where results go: the process's real standard output, as text lines or JSON documents.
#pragma once

#include <mutex>
#include <string>

#include "json.hpp"

namespace camctl {

/// Results of a command. Thread-safe: event handlers print from the library's threads.
class Output {
public:
    explicit Output(bool json) : jsonMode(json) {}

    /// The library writes its diagnostic lines to standard output. Results must stay parseable,
    /// so from here on file descriptor 1 points at standard error and results go to a private
    /// duplicate of the original standard output. Call once, before the library is used.
    static void divertProcessStdout();

    bool json() const { return jsonMode; }
    /// One line of text output (a newline is appended).
    void line(const std::string& text);
    /// One JSON document on one line.
    void document(const Json& value);
    /// A remark for the person at the terminal (standard error), never part of the results.
    void note(const std::string& text);

private:
    void writeAll(int fd, const std::string& text);

    bool jsonMode;
    std::mutex mutex;
};

}  // namespace camctl
