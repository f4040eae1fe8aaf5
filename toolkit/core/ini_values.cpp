#include "ini_values.h"

namespace tav {

namespace {

// Both readings start alike: blanks, then an optional sign. Leaves `i` on what follows.
bool SkipBlanksAndSign(std::string_view text, size_t& i) {
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) return text[i++] == '-';
  return false;
}

}  // namespace

std::optional<int32_t> ParseIniInteger(std::string_view text) {
  size_t i = 0;
  const bool negative = SkipBlanksAndSign(text, i);
  if (i == text.size()) return std::nullopt;
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > int64_t{1} << 31) return std::nullopt;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

int32_t IniIntegerOr(std::string_view text, int32_t fallback) {
  return ParseIniInteger(text).value_or(fallback);
}

int32_t ParseLeadingInteger(std::string_view text) {
  size_t i = 0;
  const bool negative = SkipBlanksAndSign(text, i);
  const int64_t limit = negative ? -int64_t{INT32_MIN} : int64_t{INT32_MAX};
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude >= limit) {
      magnitude = limit;
      break;
    }
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

std::string FormatIniInteger(int32_t value) { return std::to_string(value); }

bool IniBoolOr(std::string_view text, bool fallback) {
  return IniIntegerOr(text, fallback ? 1 : 0) != 0;
}

}  // namespace tav
