#include "player/core/effect_settings.h"

namespace tav::player {

namespace {

std::string Indexed(const char* stem, int i) { return stem + std::to_string(i); }

constexpr const char* kSwitchKeys[] = {"rotate", "ckhy", "ckFlanges", "chHx", "ckGjHy"};

// The five switches in key order, as pointers into `s` (const or not).
template <class Settings>
auto Switches(Settings& s) {
  return std::array{&s.Rotate, &s.Ckhy, &s.CkFlanges, &s.ChHx, &s.CkGjHy};
}

}  // namespace

TEffectSettings ReadEffectSettings(ISettingsStore& store) {
  TEffectSettings s;
  const char* sec = kEffectSection;
  s.Left = store.ReadInteger(sec, "Left", kEffectDesignLeft);
  s.Top = store.ReadInteger(sec, "Top", kEffectDesignTop);
  s.Visable = store.ReadBool(sec, "Visable", false);
  s.ActPage = store.ReadInteger(sec, "ActPage", 0);
  if (s.ActPage < 0 || s.ActPage >= kEffectPageCount) s.ActPage = 0;
  for (int b = 0; b < kEqSliderCount; ++b) s.Eq[size_t(b)] = store.ReadInteger(sec, Indexed("sldEq", b), kEqFlat);
  s.ChkEq = store.ReadBool(sec, "chkEq", false);
  const auto switches = Switches(s);
  for (size_t k = 0; k < switches.size(); ++k) *switches[k] = store.ReadBool(sec, kSwitchKeys[k], false);
  for (int p = 0; p < kPhaserSliderCount; ++p)
    s.Phaser[size_t(p)] = store.ReadInteger(sec, Indexed("slPh", p + 1), kPhaserDefaults[size_t(p)]);
  s.ChkPhs = store.ReadBool(sec, "chkPhs", false);
  s.Speed = store.ReadInteger(sec, "sldspeed", kSpeedCentre);
  s.Pitch = store.ReadInteger(sec, "sldPitch", kPitchCentre);
  return s;
}

void WriteEffectSettings(ISettingsStore& store, const TEffectSettings& s) {
  const char* sec = kEffectSection;
  store.WriteInteger(sec, "Left", s.Left);
  store.WriteInteger(sec, "Top", s.Top);
  store.WriteInteger(sec, "ActPage", s.ActPage);
  for (int b = 0; b < kEqSliderCount; ++b) store.WriteInteger(sec, Indexed("sldEq", b), s.Eq[size_t(b)]);
  store.WriteBool(sec, "chkEq", s.ChkEq);
  const auto switches = Switches(s);
  for (size_t k = 0; k < switches.size(); ++k) store.WriteBool(sec, kSwitchKeys[k], *switches[k]);
  for (int p = 0; p < kPhaserSliderCount; ++p) store.WriteInteger(sec, Indexed("slPh", p + 1), s.Phaser[size_t(p)]);
  store.WriteBool(sec, "chkPhs", s.ChkPhs);
  store.WriteInteger(sec, "sldspeed", s.Speed);
  store.WriteInteger(sec, "sldPitch", s.Pitch);
}

void WriteEffectVisible(ISettingsStore& store, bool visible) { store.WriteBool(kEffectSection, "Visable", visible); }

std::string SignedPercentText(int n) { return (n >= 0 ? "+" : "") + std::to_string(n) + "%"; }

TPhaserFields PhaserFieldsFromSliders(const std::array<int, kPhaserSliderCount>& v) {
  return {float(v[0] / 1000.0), float(v[1] / 1000.0), float(v[2] / 1000.0),
          float(v[3] / 10.0),   float(v[4] / 10.0),   float(v[5] / 10.0)};
}

intptr_t WinampQueryAnswer(intptr_t query, uintptr_t wParam, const TWinampHostFacts& facts) {
  switch (query) {
    case kWinampQueryVersion:
      return kWinampVersionAnswer;
    case kWinampQuery124:
      return 1;
    case kWinampQueryStreamInfo:
      switch (wParam) {
        case 0:
          return facts.HasStream ? intptr_t(facts.StreamRate) : intptr_t(kRateWithoutStream);
        case 1:
          return 16;
        case 2:
          return 2;
        default:
          return 0;
      }
    case kWinampQueryPath:
      return facts.PathAddress;
    case kWinampQueryTitle:
      return facts.TitleAddress;
    default:  // 125, 105 and every other query
      return 0;
  }
}

}  // namespace tav::player
