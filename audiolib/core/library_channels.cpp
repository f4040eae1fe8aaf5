// Channel handles of the library: creation, freeing, playing and the DSP/FX chain.
#include <algorithm>

#include "custom_stream.h"
#include "error.h"
#include "library.h"
#include "user_stream.h"

namespace tav::audio {

std::shared_ptr<Channel> Library::channel(uint32_t handle) {
  auto ch = handles.get<Channel>(handle, HandleKind::Channel);
  if (!ch) set_error(BASS_ERROR_HANDLE);
  return ch;
}

uint32_t Library::register_channel(std::shared_ptr<Channel> channel) {
  Channel* raw = channel.get();
  const uint32_t handle = handles.add(HandleKind::Channel, std::move(channel));
  if (!handle) return fail(BASS_ERROR_MEM, 0u);
  raw->handle = handle;
  return handle;
}

Device* Library::device_for(uint32_t number) {
  std::lock_guard lock(devices_mutex_);
  return number < slots_.size() ? slots_[number].device.get() : nullptr;
}

uint32_t Library::create_user_stream(unsigned freq, unsigned channels, uint32_t flags, STREAMPROC* proc, void* user) {
  if (!proc) return fail(BASS_ERROR_ILLPARAM, 0u);
  if (freq < kMinRate || freq > kMaxStreamRate) return fail(BASS_ERROR_FREQ, 0u);
  if (channels == 0 || channels > kMaxChannels) return fail(BASS_ERROR_ILLPARAM, 0u);
  if (flags & BASS_STREAM_DECODE) return fail(BASS_ERROR_NOTAVAIL, 0u);
  Device* device = current_device();
  if (!device) return 0;
  auto stream = std::make_shared<UserStream>(freq, channels, flags, proc, user, config.buffer_ms.load(), current_,
                                             &config);
  const uint32_t handle = register_channel(stream);
  if (!handle) return 0;
  try {
    device->attach(stream);
  } catch (...) {  // no handle stays behind for a stream that was not made
    handles.remove<Channel>(handle, HandleKind::Channel);
    throw;
  }
  return handle;
}

uint32_t Library::create_file_stream(std::unique_ptr<ByteSource> source, uint32_t flags) {
  if (!(flags & BASS_STREAM_DECODE)) return fail(BASS_ERROR_NOTAVAIL, 0u);  // only decoding file streams
  int error = BASS_OK;
  DecoderOptions options;
  options.prescan = (flags & BASS_STREAM_PRESCAN) != 0;
  if (!source) return fail(BASS_ERROR_FILEOPEN, 0u);
  ByteSource* raw = source.get();  // the decoder owns it from here
  const bool arriving = !raw->seekable();
  auto decoder = open_decoder(std::move(source), options, error);
  if (!decoder) return fail(error, 0u);
  raw->opened();
  return register_channel(
      std::make_shared<FileStream>(std::move(decoder), flags & ~BASS_SAMPLE_8BITS, arriving ? raw : nullptr));
}

uint32_t Library::create_custom_stream(unsigned freq, unsigned channels, uint32_t flags, uint32_t ctype,
                                       const TAV_STREAM_FUNCS& funcs, void* state) {
  if (funcs.size < sizeof(DWORD) + sizeof(void*) || !funcs.read) return fail(BASS_ERROR_ILLPARAM, 0u);
  if (freq < kMinRate || freq > kMaxRate * 4) return fail(BASS_ERROR_FREQ, 0u);
  if (channels == 0 || channels > kMaxChannels) return fail(BASS_ERROR_ILLPARAM, 0u);
  return register_channel(
      std::make_shared<CustomStream>(freq, channels, flags | BASS_STREAM_DECODE, ctype ? ctype : BASS_CTYPE_STREAM,
                                     funcs, state));
}

bool Library::free_channel(uint32_t handle) {
  auto ch = handles.remove<Channel>(handle, HandleKind::Channel);
  if (!ch) return fail(BASS_ERROR_HANDLE, false);
  if (auto* user = dynamic_cast<UserStream*>(ch.get())) {
    user->stop();
    if (Device* device = device_for(user->device_number())) device->detach(user);
  }
  {
    ChannelGuard guard(*ch);  // a GetData in progress ends first
    for (uint32_t entry : ch->chain.handles()) {
      handles.remove<ChainEntry>(entry, HandleKind::Dsp);
      handles.remove<ChainEntry>(entry, HandleKind::Fx);
    }
    ch->chain.clear();
    // a caller that took the channel before its handle went and waits for its lock finds
    // it gone: the owner's state is released next
    if (auto* custom = dynamic_cast<CustomStream*>(ch.get())) custom->mark_freed();
  }
  if (auto* custom = dynamic_cast<CustomStream*>(ch.get())) custom->release();
  return true;
}

bool Library::play(uint32_t handle, bool restart) {
  auto ch = channel(handle);
  if (!ch) return false;
  auto* user = dynamic_cast<UserStream*>(ch.get());
  if (!user) return fail(BASS_ERROR_DECODE, false);
  Device* device = device_for(user->device_number());
  if (!device) return fail(BASS_ERROR_INIT, false);
  // a resting device opens its output here, so a play that cannot be heard fails
  if (!device->play([&] { user->play(restart); })) return fail(BASS_ERROR_DRIVER, false);
  device->wake();
  return true;
}

uint32_t Library::set_dsp(uint32_t channel_handle, DSPPROC* proc, void* user, int priority) {
  if (!proc) return fail(BASS_ERROR_ILLPARAM, 0u);
  auto ch = channel(channel_handle);
  if (!ch) return 0;
  ChannelGuard guard(*ch);
  const uint32_t handle = handles.add(HandleKind::Dsp, std::make_shared<ChainEntry>(ChainEntry{channel_handle}));
  if (!handle) return fail(BASS_ERROR_MEM, 0u);
  ch->chain.add_procedure(handle, priority, proc, user);
  return handle;
}

uint32_t Library::set_fx(uint32_t channel_handle, uint32_t type, int priority) {
  auto ch = channel(channel_handle);
  if (!ch) return 0;
  if (!effects.has(type)) return fail(BASS_ERROR_ILLTYPE, 0u);
  auto effect = effects.create(type, ch->rate(), ch->channels());
  if (!effect) return fail(BASS_ERROR_NOFX, 0u);
  ChannelGuard guard(*ch);
  const uint32_t handle = handles.add(HandleKind::Fx, std::make_shared<ChainEntry>(ChainEntry{channel_handle}));
  if (!handle) return fail(BASS_ERROR_MEM, 0u);
  ch->chain.add_effect(handle, priority, std::move(effect));
  return handle;
}

bool Library::remove_chain_entry(uint32_t channel_handle, uint32_t entry, HandleKind kind) {
  auto ch = channel(channel_handle);
  if (!ch) return false;
  auto ref = handles.get<ChainEntry>(entry, kind);
  if (!ref || ref->channel != channel_handle) return fail(BASS_ERROR_HANDLE, false);
  {
    ChannelGuard guard(*ch);
    if (!ch->chain.remove(entry)) return fail(BASS_ERROR_HANDLE, false);
    handles.remove<ChainEntry>(entry, kind);
  }
  return true;
}

}  // namespace tav::audio
