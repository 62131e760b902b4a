// A file that appears under its final name only once it is complete.
#pragma once

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace camctl {

/// A file could not be created or written on this computer (as opposed to a camera failure).
class LocalFileError : public std::runtime_error {
public:
    LocalFileError(const std::string& message, int errorNumber)
        : std::runtime_error(message), number(errorNumber) {}
    int errorNumber() const { return number; }
    /// True when the failure is about this file (too big for the space or the limits left), so
    /// smaller files may still fit; false when every later file in the folder would fail too.
    bool concernsThisFileOnly() const;

private:
    int number;
};

/// Writes go to a hidden temporary file in the target folder; commit() gives it its final name
/// in one rename. Destroying an uncommitted AtomicFile removes the temporary file, so a failed
/// or interrupted write never leaves a truncated file under the final name. An existing file is
/// never replaced: commit() picks "name-2.ext", "name-3.ext", ... instead.
class AtomicFile {
public:
    /// Creates the folder if needed and the temporary file inside it. `name` must already be a
    /// safe single path component (see sanitizeFileName). Throws LocalFileError on failure.
    AtomicFile(const std::filesystem::path& folder, const std::string& name);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    int fd() const { return descriptor; }
    const std::filesystem::path& tempPath() const { return temp; }

    /// Flushes the data to disk, closes the file and renames it to the first free name.
    /// Returns the final path. Throws LocalFileError on failure (the temporary is removed).
    std::filesystem::path commit();

private:
    void discard() noexcept;

    std::filesystem::path folder;
    std::string name;
    std::filesystem::path temp;
    int descriptor = -1;
    bool committed = false;
};

/// Removes the temporary files AtomicFile left in `folder` (".NAME.part-XXXXXX", from a run
/// that was killed) that were last written more than `age` ago. Only regular files of exactly
/// that form are touched. Returns how many were removed; errors are ignored.
unsigned removeStaleTemporaryFiles(const std::filesystem::path& folder,
                                   std::chrono::seconds age = std::chrono::hours(24));

/// Writes `size` bytes to `folder`/`name` through an AtomicFile; returns the final path.
std::filesystem::path writeFileAtomically(const std::filesystem::path& folder,
                                          const std::string& name, const void* data, size_t size);

}  // namespace camctl
