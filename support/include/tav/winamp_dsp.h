/* The Winamp DSP plug-in interface records, shared by the player's host and
 * by the plug-ins. A plug-in library exports winampDSPGetHeader2 (no
 * arguments, C calling convention) returning its header; the header's
 * getModule hands out module records by index and none past the last. The
 * plug-in owns both records for as long as it is loaded. Every field is 32
 * bits wide on 32-bit Windows; every entry point uses the C calling
 * convention. Plain C. */
#ifndef TAVOLEN_WINAMP_DSP_H
#define TAVOLEN_WINAMP_DSP_H

#if defined(_WIN32)
#include <windows.h>
#define WINAMP_DSP_CALL __cdecl
#else
typedef void* HWND;
typedef void* HINSTANCE;
#define WINAMP_DSP_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define WINAMP_DSP_HEADER_VERSION 0x20

typedef struct winampDSPModule {
  char* description;
  HWND hwndParent;        /* filled by the host */
  HINSTANCE hDllInstance; /* filled by the host */
  void(WINAMP_DSP_CALL* Config)(struct winampDSPModule* this_mod);
  int(WINAMP_DSP_CALL* Init)(struct winampDSPModule* this_mod); /* 0 = success */
  /* Processes interleaved signed samples in place; returns the new number of
   * frames (at most twice numsamples: the host's buffer holds that much). */
  int(WINAMP_DSP_CALL* ModifySamples)(struct winampDSPModule* this_mod, short int* samples, int numsamples,
                                      int bps, int nch, int srate);
  void(WINAMP_DSP_CALL* Quit)(struct winampDSPModule* this_mod);
  void* userData;
} winampDSPModule;

typedef struct winampDSPHeader {
  int version; /* WINAMP_DSP_HEADER_VERSION */
  char* description;
  winampDSPModule*(WINAMP_DSP_CALL* getModule)(int index);
} winampDSPHeader;

typedef winampDSPHeader*(WINAMP_DSP_CALL* winampDSPGetHeaderType)(void);

#ifdef __cplusplus
}
#endif

#if defined(_WIN32) && !defined(_WIN64) && defined(__cplusplus)
static_assert(sizeof(winampDSPModule) == 32, "winampDSPModule layout");
static_assert(sizeof(winampDSPHeader) == 12, "winampDSPHeader layout");
#endif

#endif /* TAVOLEN_WINAMP_DSP_H */
