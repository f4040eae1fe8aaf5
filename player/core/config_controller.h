// The configuration window's behaviour apart from its controls: the output
// device list, the buffer length with its "+", "-" and "恢复默认", the
// compatibility switch, the four seek keys captured and applied, and the
// window's settings section "FormConfig". The window hands in what it shows
// and what the engine does through two interfaces.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "player/core/settings_store.h"

namespace tav::player {

// The four seek keys, in the order of the edits: -5 s, -0.5 s, +5 s, +0.5 s.
enum class SeekKey { Left50, Left5, Right50, Right5 };
inline constexpr int kSeekKeyCount = 4;
// Virtual-key codes, indexed by SeekKey.
using SeekKeys = std::array<uint32_t, kSeekKeyCount>;
// F7, F5, F8, F6.
inline constexpr SeekKeys kDefaultSeekKeys{118, 116, 119, 117};

// The audio library and the engine state as the configuration window uses them.
class IConfigEngine {
 public:
  virtual ~IConfigEngine() = default;
  // The name of output device `index` (8-bit text); false past the last.
  virtual bool DeviceName(int32_t index, std::string& name) = 0;
  // Makes the device current; false when the library refuses.
  virtual bool SetDevice(int32_t index) = 0;
  // The playback buffer length for later streams (the library may refuse).
  virtual void SetBufferLength(int32_t ms) = 0;
  // Open the next stream without the reverse stage.
  virtual void SetCompatBuffer(bool on) = 0;
  virtual void ClearCompatActive() = 0;
  // The keys the main window's key handler steps the position with.
  virtual SeekKeys ActiveSeekKeys() = 0;
  virtual void SetActiveSeekKeys(const SeekKeys& keys) = 0;
};

enum class ConfigText { BufferMax, BufferValue, KeyLeft50, KeyLeft5, KeyRight50, KeyRight5 };

// What the configuration window shows.
class IConfigView {
 public:
  virtual ~IConfigView() = default;
  // The device list: one row per device index (8-bit names).
  virtual void SetDeviceNames(const std::vector<std::string>& names) = 0;
  // -1 or a row past the list selects nothing.
  virtual void SelectDevice(int32_t row) = 0;
  // The selected row, -1 for none.
  virtual int32_t SelectedDevice() = 0;
  // The buffer slider; its setters refuse as the slider does, and a value
  // that changes is reported back through BufferChanged.
  virtual int32_t BufferMax() = 0;
  virtual void SetBufferMax(int32_t ms) = 0;
  virtual int32_t BufferValue() = 0;
  virtual void SetBufferValue(int32_t ms) = 0;
  // The compatibility check box; a change is reported back through CompatClicked.
  virtual bool CompatChecked() = 0;
  virtual void SetCompatChecked(bool on) = 0;
  virtual void SetText(ConfigText which, const std::string& utf8) = 0;
  // The device message, owned by the window (OK button).
  virtual void ShowOwnedMessage(const std::string& text, const std::string& caption) = 0;
  // The program's plain message box.
  virtual void ShowMessage(const std::string& text) = 0;
};

// Texts (UTF-8).
inline constexpr char kDeviceAppliedText[] = "应用设备成功，在下一次加载文件时生效";
inline constexpr char kDeviceAppliedCaption[] = "成功!";
inline constexpr char kKeysAppliedText[] = "设置完成,立即生效!!!";
inline constexpr char kConfigSection[] = "FormConfig";

// The buffer slider and its buttons.
inline constexpr int32_t kBufferMin = 80;
inline constexpr int32_t kBufferIncrement = 10;
inline constexpr int32_t kDefaultBufferMax = 1000;
inline constexpr int32_t kDefaultBufferValue = 250;
inline constexpr int32_t kBufferMaxStep = 50;
inline constexpr int32_t kBufferMaxFloor = 650;   // "-" stops here
inline constexpr int32_t kBufferMaxCeiling = 5000;  // "+" stops here
// "DevIndex" when more than two devices are listed.
inline constexpr int32_t kDefaultDeviceIndex = 1;

// A length in milliseconds as the labels show it: "250ms".
std::string MsText(int32_t ms);

// The maximum "+" and "-" ask of the slider for its current maximum.
int32_t RaisedBufferMax(int32_t max);
int32_t LoweredBufferMax(int32_t max);

class TConfigController {
 public:
  TConfigController(IConfigEngine& engine, IConfigView& view) : engine_(engine), view_(view) {}

  // Creation: device list, engine switches, stored settings applied.
  void FormCreate(ISettingsStore& settings);
  // Destruction: the section written; a failed write ends the writing silently.
  void FormDestroy(ISettingsStore& settings);

  // Fills the device list and makes the chosen device current.
  void SetPlayDevice(ISettingsStore& settings);
  // "应用此设备".
  void ApplyDeviceClick();
  // The buffer slider changed (or the window applies it again).
  void BufferChanged();
  void RaiseMaxClick();   // "+"
  void LowerMaxClick();   // "-"
  void ResetBufferClick();  // "恢复默认"
  void CompatClicked();
  // A key pressed in a seek key's edit; the key is not consumed.
  void SeekKeyDown(SeekKey which, uint32_t code);
  // "应用": the pending keys become the active ones.
  void ApplyKeysClick();

  const SeekKeys& PendingKeys() const { return pending_; }

 private:
  void ShowKey(SeekKey which);

  IConfigEngine& engine_;
  IConfigView& view_;
  SeekKeys pending_{};
};

}  // namespace tav::player
