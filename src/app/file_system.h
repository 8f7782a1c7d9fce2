// Reading the program's files. The platform opens a plain file without waiting and reads it in
// pieces; the core decides how much it takes (ReadFile).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace pikorina {

// The largest file ReadFile takes. The program reads two files, the launch list and the
// explosion's sound, and neither comes near this size. A loaded record costs about 400 bytes:
// a list this large (some 1.7 million typical records) is no list written by hand but a log or
// a disk image renamed by mistake, which would exhaust memory before anything is shown; on
// Linux the kernel would end the process before it could say why.
inline constexpr std::uint64_t kLargestFileBytes = std::uint64_t{64} << 20;

// A plain file open for reading; closed when let go.
class OpenFile {
  public:
    virtual ~OpenFile() = default;
    // Its size in bytes when it was opened.
    virtual std::uint64_t Size() const = 0;
    // Reads the next bytes into buffer: how many, 0 at the end, -1 when reading failed.
    virtual std::int64_t Read(std::span<char> buffer) = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // Opens the file without waiting, and only if it is a plain file: a FIFO would hold the
    // program until someone wrote to it, and a device such as /dev/zero never ends. Throws,
    // with the path, 53 (no such file), 76 (no such folder), 70 (refused) or 75 (a folder, a
    // FIFO, a device, anything else).
    virtual std::unique_ptr<OpenFile> OpenPlainFile(const std::string& path) = 0;
};

// The whole file's bytes; throws as OpenPlainFile does, 75 when reading fails, and 7 (out of
// memory) for a file larger than kLargestFileBytes, without reading it.
std::string ReadFile(FileSystem& files, const std::string& path);

} // namespace pikorina
