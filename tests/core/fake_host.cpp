#include "fake_host.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pikorina::test {
namespace {

struct FakeFile final : OpenFile {
    std::string bytes;
    std::uint64_t size;
    bool fails;
    std::size_t at = 0;
    FakeFile(std::string b, std::uint64_t s, bool f) : bytes(std::move(b)), size(s), fails(f) {}
    std::uint64_t Size() const override { return size; }
    std::int64_t Read(std::span<char> buffer) override {
        const std::size_t n = std::min(buffer.size(), bytes.size() - at);
        if (n == 0) return fails ? -1 : 0;
        std::memcpy(buffer.data(), bytes.data() + at, n);
        at += n;
        return static_cast<std::int64_t>(n);
    }
};

} // namespace

double FakeHost::Timer() const {
    const double wall = std::fmod(wallAtStart + monotonic, 86400.0);
    return timerTick > 0 ? std::floor(wall / timerTick) * timerTick : wall;
}

std::unique_ptr<OpenFile> FakeHost::OpenPlainFile(const std::string& path) {
    log.push_back("ReadFile " + path);
    if (auto e = fileErrors.find(path); e != fileErrors.end()) throw RuntimeError(e->second, path);
    auto f = files.find(path);
    if (f == files.end()) throw RuntimeError(kErrFileNotFound, path);
    std::string content = f->second.front();
    if (f->second.size() > 1) f->second.pop_front();
    const auto size = fileSizes.contains(path) ? fileSizes[path] : content.size();
    return std::make_unique<FakeFile>(std::move(content), size, failingReads.contains(path));
}

std::string FakeHost::DecodeCodePage(std::string_view bytes) const {
    codePageBytes.emplace_back(bytes);
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | byte >> 6);
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

void FakeHost::StartProgram(std::span<const std::string> command) {
    std::string line = command.front();
    for (const std::string& word : command.subspan(1))
        line += "|" + word;
    log.push_back("StartProgram " + line);
    for (const std::string& bad : unstartable) {
        if (bad == line) throw RuntimeError(kErrFileNotFound);
    }
    started.push_back(line);
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
