// Tracker modules: BASS_MusicLoad and BASS_MusicFree.
#include "bass.h"
#include "c_boundary.h"
#include "error.h"
#include "library_instance.h"
#include "module_decoder.h"

using namespace tav::audio;

extern "C" {

HMUSIC BASSAPI BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq) {
  return guarded(set_error, HMUSIC{0}, [&]() -> HMUSIC {
    // an address is no file name: it fails here like any file that cannot be opened
    int error = BASS_OK;
    auto source = call_source(mem != FALSE, file, offset, length, error);
    if (!source) return fail(error, HMUSIC{0});
    const HMUSIC h = library().load_music(std::move(source), flags, freq);
    if (h) set_error(BASS_OK);
    return h;
  });
}

BOOL BASSAPI BASS_MusicFree(HMUSIC handle) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    auto ch = library().channel(handle);
    if (!ch) return FALSE;
    if (!is_module_ctype(ch->ctype())) return fail(BASS_ERROR_HANDLE, FALSE);
    if (!library().free_channel(handle)) return FALSE;
    set_error(BASS_OK);
    return TRUE;
  });
}

}  // extern "C"
