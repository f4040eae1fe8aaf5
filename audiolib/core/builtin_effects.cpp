#include "builtin_effects.h"

#include "bass.h"
#include "dx8_echo.h"
#include "dx8_reverb.h"

namespace tav::audio {

namespace {

class EchoEffect : public Effect {
 public:
  EchoEffect(unsigned rate, unsigned channels) : echo_(rate, channels) {}
  void process(float* samples, size_t frames) override { echo_.process(samples, frames); }
  bool set_parameters(const void* params) override {
    const auto* p = static_cast<const BASS_DX8_ECHO*>(params);
    return echo_.set({p->fWetDryMix, p->fFeedback, p->fLeftDelay, p->fRightDelay, p->lPanDelay != 0});
  }
  bool get_parameters(void* params) override {
    const EchoSettings& s = echo_.settings();
    *static_cast<BASS_DX8_ECHO*>(params) =
        BASS_DX8_ECHO{s.wet_dry_mix, s.feedback, s.left_delay_ms, s.right_delay_ms, s.pan_delay ? TRUE : FALSE};
    return true;
  }
  void reset() override { echo_.reset(); }

 private:
  Dx8Echo echo_;
};

class ReverbEffect : public Effect {
 public:
  ReverbEffect(unsigned rate, unsigned channels) : reverb_(rate, channels) {}
  void process(float* samples, size_t frames) override { reverb_.process(samples, frames); }
  bool set_parameters(const void* params) override {
    const auto* p = static_cast<const BASS_DX8_REVERB*>(params);
    return reverb_.set({p->fInGain, p->fReverbMix, p->fReverbTime, p->fHighFreqRTRatio});
  }
  bool get_parameters(void* params) override {
    const ReverbSettings& s = reverb_.settings();
    *static_cast<BASS_DX8_REVERB*>(params) =
        BASS_DX8_REVERB{s.in_gain_db, s.reverb_mix_db, s.reverb_time_ms, s.high_freq_rt_ratio};
    return true;
  }
  void reset() override { reverb_.reset(); }

 private:
  Dx8Reverb reverb_;
};

}  // namespace

void register_builtin_effects(EffectRegistry& registry) {
  registry.add(BASS_FX_DX8_ECHO, [](uint32_t, unsigned rate, unsigned channels) -> std::unique_ptr<Effect> {
    return std::make_unique<EchoEffect>(rate, channels);
  });
  registry.add(BASS_FX_DX8_REVERB, [](uint32_t, unsigned rate, unsigned channels) -> std::unique_ptr<Effect> {
    return std::make_unique<ReverbEffect>(rate, channels);
  });
}

}  // namespace tav::audio
