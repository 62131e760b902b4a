// Ctrl-C handling: long waits and downloads notice it, and no half-written file survives it.
#pragma once

#include <chrono>

namespace camctl {

/// Installs handlers for SIGINT, SIGTERM and SIGHUP. The first signal only raises a flag that waits
/// and downloads check, so the camera is left in a clean state; a second one removes the download
/// in progress (if any) and ends the process at once.
void installInterruptHandlers();

bool interrupted();
/// Throws Interrupted when a signal arrived.
void throwIfInterrupted();
/// Sleeps up to `duration`; returns early (false) when a signal arrives.
bool sleepUnlessInterrupted(std::chrono::milliseconds duration);

/// Names the temporary file of the download in progress, so a second signal can remove it.
/// The path is copied into static storage; pass nullptr to clear it.
void setPendingTempFile(const char* path);

}  // namespace camctl
