#include "custom_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "error.h"

namespace tav::audio {

CustomStream::CustomStream(unsigned rate, unsigned channels, uint32_t flags, uint32_t ctype,
                           const TAV_STREAM_FUNCS& funcs, void* state)
    : Channel(rate, channels, flags, ctype), identity_(&funcs), state_(state) {
  std::memcpy(&funcs_, &funcs, std::min<size_t>(sizeof funcs_, funcs.size));
}

bool CustomStream::served_by(const TAV_STREAM_FUNCS* funcs) const { return funcs == identity_; }

bool CustomStream::stalled() { return !freed_ && funcs_.is_stalled && funcs_.is_stalled(state_); }

uint64_t CustomStream::length_bytes() {
  return !freed_ && funcs_.get_length ? funcs_.get_length(state_) : kNoValue;
}

uint64_t CustomStream::position_bytes() {
  return !freed_ && funcs_.get_position ? funcs_.get_position(state_) : kNoValue;
}

bool CustomStream::set_position_bytes(uint64_t pos) {
  if (freed_) return fail(BASS_ERROR_HANDLE, false);
  if (!funcs_.set_position) return fail(BASS_ERROR_NOTAVAIL, false);
  set_error(BASS_ERROR_POSITION);
  if (!funcs_.set_position(state_, pos)) return false;  // the owner may have set a more precise code
  chain.reset_effects();
  return true;
}

size_t CustomStream::produce(float* out, size_t frames) {
  if (freed_ || !funcs_.read) return 0;
  StageReadScope stage;
  size_t done = 0;
  while (done < frames) {
    set_error(BASS_OK);
    const DWORD got = funcs_.read(state_, out + done * channels_, static_cast<DWORD>(frames - done));
    // the owner caught a failure in its callback: it fails the call here, on this side
    if (got == 0 && last_error() == BASS_ERROR_MEM) throw std::bad_alloc();
    if (got == 0) break;
    done += std::min<size_t>(got, frames - done);
  }
  return done;
}

void CustomStream::on_flags_changed() {
  if (!freed_ && funcs_.flags_changed) funcs_.flags_changed(state_, flags_);
}

bool CustomStream::set_extra_attribute(uint32_t attrib, float value) {
  if (freed_) return fail(BASS_ERROR_HANDLE, false);
  if (funcs_.set_attribute && funcs_.set_attribute(state_, attrib, value)) return true;
  return fail(BASS_ERROR_ILLTYPE, false);
}

bool CustomStream::get_extra_attribute(uint32_t attrib, float& value) {
  if (freed_) return fail(BASS_ERROR_HANDLE, false);
  if (funcs_.get_attribute && funcs_.get_attribute(state_, attrib, &value)) return true;
  return fail(BASS_ERROR_ILLTYPE, false);
}

void CustomStream::release() {
  if (released_) return;
  released_ = true;
  if (funcs_.free) funcs_.free(state_);
}

}  // namespace tav::audio
