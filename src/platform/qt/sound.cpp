// The explosion's bang. Only "play <path>" is understood; playback starts and the call returns
// at once. A missing file, an unplayable one or no sound device: nothing happens, silently.
#include "effects/sound_command.h"
#include "platform/qt/host.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace pikorina::qt {

bool Host::mciExecute(std::string_view command) {
    const auto path = PlayCommandPath(command);
    if (!path) return false;
    const QString file = QString::fromStdString(*path);
    if (!QFileInfo(file).isFile()) return false;
    // One effect, made once and reused: loading the file again for every bang would be wasted,
    // and playing it again while it sounds starts it over.
    if (!sound_) sound_ = std::make_unique<QSoundEffect>();
    const QUrl source = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
    if (sound_->source() != source) sound_->setSource(source);
    sound_->play();
    return true;
}

} // namespace pikorina::qt
