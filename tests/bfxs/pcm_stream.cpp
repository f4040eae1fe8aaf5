#include "pcm_stream.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace tav::bfxs::test {

namespace {

namespace fs = std::filesystem;

void put_le(std::string& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
}

std::string wav_image(DWORD freq, DWORD chans, const std::vector<int16_t>& pcm) {
  const uint32_t data_bytes = static_cast<uint32_t>(pcm.size() * 2);
  std::string b = "RIFF";
  put_le(b, 36 + data_bytes, 4);
  b += "WAVEfmt ";
  put_le(b, 16, 4);
  put_le(b, 1, 2);  // PCM
  put_le(b, chans, 2);
  put_le(b, freq, 4);
  put_le(b, freq * chans * 2, 4);
  put_le(b, chans * 2, 2);
  put_le(b, 16, 2);
  b += "data";
  put_le(b, data_bytes, 4);
  for (int16_t s : pcm) put_le(b, static_cast<uint16_t>(s), 2);
  return b;
}

// The WAV files of one test run, removed at its end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    dir_ = fs::temp_directory_path(ec) / ("tav-bfxs-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_, ec);
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(dir_, ec);  // files still open (on Windows) stay behind
  }
  fs::path next() { return dir_ / ("source" + std::to_string(counter_++) + ".wav"); }

 private:
  fs::path dir_;
  std::atomic<unsigned> counter_{0};
};

DWORD BASSCALLBACK silent_end(HSTREAM, void*, DWORD, void*) { return BASS_STREAMPROC_END; }

}  // namespace

DWORD make_pcm_stream(DWORD freq, DWORD chans, const std::vector<int16_t>& pcm, DWORD flags) {
  if (!(flags & BASS_STREAM_DECODE)) {
    static const bool device = BASS_Init(0, 44100, 0, nullptr, nullptr) || BASS_ErrorGetCode() == BASS_ERROR_ALREADY;
    return device ? BASS_StreamCreate(freq, chans, flags, &silent_end, nullptr) : 0;
  }
  static ScratchFolder scratch;
  const fs::path file = scratch.next();
  const std::string image = wav_image(freq, chans, pcm);
  FILE* f = std::fopen(file.string().c_str(), "wb");
  if (!f) return 0;
  const bool written = std::fwrite(image.data(), 1, image.size(), f) == image.size();
  std::fclose(f);
  return written ? BASS_StreamCreateFile(FALSE, file.string().c_str(), 0, 0, flags) : 0;
}

}  // namespace tav::bfxs::test
