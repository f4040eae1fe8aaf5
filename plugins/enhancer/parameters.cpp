#include "parameters.h"

#include <algorithm>

namespace brindle {

const std::array<ParamInfo, kParamCount> kParamTable = {{
    {Param::bassinlopass, "bassinlopass", "bassinlopass", 50, false},
    {Param::bassinhipass, "bassinhipass", "bassinhipass", 50, false},
    {Param::bassinres, "bassinres", "bassinres", 50, false},
    {Param::bassagc, "bassagc", "bassagc", 50, false},
    {Param::bass3d, "bass3d", "bass3d", 50, false},
    {Param::phatt, "phatt", "phatt", 0, false},
    {Param::soft, "soft", "soft", 1, true},
    {Param::basslopass, "basslopass", "basslopass", 20, false},
    {Param::basshipass, "basshipass", "basshipass", 80, false},
    {Param::bassres, "bassres", "bassres", 80, false},
    {Param::basscomp, "basscomp", "basslim", 90, false},
    {Param::bassout, "bassout", "bassout", 100, false},
    {Param::hipass, "hipass", "hipass", 50, false},
    {Param::agc, "agc", "agc", 50, false},
    {Param::stereoagc, "stereoagc", "stereoagc", 1, true},
    {Param::wide3d, "3d", "3d", 30, false},
    {Param::widefilt, "widefilt", "widefilt", 0, true},
    {Param::prologic, "prologic", "prologic", 10, false},
    {Param::treble, "treble", "treble", 10, false},
    {Param::trange, "trange", "trange", 50, false},
    {Param::dnl, "dnl", "dnl", 0, false},
    {Param::reverb, "reverb", "reverb", 10, false},
    {Param::size, "size", "size", 50, false},
    {Param::damp, "damp", "damp", 50, false},
    {Param::length, "length", "length", 50, false},
    {Param::comp, "comp", "comp", 0, false},
    {Param::speed, "speed", "speed", 0, false},
    {Param::dry, "dry", "dry", 90, false},
    {Param::loudness, "loudness", "loudness", 0, true},
    {Param::boost, "boost", "boost", 0, false},
    {Param::inverted, "inverted", nullptr, 0, true},
}};

const ParamInfo& Info(Param p) { return kParamTable[size_t(p)]; }

Parameters::Parameters() {
  for (const ParamInfo& row : kParamTable) Set(row.param, row.firstRun);
}

void Parameters::SetFromControl(Param p, int32_t value) {
  Set(p, Info(p).isSwitch ? (value != 0 ? 1 : 0) : std::clamp(value, 0, 100));
}

std::array<int32_t, kParamCount> Parameters::Snapshot() const {
  std::array<int32_t, kParamCount> s{};
  for (int i = 0; i < kParamCount; ++i) s[size_t(i)] = values_[size_t(i)].load(std::memory_order_relaxed);
  return s;
}

}  // namespace brindle
