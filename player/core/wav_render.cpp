#include "player/core/wav_render.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <vector>

namespace tav::player {

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

std::string MessageOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
  }
  return "write error";
}

// A pass's byte count kept to whole frames within the room of its sub-block.
int32_t ClampPassBytes(int32_t bytes, int32_t roomBytes, int32_t frameBytes) {
  if (bytes <= 0) return 0;
  bytes = std::min(bytes, roomBytes);
  return bytes - bytes % frameBytes;
}

struct TRunningFlag {
  explicit TRunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~TRunningFlag() { flag_ = false; }
  bool& flag_;
};

}  // namespace

TWavFormat WavFormatOf(uint32_t rate, uint32_t channels, uint32_t streamFlags) {
  TWavFormat format;
  format.rate = rate;
  format.channels = channels;
  format.bits = (streamFlags & kStreamFlag8Bits) ? 8 : 16;
  return format;
}

std::array<uint8_t, kWavHeaderBytes> WavHeader(const TWavFormat& format, uint32_t riffSize,
                                               uint32_t dataSize) {
  std::array<uint8_t, kWavHeaderBytes> h{};
  std::memcpy(&h[0], "RIFF", 4);
  Put32(&h[4], riffSize);
  std::memcpy(&h[8], "WAVE", 4);
  std::memcpy(&h[12], "fmt ", 4);
  Put32(&h[16], 16);
  Put16(&h[20], 1);
  Put16(&h[22], format.channels);
  Put32(&h[24], format.rate);
  Put32(&h[28], format.ByteRate());
  Put16(&h[32], format.BlockAlign());
  Put16(&h[34], format.bits);
  std::memcpy(&h[36], "data", 4);
  Put32(&h[40], dataSize);
  return h;
}

uint64_t MaxWavDataBytes(uint32_t blockAlign) {
  const uint64_t most = 0xFFFFFFFFull - (kWavHeaderBytes - 8);  // the RIFF size must fit
  if (blockAlign == 0) return most;
  return most - most % blockAlign;
}

TRenderOutcome TWavRender::Run(TRenderJob job, IRenderSource& source, IRenderSink& sink,
                               const TRenderPasses& passes, IRenderProgress& progress) {
  TRenderOutcome outcome;
  if (running_) {
    outcome.end = TRenderEnd::Busy;
    return outcome;
  }
  TRunningFlag running(running_);

  // The source first: a file that cannot be decoded leaves no target behind.
  TWavFormat format;
  const bool opened = source.Open(job.start, format);
  const uint32_t frameBytes = format.BlockAlign();
  if (!opened || format.rate == 0 || format.channels == 0 || (format.bits != 8 && format.bits != 16) ||
      frameBytes == 0 || frameBytes > static_cast<uint32_t>(kRenderSubBlockBytes)) {
    source.Close();
    outcome.end = TRenderEnd::SourceFailed;
    return outcome;
  }

  try {
    sink.Create();
    const auto header = WavHeader(format, 0, 0);
    sink.Write(header.data(), kWavHeaderBytes);
  } catch (...) {
    outcome.error = MessageOf(std::current_exception());
    source.Close();
    sink.Close();
    outcome.end = TRenderEnd::TargetFailed;
    return outcome;
  }

  // The passes take 16-bit samples only.
  IRenderPass* const vst = job.effects && job.vst && format.bits == 16 ? passes.vst : nullptr;
  IRenderPass* const dsp = job.effects && job.dsp && format.bits == 16 ? passes.dsp : nullptr;
  const int32_t frame = static_cast<int32_t>(frameBytes);
  const int32_t subBlock = kRenderSubBlockBytes - kRenderSubBlockBytes % frame;
  const uint64_t maxData = MaxWavDataBytes(frameBytes);

  std::vector<uint8_t> read(kRenderReadBytes);
  // A pass may return up to twice the frames of its sub-block.
  std::vector<uint8_t> block(2 * static_cast<size_t>(kRenderReadBytes) + 2 * static_cast<size_t>(subBlock));
  std::vector<uint8_t> work(2 * static_cast<size_t>(subBlock));

  int64_t position = job.start;
  outcome.end = TRenderEnd::Done;
  try {
    progress.Starting(format);
    while (position < job.end) {
      const int32_t n = source.Read(read.data(), kRenderReadBytes);
      if (n <= 0) {
        outcome.end = TRenderEnd::SourceEnded;
        break;
      }
      const int32_t got = std::min(n, kRenderReadBytes);
      int32_t out = 0;
      if (vst || dsp) {
        const int32_t whole = got - got % frame;
        for (int32_t at = 0; at < whole; at += subBlock) {
          const int32_t in = std::min(subBlock, whole - at);
          std::memcpy(work.data(), read.data() + at, static_cast<size_t>(in));
          const int32_t room = 2 * in;
          int32_t bytes = in;
          if (vst) bytes = ClampPassBytes(vst->Process(work.data(), bytes, room, format), room, frame);
          if (dsp && bytes > 0)
            bytes = ClampPassBytes(dsp->Process(work.data(), bytes, room, format), room, frame);
          std::memcpy(block.data() + out, work.data(), static_cast<size_t>(bytes));
          out += bytes;
        }
        // A part frame at the end of a read goes on unprocessed.
        std::memcpy(block.data() + out, read.data() + whole, static_cast<size_t>(got - whole));
        out += got - whole;
      } else {
        std::memcpy(block.data(), read.data(), static_cast<size_t>(got));
        out = got;
      }

      uint64_t allowed = static_cast<uint64_t>(out);
      bool full = false;
      if (outcome.dataBytes + allowed > maxData) {
        allowed = maxData - outcome.dataBytes;  // the file ends on a whole frame
        full = true;
      }
      if (allowed > 0) {
        sink.Write(block.data(), static_cast<uint32_t>(allowed));
        outcome.dataBytes += allowed;
      }
      ++outcome.cycles;
      if (full) {
        outcome.end = TRenderEnd::SizeLimit;
        break;
      }

      progress.ProcessMessages();
      if (progress.CancelRequested()) {
        outcome.end = TRenderEnd::Cancelled;
        break;
      }
      // Against the end position, not the segment's length.
      outcome.percent =
          static_cast<int32_t>(std::trunc(static_cast<double>(position) / static_cast<double>(job.end) * 100.0));
      progress.ShowPercent(outcome.percent);
      position += got;
    }
  } catch (...) {
    outcome.end = TRenderEnd::WriteFailed;
    outcome.error = MessageOf(std::current_exception());
  }

  source.Close();
  progress.Finishing();
  // The size fields describe the file as it is, whatever ended the render.
  try {
    const uint64_t size = sink.Size();
    if (size >= kWavHeaderBytes) {
      uint8_t field[4];
      Put32(field, static_cast<uint32_t>(std::min<uint64_t>(size - 8, 0xFFFFFFFFull)));
      sink.WriteAt(4, field, 4);
      Put32(field, static_cast<uint32_t>(std::min<uint64_t>(size - kWavHeaderBytes, 0xFFFFFFFFull)));
      sink.WriteAt(40, field, 4);
      outcome.dataBytes = size - kWavHeaderBytes;
    }
  } catch (...) {
    if (outcome.error.empty()) outcome.error = MessageOf(std::current_exception());
    outcome.end = TRenderEnd::WriteFailed;
  }
  sink.Close();
  return outcome;
}

}  // namespace tav::player
