// Building the chain decoder -> reverse stage -> tempo stage -> output stream,
// and moving it: play, pause, stop and seek. GUI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tav::engine {

// Stream flags of the chain.
inline constexpr uint32_t kDecoderFlags = 0x220084;   // decode, prescan, effects, loop
inline constexpr uint32_t kTrackerFlags = 0x220280;   // decode, prescan, ramping, effects
inline constexpr uint32_t kFxStageFlags = 0x210000;   // decode, free the source
inline constexpr float kReverseBlockSeconds = 2.0f;

// Frees the old chain and builds a new one for a file or an address (a
// tracker module when no stream decoder takes it). True when DecodeStream
// exists afterwards, with an OutStream unless the source is 8-bit; when no
// output stream can be made for another source the chain is freed again and
// the answer is false. On failure DecodeStream and OutStream are 0 and the
// names are left as they were.
bool OpenStream(const std::string& name, bool isURL);

// "PLAY", "PAUSE" or "STOP" on OutStream (exact); any other text does nothing.
void PlayCommand(std::string_view command, bool restart);

// Moves DecodeStream to tenths / 10 seconds; a playing output restarts there,
// a paused or stopped one stays as it is.
void SeekTenths(int32_t tenths);

}  // namespace tav::engine
