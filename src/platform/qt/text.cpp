// Reading Setup.ini, and turning its bytes into UTF-8.
#include "app/errors.h"
#include "platform/qt/host.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pikorina::qt {

std::string Host::ReadFile(const std::string& path) {
    // Opened without waiting, and read only if it is a plain file: a FIFO would hold the
    // start-up until someone writes to it, and a device such as /dev/zero never ends.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            const bool folder = QFileInfo(QString::fromStdString(path)).absoluteDir().exists();
            throw RuntimeError(folder ? kErrFileNotFound : kErrPathNotFound, path);
        }
        throw RuntimeError(error == EACCES ? kErrPermissionDenied : kErrPathFileAccess, path);
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw RuntimeError(kErrPathFileAccess, path);
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        throw RuntimeError(kErrPathFileAccess, path);
    }
    if (static_cast<std::uint64_t>(file.size()) > kLargestFileBytes) {
        throw RuntimeError(kErrOutOfMemory, path);
    }
    // Read to the end rather than trusting the size, which can change under us; a file that
    // grows past the limit meanwhile is refused as one that was too large at once.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(file.size()));
    char buffer[64 * 1024];
    qint64 got = 0;
    while ((got = file.read(buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > kLargestFileBytes) throw RuntimeError(kErrOutOfMemory, path);
    }
    if (got < 0) throw RuntimeError(kErrPathFileAccess, path);
    return bytes;
}

// Linux has no system code page: in its place, code page 932, the one the program's Japanese
// lists were written in on Windows. Bytes the code page has no character for become U+FFFD
// rather than failing the load.
std::string Host::DecodeText(std::string_view bytes, TextEncoding encoding) const {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE) {
        QStringDecoder utf16(encoding == TextEncoding::Utf16LE ? QStringDecoder::Utf16LE
                                                               : QStringDecoder::Utf16BE,
                             QStringConverter::Flag::Stateless);
        return QString(utf16.decode(view)).toStdString();
    }
    if (encoding == TextEncoding::Utf8) {
        // Valid UTF-8 is already what the program wants: no round trip through QString.
        if (view.isValidUtf8()) return std::string(bytes);
        // Stateless: an incomplete character at the very end is an error, not input held back.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        return QString(utf8.decode(view)).toStdString();
    }
    // Code page 932 reads ASCII as ASCII, so a plain ASCII list needs no codec either.
    if (std::ranges::all_of(bytes, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return std::string(bytes);
    }
    // The codec stands its substitution character U+001A in for bytes it cannot map, which
    // would read as Ctrl+Z, the end of the file. A real Ctrl+Z byte is never part of a double
    // byte character, so each stretch between real ones is decoded alone and its substitutes
    // become U+FFFD.
    const QList<QByteArray> pieces =
        QByteArray::fromRawData(view.data(), view.size()).split('\x1A');
    QString text;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0) text += QChar(0x1A);
        // The codec keeps a lead byte at the very end back for input that never comes; a line
        // end after it makes it decode as the broken character it is.
        QStringDecoder cp932("windows-31j", QStringConverter::Flag::Stateless);
        QString decoded = cp932.decode(pieces[i] + '\n');
        decoded.chop(1);
        text += decoded.replace(QChar(0x1A), QChar::ReplacementCharacter);
    }
    return text.toStdString();
}

} // namespace pikorina::qt
