// The host's own part: the clock, the program's folder and the end. Files, the launch and the
// sound each have a file of their own.
#include "platform/qt/host.h"

#include "platform/qt/sound.h"

#include <QCoreApplication>
#include <QTime>

#include <cstdio>
#include <cstdlib>

namespace pikorina::qt {

Host::Host(QString appPath) : appPath_(std::move(appPath)) {}
Host::~Host() = default;

double Host::Timer() const {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

std::string Host::AppPath() const {
    const QString path = appPath_.isEmpty() ? QCoreApplication::applicationDirPath() : appPath_;
    return path.toStdString();
}

void Host::End(int exitStatus) {
    // At once, from however deep a nested handler: unwinding through the event loops would run
    // the rest of the handlers that called them.
    std::fflush(nullptr);
    std::_Exit(exitStatus);
}

} // namespace pikorina::qt
