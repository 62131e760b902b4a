#include "download.hpp"

#include <sys/stat.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <streambuf>

#include "atomic_file.hpp"
#include "errors.hpp"
#include "file_names.hpp"
#include "interrupt.hpp"
#include "progress.hpp"

namespace camctl {

namespace {

// An output buffer over a file descriptor. Repositioning is needed because the camera's
// transfer-buffer protocol may move the write position. Every write checks for Ctrl-C and
// throws, which ends the library's transfer loop at once instead of letting it fetch the rest.
class FileStreamBuf : public std::streambuf {
public:
    FileStreamBuf(int fd, ProgressBar& progress) : fd(fd), progress(progress) {
        setp(buffer.data(), buffer.data() + buffer.size());
    }

    /// The errno of the last failed write, 0 when none failed.
    int lastError() const { return writeErrno; }

protected:
    int_type overflow(int_type ch) override {
        throwIfInterrupted();
        if (!flushBuffer()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }

    std::streamsize xsputn(const char* data, std::streamsize count) override {
        throwIfInterrupted();
        if (count >= static_cast<std::streamsize>(buffer.size())) {
            if (!flushBuffer() || !writeAll(data, static_cast<size_t>(count))) {
                return 0;
            }
            filePosition += static_cast<uint64_t>(count);
            noteProgress();
            return count;
        }
        return std::streambuf::xsputn(data, count);
    }

    int sync() override { return flushBuffer() ? 0 : -1; }

    pos_type seekoff(off_type offset, std::ios_base::seekdir dir,
                     std::ios_base::openmode) override {
        if (!flushBuffer()) {
            return pos_type(off_type(-1));
        }
        const int whence = dir == std::ios_base::beg   ? SEEK_SET
                           : dir == std::ios_base::cur ? SEEK_CUR
                                                       : SEEK_END;
        const off_t result = ::lseek(fd, offset, whence);
        if (result < 0) {
            return pos_type(off_type(-1));
        }
        filePosition = static_cast<uint64_t>(result);
        return pos_type(result);
    }

    pos_type seekpos(pos_type pos, std::ios_base::openmode mode) override {
        return seekoff(off_type(pos), std::ios_base::beg, mode);
    }

private:
    bool flushBuffer() {
        const size_t pending = static_cast<size_t>(pptr() - pbase());
        if (pending > 0 && !writeAll(pbase(), pending)) {
            return false;
        }
        filePosition += pending;
        setp(buffer.data(), buffer.data() + buffer.size());
        noteProgress();
        return true;
    }

    bool writeAll(const char* data, size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(fd, data, size);
            if (n < 0) {
                if (errno == EINTR) {
                    throwIfInterrupted();
                    continue;
                }
                writeErrno = errno;
                return false;
            }
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    void noteProgress() {
        written = std::max(written, filePosition);
        progress.update(written);
    }

    int fd;
    ProgressBar& progress;
    std::array<char, 1 << 16> buffer{};
    uint64_t filePosition = 0;
    uint64_t written = 0;
    int writeErrno = 0;
};

uint64_t fileSize(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

}  // namespace

std::string localNameFor(const cc::CameraImage& image) {
    return sanitizeFileName(image.getName(), "image-" + image.getId());
}

DownloadedFile downloadImage(const cc::CameraImage& image, const std::filesystem::path& folder) {
    const std::string name = localNameFor(image);
    AtomicFile file(folder, name);
    ProgressBar progress(name, image.getSize(), ProgressBar::wanted());
    FileStreamBuf buffer(file.fd(), progress);
    std::ostream out(&buffer);
    out.exceptions(std::ios::badbit);

    cc::Response response(cc::Result::Error);
    try {
        response = image.getData(out);
        out.flush();
    } catch (const std::ios_base::failure&) {
        const int number = buffer.lastError() ? buffer.lastError() : EIO;
        throw LocalFileError(
            "cannot write " + (folder / name).string() + ": " + std::strerror(number), number);
    }
    throwIfFailed(response, "download of " + name);

    const uint64_t size = fileSize(file.fd());
    // The camera announces the size of stored files; anything else is a broken transfer. Images
    // in the transfer buffer have no announced size (0).
    if (image.getSize() > 0 && size != image.getSize()) {
        throw CameraError("Unknown", "download of " + name + " delivered " + std::to_string(size) +
                                         " of " + std::to_string(image.getSize()) + " bytes");
    }
    progress.update(size);
    DownloadedFile result{file.commit(), size};
    progress.finish();
    return result;
}

}  // namespace camctl
