#include "fake_bass.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "bass_ext.h"

namespace {

struct Effect {
  HFX handle;
  int priority;
  const TAV_FX_FUNCS* funcs;
  void* instance;
};

struct Channel {
  DWORD freq = 0, chans = 0, flags = 0, ctype = 0;
  std::vector<int16_t> pcm;  // memory stream
  size_t pos = 0;            // frames
  const TAV_STREAM_FUNCS* custom_id = nullptr;
  TAV_STREAM_FUNCS funcs{};
  void* state = nullptr;
  std::vector<Effect> effects;  // in running order
};

// Reached through functions: bfxs registers its effects while libraries load.
struct State {
  std::recursive_mutex lock;
  std::map<DWORD, Channel> channels;
  std::map<DWORD, const TAV_FX_FUNCS*> fx_types;
  DWORD next_handle = 1;
};
State& st() {
  static State s;
  return s;
}
#define lock st().lock
#define channels st().channels
#define fx_types st().fx_types
#define next_handle st().next_handle
thread_local int error_code = BASS_OK;

Channel* find(DWORD h) {
  auto it = channels.find(h);
  if (it == channels.end()) {
    error_code = BASS_ERROR_HANDLE;
    return nullptr;
  }
  return &it->second;
}

Effect* find_fx(HFX h) {
  for (auto& [_, c] : channels)
    for (auto& e : c.effects)
      if (e.handle == h) return &e;
  error_code = BASS_ERROR_HANDLE;
  return nullptr;
}

BOOL ok() {
  error_code = BASS_OK;
  return TRUE;
}

size_t read_frames(Channel& c, float* out, size_t frames) {
  if (c.custom_id) {
    size_t done = 0;
    while (done < frames) {
      const DWORD n = c.funcs.read(c.state, out + done * c.chans, DWORD(frames - done));
      if (n == 0) break;
      done += n;
    }
    return done;
  }
  size_t done = 0;
  const size_t total = c.pcm.size() / c.chans;
  while (done < frames) {
    if (c.pos == total) {
      if (!(c.flags & BASS_SAMPLE_LOOP) || total == 0) break;
      c.pos = 0;
    }
    const size_t n = std::min(frames - done, total - c.pos);
    for (size_t i = 0; i < n * c.chans; ++i) out[done * c.chans + i] = c.pcm[c.pos * c.chans + i] / 32768.0f;
    c.pos += n;
    done += n;
  }
  return done;
}

int16_t to_int16(float v) {
  const float s = v * 32768.0f;
  if (std::isnan(s)) return 0;
  if (s <= -32768.0f) return -32768;
  if (s >= 32767.0f) return 32767;
  return int16_t(std::lrintf(s));
}

}  // namespace

namespace tav::bfxs::test {
DWORD make_pcm_stream(DWORD freq, DWORD chans, std::vector<int16_t> pcm, DWORD flags) {
  std::lock_guard g(lock);
  const DWORD h = next_handle++;
  Channel& c = channels[h];
  c.freq = freq;
  c.chans = chans;
  c.flags = flags;
  c.ctype = BASS_CTYPE_STREAM_WAV;
  c.pcm = std::move(pcm);
  return h;
}
}  // namespace tav::bfxs::test

extern "C" {

int BASSAPI BASS_ErrorGetCode(void) { return error_code; }
void BASSAPI BASS_TAV_SetError(int code) { error_code = code; }

HSTREAM BASSAPI BASS_TAV_StreamCreateCustom(DWORD freq, DWORD chans, DWORD flags, DWORD ctype,
                                            const TAV_STREAM_FUNCS* funcs, void* state) {
  std::lock_guard g(lock);
  if (!funcs || funcs->size != sizeof(TAV_STREAM_FUNCS) || !freq || !chans) {
    error_code = BASS_ERROR_ILLPARAM;
    return 0;
  }
  const DWORD h = next_handle++;
  Channel& c = channels[h];
  c.freq = freq;
  c.chans = chans;
  c.flags = flags;
  c.ctype = ctype;
  c.custom_id = funcs;
  c.funcs = *funcs;
  c.state = state;
  ok();
  return h;
}

void* BASSAPI BASS_TAV_StreamGetState(HSTREAM h, const TAV_STREAM_FUNCS* funcs) {
  std::lock_guard g(lock);
  Channel* c = find(h);
  return c && c->custom_id == funcs ? c->state : nullptr;
}

BOOL BASSAPI BASS_TAV_RegisterFX(DWORD type, const TAV_FX_FUNCS* funcs) {
  std::lock_guard g(lock);
  fx_types[type] = funcs;
  return ok();
}

BOOL BASSAPI BASS_ChannelGetInfo(DWORD h, BASS_CHANNELINFO* info) {
  std::lock_guard g(lock);
  Channel* c = find(h);
  if (!c) return FALSE;
  *info = BASS_CHANNELINFO{c->freq, c->chans, c->flags, c->ctype, 16, 0, 0, nullptr};
  return ok();
}

DWORD BASSAPI BASS_ChannelGetData(DWORD h, void* buffer, DWORD length) {
  std::lock_guard g(lock);
  Channel* c = find(h);
  if (!c) return DWORD(-1);
  const size_t frames = length / (2 * c->chans);
  std::vector<float> f(frames * c->chans);
  const size_t n = read_frames(*c, f.data(), frames);
  if (n == 0) {
    error_code = BASS_ERROR_ENDED;
    return DWORD(-1);
  }
  for (auto& e : c->effects) e.funcs->process(e.instance, f.data(), DWORD(n));
  auto* out = static_cast<int16_t*>(buffer);
  for (size_t i = 0; i < n * c->chans; ++i) out[i] = to_int16(f[i]);
  ok();
  return DWORD(n * 2 * c->chans);
}

QWORD BASSAPI BASS_ChannelGetLength(DWORD h, DWORD mode) {
  std::lock_guard g(lock);
  Channel* c = find(h);
  if (!c) return QWORD(-1);
  ok();
  return c->custom_id ? c->funcs.get_length(c->state) : c->pcm.size() * 2;
}

QWORD BASSAPI BASS_ChannelGetPosition(DWORD h, DWORD mode) {
  std::lock_guard g(lock);
  Channel* c = find(h);
  if (!c) return QWORD(-1);
  ok();
  return c->custom_id ? c->funcs.get_position(c->state) : QWORD(c->pos) * 2 * c->chans;
}

BOOL BASSAPI BASS_ChannelSetPosition(DWORD h, QWORD pos, DWORD mode) {
  std::lock_guard g(lock);
  Channel* c = find(h);
  if (!c) return FALSE;
  if (c->custom_id) {
    if (!c->funcs.set_position(c->state, pos)) {
      error_code = BASS_ERROR_POSITION;
      return FALSE;
    }
  } else {
    if (pos > c->pcm.size() * 2) {
      error_code = BASS_ERROR_POSITION;
      return FALSE;
    }
    c->pos = size_t(pos / (2 * c->chans));
  }
  for (auto& e : c->effects)
    if (e.funcs->reset) e.funcs->reset(e.instance);
  return ok();
}

DWORD BASSAPI BASS_ChannelFlags(DWORD h, DWORD flags, DWORD mask) {
  std::lock_guard g(lock);
  Channel* c = find(h);
  if (!c) return DWORD(-1);
  c->flags = (c->flags & ~mask) | (flags & mask);
  if (c->custom_id && c->funcs.flags_changed) c->funcs.flags_changed(c->state, c->flags);
  ok();
  return c->flags;
}

BOOL BASSAPI BASS_ChannelSetAttribute(DWORD h, DWORD attrib, float value) {
  std::lock_guard g(lock);
  Channel* c = find(h);
  if (!c) return FALSE;
  error_code = BASS_ERROR_ILLTYPE;
  return c->custom_id && c->funcs.set_attribute(c->state, attrib, value) ? ok() : FALSE;
}

BOOL BASSAPI BASS_ChannelGetAttribute(DWORD h, DWORD attrib, float* value) {
  std::lock_guard g(lock);
  Channel* c = find(h);
  if (!c) return FALSE;
  error_code = BASS_ERROR_ILLTYPE;
  return c->custom_id && c->funcs.get_attribute(c->state, attrib, value) ? ok() : FALSE;
}

BOOL BASSAPI BASS_StreamFree(HSTREAM h) {
  Channel gone;
  {
    std::lock_guard g(lock);
    Channel* c = find(h);
    if (!c) return FALSE;
    gone = std::move(*c);
    channels.erase(h);
  }
  for (auto& e : gone.effects) e.funcs->destroy(e.instance);
  if (gone.custom_id) gone.funcs.free(gone.state);  // no lock held: it may free its source
  return ok();
}

BOOL BASSAPI BASS_MusicFree(HMUSIC h) {
  error_code = BASS_ERROR_HANDLE;
  return FALSE;
}

HFX BASSAPI BASS_ChannelSetFX(DWORD h, DWORD type, int priority) {
  std::lock_guard g(lock);
  Channel* c = find(h);
  if (!c) return 0;
  auto t = fx_types.find(type);
  if (t == fx_types.end()) {
    error_code = BASS_ERROR_ILLTYPE;
    return 0;
  }
  void* instance = t->second->create(type, c->freq, c->chans);
  if (!instance) {
    error_code = BASS_ERROR_NOFX;
    return 0;
  }
  const HFX fx = next_handle++;
  auto at = std::find_if(c->effects.begin(), c->effects.end(), [&](const Effect& e) { return e.priority < priority; });
  c->effects.insert(at, Effect{fx, priority, t->second, instance});
  ok();
  return fx;
}

BOOL BASSAPI BASS_ChannelRemoveFX(DWORD h, HFX fx) {
  std::lock_guard g(lock);
  Channel* c = find(h);
  if (!c) return FALSE;
  auto it = std::find_if(c->effects.begin(), c->effects.end(), [&](const Effect& e) { return e.handle == fx; });
  if (it == c->effects.end()) {
    error_code = BASS_ERROR_HANDLE;
    return FALSE;
  }
  it->funcs->destroy(it->instance);
  c->effects.erase(it);
  return ok();
}

BOOL BASSAPI BASS_FXSetParameters(HFX h, const void* params) {
  std::lock_guard g(lock);
  Effect* e = find_fx(h);
  return e && e->funcs->set_parameters(e->instance, params) ? ok() : FALSE;
}

BOOL BASSAPI BASS_FXGetParameters(HFX h, void* params) {
  std::lock_guard g(lock);
  Effect* e = find_fx(h);
  return e && e->funcs->get_parameters(e->instance, params) ? ok() : FALSE;
}

}  // extern "C"
