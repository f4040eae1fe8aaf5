// The enhancer's 31 sound parameters, named after their settings keys, and the
// window's own settings. The window writes the parameters on the host's
// user-interface thread while the processor reads them on the playback thread,
// so each is a relaxed atomic: a plain 32-bit load and store on x86.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace brindle {

// In the order of the parameter table (the order presets are written in).
enum class Param : int {
  bassinlopass,
  bassinhipass,
  bassinres,
  bassagc,
  bass3d,
  phatt,
  soft,
  basslopass,
  basshipass,
  bassres,
  basscomp,
  bassout,
  hipass,
  agc,
  stereoagc,
  wide3d,  // key "3d"
  widefilt,
  prologic,
  treble,
  trange,
  dnl,
  reverb,
  size,
  damp,
  length,
  comp,
  speed,
  dry,
  loudness,
  boost,
  inverted,
};
inline constexpr int kParamCount = 31;

struct ParamInfo {
  Param param;
  const char* key;        // in the settings section
  const char* presetKey;  // in a preset file; nullptr: not in presets
  int32_t firstRun;
  bool isSwitch;          // a check box (1 or 0), else a 0..100 slider
};

// One row per parameter, in table order.
extern const std::array<ParamInfo, kParamCount> kParamTable;
const ParamInfo& Info(Param p);

class Parameters {
 public:
  Parameters();  // every parameter at its first-run value
  int32_t Get(Param p) const { return values_[int(p)].load(std::memory_order_relaxed); }
  bool On(Param p) const { return Get(p) != 0; }
  // Stores as the parameter's control does: a slider clamps to 0..100, a
  // check box is on for any value but 0.
  void SetFromControl(Param p, int32_t value);
  void Set(Param p, int32_t value) { values_[int(p)].store(value, std::memory_order_relaxed); }
  std::array<int32_t, kParamCount> Snapshot() const;

 private:
  std::array<std::atomic<int32_t>, kParamCount> values_;
};

// The window's settings beside the parameters. `timer` is also read by the
// processor (the scope's frame credit) and so is atomic like the parameters.
struct WindowSettings {
  int32_t x = 300, y = 200;
  int32_t hidden = 0;
  int32_t enabled = 1;
  std::atomic<int32_t> timer{25};  // scope frames per second, 2..80
  int32_t delay = 1000;            // scope delay in milliseconds
  int32_t autodetect = 1;
  std::string icon;                // the settings key "icon" (IconFile)
};

}  // namespace brindle
