// Text on Linux: code page 932 in place of the system's code page, which Linux lacks.
#include "platform/qt/host.h"

#include <QStringDecoder>

namespace pikorina::qt {

std::string Host::DecodeCodePage(std::string_view bytes) const {
    // The codec keeps a lead byte at the very end back for input that never comes; a line end
    // after it makes it decode as the broken character it is.
    QStringDecoder cp932("windows-31j", QStringConverter::Flag::Stateless);
    QString text =
        cp932.decode(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())) + '\n');
    text.chop(1);
    // The codec stands its substitution character U+001A in for the bytes it cannot map; the
    // core never hands it a real one.
    return text.replace(QChar(0x1A), QChar::ReplacementCharacter).toStdString();
}

} // namespace pikorina::qt
