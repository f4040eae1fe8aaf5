/* Tavolen audio library: the C interface of bfxs.dll (tempo, pitch, reverse,
 * peaking equaliser and phaser over bass.dll's channels).
 *
 * The tempo and reverse stages are decoding streams over a decoding source:
 * - their position and length are the source's, in source bytes; a seek moves
 *   the source and empties the stage;
 * - a stage reads its source linearly: the source's own loop flag is cleared
 *   when the stage is made and has no effect while the stage reads it;
 * - BASS_SAMPLE_LOOP on the stage (at creation or by BASS_ChannelFlags) makes
 *   the stage wrap its source at the end: to 0, or to the end when the source
 *   plays backwards, so a loop on the top stage loops the whole chain;
 * - with BASS_FX_FREESOURCE, freeing the stage frees its source (and so on
 *   down a chain of stages made with it); without it the source stays and
 *   may be used on its own again.
 */
#ifndef TAVOLEN_BASS_FX_H
#define TAVOLEN_BASS_FX_H

#include "bass.h"

#ifdef __cplusplus
extern "C" {
#endif

#define BASS_FX_VERSION_NUMBER 0x02040000u

/* stage flags */
#define BASS_FX_FREESOURCE         0x10000  /* free the source with the stage */

/* channel types (BASS_CHANNELINFO.ctype) */
#define BASS_CTYPE_STREAM_TEMPO    0x1F200
#define BASS_CTYPE_STREAM_REVERSE  0x1F201

/* attributes */
#define BASS_ATTRIB_TEMPO          0x10000  /* tempo change, percent */
#define BASS_ATTRIB_TEMPO_PITCH    0x10001  /* pitch change, semitones */
#define BASS_ATTRIB_TEMPO_FREQ     0x10002  /* rate change, Hz */
#define BASS_ATTRIB_REVERSE_DIR    0x11000  /* -1 backwards, +1 forwards */

#define BASS_FX_RVS_REVERSE        (-1)
#define BASS_FX_RVS_FORWARD        1

/* effect types */
#define BASS_FX_BFX_PEAKEQ         0x10004
#define BASS_FX_BFX_PHASER         0x1000B

#define BASS_BFX_CHANALL           (-1)

typedef struct BASS_BFX_PEAKEQ {
  int lBand;          /* band number, keys the band inside one effect */
  float fBandwidth;   /* octaves (used when fQ is 0) */
  float fQ;           /* quality factor, 0 = use fBandwidth */
  float fCenter;      /* centre frequency, Hz */
  float fGain;        /* dB */
  int lChannel;       /* channel mask, BASS_BFX_CHANALL for all */
} BASS_BFX_PEAKEQ;

typedef struct BASS_BFX_PHASER {
  float fDryMix;      /* -2..2 */
  float fWetMix;      /* -2..2 */
  float fFeedback;    /* -1..1 */
  float fRate;        /* Hz 0..10 */
  float fRange;       /* octaves 0..10 */
  float fFreq;        /* base frequency, Hz 0..1000 */
  int lChannel;       /* channel mask */
} BASS_BFX_PHASER;

DWORD BASSAPI BASS_FX_GetVersion(void);
HSTREAM BASSAPI BASS_FX_TempoCreate(DWORD chan, DWORD flags);
DWORD BASSAPI BASS_FX_TempoGetSource(HSTREAM chan);
HSTREAM BASSAPI BASS_FX_ReverseCreate(DWORD chan, float dec_block, DWORD flags);
DWORD BASSAPI BASS_FX_ReverseGetSource(HSTREAM chan);

#ifdef __cplusplus
}
#endif

#if defined(_WIN32) && !defined(_WIN64)
#ifdef __cplusplus
static_assert(sizeof(BASS_BFX_PEAKEQ) == 24, "BASS_BFX_PEAKEQ layout");
static_assert(sizeof(BASS_BFX_PHASER) == 28, "BASS_BFX_PHASER layout");
#endif
#endif

#endif /* TAVOLEN_BASS_FX_H */
