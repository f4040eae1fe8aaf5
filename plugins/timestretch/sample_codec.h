// Conversions between the host's PCM samples and the engine's floats on the
// 16-bit scale: 16-bit samples are signed, 8-bit ones unsigned with 128 as zero.
#pragma once

#include <algorithm>
#include <cstdint>

namespace lentaro {

inline float sampleFrom8(uint8_t byte) { return float((int(byte) - 128) * 256); }

// Clamped to -32768..32767, then truncated toward zero.
inline int sampleToInt(float v) { return int(std::clamp(v, -32768.0f, 32767.0f)); }
inline int16_t sampleTo16(float v) { return int16_t(sampleToInt(v)); }
inline uint8_t sampleTo8(float v) { return uint8_t(((sampleToInt(v) >> 8) ^ 0x80) & 0xFF); }

}  // namespace lentaro
