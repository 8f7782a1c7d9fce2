// What a platform's sound server offers the explosion's bangs (effects/bang_player.h): the wave
// file decoded, and streams that play it. Both may be called from any thread and take as long
// as the server takes to answer; the player never calls them from the window's thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace pikorina {

// A decoded wave file: 16-bit samples, interleaved, the one format every stream is opened in,
// so that a stream with nothing left to play is silent.
struct Wave {
    int rate = 0;
    int channels = 0;
    std::string samples;
};

class SoundStream {
  public:
    virtual ~SoundStream() = default;
    // Plays the samples after those written before, waiting while the server's buffer is full;
    // false once the stream has failed.
    virtual bool Write(std::string_view samples) = 0;
};

class SoundServer {
  public:
    virtual ~SoundServer() = default;
    // The file's sound, at most `longest` bytes of it; null when the file holds none that the
    // platform can decode and its server play.
    virtual std::unique_ptr<Wave> Decode(std::string_view file, std::size_t longest) = 0;
    // A stream of the wave's format that buffers `buffered` bytes; null when the server does not
    // take one.
    virtual std::unique_ptr<SoundStream> Connect(const Wave& wave, std::size_t buffered) = 0;
};

} // namespace pikorina
