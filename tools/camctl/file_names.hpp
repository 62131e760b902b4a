// File names chosen by the camera are untrusted input: they must never steer where we write.
#pragma once

#include <string>

namespace camctl {

/// The longest name we produce, leaving room for a "-NNN" suffix and the temporary-file
/// decoration within the usual 255-byte limit of one path component.
constexpr size_t maxFileNameLength = 200;

/// A name that is safe as one path component inside the target folder: path separators,
/// control characters and characters that reorder the display (see DisplayControl) become '_', and
/// so do leading dots and runs of two or more dots (so neither "." nor ".." nor a hidden file can
/// result); overlong names are shortened keeping their extension. Returns `fallback` (sanitised the
/// same way) when nothing usable remains.
std::string sanitizeFileName(const std::string& name, const std::string& fallback);

/// The n-th alternative for a name that is taken: "IMG_1.JPG" -> "IMG_1-2.JPG" for n = 2.
/// n = 0 returns the name unchanged.
std::string numberedFileName(const std::string& name, unsigned n);

}  // namespace camctl
