// The WAV render apart from its window: a segment of a file decoded afresh,
// read 10000 bytes a cycle, passed in sub-blocks through the chosen plug-in
// pass and written as a RIFF/WAVE PCM file whose 44-byte header is written
// first and its two size fields filled in at the end.
//
// The decoding stream, the target file, the passes and the window are behind
// the interfaces below; the render window plugs in the real ones.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tav::player {

inline constexpr int32_t kRenderReadBytes = 10000;     // read per cycle
inline constexpr int32_t kRenderSubBlockBytes = 4608;  // most bytes one pass call gets
inline constexpr uint32_t kWavHeaderBytes = 44;
inline constexpr uint32_t kStreamFlag8Bits = 1;  // BASS_SAMPLE_8BITS in the stream's flags

struct TWavFormat {
  uint32_t rate = 0;
  uint32_t channels = 0;
  uint32_t bits = 16;
  uint32_t BlockAlign() const { return channels * bits / 8; }
  uint32_t ByteRate() const { return BlockAlign() * rate; }
};

// The file's format from the stream's channel information: 8 bits when the
// flags carry BASS_SAMPLE_8BITS, else 16.
TWavFormat WavFormatOf(uint32_t rate, uint32_t channels, uint32_t streamFlags);

// The 44-byte header with the given size fields (0 while rendering).
std::array<uint8_t, kWavHeaderBytes> WavHeader(const TWavFormat& format, uint32_t riffSize,
                                               uint32_t dataSize);

// The most sample bytes a file may hold, on whole frames, so that both size
// fields (file size - 8 and file size - 44) fit in 32 bits.
uint64_t MaxWavDataBytes(uint32_t blockAlign);

// The decoding stream of the source file.
class IRenderSource {
 public:
  virtual ~IRenderSource() = default;
  // Creates the decoding stream, reads its format and seeks it to `start`
  // (bytes). False when any of the three fails; Close frees what was made.
  virtual bool Open(int64_t start, TWavFormat& format) = 0;
  // Up to `bytes` bytes; 0 or less at the end of the data or on a failure.
  virtual int32_t Read(uint8_t* buffer, int32_t bytes) = 0;
  virtual void Close() = 0;
};

// The target file. Create, Write, WriteAt and Size may throw (the message
// reaches the outcome); Close must not.
class IRenderSink {
 public:
  virtual ~IRenderSink() = default;
  // Creates the file, or empties an existing one.
  virtual void Create() = 0;
  virtual void Write(const uint8_t* data, uint32_t bytes) = 0;
  virtual void WriteAt(uint64_t offset, const uint8_t* data, uint32_t bytes) = 0;
  virtual uint64_t Size() = 0;
  virtual void Close() = 0;
};

// A plug-in pass (the VST pass, the Winamp DSP pass) over one sub-block of
// whole frames of 16-bit samples, in place. `roomBytes` (twice `bytes`) is
// what the buffer holds; the result is the sub-block's byte count afterwards.
class IRenderPass {
 public:
  virtual ~IRenderPass() = default;
  virtual int32_t Process(uint8_t* samples, int32_t bytes, int32_t roomBytes, const TWavFormat& format) = 0;
};

// The window while the render runs.
class IRenderProgress {
 public:
  virtual ~IRenderProgress() = default;
  // Lets the window system process pending messages, once per cycle.
  virtual void ProcessMessages() = 0;
  virtual bool CancelRequested() = 0;
  // The source is open and the target's header written: the cycles begin
  // in this format.
  virtual void Starting(const TWavFormat& format) { (void)format; }
  virtual void ShowPercent(int32_t percent) = 0;
  // The stream is freed and the size fields are about to be written.
  virtual void Finishing() = 0;
};

// What the render does; copied when it starts, so a file opened or a choice
// changed while it runs does not reach it.
struct TRenderJob {
  int64_t start = 0;  // bytes on the decoding stream
  int64_t end = 0;
  bool effects = false;  // through a plug-in at all
  bool vst = true;
  bool dsp = false;
};

struct TRenderPasses {
  IRenderPass* vst = nullptr;
  IRenderPass* dsp = nullptr;
};

enum class TRenderEnd {
  Done,          // the end position was reached
  SourceEnded,   // the source gave no more data before the end position
  Cancelled,
  SizeLimit,     // stopped on a whole frame before the size fields would overflow
  SourceFailed,  // the source could not be opened, read or sought: no file was made
  TargetFailed,  // the target could not be created
  WriteFailed,   // a write failed part-way: the file holds what was written
  Busy,          // another render runs: nothing was done
};

struct TRenderOutcome {
  TRenderEnd end = TRenderEnd::Done;
  int32_t cycles = 0;
  uint64_t dataBytes = 0;  // sample bytes the file holds
  int32_t percent = 0;     // the last percentage shown
  std::string error;       // the sink's message for TargetFailed and WriteFailed
};

class TWavRender {
 public:
  // Runs the whole render and returns when it has ended. Every exit after the
  // source was opened closes it; every exit after the target was created
  // writes the size fields for what the file holds and closes it.
  TRenderOutcome Run(TRenderJob job, IRenderSource& source, IRenderSink& sink, const TRenderPasses& passes,
                     IRenderProgress& progress);
  bool Running() const { return running_; }

 private:
  bool running_ = false;
};

}  // namespace tav::player
