// The host's sound: the sound module is loaded at the first explosion, from the program's own
// library folder, and plays the bangs. Without the module, or without a sound server, the
// explosion runs on in silence.
#include "platform/qt/sound.h"
#include "platform/qt/host.h"

#include <QCoreApplication>
#include <QLibrary>

namespace pikorina::qt {
namespace {

// Where the module is: the folder the package installs it in, or, in a build tree, beside the
// program. Never a search of the library path: only the program's own module may run here.
QString ModulePath() {
    const QString folder = QStringLiteral(PIKORINA_MODULE_DIR);
    return (folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder) +
           QStringLiteral("/libpikorina-sound.so");
}

} // namespace

void Host::LoadSound(std::string wave) {
    if (!sound_) {
        // Kept loaded for the rest of the run: the server's code lives in it.
        QLibrary module(ModulePath());
        if (const auto create =
                reinterpret_cast<decltype(&pikorina_sound)>(module.resolve(kSoundSymbol))) {
            sound_.reset(create());
        }
    }
    if (sound_) sound_->Load(std::move(wave));
}

bool Host::PlaySound() {
    return sound_ && sound_->Play();
}

} // namespace pikorina::qt
