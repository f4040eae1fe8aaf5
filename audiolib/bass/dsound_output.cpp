// DirectSound output devices: devices 1.. of the library, named as DirectSound names them.
#include <cstring>
#include <vector>

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <dsound.h>

#include "bass.h"
#include "dsound_ring.h"
#include "library_instance.h"
#include "play_ring.h"
#include "wait_hook.h"

namespace tav::audio {

namespace {

constexpr unsigned kRingMs = 500;

// Opens the device with a looping ring of silence that plays. Returns a BASS_ERROR_*
// code (BASS_OK with both objects set).
int open_ring(const GUID& guid, HWND hwnd, unsigned freq, DWORD ring_bytes, IDirectSound8*& ds_out,
              IDirectSoundBuffer*& buffer_out) {
  return open_playing_ring(&guid, hwnd, freq, ring_bytes, ds_out, buffer_out) ? BASS_OK : BASS_ERROR_DRIVER;
}

// While the device rests its DirectSound object is released: DirectSound keeps mixing
// (and the system's sound server playing) for as long as one exists, even with every
// buffer stopped. The next play opens it again with a fresh ring of silence, on the
// caller's thread, and fails when it cannot.
class DirectSoundOutput : public OutputBackend {
 public:
  DirectSoundOutput(const GUID& guid, HWND hwnd, IDirectSound8* ds, IDirectSoundBuffer* buffer, unsigned rate,
                    DWORD ring_bytes)
      : guid_(guid), hwnd_(hwnd), ds_(ds), buffer_(buffer), rate_(rate), ring_bytes_(ring_bytes), ring_(ring_bytes, kFrameBytes) {}
  ~DirectSoundOutput() override { close(); }
  unsigned rate() const override { return rate_; }
  unsigned channels() const override { return 2; }
  unsigned latency_ms() const override { return 20; }

  // Stops where the queued silence after the last sound plays, so nothing is cut off.
  void pause() override { close(); }

  bool resume() override { return buffer_ || reopen(); }

  size_t writable_frames(unsigned ahead_ms) override {
    if (!buffer_) return 0;
    DWORD play = 0, write = 0;
    if (FAILED(buffer_->GetCurrentPosition(&play, &write))) return 0;
    return ring_.writable_frames(play, write, static_cast<uint64_t>(rate_) * ahead_ms / 1000 * kFrameBytes);
  }

  void write(const int16_t* frames, size_t count, size_t) override {
    if (!buffer_) return;
    const PlayRing::Write w = ring_.plan(static_cast<DWORD>(count * kFrameBytes));
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    const DWORD bytes = w.data_bytes + w.silence_bytes;
    HRESULT hr = buffer_->Lock(w.offset, bytes, &p1, &n1, &p2, &n2, 0);
    if (hr == DSERR_BUFFERLOST) {
      buffer_->Restore();
      hr = buffer_->Lock(w.offset, bytes, &p1, &n1, &p2, &n2, 0);
    }
    if (FAILED(hr)) return;
    PlayRing::fill(w, frames, p1, n1, p2, n2);
    buffer_->Unlock(p1, n1, p2, n2);
    ring_.wrote(w.data_bytes);
  }

 private:
  void close() {
    if (buffer_) {
      buffer_->Stop();
      buffer_->Release();
      buffer_ = nullptr;
    }
    if (ds_) {
      ds_->Release();
      ds_ = nullptr;
    }
  }

  // A fresh ring playing from its start: the first write goes to the write cursor.
  bool reopen() {
    if (open_ring(guid_, hwnd_, rate_, ring_bytes_, ds_, buffer_) != BASS_OK) {
      if (hwnd_ == GetDesktopWindow()) return false;
      hwnd_ = GetDesktopWindow();  // the window given at start-up may be gone by now
      if (open_ring(guid_, hwnd_, rate_, ring_bytes_, ds_, buffer_) != BASS_OK) return false;
    }
    ring_.reset();
    return true;
  }

  static constexpr DWORD kFrameBytes = 4;
  GUID guid_;
  HWND hwnd_;
  IDirectSound8* ds_;
  IDirectSoundBuffer* buffer_;
  unsigned rate_;
  DWORD ring_bytes_;
  PlayRing ring_;
};

struct FoundDevice {
  GUID guid;
  DeviceDescription description;
};

BOOL CALLBACK collect_device(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context) {
  if (!guid) return TRUE;  // the primary sound driver stands for the default device listed again below
  auto* found = static_cast<std::vector<FoundDevice>*>(context);
  FoundDevice d;
  d.guid = *guid;
  d.description.name = description ? description : "";
  d.description.driver = module ? module : "";
  d.description.is_default = found->empty();
  found->push_back(std::move(d));
  return TRUE;
}

class DirectSoundPlatform : public OutputPlatform {
 public:
  std::vector<DeviceDescription> enumerate() override {
    found_.clear();
    DirectSoundEnumerateA(collect_device, &found_);
    std::vector<DeviceDescription> list;
    for (auto& d : found_) list.push_back(d.description);
    return list;
  }

  std::unique_ptr<OutputBackend> open(size_t index, unsigned freq, void* window, int& error) override {
    if (index >= found_.size()) {
      error = BASS_ERROR_DEVICE;
      return nullptr;
    }
    HWND hwnd = window ? static_cast<HWND>(window) : GetDesktopWindow();
    const DWORD ring_bytes = freq * kRingMs / 1000 * 4;
    IDirectSound8* ds = nullptr;
    IDirectSoundBuffer* buffer = nullptr;
    error = open_ring(found_[index].guid, hwnd, freq, ring_bytes, ds, buffer);
    if (error != BASS_OK) return nullptr;
    return std::make_unique<DirectSoundOutput>(found_[index].guid, hwnd, ds, buffer, freq, ring_bytes);
  }

  unsigned directsound_version() const override { return 9; }

 private:
  std::vector<FoundDevice> found_;
};

// While the window thread waits for the update thread, messages sent to its windows are
// handled, so a procedure that sends one cannot deadlock the two.
void serve_sent_messages() {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace

OutputPlatform* platform_outputs() {
  set_wait_hook(serve_sent_messages);
  static DirectSoundPlatform platform;
  return &platform;
}

}  // namespace tav::audio
