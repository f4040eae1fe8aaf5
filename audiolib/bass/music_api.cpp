// Tracker modules: BASS_MusicLoad and BASS_MusicFree.
#include "bass.h"
#include "error.h"
#include "library_instance.h"
#include "module_decoder.h"

using namespace tav::audio;

extern "C" {

HMUSIC BASSAPI BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq) {
  if (!file) return fail(BASS_ERROR_FILEOPEN, HMUSIC{0});
  std::unique_ptr<ByteSource> source;
  if (mem) {
    if (length == 0) return fail(BASS_ERROR_EMPTY, HMUSIC{0});
    source = memory_source(static_cast<const char*>(file) + offset, length);
  } else {
    // an address is no file name: it fails here like any file that cannot be opened
    source = open_file_source(static_cast<const char*>(file), offset, length);
    if (!source) return fail(BASS_ERROR_FILEOPEN, HMUSIC{0});
  }
  const HMUSIC h = library().load_music(std::move(source), flags, freq);
  if (h) set_error(BASS_OK);
  return h;
}

BOOL BASSAPI BASS_MusicFree(HMUSIC handle) {
  auto ch = library().channel(handle);
  if (!ch) return FALSE;
  if (!is_module_ctype(ch->ctype())) return fail(BASS_ERROR_HANDLE, FALSE);
  if (!library().free_channel(handle)) return FALSE;
  set_error(BASS_OK);
  return TRUE;
}

}  // extern "C"
