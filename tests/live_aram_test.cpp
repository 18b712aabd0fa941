// The live tracer in step with a heard position the test moves: no picture
// ahead of it, and the latest at most a step (1/24 s of song) behind.

#include "live_aram.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "spc_builder.h"

namespace {

// The latest picture the tracer gives within `ms` milliseconds, or null.
std::unique_ptr<live_aram_picture> latest_within(live_aram_tracer& tracer, int ms) {
  auto picture = std::make_unique<live_aram_picture>();
  bool any = false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    any |= tracer.take(picture);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return any ? std::move(picture) : nullptr;
}

TEST(LiveAramTest, PicturesFollowTheHeardPositionAndNeverRunAhead) {
  // BRA at 0400 forever; voice 0 plays entry 0's two blocks at 1000.
  auto image = std::make_shared<spc_format>(spc_builder().square_wave_tone().image());
  std::atomic<std::int64_t> heard{0};
  live_aram_tracer tracer(image, 60, [&] { return heard.load(); });
  EXPECT_EQ(latest_within(tracer, 200), nullptr) << "nothing heard, nothing shown";

  for (const std::int64_t at : {16000, 48000}) {
    heard = at;
    const auto picture = latest_within(tracer, 300);
    ASSERT_NE(picture, nullptr) << at;
    EXPECT_LE(picture->sample, at) << "never ahead of what is heard";
    EXPECT_GE(picture->sample, at - 32000 / 24 - 1) << "at most a step behind";
    EXPECT_EQ(picture->last_kind[0x0400], live_aram_picture::executed);
    EXPECT_GE(picture->last_sample[0x0400], picture->sample - 1);
    EXPECT_EQ(picture->last_kind[0x2000], live_aram_picture::none);
    EXPECT_TRUE(picture->voice_block[0] == 0x1000 || picture->voice_block[0] == 0x1009)
        << std::hex << picture->voice_block[0];
    EXPECT_EQ(picture->voice_block[1], -1);
  }
}

}  // namespace
