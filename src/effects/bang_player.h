// The explosion's bangs, played on a sound server's streams (app/sound_server.h), for a host
// whose platform has no player that takes a wave file as it is (Linux; Windows has PlaySound).
//
// Each bang has a stream of its own, in a thread of its own, made before the bang is due: a bang
// still sounding plays on while the next starts, and whatever the server does to one bang (it
// went away, or was restarted) the next connects afresh. A stream that joins or leaves the
// server's graph makes the streams playing in it drop out for a moment, so both happen half a
// second after a bang starts, past its loud head and before the next bang, a second on, is due.
#pragma once

#include "app/sound_server.h"

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace pikorina {

class BangPlayer {
  public:
    explicit BangPlayer(std::shared_ptr<SoundServer> server);
    // Lets every stream go, and waits for them a few seconds at most: a server that answers
    // nothing must not hold the program's end.
    ~BangPlayer();
    BangPlayer(const BangPlayer&) = delete;
    BangPlayer& operator=(const BangPlayer&) = delete;

    // As Host::LoadSound and Host::PlaySound (app/host.h) say; Play's answer is whether the bang
    // had a stream the server had already taken.
    void Load(std::string file);
    bool Play();

  private:
    struct Bang;
    struct Threads;
    using Time = std::chrono::steady_clock::time_point;

    std::shared_ptr<Bang> NewBang(Time connectAt);
    template <class Work> bool Spawn(Work work);

    const std::shared_ptr<SoundServer> server_;
    const std::shared_ptr<Threads> threads_;
    std::shared_future<std::shared_ptr<const Wave>> decoded_;
    std::shared_ptr<Bang> ready_;                // made for the next bang
    std::vector<std::shared_ptr<Bang>> playing_; // started, oldest first
};

} // namespace pikorina
