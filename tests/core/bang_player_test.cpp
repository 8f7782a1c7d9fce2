// The bangs on a sound server of the tests' own: what each bang's stream is given, and that
// each is let go once it has played, not held until the program ends.
#include "effects/bang_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace pikorina::test {
namespace {

// Decodes a file to its own bytes, as 16-bit samples at 1,000 frames a second, and keeps what
// each of its streams was given by the time it was let go.
struct FakeServer final : SoundServer {
    int channels = 1;
    int writes = -1; // writes each stream takes before it fails; -1: no end
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> played; // streams let go after something was written to them
    int connected = 0;

    std::unique_ptr<Wave> Decode(std::string_view file, std::size_t) override {
        if (file == "not a sound") return {};
        return std::make_unique<Wave>(Wave{1000, channels, std::string(file)});
    }
    SoundStream Connect(const Wave&, std::size_t) override {
        {
            const std::lock_guard lock(mutex);
            ++connected;
            changed.notify_all();
        }
        // The stream's samples, kept by the server when the player lets the stream go.
        struct Given {
            FakeServer& server;
            std::string samples;
            ~Given() {
                const std::lock_guard lock(server.mutex);
                if (!samples.empty()) server.played.push_back(samples);
                server.changed.notify_all();
            }
        };
        return [given = std::make_shared<Given>(*this),
                left = writes](std::string_view samples) mutable {
            given->samples += samples;
            return left < 0 || left-- > 0;
        };
    }
    // Whether `done` came true within a minute, asked under the lock.
    template <class Done> bool WaitUntil(Done done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::minutes(1), done);
    }
};

struct BangCase {
    const char* name;
    std::string file;
    int channels;
    std::string bang; // what each stream plays: the whole frames, then 0.4 s of silence
    int writes = -1;
};
void PrintTo(const BangCase& c, std::ostream* out) {
    *out << c.name;
}

class BangPlayerTable : public testing::TestWithParam<BangCase> {};

TEST_P(BangPlayerTable, EachOfThreeBangsIsPlayedWholeAndLetGo) {
    const BangCase& c = GetParam();
    const auto server = std::make_shared<FakeServer>();
    server->channels = c.channels;
    server->writes = c.writes;
    const std::size_t bangs = c.bang.empty() ? 0 : 3;
    {
        BangPlayer player(server);
        player.Load(c.file);
        for (int i = 0; i < 3; ++i)
            player.Play();
        EXPECT_TRUE(server->WaitUntil([&] { return server->played.size() >= bangs; }))
            << "the bangs' streams were held after they had played";
    }
    EXPECT_EQ(server->played, std::vector<std::string>(bangs, c.bang));
}

INSTANTIATE_TEST_SUITE_P(
    Table, BangPlayerTable,
    testing::Values(BangCase{"mono", "abcd", 1, "abcd" + std::string(800, '\0')},
                    BangCase{"an_odd_byte_left_out", "abcde", 1, "abcd" + std::string(800, '\0')},
                    BangCase{"stereo", "abcdefgh", 2, "abcdefgh" + std::string(1600, '\0')},
                    BangCase{"less_than_a_frame", "abc", 2, ""},
                    BangCase{"undecodable", "not a sound", 1, ""},
                    // 20 ms a write: a stream that fails is written no more, and let go.
                    BangCase{"a_stream_that_fails", "abcd", 1, "abcd" + std::string(36, '\0'), 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A new Don.wav between explosions: the stream made ready for the old one plays the new one.
TEST(BangPlayer, PlaysTheFileLoadedLast) {
    const auto server = std::make_shared<FakeServer>();
    {
        BangPlayer player(server);
        player.Load("abcd");
        player.Play();
        // A stream is ready for the next bang: the first bang's and another are made.
        ASSERT_TRUE(server->WaitUntil([&] { return server->connected >= 2; }));
        player.Load("efgh");
        player.Play();
        player.Play();
        EXPECT_TRUE(server->WaitUntil([&] { return server->played.size() >= 3; }));
    }
    std::sort(server->played.begin(), server->played.end());
    const std::string silence(800, '\0');
    EXPECT_EQ(server->played,
              (std::vector<std::string>{"abcd" + silence, "efgh" + silence, "efgh" + silence}));
}

} // namespace
} // namespace pikorina::test
