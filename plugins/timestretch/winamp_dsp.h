/* Records of the Winamp DSP plug-in interface, shared by plug-ins and hosts.
   A plug-in library exports winampDSPGetHeader2 (C calling convention), which
   returns its header; the header hands out the modules by index. */
#ifndef TAVOLEN_WINAMP_DSP_H
#define TAVOLEN_WINAMP_DSP_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct winampDSPModule {
  char* description;       /* NUL-terminated 8-bit text */
  HWND hwndParent;         /* filled by the host */
  HINSTANCE hDllInstance;  /* filled by the host */
  void (*Config)(struct winampDSPModule* module);
  int (*Init)(struct winampDSPModule* module); /* 0 on success */
  /* processes interleaved PCM in place; returns the new number of frames */
  int (*ModifySamples)(struct winampDSPModule* module, short int* samples, int numsamples, int bps,
                       int nch, int srate);
  void (*Quit)(struct winampDSPModule* module);
  void* userData;
} winampDSPModule;

typedef struct winampDSPHeader {
  int version; /* 0x20 */
  char* description;
  winampDSPModule* (*getModule)(int index); /* NULL past the last module */
} winampDSPHeader;

#define WINAMP_DSP_HEADER_VERSION 0x20

typedef winampDSPHeader* (*winampDSPGetHeaderType)(void);

#ifdef __cplusplus
}
#endif

#endif
