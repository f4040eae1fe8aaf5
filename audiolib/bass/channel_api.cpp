// Streams and channels.
#include <cmath>
#include <string>

#include "bass.h"
#include "c_boundary.h"
#include "error.h"
#include "library_instance.h"
#include "module_decoder.h"
#include "user_stream.h"

using namespace tav::audio;

namespace {

template <typename T>
T ok(T value) {
  set_error(BASS_OK);
  return value;
}

// Runs `fn(Channel&)` under the channel's lock; `failed` for a stale handle.
template <typename T, typename Fn>
T with_channel(DWORD handle, T failed, Fn fn) {
  auto ch = library().channel(handle);
  if (!ch) return failed;
  ChannelGuard guard(*ch);
  return fn(*ch);
}

std::shared_ptr<UserStream> user_stream(DWORD handle) {
  auto ch = library().channel(handle);
  if (!ch) return nullptr;
  auto stream = std::dynamic_pointer_cast<UserStream>(ch);
  if (!stream) set_error(BASS_ERROR_DECODE);
  return stream;
}

constexpr QWORD kNoValue = ~QWORD{0};

}  // namespace

extern "C" {

HSTREAM BASSAPI BASS_StreamCreate(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* user) {
  return guarded(set_error, HSTREAM{0}, [&]() -> HSTREAM {
    const HSTREAM h = library().create_user_stream(freq, chans, flags, proc, user);
    return h ? ok(h) : 0;
  });
}

HSTREAM BASSAPI BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
  return guarded(set_error, HSTREAM{0}, [&]() -> HSTREAM {
    int error = BASS_OK;
    auto source = call_source(mem != FALSE, file, offset, length, error);
    if (!source) return fail(error, HSTREAM{0});
    const HSTREAM h = library().create_file_stream(std::move(source), flags);
    return h ? ok(h) : 0;
  });
}

// Tracker modules are freed with BASS_MusicFree (music_api.cpp).
BOOL BASSAPI BASS_StreamFree(HSTREAM handle) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    auto ch = library().channel(handle);
    if (!ch) return FALSE;
    if (is_module_ctype(ch->ctype())) return fail(BASS_ERROR_HANDLE, FALSE);
    return library().free_channel(handle) ? ok(TRUE) : FALSE;
  });
}

BOOL BASSAPI BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    if (!info) return fail(BASS_ERROR_ILLPARAM, FALSE);
    return with_channel(handle, FALSE, [&](Channel& ch) {
      *info = BASS_CHANNELINFO{};
      info->freq = ch.rate();
      info->chans = ch.channels();
      info->flags = ch.flags();
      info->ctype = ch.ctype();
      info->origres = ch.original_bits;
      return ok(TRUE);
    });
  });
}

DWORD BASSAPI BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
  return guarded(set_error, static_cast<DWORD>(-1), [&]() -> DWORD {
    return with_channel(handle, static_cast<DWORD>(-1),
                        [&](Channel& ch) { return ch.get_data(buffer, length, library().config); });
  });
}

BOOL BASSAPI BASS_ChannelPlay(DWORD handle, BOOL restart) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    return library().play(handle, restart != FALSE) ? ok(TRUE) : FALSE;
  });
}

BOOL BASSAPI BASS_ChannelPause(DWORD handle) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    auto s = user_stream(handle);
    if (!s) return FALSE;
    if (s->activity() != BASS_ACTIVE_PLAYING) return fail(BASS_ERROR_NOPLAY, FALSE);
    s->pause();
    return ok(TRUE);
  });
}

BOOL BASSAPI BASS_ChannelStop(DWORD handle) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    auto s = user_stream(handle);
    if (!s) return FALSE;
    s->stop();
    return ok(TRUE);
  });
}

DWORD BASSAPI BASS_ChannelIsActive(DWORD handle) {
  return guarded(set_error, DWORD{BASS_ACTIVE_STOPPED}, [&]() -> DWORD {
    auto ch = library().channel(handle);
    if (!ch) return BASS_ACTIVE_STOPPED;
    if (auto s = std::dynamic_pointer_cast<UserStream>(ch)) {
      const DWORD activity = s->activity();
      set_error(s->fault());  // why a stream that faulted on the update thread stopped
      return activity;
    }
    ChannelGuard guard(*ch);  // a decoding channel is active until its end
    if (ch->stalled()) return ok<DWORD>(BASS_ACTIVE_STALLED);
    const QWORD length = ch->length_bytes();
    return ok<DWORD>(length != kNoValue && ch->position_bytes() >= length ? BASS_ACTIVE_STOPPED : BASS_ACTIVE_PLAYING);
  });
}

QWORD BASSAPI BASS_ChannelGetLength(DWORD handle, DWORD mode) {
  return guarded(set_error, static_cast<QWORD>(-1), [&]() -> QWORD {
    if (mode != BASS_POS_BYTE) return fail(BASS_ERROR_NOTAVAIL, kNoValue);
    return with_channel(handle, kNoValue, [](Channel& ch) {
      const QWORD length = ch.length_bytes();
      return length == kNoValue ? fail(BASS_ERROR_NOTAVAIL, kNoValue) : ok(length);
    });
  });
}

QWORD BASSAPI BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
  return guarded(set_error, static_cast<QWORD>(-1), [&]() -> QWORD {
    if (mode != BASS_POS_BYTE) return fail(BASS_ERROR_NOTAVAIL, kNoValue);
    return with_channel(handle, kNoValue, [](Channel& ch) {
      const QWORD pos = ch.position_bytes();
      return pos == kNoValue ? fail(BASS_ERROR_NOTAVAIL, kNoValue) : ok(pos);
    });
  });
}

BOOL BASSAPI BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    if (mode != BASS_POS_BYTE) return fail(BASS_ERROR_NOTAVAIL, FALSE);
    return with_channel(handle, FALSE, [&](Channel& ch) { return ch.set_position_bytes(pos) ? ok(TRUE) : FALSE; });
  });
}

double BASSAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
  return guarded(set_error, -1.0, [&]() -> double {
    auto ch = library().channel(handle);
    if (!ch) return -1;
    if (pos == kNoValue) return fail(BASS_ERROR_ILLPARAM, -1.0);
    return ok(static_cast<double>(pos / ch->frame_bytes()) / ch->rate());
  });
}

QWORD BASSAPI BASS_ChannelSeconds2Bytes(DWORD handle, double pos) {
  return guarded(set_error, static_cast<QWORD>(-1), [&]() -> QWORD {
    auto ch = library().channel(handle);
    if (!ch) return kNoValue;
    if (!(pos >= 0) || !std::isfinite(pos)) return fail(BASS_ERROR_ILLPARAM, kNoValue);
    // a small allowance keeps values that came from whole frames on their frame
    const double frames = std::floor(pos * ch->rate() + 1e-6);
    return ok(static_cast<QWORD>(frames) * ch->frame_bytes());
  });
}

DWORD BASSAPI BASS_ChannelFlags(DWORD handle, DWORD flags, DWORD mask) {
  return guarded(set_error, static_cast<DWORD>(-1), [&]() -> DWORD {
    return with_channel(handle, static_cast<DWORD>(-1), [&](Channel& ch) { return ok(ch.change_flags(flags, mask)); });
  });
}

BOOL BASSAPI BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    return with_channel(handle, FALSE, [&](Channel& ch) { return ch.set_attribute(attrib, value) ? ok(TRUE) : FALSE; });
  });
}

BOOL BASSAPI BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    if (!value) return fail(BASS_ERROR_ILLPARAM, FALSE);
    return with_channel(handle, FALSE, [&](Channel& ch) { return ch.get_attribute(attrib, *value) ? ok(TRUE) : FALSE; });
  });
}

BOOL BASSAPI BASS_ChannelSlideAttribute(DWORD handle, DWORD attrib, float value, DWORD time) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    return with_channel(handle, FALSE,
                        [&](Channel& ch) { return ch.slide_attribute(attrib, value, time) ? ok(TRUE) : FALSE; });
  });
}

BOOL BASSAPI BASS_ChannelIsSliding(DWORD handle, DWORD attrib) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    return with_channel(handle, FALSE, [&](Channel& ch) { return ok<BOOL>(ch.is_sliding(attrib) ? TRUE : FALSE); });
  });
}

HDSP BASSAPI BASS_ChannelSetDSP(DWORD handle, DSPPROC* proc, void* user, int priority) {
  return guarded(set_error, HDSP{0}, [&]() -> HDSP {
    const HDSP h = library().set_dsp(handle, proc, user, priority);
    return h ? ok(h) : 0;
  });
}

BOOL BASSAPI BASS_ChannelRemoveDSP(DWORD handle, HDSP dsp) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    return library().remove_chain_entry(handle, dsp, HandleKind::Dsp) ? ok(TRUE) : FALSE;
  });
}

HFX BASSAPI BASS_ChannelSetFX(DWORD handle, DWORD type, int priority) {
  return guarded(set_error, HFX{0}, [&]() -> HFX {
    const HFX h = library().set_fx(handle, type, priority);
    return h ? ok(h) : 0;
  });
}

BOOL BASSAPI BASS_ChannelRemoveFX(DWORD handle, HFX fx) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    return library().remove_chain_entry(handle, fx, HandleKind::Fx) ? ok(TRUE) : FALSE;
  });
}

BOOL BASSAPI BASS_FXSetParameters(HFX handle, const void* params) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    if (!params) return fail(BASS_ERROR_ILLPARAM, FALSE);
    bool applied = false;
    if (!library().with_effect(handle, [&](Effect& e) { return applied = e.set_parameters(params), true; }))
      return fail(BASS_ERROR_HANDLE, FALSE);
    return applied ? ok(TRUE) : fail(BASS_ERROR_ILLPARAM, FALSE);
  });
}

BOOL BASSAPI BASS_FXGetParameters(HFX handle, void* params) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    if (!params) return fail(BASS_ERROR_ILLPARAM, FALSE);
    bool got = false;
    if (!library().with_effect(handle, [&](Effect& e) { return got = e.get_parameters(params), true; }))
      return fail(BASS_ERROR_HANDLE, FALSE);
    return got ? ok(TRUE) : fail(BASS_ERROR_ILLPARAM, FALSE);
  });
}

}  // extern "C"
