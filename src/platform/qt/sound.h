// The explosion's sound, as the program asks its sound module for it. The module, a library of
// the program's own, holds everything that plays: the sound server's client and libsndfile with
// its codecs. The program loads it at the first explosion, so that none of those
// libraries is loaded at start, where most runs never sound (docs/performance.md).
#pragma once

#include "app/sound_server.h"

// The module's one export: the sound server, owned by the caller; nullptr when none can be had.
extern "C" pikorina::SoundServer* pikorina_sound_server();
inline constexpr const char* kSoundServerSymbol = "pikorina_sound_server";
