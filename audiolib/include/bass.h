/* Tavolen audio library: the C interface of bass.dll.
 *
 * Every function uses the standard calling convention on 32-bit Windows and is
 * exported undecorated. Records have the 32-bit layouts checked at the end of
 * this file. The interface is C only: nothing of C++ crosses it.
 */
#ifndef TAVOLEN_BASS_H
#define TAVOLEN_BASS_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64) && defined(__GNUC__)
#define BASSAPI __attribute__((stdcall))
#define BASSCALLBACK __attribute__((stdcall))
#elif defined(_WIN32)
#define BASSAPI __stdcall
#define BASSCALLBACK __stdcall
#else
#define BASSAPI
#define BASSCALLBACK
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef _WIN32
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef int32_t BOOL;
typedef void* HWND;
typedef struct _GUID GUID;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#else
#include <windows.h>
#endif
typedef uint64_t QWORD;

typedef DWORD HSTREAM;  /* sample stream */
typedef DWORD HMUSIC;   /* tracker module */
typedef DWORD HDSP;     /* DSP procedure on a channel */
typedef DWORD HFX;      /* effect on a channel */
typedef DWORD HPLUGIN;  /* loaded add-on */

#define BASSVERSION 0x0204
#define BASS_VERSION_NUMBER 0x02040000u

/* error codes (BASS_ErrorGetCode) */
#define BASS_OK               0   /* all is well */
#define BASS_ERROR_MEM        1   /* out of memory */
#define BASS_ERROR_FILEOPEN   2   /* the file could not be opened */
#define BASS_ERROR_DRIVER     3   /* no usable output driver */
#define BASS_ERROR_HANDLE     5   /* the handle is not valid */
#define BASS_ERROR_FORMAT     6   /* sample format not supported */
#define BASS_ERROR_POSITION   7   /* invalid position */
#define BASS_ERROR_INIT       8   /* BASS_Init has not succeeded */
#define BASS_ERROR_START      9   /* output is paused or stopped */
#define BASS_ERROR_ALREADY    14  /* already initialised, paused or in use */
#define BASS_ERROR_NOCHAN     18  /* no free channel */
#define BASS_ERROR_ILLTYPE    19  /* an illegal type was given */
#define BASS_ERROR_ILLPARAM   20  /* an illegal parameter was given */
#define BASS_ERROR_DEVICE     23  /* illegal device number */
#define BASS_ERROR_NOPLAY     24  /* the channel is not playing */
#define BASS_ERROR_FREQ       25  /* illegal sample rate */
#define BASS_ERROR_NOTFILE    27  /* the stream is not a file stream */
#define BASS_ERROR_EMPTY      31  /* the file holds no sample data */
#define BASS_ERROR_NONET      32  /* no connection could be opened */
#define BASS_ERROR_CREATE     33  /* the file or stream could not be created */
#define BASS_ERROR_NOFX       34  /* the effect is not available */
#define BASS_ERROR_NOTAVAIL   37  /* the requested data or value is not available */
#define BASS_ERROR_DECODE     38  /* the channel is (or is not) a decoding channel */
#define BASS_ERROR_TIMEOUT    40  /* the connection timed out */
#define BASS_ERROR_FILEFORM   41  /* unsupported or damaged file format */
#define BASS_ERROR_VERSION    43  /* incompatible version */
#define BASS_ERROR_CODEC      44  /* codec not available or not supported */
#define BASS_ERROR_ENDED      45  /* the channel or file has ended */
#define BASS_ERROR_BUSY       46  /* the device is busy */
#define BASS_ERROR_UNKNOWN    (-1)

/* configuration options (BASS_SetConfig) */
#define BASS_CONFIG_BUFFER       0  /* playback buffer length, ms (80..5000) */
#define BASS_CONFIG_UPDATEPERIOD 1  /* update period, ms */
#define BASS_CONFIG_FLOATDSP     9  /* DSP procedures and effects get 32-bit floats */
#define BASS_CONFIG_NET_TIMEOUT  11 /* network connect timeout, ms */
#define BASS_CONFIG_NET_BUFFER   12 /* network stream buffer length, ms of audio */
#define BASS_CONFIG_NET_PREBUF   15 /* % of the network buffer filled before a stream plays or resumes */

/* channel and stream flags */
#define BASS_SAMPLE_8BITS     0x1
#define BASS_SAMPLE_FLOAT     0x100
#define BASS_SAMPLE_LOOP      0x4
#define BASS_SAMPLE_FX        0x80
#define BASS_STREAM_PRESCAN   0x20000
#define BASS_STREAM_AUTOFREE  0x40000
#define BASS_STREAM_DECODE    0x200000
#define BASS_SAMPLE_MONO      0x2
#define BASS_MUSIC_RAMP       0x200       /* volume ramping */
#define BASS_MUSIC_RAMPS      0x400       /* sensitive volume ramping */
#define BASS_MUSIC_NONINTER   0x10000     /* no interpolation */
#define BASS_MUSIC_SINCINTER  0x800000    /* sinc interpolation */
#define BASS_MUSIC_MONO       BASS_SAMPLE_MONO
#define BASS_MUSIC_FLOAT      BASS_SAMPLE_FLOAT
#define BASS_MUSIC_LOOP       BASS_SAMPLE_LOOP
#define BASS_MUSIC_PRESCAN    BASS_STREAM_PRESCAN
#define BASS_MUSIC_DECODE     BASS_STREAM_DECODE

/* stream procedure results */
#define BASS_STREAMPROC_END   0x80000000u

/* channel attributes */
#define BASS_ATTRIB_FREQ      1
#define BASS_ATTRIB_VOL       2

/* position modes */
#define BASS_POS_BYTE         0

/* BASS_ChannelIsActive results */
#define BASS_ACTIVE_STOPPED   0
#define BASS_ACTIVE_PLAYING   1
#define BASS_ACTIVE_STALLED   2
#define BASS_ACTIVE_PAUSED    3

/* built-in effect types (BASS_ChannelSetFX) */
#define BASS_FX_DX8_ECHO      3
#define BASS_FX_DX8_REVERB    8

/* channel types (BASS_CHANNELINFO.ctype) */
#define BASS_CTYPE_STREAM       0x10000
#define BASS_CTYPE_STREAM_OGG   0x10002
#define BASS_CTYPE_STREAM_MP3   0x10005
#define BASS_CTYPE_STREAM_WAV   0x40000
#define BASS_CTYPE_STREAM_AIFF  0x10006
#define BASS_CTYPE_MUSIC_MOD    0x20000
#define BASS_CTYPE_MUSIC_MTM    0x20001
#define BASS_CTYPE_MUSIC_S3M    0x20002
#define BASS_CTYPE_MUSIC_XM     0x20003
#define BASS_CTYPE_MUSIC_IT     0x20004
#define BASS_CTYPE_MUSIC_MO3    0x00100

/* device flags (BASS_DEVICEINFO.flags) */
#define BASS_DEVICE_ENABLED   1
#define BASS_DEVICE_DEFAULT   2
#define BASS_DEVICE_INIT      4

typedef struct BASS_DEVICEINFO {
  const char* name;    /* description, 8-bit text */
  const char* driver;  /* driver name */
  DWORD flags;         /* BASS_DEVICE_* */
} BASS_DEVICEINFO;

typedef struct BASS_INFO {
  DWORD flags;
  DWORD hwsize;
  DWORD hwfree;
  DWORD freesam;
  DWORD free3d;
  DWORD minrate;
  DWORD maxrate;
  BOOL eax;
  DWORD minbuf;
  DWORD dsver;     /* DirectSound version */
  DWORD latency;
  DWORD initflags;
  DWORD speakers;
  DWORD freq;      /* current output rate */
} BASS_INFO;

typedef struct BASS_CHANNELINFO {
  DWORD freq;
  DWORD chans;
  DWORD flags;
  DWORD ctype;
  DWORD origres;
  HPLUGIN plugin;
  DWORD sample;
  const char* filename;
} BASS_CHANNELINFO;

typedef struct BASS_PLUGINFORM {
  DWORD ctype;
  const char* name;  /* format description */
  const char* exts;  /* extension patterns, "*.abc;*.def" */
} BASS_PLUGINFORM;

typedef struct BASS_PLUGININFO {
  DWORD version;
  DWORD formatc;
  const BASS_PLUGINFORM* formats;
} BASS_PLUGININFO;

/* DirectX 8 effect parameter records */
typedef struct BASS_DX8_ECHO {
  float fWetDryMix;   /* % 0..100 */
  float fFeedback;    /* % 0..100 */
  float fLeftDelay;   /* ms 1..2000 */
  float fRightDelay;  /* ms 1..2000 */
  BOOL lPanDelay;     /* swap left and right on each echo */
} BASS_DX8_ECHO;

typedef struct BASS_DX8_REVERB {
  float fInGain;           /* dB -96..0 */
  float fReverbMix;        /* dB -96..0 */
  float fReverbTime;       /* ms 0.001..3000 */
  float fHighFreqRTRatio;  /* 0.001..0.999 */
} BASS_DX8_REVERB;

typedef DWORD(BASSCALLBACK STREAMPROC)(HSTREAM handle, void* buffer, DWORD length, void* user);
typedef void(BASSCALLBACK DSPPROC)(HDSP handle, DWORD channel, void* buffer, DWORD length, void* user);
typedef void(BASSCALLBACK DOWNLOADPROC)(const void* buffer, DWORD length, void* user);

DWORD BASSAPI BASS_GetVersion(void);
int BASSAPI BASS_ErrorGetCode(void);
BOOL BASSAPI BASS_SetConfig(DWORD option, DWORD value);
DWORD BASSAPI BASS_GetConfig(DWORD option);

BOOL BASSAPI BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info);
BOOL BASSAPI BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const GUID* dsguid);
BOOL BASSAPI BASS_SetDevice(DWORD device);
DWORD BASSAPI BASS_GetDevice(void);
BOOL BASSAPI BASS_Free(void);
BOOL BASSAPI BASS_GetInfo(BASS_INFO* info);

HPLUGIN BASSAPI BASS_PluginLoad(const char* file, DWORD flags);
BOOL BASSAPI BASS_PluginFree(HPLUGIN handle);
const BASS_PLUGININFO* BASSAPI BASS_PluginGetInfo(HPLUGIN handle);

HSTREAM BASSAPI BASS_StreamCreate(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* user);
HSTREAM BASSAPI BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
HSTREAM BASSAPI BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc, void* user);
BOOL BASSAPI BASS_StreamFree(HSTREAM handle);
HMUSIC BASSAPI BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq);
BOOL BASSAPI BASS_MusicFree(HMUSIC handle);

BOOL BASSAPI BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info);
DWORD BASSAPI BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);
BOOL BASSAPI BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASSAPI BASS_ChannelPause(DWORD handle);
BOOL BASSAPI BASS_ChannelStop(DWORD handle);
DWORD BASSAPI BASS_ChannelIsActive(DWORD handle);
QWORD BASSAPI BASS_ChannelGetLength(DWORD handle, DWORD mode);
QWORD BASSAPI BASS_ChannelGetPosition(DWORD handle, DWORD mode);
BOOL BASSAPI BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
double BASSAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
QWORD BASSAPI BASS_ChannelSeconds2Bytes(DWORD handle, double pos);
DWORD BASSAPI BASS_ChannelFlags(DWORD handle, DWORD flags, DWORD mask);
BOOL BASSAPI BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);
BOOL BASSAPI BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value);
BOOL BASSAPI BASS_ChannelSlideAttribute(DWORD handle, DWORD attrib, float value, DWORD time);
BOOL BASSAPI BASS_ChannelIsSliding(DWORD handle, DWORD attrib);
HDSP BASSAPI BASS_ChannelSetDSP(DWORD handle, DSPPROC* proc, void* user, int priority);
BOOL BASSAPI BASS_ChannelRemoveDSP(DWORD handle, HDSP dsp);
HFX BASSAPI BASS_ChannelSetFX(DWORD handle, DWORD type, int priority);
BOOL BASSAPI BASS_ChannelRemoveFX(DWORD handle, HFX fx);
BOOL BASSAPI BASS_FXSetParameters(HFX handle, const void* params);
BOOL BASSAPI BASS_FXGetParameters(HFX handle, void* params);

#ifdef __cplusplus
}
#endif

#if defined(_WIN32) && !defined(_WIN64)
#ifdef __cplusplus
#define TAV_BASS_CHECK(cond, msg) static_assert(cond, msg)
#else
#define TAV_BASS_CHECK(cond, msg) _Static_assert(cond, msg)
#endif
TAV_BASS_CHECK(sizeof(BASS_DEVICEINFO) == 12, "BASS_DEVICEINFO layout");
TAV_BASS_CHECK(sizeof(BASS_INFO) == 56, "BASS_INFO layout");
TAV_BASS_CHECK(sizeof(BASS_CHANNELINFO) == 32, "BASS_CHANNELINFO layout");
TAV_BASS_CHECK(sizeof(BASS_PLUGINFORM) == 12, "BASS_PLUGINFORM layout");
TAV_BASS_CHECK(sizeof(BASS_PLUGININFO) == 12, "BASS_PLUGININFO layout");
TAV_BASS_CHECK(sizeof(BASS_DX8_ECHO) == 20, "BASS_DX8_ECHO layout");
TAV_BASS_CHECK(sizeof(BASS_DX8_REVERB) == 16, "BASS_DX8_REVERB layout");
#undef TAV_BASS_CHECK
#endif

#endif /* TAVOLEN_BASS_H */
