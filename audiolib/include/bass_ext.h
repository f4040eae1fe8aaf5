/* Tavolen audio library: the extension interface of bass.dll.
 *
 * bfxs.dll and decoder add-ons put their own stream kinds and effect types
 * into bass.dll's channels through these calls, so a stage or an effect of
 * theirs behaves like every built-in channel and effect: it has a handle, a
 * place in the channel's DSP/FX chain, positions, attributes and flags.
 * C only; the callbacks use the C calling convention.
 */
#ifndef TAVOLEN_BASS_EXT_H
#define TAVOLEN_BASS_EXT_H

#include "bass.h"

#if defined(_WIN32) && !defined(_WIN64) && defined(__GNUC__)
#define TAVCDECL __attribute__((cdecl))
#else
#define TAVCDECL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A stream whose samples come from its owner's callbacks (a decoding channel).
 *
 * bass.dll holds the channel's lock around every callback, so the callbacks of
 * one stream never run at the same time and never overlap a free. Samples are
 * 32-bit float, interleaved, at the rate and channel count the stream was
 * created with; bass.dll runs the channel's DSP/FX chain on them and hands
 * 16-bit PCM to BASS_ChannelGetData callers. Positions and lengths are byte
 * counts as the stream reports them to the world (16-bit frames of its own
 * channel count unless the owner says otherwise).
 *
 * free() is called once, when the stream is freed, without any bass.dll lock
 * held, so it may free other channels (a stage's source). */
typedef struct TAV_STREAM_FUNCS {
  DWORD size; /* sizeof(TAV_STREAM_FUNCS) */
  /* Fill up to `frames` frames; returns the frames written, 0 only at the end or while
   * is_stalled() says so. */
  DWORD(TAVCDECL* read)(void* state, float* buffer, DWORD frames);
  /* Length in bytes, or (QWORD)-1 when unknown. */
  QWORD(TAVCDECL* get_length)(void* state);
  /* Current position in bytes. */
  QWORD(TAVCDECL* get_position)(void* state);
  /* Seek to a byte position; FALSE (and no change) when refused. */
  BOOL(TAVCDECL* set_position)(void* state, QWORD pos);
  /* Attributes that bass.dll does not handle itself; FALSE = not known. */
  BOOL(TAVCDECL* set_attribute)(void* state, DWORD attrib, float value);
  BOOL(TAVCDECL* get_attribute)(void* state, DWORD attrib, float* value);
  /* The stream's flags after BASS_ChannelFlags changed them (may be NULL). */
  void(TAVCDECL* flags_changed)(void* state, DWORD flags);
  void(TAVCDECL* free)(void* state);
  /* TRUE when the last read() gave nothing because the stream waits for data (a network
   * source that ran dry), not because it ended (may be NULL). bass.dll asks once, right
   * after that read, and answers BASS_ChannelGetData with 0 (stalled) or -1 (ended) by it;
   * the answer must be the one that read found, however the source has changed since. */
  BOOL(TAVCDECL* is_stalled)(void* state);
} TAV_STREAM_FUNCS;

/* Creates a decoding stream served by `funcs` (copied) and `state`.
 * ctype is reported in BASS_CHANNELINFO.ctype. Returns 0 on failure. */
HSTREAM BASSAPI BASS_TAV_StreamCreateCustom(DWORD freq, DWORD chans, DWORD flags, DWORD ctype,
                                            const TAV_STREAM_FUNCS* funcs, void* state);

/* Returns the state pointer of a custom stream created with these funcs, or
 * NULL when the handle is not such a stream. */
void* BASSAPI BASS_TAV_StreamGetState(HSTREAM handle, const TAV_STREAM_FUNCS* funcs);

/* An effect type that BASS_ChannelSetFX creates on any channel. */
typedef struct TAV_FX_FUNCS {
  DWORD size; /* sizeof(TAV_FX_FUNCS) */
  /* New effect instance for a channel of this rate and channel count; NULL refuses. */
  void*(TAVCDECL* create)(DWORD type, DWORD freq, DWORD chans);
  /* Processes interleaved float samples in place. */
  void(TAVCDECL* process)(void* fx, float* samples, DWORD frames);
  BOOL(TAVCDECL* set_parameters)(void* fx, const void* params);
  BOOL(TAVCDECL* get_parameters)(void* fx, void* params);
  /* Clears the effect's history (after a seek of its channel). May be NULL. */
  void(TAVCDECL* reset)(void* fx);
  void(TAVCDECL* destroy)(void* fx);
} TAV_FX_FUNCS;

/* Registers an effect type (idempotent for the same funcs). */
BOOL BASSAPI BASS_TAV_RegisterFX(DWORD type, const TAV_FX_FUNCS* funcs);

/* Sets the error code that BASS_ErrorGetCode reports on this thread. */
void BASSAPI BASS_TAV_SetError(int code);

#ifdef __cplusplus
}
#endif

#endif /* TAVOLEN_BASS_EXT_H */
