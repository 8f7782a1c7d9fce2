// Where the launch list and the sound are: beside the program, then along the XDG folders, the
// user's own before the system's.
#include "app/errors.h"
#include "platform/qt/host.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace pikorina::qt {
namespace {

// The folders along one XDG search path, the user's own first. Qt takes the variables as they
// stand, but the XDG rules say a relative path in them is to be ignored: for the user's own
// folder that means the default under the home folder, for the others just leaving it out.
QStringList XdgFolders(QStandardPaths::StandardLocation type, const QString& homeDefault) {
    QString own = QStandardPaths::writableLocation(type);
    if (QDir::isRelativePath(own)) own = QDir::homePath() + homeDefault;
    QStringList folders{own};
    // The list starts with the writable location, which is already in hand.
    for (const QString& folder : QStandardPaths::standardLocations(type).mid(1)) {
        if (QDir::isAbsolutePath(folder)) folders << folder;
    }
    return folders;
}

// Anything of that name counts, a broken link included: it is the file the user meant, and
// reading it says what is wrong with it.
bool IsThere(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

// A list beside the program comes first, so a copy in a folder of its own (the build, a
// portable copy) keeps its own list; then the user's own list, then the system's.
std::string Host::LaunchListPath() const {
    const QString beside = QString::fromStdString(BesideProgram("Setup.ini"));
    if (IsThere(beside)) return beside.toStdString();
    const QStringList folders = XdgFolders(QStandardPaths::GenericConfigLocation, "/.config");
    for (const QString& folder : folders) {
        const QString path = folder + "/pikorina/Setup.ini";
        if (IsThere(path)) return path.toStdString();
    }
    // The report tells the user where their own list belongs.
    throw RuntimeError(kErrFileNotFound, (folders.front() + "/pikorina/Setup.ini").toStdString());
}

// The same order for the sound, along the data folders; where it is nowhere, nothing plays.
std::string Host::SoundPath() const {
    const std::string beside = BesideProgram("Don.wav");
    if (IsThere(QString::fromStdString(beside))) return beside;
    for (const QString& folder : XdgFolders(QStandardPaths::GenericDataLocation, "/.local/share")) {
        const QString path = folder + "/pikorina/Don.wav";
        if (IsThere(path)) return path.toStdString();
    }
    return beside;
}

} // namespace pikorina::qt
