#include <string_view>

#include "addon_registry.h"
#include "bass.h"
#include "decoder.h"

namespace tav::audio {

std::unique_ptr<Decoder> open_decoder(std::unique_ptr<ByteSource> source, const DecoderOptions& options, int& error) {
  if (!source) {
    error = BASS_ERROR_FILEOPEN;
    return nullptr;
  }
  if (source->size() == 0) {
    error = BASS_ERROR_EMPTY;
    return nullptr;
  }
  // Formats with a signature first. One that names its container but is damaged, or holds
  // a codec not built in, keeps that container's error unless an add-on takes the file.
  int container_error = BASS_ERROR_FILEFORM;
  using Probe = std::unique_ptr<Decoder> (*)(std::unique_ptr<ByteSource>&, int&);
  for (Probe probe : {Probe{open_wav}, Probe{open_aiff}, Probe{open_ogg}}) {
    int e = BASS_ERROR_FILEFORM;
    if (auto d = probe(source, e)) {
      error = BASS_OK;
      return d;
    }
    if (!source) {
      error = e;
      return nullptr;
    }
    if (e != BASS_ERROR_FILEFORM) {
      container_error = e;
      break;
    }
  }
  // then the add-ons' formats, before MPEG audio, which has no signature of its own
  if (auto d = addon_registry().open(source)) {
    error = BASS_OK;
    return d;
  }
  if (container_error != BASS_ERROR_FILEFORM) {
    error = container_error;
    return nullptr;
  }
  char head[12] = {};
  source->seek(0);
  source->read(head, sizeof head);
  const bool signed_container = std::string_view(head, 4) == "RIFF" || std::string_view(head, 4) == "FORM" ||
                                std::string_view(head, 4) == "OggS";
  if (signed_container) {
    error = BASS_ERROR_FILEFORM;
    return nullptr;
  }
  return open_mp3(source, options, error);
}

}  // namespace tav::audio
