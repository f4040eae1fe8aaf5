// The effects window's state as the settings file keeps it (section
// "FormEffect"), its value texts, the phaser record made from its sliders and
// the answers it gives the Winamp DSP plug-ins' WM_USER queries.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "player/core/settings_store.h"

namespace tav::player {

inline constexpr const char* kEffectSection = "FormEffect";
inline constexpr int kEffectDesignLeft = 194, kEffectDesignTop = 109;
inline constexpr int kEffectPageCount = 4;
inline constexpr int kEqSliderCount = 15;
inline constexpr int kEqFlat = 15;              // slider value of 0 dB
inline constexpr int kSpeedCentre = 45;         // sldspeed value of tempo +0 %
inline constexpr int kPitchCentre = 30;         // sldPitch value of pitch +0
inline constexpr int kPhaserSliderCount = 6;
inline constexpr std::array<int, kPhaserSliderCount> kPhaserDefaults = {999, -999, -60, 2, 60, 1000};

struct TEffectSettings {
  int Left = kEffectDesignLeft;
  int Top = kEffectDesignTop;
  bool Visable = false;
  int ActPage = 0;
  std::array<int, kEqSliderCount> Eq = [] {
    std::array<int, kEqSliderCount> flat{};
    flat.fill(kEqFlat);
    return flat;
  }();
  bool ChkEq = false;
  bool Rotate = false, Ckhy = false, CkFlanges = false, ChHx = false, CkGjHy = false;
  std::array<int, kPhaserSliderCount> Phaser = kPhaserDefaults;
  bool ChkPhs = false;
  int Speed = kSpeedCentre;
  int Pitch = kPitchCentre;
};

// Reads every key in the order the window applies them: position,
// "Visable", "ActPage", the bands, "chkEq", the five switches, the phaser
// sliders, "chkPhs", "sldspeed", "sldPitch". Values are not checked (the
// sliders clamp them), except a page outside 0..3, which becomes 0.
TEffectSettings ReadEffectSettings(ISettingsStore& store);

// Writes what the destroy handler keeps, in its order ("Visable" is not
// among them). A failed write throws; the keys written before it stay.
void WriteEffectSettings(ISettingsStore& store, const TEffectSettings& s);

// "Visable", written when the window is shown (its visibility) or closed.
void WriteEffectVisible(ISettingsStore& store, bool visible);

// A slider's offset as its label shows it: "+" n "%" for n >= 0, n "%"
// otherwise (tempo in percent, and the pitch too, with the same sign).
std::string SignedPercentText(int n);

// The six phaser fields from the six slider values: dry and wet mix and
// feedback / 1000, rate, range and frequency / 10, as 32-bit floats.
struct TPhaserFields {
  float DryMix, WetMix, Feedback, Rate, Range, Freq;
};
TPhaserFields PhaserFieldsFromSliders(const std::array<int, kPhaserSliderCount>& values);

// The Winamp inter-process queries a plug-in sends its parent window
// (WM_USER, the query in lParam) and what the effects window answers.
inline constexpr intptr_t kWinampQueryVersion = 0;
inline constexpr intptr_t kWinampQueryReinit = 105;
inline constexpr intptr_t kWinampQuery124 = 124;
inline constexpr intptr_t kWinampQuery125 = 125;
inline constexpr intptr_t kWinampQueryStreamInfo = 126;
inline constexpr intptr_t kWinampQueryPath = 211;
inline constexpr intptr_t kWinampQueryTitle = 212;
inline constexpr intptr_t kWinampVersionAnswer = 0x5010;
inline constexpr uint32_t kRateWithoutStream = 44100;

struct TWinampHostFacts {
  bool HasStream = false;
  uint32_t StreamRate = 0;      // the decoding stream's rate
  intptr_t PathAddress = 0;     // address of the current path text
  intptr_t TitleAddress = 0;    // address of the current title text
};
intptr_t WinampQueryAnswer(intptr_t query, uintptr_t wParam, const TWinampHostFacts& facts);

}  // namespace tav::player
