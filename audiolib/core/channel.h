// Channels: what a channel handle stands for. Every channel has a lock, a DSP/FX chain,
// flags and the volume and rate attributes. Decoding channels produce samples on the
// caller's thread (BASS_ChannelGetData); user streams are mixed by their device.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "attribute_value.h"
#include "bass.h"
#include "decoder.h"
#include "dsp_chain.h"

namespace tav::audio {

struct LibraryConfig;

class Channel {
 public:
  static constexpr uint64_t kNoValue = ~uint64_t{0};

  Channel(unsigned rate, unsigned channels, uint32_t flags, uint32_t ctype);
  virtual ~Channel() = default;

  uint32_t handle = 0;
  std::recursive_timed_mutex lock;  // guards the chain, the attributes and the subclass state
  std::atomic<int> seeks{0};        // seeks under way (one may be opening a connection)

  unsigned rate() const { return rate_; }
  unsigned channels() const { return channels_; }
  uint32_t ctype() const { return ctype_; }
  uint32_t flags() const { return flags_; }
  unsigned original_bits = 0;
  // Bytes of one frame as the channel hands it out (16-bit, or float with BASS_SAMPLE_FLOAT).
  unsigned frame_bytes() const { return channels_ * ((flags_ & BASS_SAMPLE_FLOAT) ? 4 : 2); }

  DspChain chain;

  virtual bool is_decoding() const = 0;
  // BASS_ChannelGetData on a decoding channel: bytes written or (DWORD)-1 (error code set).
  virtual uint32_t get_data(void* buffer, uint32_t bytes, const LibraryConfig& config);
  virtual uint64_t length_bytes() { return kNoValue; }
  // A decoding channel waiting for data (a network stream whose buffer ran dry), as
  // BASS_ChannelIsActive reports it. GetData decides by produce()'s own answer instead.
  virtual bool stalled() { return false; }
  virtual uint64_t position_bytes() { return kNoValue; }
  // False (error code set) and no change when refused.
  virtual bool set_position_bytes(uint64_t pos);
  // BASS_ChannelFlags: changes the bits of `mask` that channels may change; returns the flags.
  uint32_t change_flags(uint32_t flags, uint32_t mask);

  // Volume and rate; other attributes go to the subclass. False (error set) when unknown.
  bool set_attribute(uint32_t attrib, float value);
  bool get_attribute(uint32_t attrib, float& value);
  bool slide_attribute(uint32_t attrib, float target, uint32_t ms);
  bool is_sliding(uint32_t attrib);

 protected:
  // Produces up to `frames` float frames; fewer only at the end, or when the source waits
  // for data: then it sets `waiting_` (and clears it otherwise), once, where that is known.
  virtual size_t produce(float* out, size_t frames) { return 0; }
  virtual void on_flags_changed() {}
  virtual bool set_extra_attribute(uint32_t attrib, float value);
  virtual bool get_extra_attribute(uint32_t attrib, float& value);

  AttributeValue volume_{1.0f};
  AttributeValue freq_;
  unsigned rate_;
  unsigned channels_;
  uint32_t flags_;
  uint32_t ctype_;
  std::vector<float> work_;
  bool ended_ = false;
  bool waiting_ = false;  // the last produce() stopped short because the source waits for data
};

// A decoding stream over a file decoder.
class FileStream : public Channel {
 public:
  // `source`, when given, is the decoder's own source, asked before each step whether
  // enough has arrived to decode on.
  FileStream(std::unique_ptr<Decoder> decoder, uint32_t flags, ByteSource* source = nullptr);
  bool is_decoding() const override { return true; }
  bool stalled() override;
  uint64_t length_bytes() override;
  uint64_t position_bytes() override { return position_ * frame_bytes(); }
  bool set_position_bytes(uint64_t pos) override;

 protected:
  size_t produce(float* out, size_t frames) override;

 private:
  std::unique_ptr<Decoder> decoder_;
  ByteSource* source_;
  uint64_t position_ = 0;  // frames
  bool source_of_stage_ = false;
};

// Marks the calling thread as reading a custom stream's source: channels read meanwhile are
// sources of a later stage, whose own loop flag then no longer applies (the stage's does).
class StageReadScope {
 public:
  StageReadScope();
  ~StageReadScope();
  static bool active();

 private:
  bool previous_;
};

}  // namespace tav::audio

namespace tav::audio {

// Holds a channel's lock for an API call (serving sent messages while it waits).
class ChannelGuard {
 public:
  explicit ChannelGuard(Channel& channel);
  ~ChannelGuard();
  ChannelGuard(const ChannelGuard&) = delete;
  ChannelGuard& operator=(const ChannelGuard&) = delete;

 private:
  Channel& channel_;
};

// Holds a channel's lock for a seek, marked as one while it waits and runs.
class SeekGuard {
 public:
  explicit SeekGuard(Channel& channel);
  ~SeekGuard();
  SeekGuard(const SeekGuard&) = delete;
  SeekGuard& operator=(const SeekGuard&) = delete;

 private:
  Channel& channel_;
};

// Holds a channel's lock for a read, unless a seek holds it: a read does not wait for a
// seek (which may be opening a connection), it is a stall while the seek runs.
class ReadGuard {
 public:
  explicit ReadGuard(Channel& channel);
  ~ReadGuard();
  bool locked() const { return locked_; }
  ReadGuard(const ReadGuard&) = delete;
  ReadGuard& operator=(const ReadGuard&) = delete;

 private:
  Channel& channel_;
  bool locked_ = false;
};

}  // namespace tav::audio
