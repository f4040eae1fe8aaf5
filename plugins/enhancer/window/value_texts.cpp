#include "value_texts.h"

#include <cmath>

namespace brindle::window {

namespace {

std::string Num(int64_t v) { return std::to_string(v); }

std::string PhattText(int32_t p) {
  if (p == 0) return "0%";
  const double v = std::pow(static_cast<double>(p) / 70.0, 1.5) * 3.0 * 100.0;
  return Num(static_cast<int64_t>(std::trunc(v))) + "%";
}

std::string BassLowpassText(int32_t p) {
  switch (p) {
    case 0: return "Off";
    case 1: return "1500Hz";
    case 2: return "800Hz";
    case 3: return "400Hz";
    case 4: return "250Hz";
    case 5: return "180Hz";
    case 6: return "130Hz";
    default: return Num(120 - p) + "Hz";
  }
}

}  // namespace

std::string ValueText(Param param, int32_t p) {
  switch (param) {
    case Param::bassinlopass:
    case Param::bassinhipass:
    case Param::basshipass: return Num(120 - p) + "Hz";
    case Param::bassinres:
    case Param::bassres:
    case Param::bassout:
    case Param::dnl:
    case Param::prologic:
    case Param::reverb:
    case Param::size:
    case Param::damp:
    case Param::length:
    case Param::dry: return Num(p) + "%";
    case Param::bassagc: return Num(3 * p + 100) + "%";
    case Param::bass3d: return Num(2 * p) + "% Stereo";
    case Param::phatt: return PhattText(p);
    case Param::basslopass: return BassLowpassText(p);
    case Param::basscomp: return Num(p + 30) + "%";
    case Param::hipass: return ">" + Num(210 - 2 * p) + "Hz";
    case Param::agc: return Num(4 * p + 100) + "%";
    case Param::wide3d: return Num(100 * p / 75 + 100) + "% Stereo";
    case Param::treble: return Num(10 * p) + "%";
    case Param::trange: return ">" + Num(2000 - 17 * p) + "0Hz";
    case Param::comp: return Num(4 * p + 50) + "%";
    case Param::speed: return Num(410 - 4 * p) + "ms";
    case Param::boost: return "+" + Num(2 * p) + "%";
    case Param::soft:
    case Param::stereoagc:
    case Param::widefilt:
    case Param::loudness:
    case Param::inverted: break;
  }
  return {};
}

}  // namespace brindle::window
