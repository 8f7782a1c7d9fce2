// Starting a program on Linux. There is no shell in between: the core splits the line by the
// shell's quoting rules alone (launcher/command_line.h), the program is looked up on PATH, and
// it is started detached, so nothing in the line but its first word is ever run and no child is
// left for us to reap.
#include "app/errors.h"
#include "platform/qt/host.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <variant>

namespace pikorina::qt {
namespace {

// The program a first word names, or an error number saying why it cannot be run.
std::variant<QString, int> ResolveProgram(const QString& word) {
    if (!word.contains('/')) {
        const QString found = QStandardPaths::findExecutable(word);
        if (found.isEmpty()) return kErrFileNotFound;
        return found;
    }
    const QFileInfo info(word);
    if (!info.exists()) return kErrFileNotFound;
    if (info.isDir()) return kErrPathFileAccess;
    if (!info.isExecutable()) return kErrPermissionDenied;
    return info.absoluteFilePath();
}

} // namespace

void Host::StartProgram(std::span<const std::string> words) {
    const auto program = ResolveProgram(QString::fromStdString(words.front()));
    if (const int* error = std::get_if<int>(&program)) throw RuntimeError(*error);

    QStringList arguments;
    for (const std::string& word : words.subspan(1))
        arguments << QString::fromStdString(word);
    QProcess process;
    process.setProgram(std::get<QString>(program));
    process.setArguments(arguments);
    // The started program gets our working directory and environment.
    if (!process.startDetached()) throw RuntimeError(kErrFileNotFound);
}

} // namespace pikorina::qt
