// A one-line progress bar on standard error: bytes, rate and time left.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace camctl {

class ProgressBar {
public:
    /// `total` 0 means the size is not known in advance (shown without percentage and time
    /// left). Draws nothing unless `enabled`.
    ProgressBar(std::string label, uint64_t total, bool enabled);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    /// Clears the line if finish() was not called (the download failed).
    ~ProgressBar();

    /// Redraws at most ten times a second.
    void update(uint64_t bytes);
    /// Draws the final state and ends the line.
    void finish();

    /// Whether progress should be drawn: only when standard error is a terminal.
    static bool wanted();

private:
    void draw(bool final);

    std::string label;
    uint64_t total;
    bool enabled;
    bool drawn = false;
    bool finished = false;
    uint64_t current = 0;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDraw;
};

/// "812 B", "3.4 MiB" and the like.
std::string formatBytes(uint64_t bytes);

}  // namespace camctl
