#include "module_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <libopenmpt/libopenmpt.h>

#include "bass.h"

namespace tav::audio {

namespace {

struct OpenmptString {
  const char* text;
  ~OpenmptString() { openmpt_free_string(text); }
  const char* c_str() const { return text ? text : ""; }
};

class ModuleDecoder : public Decoder {
 public:
  ModuleDecoder(openmpt_module* mod, const ModuleOptions& options, uint32_t ctype)
      : mod_(mod), rate_(options.rate) {
    format_.rate = options.rate;
    format_.channels = options.mono ? 1 : 2;
    format_.ctype = ctype;
    const double seconds = openmpt_module_get_duration_seconds(mod_);
    duration_ = seconds > 0 && std::isfinite(seconds) ? static_cast<uint64_t>(std::llround(seconds * rate_)) : 0;
    reported_length_ = options.prescan ? duration_ : kUnknownLength;
  }
  ~ModuleDecoder() override { openmpt_module_destroy(mod_); }

  uint64_t length_frames() const override { return reported_length_; }

  // The rendering is cut or padded with silence to the module's duration, so the frames
  // handed out match the length exactly, whatever libopenmpt's last block holds.
  size_t read(float* out, size_t frames) override {
    const uint64_t left = position_ < duration_ ? duration_ - position_ : 0;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(frames, left));
    size_t done = render_ended_ ? 0 : render(out, want);
    if (done < want) {
      render_ended_ = true;
      std::fill(out + done * format_.channels, out + want * format_.channels, 0.0f);
      done = want;
    }
    position_ += done;
    return done;
  }

  bool seek(uint64_t frame) override {
    if (frame > duration_) return false;
    // libopenmpt lands on the first row that starts at or after the time asked for: ask for
    // earlier times until it lands at or before the target, then render up to the target.
    const double target = static_cast<double>(frame) / rate_;
    double reached = openmpt_module_set_position_seconds(mod_, target);
    for (double back = 0.01; reached > target + 0.5 / rate_ && back < 1e6; back *= 2)
      reached = openmpt_module_set_position_seconds(mod_, std::max(0.0, target - back));
    uint64_t at = reached > 0 ? static_cast<uint64_t>(std::llround(reached * rate_)) : 0;
    if (at > frame) at = frame;
    render_ended_ = false;
    std::vector<float> scratch(4096 * format_.channels);
    while (at < frame) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(4096, frame - at));
      const size_t got = render(scratch.data(), n);
      at += got;
      if (got < n) {
        render_ended_ = true;
        break;
      }
    }
    position_ = frame;
    return true;
  }

 private:
  size_t render(float* out, size_t frames) {
    size_t done = 0;
    while (done < frames) {
      const size_t got =
          format_.channels == 1
              ? openmpt_module_read_float_mono(mod_, static_cast<int32_t>(rate_), frames - done, out + done)
              : openmpt_module_read_interleaved_float_stereo(mod_, static_cast<int32_t>(rate_), frames - done,
                                                               out + 2 * done);
      if (got == 0) break;
      done += got;
    }
    return done;
  }

  openmpt_module* mod_;
  unsigned rate_;
  uint64_t duration_ = 0;
  uint64_t reported_length_ = kUnknownLength;
  uint64_t position_ = 0;
  bool render_ended_ = false;
};

}  // namespace

uint32_t module_ctype(const char* type, const char* original_type) {
  const std::string t = type ? type : "";
  if (t == "mod") return BASS_CTYPE_MUSIC_MOD;
  if (t == "mtm") return BASS_CTYPE_MUSIC_MTM;
  if (t == "s3m") return BASS_CTYPE_MUSIC_S3M;
  if (t == "xm") return BASS_CTYPE_MUSIC_XM;
  if (t == "it") return BASS_CTYPE_MUSIC_IT;
  if (t == "mo3") {
    const uint32_t inner = module_ctype(original_type, nullptr);
    return (inner ? inner : BASS_CTYPE_MUSIC_MOD) | BASS_CTYPE_MUSIC_MO3;
  }
  return 0;
}

std::unique_ptr<Decoder> open_module(ByteSource& source, const ModuleOptions& options, int& error) {
  if (options.rate < kMinModuleRate || options.rate > kMaxModuleRate) {
    error = BASS_ERROR_FREQ;
    return nullptr;
  }
  const uint64_t size = source.size();
  if (size == 0) {
    error = BASS_ERROR_EMPTY;
    return nullptr;
  }
  // The header first: most files that are not modules end here, without being read whole.
  std::vector<uint8_t> bytes(static_cast<size_t>(
      std::min<uint64_t>(size, openmpt_probe_file_header_get_recommended_size())));
  if (!source.seek(0) || !source.read_exact(bytes.data(), bytes.size())) {
    error = BASS_ERROR_FILEOPEN;
    return nullptr;
  }
  int probe_error = 0;
  const int probe = openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, bytes.data(), bytes.size(), size,
                                              openmpt_log_func_silent, nullptr, openmpt_error_func_ignore, nullptr,
                                              &probe_error, nullptr);
  if (probe == OPENMPT_PROBE_FILE_HEADER_RESULT_FAILURE) {
    error = BASS_ERROR_FILEFORM;
    return nullptr;
  }
  if (size > kMaxModuleBytes) {  // looks like a module, but more than this library holds in memory
    error = BASS_ERROR_MEM;
    return nullptr;
  }
  const size_t head = bytes.size();
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    error = BASS_ERROR_MEM;
    return nullptr;
  }
  if (!source.read_exact(bytes.data() + head, bytes.size() - head)) {
    error = BASS_ERROR_FILEOPEN;
    return nullptr;
  }
  int openmpt_error = 0;
  openmpt_module* mod =
      openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                         openmpt_error_func_ignore, nullptr, &openmpt_error, nullptr, nullptr);
  if (!mod) {
    error = openmpt_error == OPENMPT_ERROR_OUT_OF_MEMORY ? BASS_ERROR_MEM : BASS_ERROR_FILEFORM;
    return nullptr;
  }
  const OpenmptString type{openmpt_module_get_metadata(mod, "type")};
  const OpenmptString original{openmpt_module_get_metadata(mod, "originaltype")};
  const uint32_t ctype = module_ctype(type.c_str(), original.c_str());
  if (!ctype) {  // a format libopenmpt reads but this library does not offer
    openmpt_module_destroy(mod);
    error = BASS_ERROR_FILEFORM;
    return nullptr;
  }
  openmpt_module_set_repeat_count(mod, 0);
  openmpt_module_ctl_set_text(mod, "play.at_end", "stop");
  openmpt_module_ctl_set_boolean(mod, "seek.sync_samples", 1);
  const int ramp_strength[] = {0, -1, 10};
  openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                                  ramp_strength[std::clamp(options.ramping, 0, 2)]);
  const int filter_length[] = {1, 2, 8};
  openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH,
                                  filter_length[std::clamp(options.interpolation, 0, 2)]);
  error = BASS_OK;
  return std::make_unique<ModuleDecoder>(mod, options, ctype);
}

}  // namespace tav::audio
