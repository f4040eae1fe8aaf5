/* Tavolen audio library: the add-on interface of bass.dll.
 *
 * An add-on is a library that teaches BASS_StreamCreateFile further file formats. The
 * player loads every "bass*.dll" in its "AddIns\" folder with BASS_PluginLoad and shows
 * the formats that BASS_PluginGetInfo reports in its open dialog.
 *
 * An add-on exports one C function (C calling convention, undecorated name):
 *
 *     const TAV_ADDON* TAV_GetAddon(DWORD interface_version);
 *
 * bass.dll passes TAV_ADDON_INTERFACE; the add-on returns its description (static for
 * the library's lifetime) or NULL when it cannot serve that interface version. A library
 * without this export, or with a description that fails the checks below, is not an add-on:
 * BASS_PluginLoad unloads it again and fails with BASS_ERROR_FILEFORM.
 *
 * Decoding. When a file is none of bass.dll's own formats (WAV, AIFF, Ogg Vorbis), each
 * loaded add-on in the order of loading is offered it through open() before bass.dll tries
 * MPEG audio. open() reads the file through the TAV_ADDON_FILE callbacks, and either
 * refuses it (NULL: not this format, the next add-on is asked) or returns a decoder of its
 * own and fills in the stream's format. bass.dll then owns the decoder: it calls read(),
 * length() and seek() from one thread at a time (the channel's lock is held), and close()
 * exactly once. Samples are 32-bit float (1.0 = full scale), interleaved. The file callbacks
 * stay valid until close(). An add-on stays loaded while any of its decoders exists, even
 * after BASS_PluginFree.
 *
 * Nothing of C++ crosses this interface; memory is never freed across it.
 */
#ifndef TAVOLEN_BASS_ADDON_H
#define TAVOLEN_BASS_ADDON_H

#include "bass.h"

#if defined(_WIN32) && !defined(_WIN64) && defined(__GNUC__)
#define TAVADDONCALL __attribute__((cdecl))
#else
#define TAVADDONCALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define TAV_ADDON_INTERFACE 1
#define TAV_ADDON_ENTRY "TAV_GetAddon"

/* The file an add-on is offered, read through bass.dll. */
typedef struct TAV_ADDON_FILE {
  void* handle;
  /* Reads up to `length` bytes at the current position; fewer only at the end. */
  DWORD(TAVADDONCALL* read)(void* handle, void* buffer, DWORD length);
  /* Moves to a byte position within the file; FALSE (no change) past its end. */
  BOOL(TAVADDONCALL* seek)(void* handle, QWORD pos);
  QWORD(TAVADDONCALL* tell)(void* handle);
  QWORD(TAVADDONCALL* size)(void* handle);
} TAV_ADDON_FILE;

/* The format of a stream an add-on opens. */
typedef struct TAV_ADDON_STREAM {
  DWORD freq;     /* sample rate, 1000..384000 */
  DWORD chans;    /* 1..32 */
  DWORD ctype;    /* reported in BASS_CHANNELINFO.ctype; one of the add-on's formats' ctype */
  DWORD origres;  /* bits per sample of the file, 0 when not meaningful */
} TAV_ADDON_STREAM;

typedef struct TAV_ADDON {
  DWORD size;     /* sizeof(TAV_ADDON) */
  DWORD version;  /* the add-on's own version, reported in BASS_PLUGININFO.version */
  DWORD formatc;  /* at least 1 */
  /* name (e.g. "FLAC") and extension patterns (e.g. "*.flac;*.fla") of each format */
  const BASS_PLUGINFORM* formats;
  /* Decoder factory: a decoder for `file`, or NULL when the file is not of its formats. */
  void*(TAVADDONCALL* open)(const TAV_ADDON_FILE* file, TAV_ADDON_STREAM* stream);
  /* Fills up to `frames` frames; fewer only at the end (0 = the end). */
  DWORD(TAVADDONCALL* read)(void* decoder, float* buffer, DWORD frames);
  /* Length in frames, or (QWORD)-1 when unknown. */
  QWORD(TAVADDONCALL* length)(void* decoder);
  /* Moves to a frame (0..length); FALSE and no change when refused. May be NULL. */
  BOOL(TAVADDONCALL* seek)(void* decoder, QWORD frame);
  void(TAVADDONCALL* close)(void* decoder);
} TAV_ADDON;

typedef const TAV_ADDON*(TAVADDONCALL* TAV_GETADDON)(DWORD interface_version);

#ifdef __cplusplus
}
#endif

#endif /* TAVOLEN_BASS_ADDON_H */
