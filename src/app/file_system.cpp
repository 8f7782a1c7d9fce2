#include "app/file_system.h"

#include "app/errors.h"

namespace pikorina {

std::string ReadFile(FileSystem& files, const std::string& path) {
    const std::unique_ptr<OpenFile> file = files.OpenPlainFile(path);
    const std::uint64_t size = file->Size();
    if (size > kLargestFileBytes) throw RuntimeError(kErrOutOfMemory, path);
    // Read to the end rather than trusting the size, which can change under us; a file that
    // grows past the limit meanwhile is refused as one that was too large at once.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    char buffer[64 * 1024];
    std::int64_t got = 0;
    while ((got = file->Read(buffer)) > 0) {
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > kLargestFileBytes) throw RuntimeError(kErrOutOfMemory, path);
    }
    if (got < 0) throw RuntimeError(kErrPathFileAccess, path);
    return bytes;
}

} // namespace pikorina
