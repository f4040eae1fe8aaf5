#include "tav/engine/stream_chain.h"

#include "bass_fx.h"
#include "tav/engine/globals.h"
#include "tav/engine/output_pump.h"

namespace tav::engine {

namespace {

constexpr const char* kUrlName = "URL Files";

std::string FileNamePart(const std::string& path) {
  const auto cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Frees a decoder that no stage has taken over.
void FreeDecoder(DWORD decoder, bool isTracker) {
  if (isTracker)
    BASS_MusicFree(decoder);
  else
    BASS_StreamFree(decoder);
}

}  // namespace

bool OpenStream(const std::string& name, bool isURL) {
  // The output first: once it is freed the fill procedure no longer runs.
  BASS_StreamFree(StreamState.OutStream);
  BASS_StreamFree(StreamState.DecodeStream);
  StreamState.OutStream = 0;
  StreamState.DecodeStream = 0;
  ResetPump();
  StreamState.CompatActive = StreamState.CompatBuffer;

  bool isTracker = false;
  DWORD decoder = isURL ? BASS_StreamCreateURL(name.c_str(), 0, kDecoderFlags, nullptr, nullptr)
                        : BASS_StreamCreateFile(FALSE, name.c_str(), 0, 0, kDecoderFlags);
  if (decoder == 0) {
    decoder = BASS_MusicLoad(FALSE, name.c_str(), 0, 0, kTrackerFlags, 0);
    isTracker = decoder != 0;
  }
  if (decoder == 0) return false;

  DWORD source = decoder;
  if (!StreamState.CompatActive) {
    source = BASS_FX_ReverseCreate(decoder, kReverseBlockSeconds, kFxStageFlags);
    if (source == 0) {
      FreeDecoder(decoder, isTracker);
      return false;
    }
  }
  StreamState.DecodeStream = BASS_FX_TempoCreate(source, kFxStageFlags);
  if (StreamState.DecodeStream == 0) {
    if (source == decoder)
      FreeDecoder(decoder, isTracker);
    else
      BASS_StreamFree(source);  // the reverse stage frees the decoder with it
    return false;
  }

  BASS_CHANNELINFO info{};
  BASS_ChannelGetInfo(StreamState.DecodeStream, &info);
  // An 8-bit source opens with no output stream (nothing plays); any other
  // source whose output stream cannot be made is a failure, not a silent
  // success.
  HSTREAM out = 0;
  if ((info.flags & BASS_SAMPLE_8BITS) == 0) {
    out = BASS_StreamCreate(info.freq, info.chans, 0, &OutputStreamProc, nullptr);
    if (out == 0) {
      BASS_StreamFree(StreamState.DecodeStream);  // the stages free their sources with them
      StreamState.DecodeStream = 0;
      return false;
    }
  }

  if (isURL) {
    StreamState.CurrentPath = kUrlName;
    StreamState.CurrentTitle = kUrlName;
  } else {
    StreamState.CurrentPath = name;
    StreamState.CurrentTitle = FileNamePart(name);
    StreamState.CurrentFile = name;
  }
  StreamState.ChannelInfo = info;
  const DWORD chans = info.chans;
  StreamState.ProcChannels = static_cast<int8_t>(chans >= 2 ? (chans > 127 ? 127 : chans) : 2);
  StreamState.OutStream = out;

  if (!StreamState.CompatActive)
    BASS_ChannelSetAttribute(BASS_FX_TempoGetSource(StreamState.DecodeStream), BASS_ATTRIB_REVERSE_DIR,
                             static_cast<float>(BASS_FX_RVS_FORWARD));
  return true;
}

void PlayCommand(std::string_view command, bool restart) {
  if (command == "PLAY")
    BASS_ChannelPlay(StreamState.OutStream, restart ? TRUE : FALSE);
  else if (command == "PAUSE")
    BASS_ChannelPause(StreamState.OutStream);
  else if (command == "STOP")
    BASS_ChannelStop(StreamState.OutStream);
}

void SeekTenths(int32_t tenths) {
  const bool wasPlaying = BASS_ChannelIsActive(StreamState.OutStream) == BASS_ACTIVE_PLAYING;
  if (wasPlaying) BASS_ChannelStop(StreamState.OutStream);
  const QWORD bytes = BASS_ChannelSeconds2Bytes(StreamState.DecodeStream, tenths / 10.0);
  BASS_ChannelSetPosition(StreamState.DecodeStream, bytes, BASS_POS_BYTE);
  if (wasPlaying) {
    // The stop has waited for a running fill: what it carried belongs to the
    // old position.
    ResetPump();
    BASS_ChannelPlay(StreamState.OutStream, TRUE);
  }
}

}  // namespace tav::engine
