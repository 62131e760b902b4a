#include "atomic_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "file_names.hpp"
#include "interrupt.hpp"

namespace camctl {

namespace fs = std::filesystem;

namespace {

LocalFileError systemError(const std::string& what, const fs::path& path) {
    const int number = errno;
    return LocalFileError(what + " " + path.string() + ": " + std::strerror(number), number);
}

constexpr char tempMarker[] = ".part-";
constexpr size_t tempSuffixLength = 6;  // mkstemp's XXXXXX

// ".NAME.part-XXXXXX" with six letters or digits, as the constructor names them.
bool isTemporaryName(const std::string& name) {
    const size_t marker = name.rfind(tempMarker);
    if (name.size() < 2 || name[0] != '.' || marker == std::string::npos || marker < 2 ||
        name.size() - marker != sizeof tempMarker - 1 + tempSuffixLength) {
        return false;
    }
    return std::all_of(name.end() - tempSuffixLength, name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Renames without ever replacing `to`. Returns 0, or -1 with errno (EEXIST when `to` is taken).
int renameNoReplace(const fs::path& from, const fs::path& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
#endif
    // Filesystems without the flag: a hard link fails on an existing name just the same.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST) {
        return -1;
    }
    // No hard links either (FAT and the like): check, then rename; the window is small.
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.c_str(), to.c_str());
}

// The mode an ordinary new file gets (0666 less the umask); mkstemp's 0600 would make
// downloads unreadable to the user's other programs.
mode_t ordinaryFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

}  // namespace

AtomicFile::AtomicFile(const fs::path& folder, const std::string& name)
    : folder(folder), name(name) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        throw LocalFileError("cannot create folder " + folder.string() + ": " + error.message(),
                             error.value());
    }
    std::string pattern =
        (folder / ("." + name + tempMarker + std::string(tempSuffixLength, 'X'))).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    descriptor = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (descriptor < 0) {
        throw systemError("cannot create a file in", folder);
    }
    temp = buffer.data();
    setPendingTempFile(temp.c_str());
    ::fchmod(descriptor, ordinaryFileMode());
}

AtomicFile::~AtomicFile() {
    discard();
}

void AtomicFile::discard() noexcept {
    if (descriptor >= 0) {
        ::close(descriptor);
        descriptor = -1;
    }
    if (!committed && !temp.empty()) {
        ::unlink(temp.c_str());
        setPendingTempFile(nullptr);
        temp.clear();
    }
}

fs::path AtomicFile::commit() {
    if (::fsync(descriptor) != 0 || ::close(descriptor) != 0) {
        descriptor = -1;
        const auto failure = systemError("cannot write", temp);
        discard();
        throw failure;
    }
    descriptor = -1;
    for (unsigned n = 0; n < 10000; ++n) {
        const fs::path target = folder / numberedFileName(name, n);
        if (renameNoReplace(temp, target) == 0) {
            committed = true;
            setPendingTempFile(nullptr);
            return target;
        }
        if (errno != EEXIST) {
            const auto failure = systemError("cannot rename to", target);
            discard();
            throw failure;
        }
    }
    errno = EEXIST;
    const auto failure = systemError("no free name for", folder / name);
    discard();
    throw failure;
}

bool LocalFileError::concernsThisFileOnly() const {
    return number == ENOSPC || number == EFBIG || number == EDQUOT;
}

unsigned removeStaleTemporaryFiles(const fs::path& folder, std::chrono::seconds age) {
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    if (error) {
        return 0;
    }
    const auto cutoff = fs::file_time_type::clock::now() - age;
    unsigned removed = 0;
    for (const auto& entry : entries) {
        // symlink_status: a link is never followed, whatever it is called.
        if (!isTemporaryName(entry.path().filename().string()) ||
            !fs::is_regular_file(entry.symlink_status(error)) ||
            entry.last_write_time(error) >= cutoff || error) {
            continue;
        }
        if (fs::remove(entry.path(), error)) {
            ++removed;
        }
    }
    return removed;
}

fs::path writeFileAtomically(const fs::path& folder, const std::string& name, const void* data,
                             size_t size) {
    AtomicFile file(folder, name);
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(file.fd(), bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw systemError("cannot write", file.tempPath());
        }
        done += static_cast<size_t>(n);
    }
    return file.commit();
}

}  // namespace camctl
