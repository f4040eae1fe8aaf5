#include "library.h"

#include "bass.h"
#include "builtin_effects.h"
#include "error.h"
#include "null_output.h"
#include "user_stream.h"

namespace tav::audio {

Library::Library(OutputPlatform* platform) : platform_(platform) { register_builtin_effects(effects); }

Library::~Library() = default;

void Library::enumerate_once() {
  if (enumerated_) return;
  enumerated_ = true;
  DeviceSlot none;
  none.name = "No sound";
  none.driver = "";
  slots_.push_back(std::move(none));
  if (!platform_) return;
  for (auto& d : platform_->enumerate()) {
    DeviceSlot slot;
    slot.name = d.name;
    slot.driver = d.driver;
    slot.is_default = d.is_default;
    slots_.push_back(std::move(slot));
  }
  bool any_default = false;
  for (auto& s : slots_) any_default |= s.is_default;
  if (!any_default && slots_.size() > 1) slots_[1].is_default = true;
}

size_t Library::device_count() {
  std::lock_guard lock(devices_mutex_);
  enumerate_once();
  return slots_.size();
}

const Library::DeviceSlot* Library::device_slot(uint32_t number) {
  std::lock_guard lock(devices_mutex_);
  enumerate_once();
  return number < slots_.size() ? &slots_[number] : nullptr;
}

bool Library::init_device(int number, unsigned freq, void* window) {
  std::lock_guard lock(devices_mutex_);
  enumerate_once();
  if (number == -1) {
    number = 0;
    for (size_t i = 1; i < slots_.size(); ++i)
      if (slots_[i].is_default) number = static_cast<int>(i);
  }
  if (number < 0 || static_cast<size_t>(number) >= slots_.size()) return fail(BASS_ERROR_DEVICE, false);
  if (freq == 0) freq = kDefaultRate;
  if (freq < kMinRate || freq > kMaxRate) return fail(BASS_ERROR_FREQ, false);
  DeviceSlot& slot = slots_[number];
  if (slot.device) return fail(BASS_ERROR_ALREADY, false);

  std::unique_ptr<OutputBackend> backend;
  if (number == 0) {
    backend = std::make_unique<NullOutput>(freq, 2);
  } else {
    int error = BASS_ERROR_DRIVER;
    backend = platform_->open(static_cast<size_t>(number - 1), freq, window, error);
    if (!backend) return fail(error, false);
  }
  slot.device = std::make_unique<Device>(std::move(backend), config);
  try {
    slot.device->start_thread();
  } catch (...) {  // no update thread: the device stays closed
    slot.device.reset();
    throw;
  }
  current_ = static_cast<uint32_t>(number);
  return true;
}

bool Library::set_current(uint32_t number) {
  std::lock_guard lock(devices_mutex_);
  enumerate_once();
  if (number >= slots_.size()) return fail(BASS_ERROR_DEVICE, false);
  if (!slots_[number].device) return fail(BASS_ERROR_INIT, false);
  current_ = number;
  return true;
}

Device* Library::current_device() {
  std::lock_guard lock(devices_mutex_);
  if (current_ >= slots_.size() || !slots_[current_].device) return fail<Device*>(BASS_ERROR_INIT, nullptr);
  return slots_[current_].device.get();
}

bool Library::free_current() {
  if (Device* current = current_device()) {
    // its update thread cannot wait for itself to end
    if (current->on_update_thread()) return fail(BASS_ERROR_NOTAVAIL, false);
    for (auto& source : current->sources())
      if (auto* stream = dynamic_cast<UserStream*>(source.get())) free_channel(stream->handle);
  }
  std::unique_ptr<Device> device;
  {
    std::lock_guard lock(devices_mutex_);
    if (current_ >= slots_.size() || !slots_[current_].device) return fail(BASS_ERROR_INIT, false);
    device = std::move(slots_[current_].device);
  }
  device.reset();  // joins the update thread outside the lock
  return true;
}

unsigned Library::directsound_version() const { return platform_ ? platform_->directsound_version() : 9; }

}  // namespace tav::audio
