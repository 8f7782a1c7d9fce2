#include "fake_host.h"

#include <cmath>

namespace pikorina::test {

double FakeHost::Timer() const {
    const double wall = std::fmod(wallAtStart + monotonic, 86400.0);
    return timerTick > 0 ? std::floor(wall / timerTick) * timerTick : wall;
}

std::string FakeHost::ReadFile(const std::string& path) {
    log.push_back("ReadFile " + path);
    if (auto e = fileErrors.find(path); e != fileErrors.end()) throw RuntimeError(e->second, path);
    auto f = files.find(path);
    if (f == files.end()) throw RuntimeError(kErrFileNotFound, path);
    std::string content = f->second.front();
    if (f->second.size() > 1) f->second.pop_front();
    return content;
}

std::string FakeHost::DecodeText(std::string_view bytes, TextEncoding encoding) const {
    decodedAs.push_back(encoding);
    decodedBytes.emplace_back(bytes);
    return std::string(bytes);
}

void FakeHost::Shell(const std::string& commandLine) {
    log.push_back("Shell " + commandLine);
    for (const std::string& bad : unstartable) {
        if (bad == commandLine) throw RuntimeError(kErrFileNotFound);
    }
    started.push_back(commandLine);
}

void FakeHost::LoadSound(std::string wave) {
    log.push_back("LoadSound " + std::to_string(wave.size()) + " bytes");
    wave_ = std::move(wave);
}

bool FakeHost::PlaySound() {
    log.push_back("PlaySound");
    sounds.push_back(wave_);
    soundTimes.push_back(monotonic);
    return false;
}

void FakeHost::End(int exitStatus) {
    log.push_back("End " + std::to_string(exitStatus));
    throw ProgramEnd{exitStatus};
}

} // namespace pikorina::test
