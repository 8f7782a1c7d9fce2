// The explosion's sound, as the program asks its sound module for it. The module, a library of
// the program's own, holds everything that plays: the sound server's client and libsndfile with
// its codecs. The program loads it at the first explosion, so that none of those
// libraries is loaded at start, where most runs never sound (docs/performance.md).
#pragma once

#include <string>

namespace pikorina::qt {

// The host's sound (app/host.h), played as Windows' PlaySound plays a sound: a bang cuts short
// the one still sounding and starts the file again from the top.
class Sound {
  public:
    virtual ~Sound() = default;
    virtual void Load(std::string wave) = 0;
    // Whether the server had taken the stream the bang plays on.
    virtual bool Play() = 0;
};

} // namespace pikorina::qt

// The module's one export: the sound, owned by the caller; nullptr when none can be had.
extern "C" pikorina::qt::Sound* pikorina_sound();
inline constexpr const char* kSoundSymbol = "pikorina_sound";
