// The explosion's sound, as the program asks its sound module for it. The module, a library of
// the program's own, holds everything that plays: the sound server's client and libsndfile with
// its codecs. The program loads it at the first explosion, so that none of those
// libraries is loaded at start, where most runs never sound (docs/performance.md).
#pragma once

#include <string>

namespace pikorina::qt {

// Plays one wave file at a time, as Host::LoadSound and Host::PlaySound say.
class SoundOutput {
  public:
    virtual ~SoundOutput() = default;
    // Decodes the file and opens an output for its first bang; returns at once.
    virtual void Load(std::string wave) = 0;
    // Starts the file loaded last; false when nothing could be started.
    virtual bool Play() = 0;
};

} // namespace pikorina::qt

// The module's one export: a new output, owned by the caller; nullptr when none can be made.
extern "C" pikorina::qt::SoundOutput* pikorina_sound_output();
inline constexpr const char* kSoundOutputSymbol = "pikorina_sound_output";
