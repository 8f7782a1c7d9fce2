// Opening a plain file on Linux without waiting, for the core to read (app/file_system.h).
#include "app/errors.h"
#include "platform/qt/host.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pikorina::qt {
namespace {

struct PlainFile final : OpenFile {
    explicit PlainFile(int fd) : fd(fd) {}
    ~PlainFile() override { ::close(fd); }
    PlainFile(const PlainFile&) = delete;
    PlainFile& operator=(const PlainFile&) = delete;
    std::uint64_t Size() const override { return size; }
    std::int64_t Read(std::span<char> buffer) override {
        return ::read(fd, buffer.data(), buffer.size());
    }
    int fd;
    std::uint64_t size = 0;
};

} // namespace

std::unique_ptr<OpenFile> Host::OpenPlainFile(const std::string& path) {
    // O_NONBLOCK: a FIFO opens at once rather than waiting for a writer, and is then refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            const bool folder = QFileInfo(QString::fromStdString(path)).absoluteDir().exists();
            throw RuntimeError(folder ? kErrFileNotFound : kErrPathNotFound, path);
        }
        throw RuntimeError(error == EACCES ? kErrPermissionDenied : kErrPathFileAccess, path);
    }
    auto file = std::make_unique<PlainFile>(fd); // closes it on every way out
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        throw RuntimeError(kErrPathFileAccess, path);
    }
    file->size = static_cast<std::uint64_t>(status.st_size);
    return file;
}

} // namespace pikorina::qt
