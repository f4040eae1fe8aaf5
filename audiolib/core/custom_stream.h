// A decoding stream served by its owner's callbacks (bass_ext.h): bfxs.dll's stages and
// add-on decoders.
#pragma once

#include "bass_ext.h"
#include "channel.h"

namespace tav::audio {

class CustomStream : public Channel {
 public:
  CustomStream(unsigned rate, unsigned channels, uint32_t flags, uint32_t ctype, const TAV_STREAM_FUNCS& funcs,
               void* state);
  bool is_decoding() const override { return true; }
  uint64_t length_bytes() override;
  uint64_t position_bytes() override;
  bool set_position_bytes(uint64_t pos) override;
  bool stalled() override;

  bool served_by(const TAV_STREAM_FUNCS* funcs) const;
  void* state() const { return state_; }
  // Under the channel's lock, as its handle goes: from then on no call reaches the owner's
  // state (a caller that was waiting for the lock gets the failure value).
  void mark_freed() { freed_ = true; }
  // Calls the owner's free(); once, without any lock held, after mark_freed().
  void release();

 protected:
  size_t produce(float* out, size_t frames) override;
  void on_flags_changed() override;
  bool set_extra_attribute(uint32_t attrib, float value) override;
  bool get_extra_attribute(uint32_t attrib, float& value) override;

 private:
  TAV_STREAM_FUNCS funcs_{};
  const TAV_STREAM_FUNCS* identity_;
  void* state_;
  bool freed_ = false;
  bool released_ = false;
};

}  // namespace tav::audio
