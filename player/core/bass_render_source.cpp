#include "player/core/bass_render_source.h"

#include "bass.h"

namespace tav::player {

bool TBassRenderSource::Open(int64_t start, TWavFormat& format) {
  Close();
  if (start < 0) return false;
  // A tracker module, an address or a missing file gives no stream here.
  // Prescanned as playback's stream is, so the byte positions of the
  // segment, measured there, mean the same place here.
  stream_ = BASS_StreamCreateFile(FALSE, file_.c_str(), 0, 0, BASS_STREAM_DECODE | BASS_STREAM_PRESCAN);
  if (stream_ == 0) return false;
  BASS_CHANNELINFO info{};
  if (!BASS_ChannelGetInfo(stream_, &info)) return false;
  format = WavFormatOf(info.freq, info.chans, info.flags);
  return BASS_ChannelSetPosition(stream_, static_cast<QWORD>(start), BASS_POS_BYTE) != FALSE;
}

int32_t TBassRenderSource::Read(uint8_t* buffer, int32_t bytes) {
  if (stream_ == 0 || bytes <= 0) return 0;
  const DWORD got = BASS_ChannelGetData(stream_, buffer, static_cast<DWORD>(bytes));
  if (got == static_cast<DWORD>(-1)) return -1;  // the end, or an error
  return got > static_cast<DWORD>(bytes) ? bytes : static_cast<int32_t>(got);
}

void TBassRenderSource::Close() {
  if (stream_ != 0) BASS_StreamFree(stream_);
  stream_ = 0;
}

}  // namespace tav::player
