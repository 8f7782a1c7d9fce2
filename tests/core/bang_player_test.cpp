// The bangs on a sound server of the tests' own: what each bang's stream is given, and that
// each is let go once it has played, not held until the program ends.
#include "effects/bang_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace pikorina::test {
namespace {

// Decodes a file to its own bytes, as 16-bit samples at 1,000 frames a second, and keeps what
// each of its streams was given by the time it was let go.
struct FakeServer final : SoundServer {
    int channels = 1;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> played; // streams let go after something was written to them

    std::unique_ptr<Wave> Decode(std::string_view file, std::size_t) override {
        if (file == "not a sound") return {};
        return std::make_unique<Wave>(Wave{1000, channels, std::string(file)});
    }
    SoundStream Connect(const Wave&, std::size_t) override {
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
        return [given = std::make_shared<Given>(*this)](std::string_view samples) {
            given->samples += samples;
            return true;
        };
    }
};

struct BangCase {
    const char* name;
    std::string file;
    int channels;
    std::string bang; // what each stream plays: the whole frames, then 0.4 s of silence
};
void PrintTo(const BangCase& c, std::ostream* out) {
    *out << c.name;
}

class BangPlayerTable : public testing::TestWithParam<BangCase> {};

TEST_P(BangPlayerTable, EachOfThreeBangsIsPlayedWholeAndLetGo) {
    const BangCase& c = GetParam();
    const auto server = std::make_shared<FakeServer>();
    server->channels = c.channels;
    const std::size_t bangs = c.bang.empty() ? 0 : 3;
    {
        BangPlayer player(server);
        player.Load(c.file);
        for (int i = 0; i < 3; ++i)
            player.Play();
        std::unique_lock lock(server->mutex);
        EXPECT_TRUE(server->changed.wait_for(lock, std::chrono::minutes(1), [&] {
            return server->played.size() >= bangs;
        })) << "the bangs' streams were held after they had played";
    }
    EXPECT_EQ(server->played, std::vector<std::string>(bangs, c.bang));
}

INSTANTIATE_TEST_SUITE_P(
    Table, BangPlayerTable,
    testing::Values(BangCase{"mono", "abcd", 1, "abcd" + std::string(800, '\0')},
                    BangCase{"an_odd_byte_left_out", "abcde", 1, "abcd" + std::string(800, '\0')},
                    BangCase{"stereo", "abcdefgh", 2, "abcdefgh" + std::string(1600, '\0')},
                    BangCase{"less_than_a_frame", "abc", 2, ""},
                    BangCase{"undecodable", "not a sound", 1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace pikorina::test
