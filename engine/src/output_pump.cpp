#include "tav/engine/output_pump.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tav/engine/dsp_host.h"
#include "tav/engine/foreign_call.h"
#include "tav/engine/globals.h"
#include "tav/engine/sent_messages.h"
#include "tav/engine/vst_pass.h"

namespace tav::engine {

TPumpState PumpState;

namespace {

// Working variables of one fill: the place in the library's buffer, the bytes
// still wanted, the bytes taken from the carry-over, the block's byte count
// before the DSP pass. Audio thread only.
uint8_t* PumpOut = nullptr;
int32_t PumpWanted = 0;
int32_t PumpCarryTaken = 0;
int32_t PumpRawBytes = 0;

int32_t SampleChannels() { return StreamState.ProcChannels > 0 ? StreamState.ProcChannels : 2; }

// Nearest integer, ties to even, whatever rounding mode a plug-in left set.
int32_t RoundHalfEven(double x) {
  const double down = std::floor(x);
  const double rest = x - down;
  int32_t r = static_cast<int32_t>(down);
  if (rest > 0.5 || (rest == 0.5 && (r & 1) != 0)) ++r;
  return r;
}

void SamplesToPlanes(const int16_t* samples, int32_t channels, int32_t frames, float scale,
                     TAVDArrayOfSingleDynArray& planes) {
  for (int32_t i = 0; i < channels; ++i) {
    float* plane = planes[i].data();
    for (int32_t j = 0; j < frames; ++j) plane[j] = static_cast<float>(samples[j * channels + i]) * scale;
  }
}

void PlanesToSamples(const TAVDArrayOfSingleDynArray& planes, int32_t channels, int32_t frames,
                     int16_t* samples) {
  for (int32_t i = 0; i < channels; ++i) {
    const float* plane = planes[i].data();
    for (int32_t j = 0; j < frames; ++j) samples[j * channels + i] = FloatToSample(plane[j]);
  }
}

float Peak(std::string_view side, bool& found) {
  found = false;
  if (side == "L") {
    found = true;
    return PumpState.PeakL.load(std::memory_order_relaxed);
  }
  if (side == "R") {
    found = true;
    return PumpState.PeakR.load(std::memory_order_relaxed);
  }
  return 0.0f;
}

}  // namespace

int16_t FloatToSample(float value) {
  if (std::isnan(value)) return 0;  // a plug-in's NaN is silence, not an undefined conversion
  const double scaled = static_cast<double>(ClampSingle(value, -1.0f, 1.0f)) * static_cast<double>(kVstToInt);
  return static_cast<int16_t>(RoundHalfEven(scaled));
}

void ResetPump() {
  PumpState.CarryLen = 0;
  PumpState.LastBlockBytes = 0;
}

DWORD BASSCALLBACK OutputStreamProc(HSTREAM, void* buffer, DWORD length, void*) {
  PumpOut = static_cast<uint8_t*>(buffer);
  PumpWanted = static_cast<int32_t>(std::min<DWORD>(length, 0x7FFFFFFF));

  // What the last block left over comes first.
  if (PumpState.CarryLen > 0) {
    PumpCarryTaken = std::min(PumpWanted, PumpState.CarryLen);
    std::memcpy(PumpOut, PumpState.CarryBuf, static_cast<size_t>(PumpCarryTaken));
    PumpState.CarryLen -= PumpCarryTaken;
    if (PumpState.CarryLen > 0)
      std::memmove(PumpState.CarryBuf, PumpState.CarryBuf + PumpCarryTaken, static_cast<size_t>(PumpState.CarryLen));
    PumpOut += PumpCarryTaken;
    PumpWanted -= PumpCarryTaken;
  }

  const int32_t nch = SampleChannels();
  const int32_t frameBytes = 2 * nch;
  const int32_t roomFrames = kPumpBufferBytes / frameBytes;
  bool endOfData = false;
  while (PumpWanted > 0) {
    int32_t bytes =
        static_cast<int32_t>(BASS_ChannelGetData(StreamState.DecodeStream, PumpState.WorkBuf, kPumpBlockBytes));
    PumpState.LastBlockBytes = bytes;
    if (bytes <= 0) {
      // 0 is a network stream whose buffer ran dry, stalled and not at its end (the end
      // is -1): the output gets what there is, asks again at its next call and plays on
      // when data comes.
      if (bytes == 0) break;
      endOfData = true;
      break;
    }
    int16_t* samples = reinterpret_cast<int16_t*>(PumpState.WorkBuf);
    VstPassBlock(nch, samples, bytes);
    PumpRawBytes = bytes;

    const int32_t frames = bytes / frameBytes;
    const int32_t result =
        DspPassBlock(samples, frames, nch, static_cast<int32_t>(StreamState.ChannelInfo.freq), roomFrames);
    if (result != frames) {
      bytes = result * frameBytes;
      PumpState.LastBlockBytes = bytes;
    }

    ProcessLevelTap(nch, samples, PumpRawBytes);

    if (bytes > PumpWanted) {
      std::memcpy(PumpOut, PumpState.WorkBuf, static_cast<size_t>(PumpWanted));
      PumpState.CarryLen = bytes - PumpWanted;
      std::memcpy(PumpState.CarryBuf, PumpState.WorkBuf + PumpWanted, static_cast<size_t>(PumpState.CarryLen));
      PumpOut += PumpWanted;
      PumpWanted = 0;
    } else {
      std::memcpy(PumpOut, PumpState.WorkBuf, static_cast<size_t>(bytes));
      PumpOut += bytes;
      PumpWanted -= bytes;
    }
  }

  const DWORD written = length - static_cast<DWORD>(PumpWanted);
  if (endOfData) return written > 0 ? (written | BASS_STREAMPROC_END) : BASS_STREAMPROC_END;
  return written;
}

TVstPassCall::TVstPassCall() { PassState.VstCallsInFlight.fetch_add(1); }
TVstPassCall::~TVstPassCall() { PassState.VstCallsInFlight.fetch_sub(1); }

bool VstPassBlock(int32_t channels, int16_t* samples, int32_t bytes, TPassCaller caller, uint32_t sampleRate) {
  TVstPassCall call;
  if (PassState.VstActive.load() == 0) return false;
  if (caller == TPassCaller::Playback && PassState.RenderRunning.load()) return false;
  ProcessVstBlock(channels, samples, bytes, sampleRate);
  return true;
}

bool WaitForVstPassIdle(int32_t timeoutMs) { return WaitForCallsToEnd(PassState.VstCallsInFlight, timeoutMs); }

void ProcessVstBlock(int32_t channels, int16_t* samples, int32_t bytes, uint32_t sampleRate) {
  TVstPassItem* plugin = PassState.VstPassItem.load();
  if (plugin == nullptr || channels <= 0) {
    PassState.VstActive.store(0, std::memory_order_relaxed);
    return;
  }
  const TForeignCallResult r = CallForeign([&] {
    const int32_t frames = bytes / (2 * channels);
    plugin->SetBlockSizeAndSampleRate(frames, static_cast<float>(sampleRate != 0 ? sampleRate : StreamState.ChannelInfo.freq));
    const int32_t planes = std::max({channels, plugin->numInputs(), plugin->numOutputs()});
    PumpState.VstBuffers.Resize(static_cast<size_t>(planes), static_cast<size_t>(frames));
    SamplesToPlanes(samples, channels, frames, kVstToFloat, PumpState.VstBuffers);
    if (PassState.VstEnabled.load(std::memory_order_relaxed) != 0)
      plugin->ProcessReplacing(PumpState.VstBuffers, PumpState.VstBuffers, frames);
    PlanesToSamples(PumpState.VstBuffers, channels, frames, samples);
  });
  // Off at the first fault, whether or not the plug-in still counts as
  // active: code that just faulted, with whatever it held, is not called again.
  if (r != TForeignCallResult::Ok) PassState.VstActive.store(0, std::memory_order_relaxed);
}

void ProcessLevelTap(int32_t channels, int16_t* samples, int32_t bytes) {
  if (channels <= 0 || bytes <= 0) return;
  try {
    const int32_t frames = bytes / (2 * channels);
    PumpState.LevelBuffers.Resize(static_cast<size_t>(std::max<int32_t>({SampleChannels(), channels, 2})),
                                  static_cast<size_t>(frames));
    SamplesToPlanes(samples, channels, frames, kLevelToFloat, PumpState.LevelBuffers);
    TrackPeaks(PumpState.LevelBuffers, frames);
    PlanesToSamples(PumpState.LevelBuffers, channels, frames, samples);
  } catch (...) {
  }
}

void TrackPeaks(const TAVDArrayOfSingleDynArray& planes, int32_t frames) {
  if (planes.size() < 2) return;
  float peakL = PumpState.PeakL.load(std::memory_order_relaxed);
  float peakR = PumpState.PeakR.load(std::memory_order_relaxed);
  const float* left = planes[0].data();
  const float* right = planes[1].data();
  for (int32_t j = 0; j < frames - 1; j += 2) {
    peakL *= 0.9999f;
    peakR *= 0.9999f;
    if (std::fabs(left[j]) > peakL) peakL = std::fabs(left[j]);
    if (std::fabs(right[j]) > peakR) peakR = std::fabs(right[j]);
  }
  PumpState.PeakL.store(peakL, std::memory_order_relaxed);
  PumpState.PeakR.store(peakR, std::memory_order_relaxed);
}

int32_t GetVuLevel(std::string_view side, int32_t offset, int32_t scale) {
  bool found = false;
  const float peak = Peak(side, found);
  if (!found || !(static_cast<double>(peak) > 1e-5)) return 0;
  return RoundHalfEven(std::log10(static_cast<double>(peak)) * scale * 3.0 + offset);
}

std::string GetVuDbText(std::string_view side) {
  bool found = false;
  const float peak = Peak(side, found);
  if (!found || !(static_cast<double>(peak) > 1e-5)) return "00";
  char text[16];
  std::snprintf(text, sizeof text, "%.2d", RoundHalfEven(20.0 * std::log10(static_cast<double>(peak))));
  return text;
}

}  // namespace tav::engine
