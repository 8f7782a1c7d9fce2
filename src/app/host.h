// The host: what the handlers need of the machine rather than of the window, one role a
// concern, each in a header of its own: the clocks, where the program and its files are,
// reading them, the system's code page, starting programs; and here the sound and the end.
// Each front end implements it once, apart from its window; the tests plug in a fake that
// scripts the clock and the files and records what was started and played.
#pragma once

#include "app/clock.h"
#include "app/code_page.h"
#include "app/file_system.h"
#include "app/program_folder.h"
#include "app/program_starter.h"

#include <string>

namespace pikorina {

// What End() throws in a host that must not end its process (the tests' fake): the one
// exception that the handlers' failure boundary lets pass, so the end unwinds to whoever raised
// the event and no further handler code runs.
struct ProgramEnd {
    int status;
};

class Host : public Clock,
             public ProgramFolder,
             public FileSystem,
             public CodePage,
             public ProgramStarter {
  public:
    // The whole file, as the core reads every file (file_system.h).
    std::string ReadFile(const std::string& path) { return pikorina::ReadFile(*this, path); }

    // The explosion's sound: a wave file's bytes. LoadSound takes them at the click, before the
    // first wait, half a second or more before the first bang: it decodes them and opens the
    // sound output then, so that the bang starts on time, and returns at once. PlaySound starts
    // what was loaded without waiting for it; a bang still sounding plays on. Neither shows
    // anything nor fails: bytes it cannot decode, no sound server or no device is silence, and
    // the result says only whether playback was started.
    virtual void LoadSound(std::string wave) = 0;
    virtual bool PlaySound() = 0;

    // Ends the program at once, also from a nested handler: no further handler runs.
    [[noreturn]] virtual void End(int exitStatus) = 0;
};

} // namespace pikorina
