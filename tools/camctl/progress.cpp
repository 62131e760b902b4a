#include "progress.hpp"

#include <sys/ioctl.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>

namespace camctl {

namespace {

int terminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 40) {
        return size.ws_col;
    }
    return 80;
}

std::string formatDuration(double seconds) {
    const auto whole = static_cast<long>(seconds + 0.5);
    char buffer[32];
    if (whole >= 3600) {
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld", whole / 60, whole % 60);
    }
    return buffer;
}

}  // namespace

std::string formatBytes(uint64_t bytes) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < sizeof units / sizeof units[0]) {
        value /= 1024.0;
        ++unit;
    }
    char buffer[32];
    if (unit == 0) {
        std::snprintf(buffer, sizeof buffer, "%llu B", static_cast<unsigned long long>(bytes));
    } else {
        std::snprintf(buffer, sizeof buffer, "%.1f %s", value, units[unit]);
    }
    return buffer;
}

bool ProgressBar::wanted() {
    return ::isatty(STDERR_FILENO) == 1;
}

ProgressBar::ProgressBar(std::string label, uint64_t total, bool enabled)
    : label(std::move(label)),
      total(total),
      enabled(enabled),
      start(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() {
    if (enabled && drawn && !finished) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
}

void ProgressBar::update(uint64_t bytes) {
    current = bytes;
    if (!enabled) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (drawn && now - lastDraw < std::chrono::milliseconds(100)) {
        return;
    }
    lastDraw = now;
    draw(false);
}

void ProgressBar::finish() {
    if (!enabled || finished) {
        return;
    }
    draw(true);
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    finished = true;
}

void ProgressBar::draw(bool final) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = elapsed > 0.05 ? static_cast<double>(current) / elapsed : 0.0;

    std::string figures = formatBytes(current);
    if (total > 0) {
        figures += " / " + formatBytes(total);
    }
    if (rate > 0) {
        figures += "  " + formatBytes(static_cast<uint64_t>(rate)) + "/s";
    }
    if (total > 0 && !final && rate > 0 && current < total) {
        figures += "  " + formatDuration(static_cast<double>(total - current) / rate) + " left";
    } else if (final) {
        figures += "  " + formatDuration(elapsed);
    }

    const int columns = terminalColumns();
    std::string bar;
    if (total > 0) {
        // Sized for the widest figures, so the bar does not jump as the numbers change.
        const int width = std::clamp(columns - 24 - 9 - 50, 10, 40);
        const double fraction = std::min(1.0, static_cast<double>(current) / total);
        const int filled = static_cast<int>(fraction * width);
        bar = "[" + std::string(filled, '#') + std::string(width - filled, ' ') + "] ";
        char percent[8];
        std::snprintf(percent, sizeof percent, "%3d%% ", static_cast<int>(fraction * 100));
        bar += percent;
    }
    std::string shownLabel = label.size() > 24 ? label.substr(0, 21) + "..." : label;
    shownLabel.resize(24, ' ');
    std::fprintf(stderr, "\r\033[K%s %s%s", shownLabel.c_str(), bar.c_str(), figures.c_str());
    std::fflush(stderr);
    drawn = true;
}

}  // namespace camctl
