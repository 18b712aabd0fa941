#include "sf2_file.h"

#include <glib/gstdio.h>
#include <libinstpatch/libinstpatch.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>

#include "dsp_envelope.h"

namespace {

constexpr std::size_t sf2_min_guard_frames = 8;
constexpr std::size_t sf2_min_loop_frames = 32;
constexpr int dsp_rate_hz = 32000;
// SoundFont names hold 20 characters.
constexpr std::size_t sf2_name_length = 20;

struct gobject_unref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using gobject_ptr = std::unique_ptr<T, gobject_unref>;

// "STEM 1A" cut to SoundFont's 20 characters from the stem's end, so the
// sample number that tells presets apart stays.
std::string sf2_name(const std::string& name) {
  if (name.size() <= sf2_name_length) return name;
  const std::size_t number = name.rfind(' ');
  if (number == std::string::npos || name.size() - number >= sf2_name_length)
    return name.substr(0, sf2_name_length);
  return name.substr(0, sf2_name_length - (name.size() - number)) + name.substr(number);
}

// Seconds as SoundFont's timecents; its shortest time (about 1 ms) for 0.
gint16 timecents(double seconds) {
  if (seconds <= 0.001) return -12000;
  return static_cast<gint16>(std::clamp(std::lround(1200.0 * std::log2(seconds)), -12000L, 8000L));
}

// An amplitude (0 ... 1) as attenuation in centibels, 1440 at most.
guint16 centibels(double level) {
  if (level <= 0) return 1440;
  return static_cast<guint16>(std::clamp(std::lround(-200.0 * std::log10(level)), 0L, 1440L));
}

void set_gen(IpatchSF2Zone* zone, guint gen, gint16 value) {
  IpatchSF2GenAmount amount;
  amount.sword = value;
  ipatch_sf2_gen_item_set_amount(IPATCH_SF2_GEN_ITEM(zone), gen, &amount);
}

void set_ugen(IpatchSF2Zone* zone, guint gen, guint16 value) {
  IpatchSF2GenAmount amount;
  amount.uword = value;
  ipatch_sf2_gen_item_set_amount(IPATCH_SF2_GEN_ITEM(zone), gen, &amount);
}

// The zone libinstpatch made when the sample or instrument was linked in.
IpatchSF2Zone* only_zone(IpatchContainer* container, GType type) {
  gobject_ptr<IpatchList> zones(ipatch_container_get_children(container, type));
  return zones && zones->items ? IPATCH_SF2_ZONE(zones->items->data) : nullptr;
}

void add_sample(IpatchSF2* bank, const kit_sample& s) {
  const sf2_frames frames = sf2_frames_for(s.pcm);
  const sample_tuning& tuning = s.instrument.tuning;
  const sampler_envelope env = sampler_envelope_from(s.instrument.envelope);

  // The store frees the copy with g_free.
  gpointer data = g_memdup2(frames.pcm.data(), frames.pcm.size() * sizeof(std::int16_t));
  gobject_ptr<IpatchSample> store(ipatch_sample_store_ram_new(data, TRUE));
  g_object_set(store.get(), "sample-format",
               int(IPATCH_SAMPLE_16BIT) | int(IPATCH_SAMPLE_MONO) | int(IPATCH_SAMPLE_SIGNED) |
                   int(IPATCH_SAMPLE_LENDIAN),
               "sample-size", guint(frames.pcm.size()), "sample-rate", dsp_rate_hz, nullptr);
  gobject_ptr<IpatchSampleData> sample_data(ipatch_sample_data_new());
  ipatch_sample_data_add(sample_data.get(), IPATCH_SAMPLE_STORE(store.get()));

  gobject_ptr<IpatchSF2Sample> sample(ipatch_sf2_sample_new());
  const std::string name = sf2_name(s.name);
  ipatch_sf2_sample_set_name(sample.get(), name.c_str());
  ipatch_sf2_sample_set_data(sample.get(), sample_data.get());
  // SoundFont's pitch correction is applied on playback: it takes back the
  // cents the sample sounds above its root key, so that key plays in tune.
  g_object_set(sample.get(), "sample-rate", dsp_rate_hz, "root-note", tuning.root_key(),
               "fine-tune", -tuning.fine_tune_cents(), "loop-start", guint(frames.loop_start),
               "loop-end", guint(frames.loop_end), nullptr);
  ipatch_container_append(IPATCH_CONTAINER(bank), IPATCH_ITEM(sample.get()));

  gobject_ptr<IpatchSF2Inst> inst(ipatch_sf2_inst_new());
  g_object_set(inst.get(), "name", name.c_str(), nullptr);
  ipatch_container_append(IPATCH_CONTAINER(bank), IPATCH_ITEM(inst.get()));
  ipatch_sf2_inst_new_zone(inst.get(), sample.get());
  if (IpatchSF2Zone* zone = only_zone(IPATCH_CONTAINER(inst.get()), IPATCH_TYPE_SF2_IZONE)) {
    ipatch_sf2_gen_item_set_note_range(IPATCH_SF2_GEN_ITEM(zone), 0, 127);
    if (frames.loop_end > 0) set_ugen(zone, IPATCH_SF2_GEN_SAMPLE_MODES, 1);  // loop continuously
    set_gen(zone, IPATCH_SF2_GEN_VOL_ENV_ATTACK, timecents(env.attack_seconds));
    set_gen(zone, IPATCH_SF2_GEN_VOL_ENV_DECAY, timecents(env.decay_seconds));
    set_ugen(zone, IPATCH_SF2_GEN_VOL_ENV_SUSTAIN, centibels(env.sustain_level));
    set_gen(zone, IPATCH_SF2_GEN_VOL_ENV_RELEASE, timecents(env.release_seconds));
    if (env.level < 1.0) set_ugen(zone, IPATCH_SF2_GEN_ATTENUATION, centibels(env.level));
  }

  gobject_ptr<IpatchSF2Preset> preset(ipatch_sf2_preset_new());
  const kit_preset number = kit_preset_of(s.srcn);
  g_object_set(preset.get(), "name", name.c_str(), "bank", number.bank, "program", number.program,
               nullptr);
  ipatch_container_append(IPATCH_CONTAINER(bank), IPATCH_ITEM(preset.get()));
  ipatch_sf2_preset_new_zone(preset.get(), inst.get());
}

std::vector<u8> read_whole_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<u8>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file libinstpatch writes the bank to: one in memory with no name in
// any folder (a memfd, named through /proc/self/fd), so that nothing is
// left behind whatever ends the run; where there is none, a private
// temporary file, removed when this goes. `path` is empty (and `error`
// says why) when neither could be made.
struct scratch_file {
  int fd = -1;
  std::string path;
  bool on_disk = false;

  explicit scratch_file(GError*& error) {
    fd = memfd_create("quorlin-sf2", MFD_CLOEXEC);
    if (fd >= 0) {
      path = "/proc/self/fd/" + std::to_string(fd);
      if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) return;
      close(fd);
    }
    g_autofree char* temp_path = nullptr;
    fd = g_file_open_tmp("quorlin-XXXXXX.sf2", &temp_path, &error);
    if (fd < 0) {
      path.clear();
      return;
    }
    path = temp_path;
    on_disk = true;
  }
  ~scratch_file() {
    if (fd >= 0) close(fd);
    if (on_disk) g_unlink(path.c_str());
  }
  scratch_file(const scratch_file&) = delete;
  scratch_file& operator=(const scratch_file&) = delete;
};

}  // namespace

sf2_frames sf2_frames_for(const looped_pcm& sample) {
  sf2_frames out;
  out.pcm = sample.pcm;
  if (!sample.loop_start || *sample.loop_start >= sample.pcm.size()) return out;
  const std::size_t first = *sample.loop_start;
  const std::vector<std::int16_t> loop(sample.pcm.begin() + static_cast<std::ptrdiff_t>(first),
                                       sample.pcm.end());
  const auto append_loop = [&out, &loop] { out.pcm.insert(out.pcm.end(), loop.begin(), loop.end()); };
  out.loop_start = first;
  out.loop_end = out.pcm.size();
  // A longer loop: the same loop played twice, three times...
  while (out.loop_end - out.loop_start < sf2_min_loop_frames) {
    append_loop();
    out.loop_end = out.pcm.size();
  }
  // Room before the loop: the loop one pass later.
  const std::size_t span = out.loop_end - out.loop_start;
  while (out.loop_start < sf2_min_guard_frames) {
    out.pcm.insert(out.pcm.end(), out.pcm.begin() + static_cast<std::ptrdiff_t>(out.loop_end - span),
                   out.pcm.begin() + static_cast<std::ptrdiff_t>(out.loop_end));
    out.loop_start += span;
    out.loop_end += span;
  }
  // Frames after the end: what the loop plays next.
  while (out.pcm.size() < out.loop_end + sf2_min_guard_frames) append_loop();
  out.pcm.resize(out.loop_end + sf2_min_guard_frames);
  return out;
}

std::vector<u8> sf2_file_bytes(const std::string& bank_name,
                               const std::vector<kit_sample>& samples, std::string& failure) {
  static const bool initialised = (ipatch_init(), true);
  (void)initialised;

  gobject_ptr<IpatchSF2> bank(ipatch_sf2_new());
  ipatch_sf2_set_info(bank.get(), IPATCH_SF2_NAME, bank_name.c_str());
  for (const kit_sample& s : samples) add_sample(bank.get(), s);

  // libinstpatch writes to a named file, read back so that the export
  // publishes the bank with everything else or not at all.
  g_autoptr(GError) error = nullptr;
  const scratch_file scratch(error);
  if (scratch.path.empty()) {
    failure = std::string("Unable to make a temporary SoundFont file: ") + error->message;
    return {};
  }
  const char* temp_path = scratch.path.c_str();
  std::vector<u8> bytes;
  {
    gobject_ptr<IpatchSF2File> file(ipatch_sf2_file_new());
    IpatchFileHandle* handle = ipatch_file_open(IPATCH_FILE(file.get()), temp_path, "w", &error);
    if (handle) {
      gobject_ptr<IpatchSF2Writer> writer(ipatch_sf2_writer_new(handle, bank.get()));
      // The writer owns the handle from here and closes it when freed.
      if (ipatch_sf2_writer_save(writer.get(), &error)) {
        writer.reset();
        bytes = read_whole_file(temp_path);
      }
    }
  }
  if (bytes.empty())
    failure = std::string("Unable to write the SoundFont ") + bank_name + ": " +
              (error ? error->message : "libinstpatch wrote nothing");
  return bytes;
}
