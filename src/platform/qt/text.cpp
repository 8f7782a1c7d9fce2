// Files and text: the program's folder, reading Setup.ini, and turning its bytes into UTF-8.
#include "app/errors.h"
#include "platform/qt/window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace pikorina::qt {

std::string Window::AppPath() const {
    const QString path = appPath_.isEmpty() ? QCoreApplication::applicationDirPath() : appPath_;
    return path.toStdString();
}

std::string Window::ReadFile(const std::string& path) {
    const QString name = QString::fromStdString(path);
    const QFileInfo info(name);
    if (!info.exists()) {
        throw RuntimeError(info.absoluteDir().exists() ? kErrFileNotFound : kErrPathNotFound, path);
    }
    if (info.isDir()) throw RuntimeError(kErrPathFileAccess, path);
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        throw RuntimeError(file.error() == QFileDevice::PermissionsError ? kErrPermissionDenied
                                                                         : kErrPathFileAccess,
                           path);
    }
    if (static_cast<std::uint64_t>(file.size()) > kLargestFileBytes) {
        throw RuntimeError(kErrOutOfMemory, path);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) throw RuntimeError(kErrPathFileAccess, path);
    return bytes.toStdString();
}

// Linux has no system code page. A file that is valid UTF-8 throughout is taken as UTF-8, any
// other as code page 932, the one the program's Japanese lists were written in on Windows.
// Bytes the code page has no character for become U+FFFD rather than failing the load.
std::string Window::DecodeText(std::string_view bytes, TextEncoding encoding) const {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE) {
        QStringDecoder utf16(encoding == TextEncoding::Utf16LE ? QStringDecoder::Utf16LE
                                                               : QStringDecoder::Utf16BE,
                             QStringConverter::Flag::Stateless);
        return QString(utf16.decode(view)).toStdString();
    }
    // Valid UTF-8 is already what the program wants: no round trip through QString.
    if (view.isValidUtf8()) return std::string(bytes);
    if (encoding == TextEncoding::Utf8) {
        // Stateless: an incomplete character at the very end is an error, not input held back.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        return QString(utf8.decode(view)).toStdString();
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
