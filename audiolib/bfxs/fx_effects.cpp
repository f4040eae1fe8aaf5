// Peaking equaliser (BASS_FX_BFX_PEAKEQ) and phaser (BASS_FX_BFX_PHASER) as
// effect types of bass.dll: any channel can carry them through BASS_ChannelSetFX.
#include "fx_effects.h"

#include <memory>

#include "bass_ext.h"
#include "bass_fx.h"
#include "c_boundary.h"
#include "peaking_eq.h"
#include "phaser.h"

namespace tav::bfxs {

using tav::audio::guarded;

namespace {

struct EffectInstance {
  std::unique_ptr<PeakingEqBank> eq;  // exactly one of the two
  std::unique_ptr<Phaser> phaser;
};

void* TAVCDECL fx_create(DWORD type, DWORD freq, DWORD chans) {
  return guarded(BASS_TAV_SetError, static_cast<void*>(nullptr), [&]() -> void* {
    if (freq == 0 || chans == 0) return nullptr;
    auto fx = std::make_unique<EffectInstance>();
    if (type == BASS_FX_BFX_PEAKEQ)
      fx->eq = std::make_unique<PeakingEqBank>(freq, chans);
    else if (type == BASS_FX_BFX_PHASER)
      fx->phaser = std::make_unique<Phaser>(freq, chans);
    else
      return nullptr;
    return fx.release();
  });
}

void TAVCDECL fx_process(void* state, float* samples, DWORD frames) {
  guarded(BASS_TAV_SetError, [&] {
    auto* fx = static_cast<EffectInstance*>(state);
    if (fx->eq) fx->eq->process(samples, frames);
    if (fx->phaser) fx->phaser->process(samples, frames);
  });
}

BOOL refuse() {
  BASS_TAV_SetError(BASS_ERROR_ILLPARAM);
  return FALSE;
}

BOOL set_parameters(void* state, const void* params) {
  auto* fx = static_cast<EffectInstance*>(state);
  if (!params) return refuse();
  if (fx->eq) {
    const auto* p = static_cast<const BASS_BFX_PEAKEQ*>(params);
    PeakingEqSettings s{p->fBandwidth, p->fQ, p->fCenter, p->fGain, static_cast<uint32_t>(p->lChannel)};
    return fx->eq->set_band(p->lBand, s) ? TRUE : refuse();
  }
  const auto* p = static_cast<const BASS_BFX_PHASER*>(params);
  PhaserSettings s{p->fDryMix, p->fWetMix, p->fFeedback, p->fRate, p->fRange, p->fFreq,
                   static_cast<uint32_t>(p->lChannel)};
  return fx->phaser->set(s) ? TRUE : refuse();
}

BOOL get_parameters(void* state, void* params) {
  auto* fx = static_cast<EffectInstance*>(state);
  if (!params) return refuse();
  if (fx->eq) {
    auto* p = static_cast<BASS_BFX_PEAKEQ*>(params);
    PeakingEqSettings s;
    if (!fx->eq->get_band(p->lBand, s)) return refuse();  // a band never set, or refused
    p->fBandwidth = static_cast<float>(s.bandwidth_octaves);
    p->fQ = static_cast<float>(s.q);
    p->fCenter = static_cast<float>(s.center_hz);
    p->fGain = static_cast<float>(s.gain_db);
    p->lChannel = static_cast<int>(s.channel_mask);
    return TRUE;
  }
  auto* p = static_cast<BASS_BFX_PHASER*>(params);
  const PhaserSettings& s = fx->phaser->settings();
  p->fDryMix = s.dry_mix;
  p->fWetMix = s.wet_mix;
  p->fFeedback = s.feedback;
  p->fRate = s.rate_hz;
  p->fRange = s.range_octaves;
  p->fFreq = s.base_hz;
  p->lChannel = static_cast<int>(s.channel_mask);
  return TRUE;
}

BOOL TAVCDECL fx_set_parameters(void* state, const void* params) {
  return guarded(BASS_TAV_SetError, BOOL{FALSE}, [&] { return set_parameters(state, params); });
}

BOOL TAVCDECL fx_get_parameters(void* state, void* params) {
  return guarded(BASS_TAV_SetError, BOOL{FALSE}, [&] { return get_parameters(state, params); });
}

void TAVCDECL fx_reset(void* state) {
  guarded(BASS_TAV_SetError, [&] {
    auto* fx = static_cast<EffectInstance*>(state);
    if (fx->eq) fx->eq->reset();
    if (fx->phaser) fx->phaser->reset();
  });
}

void TAVCDECL fx_destroy(void* state) {
  guarded(BASS_TAV_SetError, [&] { delete static_cast<EffectInstance*>(state); });
}

const TAV_FX_FUNCS kEffectFuncs = {sizeof(TAV_FX_FUNCS), fx_create,        fx_process, fx_set_parameters,
                                   fx_get_parameters,    fx_reset,         fx_destroy};

// Registered when the library is loaded, so BASS_ChannelSetFX knows the types
// even before any other bfxs call.
const bool kRegisteredAtLoad = (ensure_effects_registered(), true);

}  // namespace

const TAV_FX_FUNCS& effect_funcs() { return kEffectFuncs; }

void ensure_effects_registered() {
  static bool registered = false;  // registration is idempotent; retried until it succeeds
  if (registered) return;
  const bool eq = BASS_TAV_RegisterFX(BASS_FX_BFX_PEAKEQ, &kEffectFuncs) != FALSE;
  const bool phaser = BASS_TAV_RegisterFX(BASS_FX_BFX_PHASER, &kEffectFuncs) != FALSE;
  registered = eq && phaser;
  (void)kRegisteredAtLoad;
}

}  // namespace tav::bfxs
