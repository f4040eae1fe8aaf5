#include "addon_registry.h"

#include <algorithm>

#include "bass.h"

namespace tav::audio {

namespace {

// The add-on reads its file through these, on the decoder's ByteSource.
DWORD TAVADDONCALL file_read(void* h, void* buffer, DWORD length) {
  return buffer ? static_cast<DWORD>(static_cast<ByteSource*>(h)->read(buffer, length)) : 0;
}
BOOL TAVADDONCALL file_seek(void* h, QWORD pos) { return static_cast<ByteSource*>(h)->seek(pos) ? TRUE : FALSE; }
QWORD TAVADDONCALL file_tell(void* h) { return static_cast<ByteSource*>(h)->tell(); }
QWORD TAVADDONCALL file_size(void* h) { return static_cast<ByteSource*>(h)->size(); }

class AddonDecoder : public Decoder {
 public:
  AddonDecoder(const TAV_ADDON* addon, void* decoder, std::unique_ptr<ByteSource> source,
               std::unique_ptr<TAV_ADDON_FILE> file, std::shared_ptr<AddonModule> module, const StreamFormat& format)
      : addon_(addon), decoder_(decoder), source_(std::move(source)), file_(std::move(file)), module_(std::move(module)) {
    format_ = format;
  }
  ~AddonDecoder() override { addon_->close(decoder_); }

  uint64_t length_frames() const override {
    return addon_->length ? addon_->length(decoder_) : kUnknownLength;
  }
  size_t read(float* out, size_t frames) override {
    size_t done = 0;
    while (done < frames) {
      const DWORD got = addon_->read(decoder_, out + done * format_.channels, static_cast<DWORD>(frames - done));
      if (got == 0) break;
      done += std::min<size_t>(got, frames - done);
    }
    return done;
  }
  bool seek(uint64_t frame) override { return addon_->seek && addon_->seek(decoder_, frame); }

 private:
  const TAV_ADDON* addon_;
  void* decoder_;
  std::unique_ptr<ByteSource> source_;
  std::unique_ptr<TAV_ADDON_FILE> file_;
  std::shared_ptr<AddonModule> module_;  // declared last: unloaded after close()
};

}  // namespace

bool AddonRegistry::acceptable(const TAV_ADDON* a) {
  if (!a || a->size < sizeof(TAV_ADDON) || a->formatc == 0 || !a->formats || !a->open || !a->read || !a->close)
    return false;
  for (DWORD i = 0; i < a->formatc; ++i)
    if (!a->formats[i].name || !a->formats[i].exts) return false;
  return true;
}

bool AddonRegistry::add(uint32_t handle, const TAV_ADDON* addon, std::shared_ptr<AddonModule> module) {
  std::lock_guard lock(mutex_);
  if (contains_module_locked(module.get())) return false;
  auto info = std::make_unique<BASS_PLUGININFO>(BASS_PLUGININFO{addon->version, addon->formatc, addon->formats});
  entries_.push_back(Entry{handle, addon, std::move(module), std::move(info)});
  return true;
}

bool AddonRegistry::contains_module_locked(const AddonModule* module) const {
  return module && std::any_of(entries_.begin(), entries_.end(),
                               [&](const Entry& e) { return e.module->identity() == module->identity(); });
}

bool AddonRegistry::contains_module(const AddonModule* module) const {
  std::lock_guard lock(mutex_);
  return contains_module_locked(module);
}

const BASS_PLUGININFO* AddonRegistry::info(uint32_t handle) const {
  std::lock_guard lock(mutex_);
  for (auto& e : entries_)
    if (e.handle == handle) return e.info.get();
  return nullptr;
}

std::vector<uint32_t> AddonRegistry::remove(uint32_t handle) {
  std::vector<Entry> gone;
  {
    std::lock_guard lock(mutex_);
    auto keep = std::stable_partition(entries_.begin(), entries_.end(),
                                      [&](const Entry& e) { return handle != 0 && e.handle != handle; });
    std::move(keep, entries_.end(), std::back_inserter(gone));
    entries_.erase(keep, entries_.end());
  }
  std::vector<uint32_t> handles;
  for (const Entry& e : gone) handles.push_back(e.handle);
  return handles;  // modules unload here, outside the lock, unless decoders hold them
}

std::unique_ptr<Decoder> AddonRegistry::open(std::unique_ptr<ByteSource>& source) {
  std::vector<std::pair<const TAV_ADDON*, std::shared_ptr<AddonModule>>> candidates;
  {
    std::lock_guard lock(mutex_);
    for (auto& e : entries_) candidates.emplace_back(e.addon, e.module);
  }
  for (auto& [addon, module] : candidates) {
    auto file = std::make_unique<TAV_ADDON_FILE>(
        TAV_ADDON_FILE{source.get(), file_read, file_seek, file_tell, file_size});
    source->seek(0);
    TAV_ADDON_STREAM stream{};
    void* decoder = addon->open(file.get(), &stream);
    if (!decoder) continue;
    if (stream.freq < kMinFileRate || stream.freq > kMaxFileRate || stream.chans == 0 || stream.chans > kMaxChannels) {
      addon->close(decoder);  // an add-on's mistake: not a stream this library can carry
      continue;
    }
    StreamFormat format;
    format.rate = stream.freq;
    format.channels = stream.chans;
    format.ctype = stream.ctype;
    format.original_bits = stream.origres;
    return std::make_unique<AddonDecoder>(addon, decoder, std::move(source), std::move(file), module, format);
  }
  return nullptr;
}

AddonRegistry& addon_registry() {
  static AddonRegistry registry;
  return registry;
}

}  // namespace tav::audio
