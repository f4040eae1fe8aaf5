// Version, errors, configuration and devices.
#include <cstring>

#include "bass.h"
#include "c_boundary.h"
#include "error.h"
#include "library_instance.h"

// Test builds of the library change what it reports (see audiolib/CMakeLists.txt).
#ifndef TAV_BASS_REPORTED_VERSION
#define TAV_BASS_REPORTED_VERSION BASS_VERSION_NUMBER
#endif

using namespace tav::audio;

extern "C" {

DWORD BASSAPI BASS_GetVersion(void) { return TAV_BASS_REPORTED_VERSION; }

int BASSAPI BASS_ErrorGetCode(void) { return last_error(); }

BOOL BASSAPI BASS_SetConfig(DWORD option, DWORD value) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    if (!library().config.set(option, value)) return fail(BASS_ERROR_ILLPARAM, FALSE);
    set_error(BASS_OK);
    return TRUE;
  });
}

DWORD BASSAPI BASS_GetConfig(DWORD option) {
  return guarded(set_error, static_cast<DWORD>(-1), [&]() -> DWORD {
    uint32_t value = 0;
    if (!library().config.get(option, value)) return fail(BASS_ERROR_ILLPARAM, static_cast<DWORD>(-1));
    set_error(BASS_OK);
    return value;
  });
}

BOOL BASSAPI BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    const Library::DeviceSlot* slot = library().device_slot(device);
    if (!slot) return fail(BASS_ERROR_DEVICE, FALSE);
    if (!info) return fail(BASS_ERROR_ILLPARAM, FALSE);
    info->name = slot->name.c_str();
    info->driver = slot->driver.c_str();
    info->flags = BASS_DEVICE_ENABLED | (slot->is_default ? BASS_DEVICE_DEFAULT : 0) |
                  (slot->device ? BASS_DEVICE_INIT : 0);
    set_error(BASS_OK);
    return TRUE;
  });
}

BOOL BASSAPI BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const GUID* dsguid) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
#ifdef TAV_BASS_FAILING_DEVICE  // a test build whose device of that number fails to start
    if (device == TAV_BASS_FAILING_DEVICE) return fail(BASS_ERROR_DRIVER, FALSE);
#endif
    if (!library().init_device(device, freq, reinterpret_cast<void*>(win))) return FALSE;
    set_error(BASS_OK);
    return TRUE;
  });
}

BOOL BASSAPI BASS_SetDevice(DWORD device) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    if (!library().set_current(device)) return FALSE;
    set_error(BASS_OK);
    return TRUE;
  });
}

DWORD BASSAPI BASS_GetDevice(void) {
  return guarded(set_error, static_cast<DWORD>(-1), [&]() -> DWORD {
    Library& lib = library();
    if (!lib.current_device()) return static_cast<DWORD>(-1);
    set_error(BASS_OK);
    return lib.current();
  });
}

BOOL BASSAPI BASS_Free(void) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    if (!library().free_current()) return FALSE;
    set_error(BASS_OK);
    return TRUE;
  });
}

BOOL BASSAPI BASS_GetInfo(BASS_INFO* info) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    Library& lib = library();
    Device* device = lib.current_device();
    if (!device) return FALSE;
    if (!info) return fail(BASS_ERROR_ILLPARAM, FALSE);
    std::memset(info, 0, sizeof *info);
    info->minrate = Library::kMinRate;
    info->maxrate = Library::kMaxRate;
    info->minbuf = LibraryConfig::kMinBufferMs;
  #ifdef TAV_BASS_REPORTED_DSVER
    info->dsver = TAV_BASS_REPORTED_DSVER;
  #else
    info->dsver = lib.directsound_version();
  #endif
    info->latency = device->latency_ms();
    info->speakers = device->channels();
    info->freq = device->rate();
    set_error(BASS_OK);
    return TRUE;
  });
}

}  // extern "C"
