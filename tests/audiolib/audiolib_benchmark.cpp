// Decoding through the library's file streams against calling mpg123 and vorbisfile
// directly on the same file (the overhead of the library's layer), and the update
// thread's cost for one playing user stream as a fraction of one core.
//   build/native/bin/audiolib_benchmark   (media from TAV_TEST_MEDIA, else the build's media folder)
#include <benchmark/benchmark.h>
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <mpg123.h>
#include <vorbis/vorbisfile.h>

#include <cstdlib>
#include <ctime>
#include <cstring>
#include <string>
#include <vector>

#include "channel.h"
#include "device.h"
#include "library_config.h"
#include "user_stream.h"

namespace tav::audio {
namespace {

constexpr uint32_t kBlockBytes = 4608;  // what the player's output procedure asks for

std::string media(const char* name) {
  const char* dir = std::getenv("TAV_TEST_MEDIA");
  return std::string(dir && *dir ? dir : TAV_BENCH_MEDIA) + "/" + name;
}

// --- decoding ------------------------------------------------------------------

void through_stream(benchmark::State& state, const char* name) {
  DecoderOptions options;
  options.prescan = true;
  LibraryConfig config;
  std::vector<uint8_t> block(kBlockBytes);
  int64_t bytes = 0;
  for (auto _ : state) {
    int error = 0;
    auto decoder = open_decoder(open_file_source(media(name), 0, 0), options, error);
    if (!decoder) return state.SkipWithError("cannot open the media (run make_media first)");
    FileStream stream(std::move(decoder), BASS_STREAM_DECODE | BASS_STREAM_PRESCAN);
    for (;;) {
      const uint32_t n = stream.get_data(block.data(), kBlockBytes, config);
      if (n == static_cast<uint32_t>(-1)) break;
      bytes += n;
    }
  }
  state.SetBytesProcessed(bytes);
}

// mpg123 alone, as a program would call it for 16-bit PCM (or for floats, the form the
// library asks it for).
void mpg123_direct(benchmark::State& state, int encoding) {
  static const int init = mpg123_init();
  (void)init;
  std::vector<unsigned char> block(kBlockBytes * (encoding == MPG123_ENC_FLOAT_32 ? 2 : 1));
  int64_t bytes = 0;
  for (auto _ : state) {
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_FLAGS, MPG123_QUIET | MPG123_GAPLESS | (encoding == MPG123_ENC_FLOAT_32 ? MPG123_FORCE_FLOAT : 0), 0);
    mpg123_format_none(mh);
    mpg123_format(mh, 44100, MPG123_STEREO, encoding);
    if (mpg123_open(mh, media("tone44k_stereo.mp3").c_str()) != MPG123_OK) {
      mpg123_delete(mh);
      return state.SkipWithError("cannot open the media");
    }
    mpg123_scan(mh);
    for (;;) {
      size_t got = 0;
      const int rc = mpg123_read(mh, block.data(), block.size(), &got);
      bytes += encoding == MPG123_ENC_FLOAT_32 ? got / 2 : got;  // counted as 16-bit output
      if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) break;
    }
    mpg123_close(mh);
    mpg123_delete(mh);
  }
  state.SetBytesProcessed(bytes);
}

// vorbisfile alone: 16-bit PCM from ov_read, or floats from ov_read_float.
void vorbisfile_direct(benchmark::State& state, bool floats) {
  std::vector<char> block(kBlockBytes);
  int64_t bytes = 0;
  for (auto _ : state) {
    OggVorbis_File vf;
    if (ov_fopen(media("tone44k_stereo.ogg").c_str(), &vf) != 0) return state.SkipWithError("cannot open the media");
    int section = 0;
    for (;;) {
      long n;
      if (floats) {
        float** planes = nullptr;
        n = ov_read_float(&vf, &planes, kBlockBytes / 4, &section);
        benchmark::DoNotOptimize(planes);
        n *= 4;
      } else {
        n = ov_read(&vf, block.data(), kBlockBytes, 0, 2, 1, &section);
      }
      if (n <= 0) break;
      bytes += n;
    }
    ov_clear(&vf);
  }
  state.SetBytesProcessed(bytes);
}

BENCHMARK_CAPTURE(through_stream, mp3, "tone44k_stereo.mp3")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(mpg123_direct, s16, MPG123_ENC_SIGNED_16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(mpg123_direct, float, MPG123_ENC_FLOAT_32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(through_stream, ogg, "tone44k_stereo.ogg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(vorbisfile_direct, s16, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(vorbisfile_direct, float, true)->Unit(benchmark::kMillisecond);

// --- mixing --------------------------------------------------------------------

// A device that takes one update period of sound at every update.
class PeriodOutput : public OutputBackend {
 public:
  explicit PeriodOutput(size_t frames) : frames_(frames) {}
  unsigned rate() const override { return 44100; }
  unsigned channels() const override { return 2; }
  size_t writable_frames(unsigned) override { return frames_; }
  void write(const int16_t* frames, size_t count, size_t) override { benchmark::DoNotOptimize(frames[count - 1]); }
  unsigned latency_ms() const override { return 0; }

 private:
  size_t frames_;
};

DWORD BASSCALLBACK fill_proc(HSTREAM, void* buffer, DWORD length, void*) {
  auto* s = static_cast<int16_t*>(buffer);
  for (DWORD i = 0; i < length / 2; ++i) s[i] = static_cast<int16_t>(i * 37);
  return length;
}

double thread_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// One playing stereo user stream, updated every 24 ms: CPU time per update over 24 ms of
// sound is the share of one core the update thread needs ("core_percent").
void mix_one_stream(benchmark::State& state) {
  const unsigned stream_rate = static_cast<unsigned>(state.range(0));
  constexpr unsigned kPeriodMs = 24;
  const size_t frames = 44100 * kPeriodMs / 1000;
  LibraryConfig config;
  config.update_period_ms = kPeriodMs;
  Device device(std::make_unique<PeriodOutput>(frames), config);
  auto stream = std::make_shared<UserStream>(stream_rate, 2, 0, fill_proc, nullptr, 250, 0);
  device.attach(stream);
  stream->set_attribute(BASS_ATTRIB_VOL, 0.8f);
  stream->play(false);
  const double cpu_before = thread_cpu_seconds();
  for (auto _ : state) device.update();
  const double cpu = thread_cpu_seconds() - cpu_before;
  state.counters["core_percent"] = 100.0 * cpu / (static_cast<double>(state.iterations()) * kPeriodMs / 1000.0);
}
BENCHMARK(mix_one_stream)->Arg(44100)->Arg(48000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tav::audio
