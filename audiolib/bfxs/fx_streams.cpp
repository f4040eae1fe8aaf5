// The tempo and reverse stages as decoding streams of bass.dll.
//
// A stage owns its source: it reads it linearly (the source's own loop flag is
// cleared), its own loop flag decides whether the source wraps at its end, and
// with BASS_FX_FREESOURCE freeing the stage frees the source.
#include "fx_streams.h"

#include <cmath>
#include <memory>
#include <new>

#include "bass_channel_source.h"
#include "bass_ext.h"
#include "c_boundary.h"
#include "bass_fx.h"
#include "fx_effects.h"
#include "reverse_reader.h"
#include "tempo_stage.h"

namespace tav::bfxs {

using tav::audio::guarded;

namespace {

constexpr QWORD kNoValue = ~QWORD{0};
constexpr float kMaxBlockSeconds = 60.0f;

struct SourceInfo {
  DWORD freq = 0, chans = 0;
};

// A stage's source must be a decoding channel; it is then read linearly.
bool take_source(DWORD chan, SourceInfo& info) {
  ensure_effects_registered();
  BASS_CHANNELINFO ci{};
  if (!BASS_ChannelGetInfo(chan, &ci)) return false;  // bass.dll has set the error
  if (!(ci.flags & BASS_STREAM_DECODE) || ci.chans == 0 || ci.freq == 0) {
    BASS_TAV_SetError(BASS_ERROR_DECODE);
    return false;
  }
  BASS_ChannelFlags(chan, 0, BASS_SAMPLE_LOOP);
  info.freq = ci.freq;
  info.chans = ci.chans;
  return true;
}

void free_source(DWORD chan) {
  if (!BASS_StreamFree(chan)) BASS_MusicFree(chan);
}

// What both stages do alike: free the state (and the source when it was
// handed over), and say whether the source's last read stopped on a stall.
template <typename Stream>
void TAVCDECL stage_free(void* state) {
  guarded(BASS_TAV_SetError, [&] {
    auto* s = static_cast<Stream*>(state);
    const DWORD chan = s->source.channel();
    const bool free_it = s->flags & BASS_FX_FREESOURCE;
    delete s;
    if (free_it) free_source(chan);
  });
}

template <typename Stream>
BOOL TAVCDECL stage_is_stalled(void* state) {
  return guarded(BASS_TAV_SetError, BOOL{FALSE}, [&]() -> BOOL { return static_cast<Stream*>(state)->source.stalled(); });
}

// ---------------------------------------------------------------- tempo stage

struct TempoStream {
  TempoStream(DWORD chan, const SourceInfo& info, DWORD flags)
      : source(chan, info.chans), stage(source, info.freq, info.chans), flags(flags) {
    source.set_wrap(flags & BASS_SAMPLE_LOOP);
    backwards = source.plays_backwards();
  }
  BassChannelSource source;
  TempoStage stage;
  DWORD flags;
  bool backwards;  // the direction the source was read in (a reverse stage can turn)
};

// The source's position less what the stage still holds (more, when the
// source runs backwards), so the position follows what has been handed out,
// and equals the source's at its end.
QWORD position_of(TempoStream& s) {
  const QWORD pos = BASS_ChannelGetPosition(s.source.channel(), BASS_POS_BYTE);
  if (pos == kNoValue) return pos;
  const QWORD pending = s.stage.pending_source_frames() * s.source.bytes_per_frame();
  if (s.backwards) {
    const QWORD len = BASS_ChannelGetLength(s.source.channel(), BASS_POS_BYTE);
    return len != kNoValue && pos + pending > len ? len : pos + pending;
  }
  return pending > pos ? 0 : pos - pending;
}

DWORD TAVCDECL tempo_read(void* state, float* buffer, DWORD frames) {
  return guarded(BASS_TAV_SetError, DWORD{0}, [&]() -> DWORD {
    auto* s = static_cast<TempoStream*>(state);
    // When the source turns round, what the stage still holds lies on the old
    // side of where the listener is: drop it and go on from the position handed out.
    const bool backwards = s->source.plays_backwards();
    if (backwards != s->backwards) {
      const QWORD here = position_of(*s);
      s->backwards = backwards;
      if (here != kNoValue && BASS_ChannelSetPosition(s->source.channel(), here, BASS_POS_BYTE)) s->stage.flush();
    }
    return static_cast<DWORD>(s->stage.read(buffer, frames));
  });
}

QWORD TAVCDECL tempo_get_length(void* state) {
  return guarded(BASS_TAV_SetError, kNoValue, [&] {
    return BASS_ChannelGetLength(static_cast<TempoStream*>(state)->source.channel(), BASS_POS_BYTE);
  });
}

QWORD TAVCDECL tempo_get_position(void* state) {
  return guarded(BASS_TAV_SetError, kNoValue, [&] { return position_of(*static_cast<TempoStream*>(state)); });
}

BOOL TAVCDECL tempo_set_position(void* state, QWORD pos) {
  return guarded(BASS_TAV_SetError, BOOL{FALSE}, [&]() -> BOOL {
    auto* s = static_cast<TempoStream*>(state);
    if (!BASS_ChannelSetPosition(s->source.channel(), pos, BASS_POS_BYTE)) return FALSE;
    s->stage.flush();
    return TRUE;
  });
}

BOOL TAVCDECL tempo_set_attribute(void* state, DWORD attrib, float value) {
  return guarded(BASS_TAV_SetError, BOOL{FALSE}, [&]() -> BOOL {
    auto* s = static_cast<TempoStream*>(state);
    bool ok;
    if (attrib == BASS_ATTRIB_TEMPO)
      ok = s->stage.set_tempo_percent(value);
    else if (attrib == BASS_ATTRIB_TEMPO_PITCH)
      ok = s->stage.set_pitch_semitones(value);
    else
      return FALSE;
    if (!ok) BASS_TAV_SetError(BASS_ERROR_ILLPARAM);
    return ok ? TRUE : FALSE;
  });
}

BOOL TAVCDECL tempo_get_attribute(void* state, DWORD attrib, float* value) {
  return guarded(BASS_TAV_SetError, BOOL{FALSE}, [&]() -> BOOL {
    auto* s = static_cast<TempoStream*>(state);
    if (attrib == BASS_ATTRIB_TEMPO)
      *value = s->stage.tempo_percent();
    else if (attrib == BASS_ATTRIB_TEMPO_PITCH)
      *value = s->stage.pitch_semitones();
    else
      return FALSE;
    return TRUE;
  });
}

void TAVCDECL tempo_flags_changed(void* state, DWORD flags) {
  guarded(BASS_TAV_SetError, [&] {
    auto* s = static_cast<TempoStream*>(state);
    s->flags = (s->flags & BASS_FX_FREESOURCE) | flags;
    s->source.set_wrap(flags & BASS_SAMPLE_LOOP);
  });
}

const TAV_STREAM_FUNCS kTempoFuncs = {sizeof(TAV_STREAM_FUNCS), tempo_read,          tempo_get_length,
                                      tempo_get_position,       tempo_set_position,  tempo_set_attribute,
                                      tempo_get_attribute,      tempo_flags_changed, stage_free<TempoStream>,
                                      stage_is_stalled<TempoStream>};

// -------------------------------------------------------------- reverse stage

struct ReverseStream {
  ReverseStream(DWORD chan, const SourceInfo& info, size_t block_frames, DWORD flags)
      : source(chan, info.chans), reader(source, info.chans, block_frames), chans(info.chans), flags(flags) {}
  BassChannelSource source;
  ReverseReader reader;
  unsigned chans;
  DWORD flags;
};

DWORD TAVCDECL reverse_read(void* state, float* buffer, DWORD frames) {
  return guarded(BASS_TAV_SetError, DWORD{0}, [&]() -> DWORD {
    auto* s = static_cast<ReverseStream*>(state);
    size_t done = s->reader.read(buffer, frames);
    if (done < frames && (s->flags & BASS_SAMPLE_LOOP) && !s->source.stalled()) {
      const uint64_t restart = s->reader.backwards() ? s->reader.length() : 0;
      if (restart != BassChannelSource::kUnknownLength && s->reader.set_position(restart))
        done += s->reader.read(buffer + done * s->chans, frames - done);
    }
    return static_cast<DWORD>(done);
  });
}

QWORD TAVCDECL reverse_get_length(void* state) {
  return guarded(BASS_TAV_SetError, kNoValue, [&] {
    return BASS_ChannelGetLength(static_cast<ReverseStream*>(state)->source.channel(), BASS_POS_BYTE);
  });
}

QWORD TAVCDECL reverse_get_position(void* state) {
  return guarded(BASS_TAV_SetError, kNoValue, [&]() -> QWORD {
    auto* s = static_cast<ReverseStream*>(state);
    return s->reader.position() * s->source.bytes_per_frame();
  });
}

BOOL TAVCDECL reverse_set_position(void* state, QWORD pos) {
  return guarded(BASS_TAV_SetError, BOOL{FALSE}, [&]() -> BOOL {
    auto* s = static_cast<ReverseStream*>(state);
    const uint64_t frame = pos / s->source.bytes_per_frame();
    if (frame > s->reader.length()) {
      BASS_TAV_SetError(BASS_ERROR_POSITION);
      return FALSE;
    }
    // a source that refuses has set its own error code
    return s->reader.set_position(frame) ? TRUE : FALSE;
  });
}

BOOL TAVCDECL reverse_set_attribute(void* state, DWORD attrib, float value) {
  return guarded(BASS_TAV_SetError, BOOL{FALSE}, [&]() -> BOOL {
    if (attrib != BASS_ATTRIB_REVERSE_DIR) return FALSE;
    if (!std::isfinite(value) || value == 0.0f) {
      BASS_TAV_SetError(BASS_ERROR_ILLPARAM);
      return FALSE;
    }
    static_cast<ReverseStream*>(state)->reader.set_backwards(value < 0.0f);
    return TRUE;
  });
}

BOOL TAVCDECL reverse_get_attribute(void* state, DWORD attrib, float* value) {
  return guarded(BASS_TAV_SetError, BOOL{FALSE}, [&]() -> BOOL {
    if (attrib != BASS_ATTRIB_REVERSE_DIR) return FALSE;
    *value = static_cast<ReverseStream*>(state)->reader.backwards() ? float(BASS_FX_RVS_REVERSE)
                                                                    : float(BASS_FX_RVS_FORWARD);
    return TRUE;
  });
}

void TAVCDECL reverse_flags_changed(void* state, DWORD flags) {
  guarded(BASS_TAV_SetError, [&] {
    auto* s = static_cast<ReverseStream*>(state);
    s->flags = (s->flags & BASS_FX_FREESOURCE) | flags;
  });
}

const TAV_STREAM_FUNCS kReverseFuncs = {sizeof(TAV_STREAM_FUNCS), reverse_read,          reverse_get_length,
                                        reverse_get_position,     reverse_set_position,  reverse_set_attribute,
                                        reverse_get_attribute,    reverse_flags_changed, stage_free<ReverseStream>,
                                        stage_is_stalled<ReverseStream>};

// Creates the bass.dll stream; on failure the state goes and the source stays.
template <typename Stream>
HSTREAM create_stage(std::unique_ptr<Stream> state, const SourceInfo& info, DWORD flags, DWORD ctype,
                     const TAV_STREAM_FUNCS& funcs) {
  const HSTREAM handle = BASS_TAV_StreamCreateCustom(info.freq, info.chans, flags & ~DWORD(BASS_FX_FREESOURCE),
                                                     ctype, &funcs, state.get());
  if (handle) state.release();
  return handle;
}

}  // namespace

const TAV_STREAM_FUNCS& tempo_stream_funcs() { return kTempoFuncs; }
const TAV_STREAM_FUNCS& reverse_stream_funcs() { return kReverseFuncs; }

}  // namespace tav::bfxs

using namespace tav::bfxs;

extern "C" {

HSTREAM BASSAPI BASS_FX_TempoCreate(DWORD chan, DWORD flags) {
  return guarded(BASS_TAV_SetError, HSTREAM{0}, [&]() -> HSTREAM {
    SourceInfo info;
    if (!take_source(chan, info)) return 0;
    try {
      return create_stage(std::make_unique<TempoStream>(chan, info, flags), info, flags, BASS_CTYPE_STREAM_TEMPO,
                          kTempoFuncs);
    } catch (const std::bad_alloc&) {
      BASS_TAV_SetError(BASS_ERROR_MEM);
      return 0;
    }
  });
}

DWORD BASSAPI BASS_FX_TempoGetSource(HSTREAM chan) {
  return guarded(BASS_TAV_SetError, DWORD{0}, [&]() -> DWORD {
    auto* s = static_cast<TempoStream*>(BASS_TAV_StreamGetState(chan, &kTempoFuncs));
    if (!s) {
      BASS_TAV_SetError(BASS_ERROR_HANDLE);
      return 0;
    }
    return s->source.channel();
  });
}

HSTREAM BASSAPI BASS_FX_ReverseCreate(DWORD chan, float dec_block, DWORD flags) {
  return guarded(BASS_TAV_SetError, HSTREAM{0}, [&]() -> HSTREAM {
    if (!std::isfinite(dec_block) || dec_block <= 0.0f || dec_block > kMaxBlockSeconds) {
      BASS_TAV_SetError(BASS_ERROR_ILLPARAM);
      return 0;
    }
    SourceInfo info;
    if (!take_source(chan, info)) return 0;
    const size_t block_frames = static_cast<size_t>(std::lround(double(dec_block) * info.freq));
    try {
      return create_stage(std::make_unique<ReverseStream>(chan, info, block_frames, flags), info, flags,
                          BASS_CTYPE_STREAM_REVERSE, kReverseFuncs);
    } catch (const std::bad_alloc&) {
      BASS_TAV_SetError(BASS_ERROR_MEM);
      return 0;
    }
  });
}

DWORD BASSAPI BASS_FX_ReverseGetSource(HSTREAM chan) {
  return guarded(BASS_TAV_SetError, DWORD{0}, [&]() -> DWORD {
    auto* s = static_cast<ReverseStream*>(BASS_TAV_StreamGetState(chan, &kReverseFuncs));
    if (!s) {
      BASS_TAV_SetError(BASS_ERROR_HANDLE);
      return 0;
    }
    return s->source.channel();
  });
}

}  // extern "C"
