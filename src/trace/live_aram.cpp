#include "live_aram.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "dsp_register_file.h"
#include "song_trace.h"
#include "trace_pacer.h"

namespace {

constexpr std::int64_t cycles_per_second = std::int64_t(dsp_sample_rate) * cpu_cycles_per_sample;
// The tracer's step: one picture per 1/24 s of song, one a frame drawn.
constexpr std::int64_t step_cycles = cycles_per_second / 24;

}  // namespace

// Holds the trace at the heard position and publishes a picture per step.
class live_aram_tracer::pacer : public trace_pacer {
 public:
  pacer(live_aram_tracer& owner, const aram_access_record& access)
      : owner_(owner), access_(access) {}

  std::int64_t reached(std::int64_t cycle, const dsp_register_file& dsp) override {
    // Wait for the listener to hear this far: the picture is never ahead.
    // (An instruction may end a slice a few cycles past where it was asked
    // to: the sample it is in counts as reached.)
    while (!owner_.cancel_.load()) {
      const std::int64_t heard = owner_.heard_() * cpu_cycles_per_sample;
      if (heard / cpu_cycles_per_sample >= cycle / cpu_cycles_per_sample) break;
      // The heard position moves with the wall clock: one wait to where it
      // reaches the step, not a wake-up every few milliseconds on the way.
      const auto wait = std::chrono::microseconds(std::clamp<std::int64_t>(
          (cycle - heard) * 1000000 / cycles_per_second + 500, 1000, 100000));
      std::unique_lock lock(owner_.wake_mutex_);
      owner_.wake_.wait_for(lock, wait, [this] { return owner_.cancel_.load(); });
    }
    std::array<std::int32_t, 8> blocks;
    for (int v = 0; v < 8; ++v) {
      const dsp_voice& voice = dsp.voice(v);
      blocks[v] = voice.level > 0 && voice.key_on_delay == 0 ? voice.block : -1;
    }
    owner_.publish(access_, cycle, blocks);
    // Behind the listener (a slow start, a busy machine): straight to where
    // they are, so the next picture is theirs; else a step on.
    const std::int64_t heard = owner_.heard_() * cpu_cycles_per_sample;
    return heard > cycle + step_cycles ? heard : cycle + step_cycles;
  }

 private:
  live_aram_tracer& owner_;
  const aram_access_record& access_;
};

live_aram_tracer::live_aram_tracer(std::shared_ptr<const spc_format> image, double seconds,
                                   heard_samples_clock heard)
    : heard_(std::move(heard)),
      id_(std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
          std::uint64_t(reinterpret_cast<std::uintptr_t>(this))) {
  thread_ = std::thread([this, image = std::move(image), seconds]() mutable {
    run(std::move(image), seconds);
  });
}

live_aram_tracer::~live_aram_tracer() {
  {
    std::lock_guard lock(wake_mutex_);
    cancel_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void live_aram_tracer::run(std::shared_ptr<const spc_format> image, double seconds) noexcept {
  try {
    auto access = std::make_unique<aram_access_record>();
    pacer pace(*this, *access);
    trace_options options;
    options.access = access.get();
    options.pacer = &pace;
    trace_song(*image, seconds, options, &cancel_);
  } catch (...) {
    // Out of memory: no more pictures; the map keeps the last one.
  }
}

void live_aram_tracer::publish(const aram_access_record& access, std::int64_t cycle,
                               const std::array<std::int32_t, 8>& voice_block) {
  live_aram_picture& p = *back_;
  p.sample = cycle / cpu_cycles_per_sample;
  p.voice_block = voice_block;
  const auto sample_of = [](std::int64_t c) {
    return c < 0 ? std::int32_t(-1) : std::int32_t(c / cpu_cycles_per_sample);
  };
  // A driver touches a few pages a second: only those it touched since this
  // picture was last painted (by this tracer) are painted again.
  const bool afresh = p.painter != id_ || p.cycle < 0;
  for (std::size_t page = 0; page < 0x100; ++page) {
    if (!afresh && access.last_on_page[page] <= p.cycle) continue;
    p.page_last_sample[page] = sample_of(access.last_on_page[page]);
    for (std::size_t a = page << 8; a < (page + 1) << 8; ++a) {
      const std::int64_t e = access.last_execute[a], w = access.last_write[a],
                         r = access.last_read[a];
      const std::int64_t last = std::max({e, w, r});
      p.last_sample[a] = sample_of(last);
      p.last_kind[a] = last < 0                         ? live_aram_picture::none
                       : sample_of(e) == sample_of(last) ? live_aram_picture::executed
                       : sample_of(w) == sample_of(last) ? live_aram_picture::written
                                                         : live_aram_picture::read;
    }
  }
  p.painter = id_;
  p.cycle = cycle;
  std::lock_guard lock(picture_mutex_);
  std::swap(front_, back_);
  fresh_ = true;
}

bool live_aram_tracer::take(std::unique_ptr<live_aram_picture>& into) {
  std::unique_lock lock(picture_mutex_, std::try_to_lock);
  if (!lock.owns_lock() || !fresh_) return false;
  std::swap(front_, into);
  fresh_ = false;
  return true;
}
