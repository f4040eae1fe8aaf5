#include "player/core/config_controller.h"

#include "player/core/key_names.h"

namespace tav::player {

namespace {

const char* const kSeekKeyNames[kSeekKeyCount] = {"KeyLeft50", "KeyLeft5", "KeyRight50", "KeyRight5"};
constexpr ConfigText kSeekKeyTexts[kSeekKeyCount] = {ConfigText::KeyLeft50, ConfigText::KeyLeft5,
                                                     ConfigText::KeyRight50, ConfigText::KeyRight5};

}  // namespace

std::string MsText(int32_t ms) { return std::to_string(ms) + "ms"; }

int32_t RaisedBufferMax(int32_t max) {
  const int64_t raised = int64_t(max) + kBufferMaxStep;
  return raised > kBufferMaxCeiling ? kBufferMaxCeiling : int32_t(raised);
}

int32_t LoweredBufferMax(int32_t max) {
  // A maximum already below the floor is raised to it.
  const int64_t lowered = int64_t(max) - kBufferMaxStep;
  return lowered < kBufferMaxFloor ? kBufferMaxFloor : int32_t(lowered);
}

void TConfigController::FormCreate(ISettingsStore& settings) {
  SetPlayDevice(settings);
  engine_.ClearCompatActive();
  engine_.SetCompatBuffer(false);
  engine_.SetActiveSeekKeys(kDefaultSeekKeys);

  view_.SetCompatChecked(settings.ReadBool(kConfigSection, "ckbuffers", false));

  view_.SetBufferMax(settings.ReadInteger(kConfigSection, "sdmaxval", kDefaultBufferMax));
  view_.SetText(ConfigText::BufferMax, MsText(view_.BufferMax()));
  view_.SetBufferValue(settings.ReadInteger(kConfigSection, "sdbufval", kDefaultBufferValue));
  view_.SetText(ConfigText::BufferValue, MsText(view_.BufferValue()));
  BufferChanged();  // the buffer length is applied whatever the value

  SeekKeys active{};
  for (int i = 0; i < kSeekKeyCount; ++i) {
    const auto fallback = int32_t(kDefaultSeekKeys[size_t(i)]);
    active[size_t(i)] = uint32_t(settings.ReadInteger(kConfigSection, kSeekKeyNames[i], fallback));
  }
  engine_.SetActiveSeekKeys(active);
  pending_ = active;
  for (int i = 0; i < kSeekKeyCount; ++i) ShowKey(SeekKey(i));
}

void TConfigController::FormDestroy(ISettingsStore& settings) {
  try {
    settings.WriteInteger(kConfigSection, "sdbufval", view_.BufferValue());
    settings.WriteInteger(kConfigSection, "sdmaxval", view_.BufferMax());
    settings.WriteBool(kConfigSection, "ckbuffers", view_.CompatChecked());
    const int32_t row = view_.SelectedDevice();
    settings.WriteInteger(kConfigSection, "DevIndex", row < 0 ? kDefaultDeviceIndex : row);
    const SeekKeys active = engine_.ActiveSeekKeys();
    for (int i = 0; i < kSeekKeyCount; ++i)
      settings.WriteInteger(kConfigSection, kSeekKeyNames[i], int32_t(active[size_t(i)]));
  } catch (...) {
  }
}

void TConfigController::SetPlayDevice(ISettingsStore& settings) {
  std::vector<std::string> names;
  std::string name;
  while (engine_.DeviceName(int32_t(names.size()), name)) names.push_back(name);
  view_.SetDeviceNames(names);
  const auto count = int32_t(names.size());
  int32_t device = 0;
  if (count == 2) {
    device = 1;
  } else if (count > 2) {
    device = settings.ReadInteger(kConfigSection, "DevIndex", kDefaultDeviceIndex);
    // A stored index outside the list (a device since removed) falls back.
    if (device < 0 || device >= count) device = kDefaultDeviceIndex;
  }
  view_.SelectDevice(device);
  engine_.SetDevice(device);
}

void TConfigController::ApplyDeviceClick() {
  if (engine_.SetDevice(view_.SelectedDevice())) view_.ShowOwnedMessage(kDeviceAppliedText, kDeviceAppliedCaption);
}

void TConfigController::BufferChanged() {
  engine_.SetBufferLength(view_.BufferValue());
  view_.SetText(ConfigText::BufferValue, MsText(view_.BufferValue()));
}

void TConfigController::RaiseMaxClick() {
  view_.SetBufferMax(RaisedBufferMax(view_.BufferMax()));
  view_.SetBufferValue(view_.BufferValue());  // clamps to the new maximum
  view_.SetText(ConfigText::BufferMax, MsText(view_.BufferMax()));
}

void TConfigController::LowerMaxClick() {
  view_.SetBufferMax(LoweredBufferMax(view_.BufferMax()));
  view_.SetBufferValue(view_.BufferValue());  // a value above the new maximum is applied as the maximum
  view_.SetText(ConfigText::BufferMax, MsText(view_.BufferMax()));
}

void TConfigController::ResetBufferClick() {
  view_.SetBufferMax(kDefaultBufferMax);
  view_.SetText(ConfigText::BufferMax, MsText(view_.BufferMax()));
  view_.SetBufferValue(kDefaultBufferValue);
  view_.SetText(ConfigText::BufferValue, MsText(view_.BufferValue()));
  BufferChanged();  // 250 ms is applied even when the value did not change
}

void TConfigController::CompatClicked() { engine_.SetCompatBuffer(view_.CompatChecked()); }

void TConfigController::SeekKeyDown(SeekKey which, uint32_t code) {
  if (!KeyNameOf(code).empty()) pending_[size_t(which)] = code;
  ShowKey(which);
}

void TConfigController::ApplyKeysClick() {
  engine_.SetActiveSeekKeys(pending_);
  view_.ShowMessage(kKeysAppliedText);
}

void TConfigController::ShowKey(SeekKey which) {
  view_.SetText(kSeekKeyTexts[size_t(which)], std::string(KeyNameOf(pending_[size_t(which)])));
}

}  // namespace tav::player
