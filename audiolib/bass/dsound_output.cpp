// DirectSound output devices: devices 1.. of the library, named as DirectSound names them.
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <dsound.h>

#include <cstring>
#include <vector>

#include "bass.h"
#include "library_instance.h"
#include "wait_hook.h"

namespace tav::audio {

namespace {

constexpr unsigned kRingMs = 500;

class DirectSoundOutput : public OutputBackend {
 public:
  DirectSoundOutput(IDirectSound8* ds, IDirectSoundBuffer* buffer, unsigned rate, DWORD ring_bytes)
      : ds_(ds), buffer_(buffer), rate_(rate), ring_bytes_(ring_bytes) {}
  ~DirectSoundOutput() override {
    buffer_->Stop();
    buffer_->Release();
    ds_->Release();
  }
  unsigned rate() const override { return rate_; }
  unsigned channels() const override { return 2; }
  unsigned latency_ms() const override { return 20; }

  size_t writable_frames(unsigned ahead_ms) override {
    DWORD play = 0, write = 0;
    if (FAILED(buffer_->GetCurrentPosition(&play, &write))) return 0;
    played_ += (play + ring_bytes_ - last_play_) % ring_bytes_;
    last_play_ = play;
    if (played_ > written_) {  // ran dry: continue at the write cursor
      written_ = played_;
      write_pos_ = write;
    }
    const uint64_t queued = written_ - played_;
    uint64_t target = static_cast<uint64_t>(rate_) * ahead_ms / 1000 * kFrameBytes;
    const uint64_t room = ring_bytes_ - (write + ring_bytes_ - play) % ring_bytes_ - kFrameBytes;
    if (target > room) target = room;
    return queued >= target ? 0 : static_cast<size_t>((target - queued) / kFrameBytes);
  }

  void write(const int16_t* frames, size_t count, size_t) override {
    DWORD bytes = static_cast<DWORD>(count * kFrameBytes);
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    HRESULT hr = buffer_->Lock(write_pos_, bytes, &p1, &n1, &p2, &n2, 0);
    if (hr == DSERR_BUFFERLOST) {
      buffer_->Restore();
      hr = buffer_->Lock(write_pos_, bytes, &p1, &n1, &p2, &n2, 0);
    }
    if (FAILED(hr)) return;
    std::memcpy(p1, frames, n1);
    if (p2) std::memcpy(p2, reinterpret_cast<const char*>(frames) + n1, n2);
    buffer_->Unlock(p1, n1, p2, n2);
    write_pos_ = (write_pos_ + bytes) % ring_bytes_;
    written_ += bytes;
  }

 private:
  static constexpr DWORD kFrameBytes = 4;
  IDirectSound8* ds_;
  IDirectSoundBuffer* buffer_;
  unsigned rate_;
  DWORD ring_bytes_;
  DWORD last_play_ = 0;
  DWORD write_pos_ = 0;
  uint64_t played_ = 0;
  uint64_t written_ = 0;
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
    IDirectSound8* ds = nullptr;
    if (FAILED(DirectSoundCreate8(&found_[index].guid, &ds, nullptr))) {
      error = BASS_ERROR_DRIVER;
      return nullptr;
    }
    HWND hwnd = window ? static_cast<HWND>(window) : GetDesktopWindow();
    if (FAILED(ds->SetCooperativeLevel(hwnd, DSSCL_PRIORITY))) {
      ds->Release();
      error = BASS_ERROR_DRIVER;
      return nullptr;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = freq;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = freq * 4;

    DSBUFFERDESC primary_desc{};
    primary_desc.dwSize = sizeof primary_desc;
    primary_desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer* primary = nullptr;
    if (SUCCEEDED(ds->CreateSoundBuffer(&primary_desc, &primary, nullptr))) {
      primary->SetFormat(&format);  // best effort: DirectSound converts otherwise
      primary->Release();
    }

    const DWORD ring_bytes = freq * kRingMs / 1000 * 4;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = ring_bytes;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(ds->CreateSoundBuffer(&desc, &buffer, nullptr))) {
      ds->Release();
      error = BASS_ERROR_DRIVER;
      return nullptr;
    }
    void* p = nullptr;
    DWORD n = 0;
    if (SUCCEEDED(buffer->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER))) {
      std::memset(p, 0, n);
      buffer->Unlock(p, n, nullptr, 0);
    }
    if (FAILED(buffer->Play(0, 0, DSBPLAY_LOOPING))) {
      buffer->Release();
      ds->Release();
      error = BASS_ERROR_DRIVER;
      return nullptr;
    }
    return std::make_unique<DirectSoundOutput>(ds, buffer, freq, ring_bytes);
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
