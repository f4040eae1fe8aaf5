#include "file_filter.h"

namespace tav {

namespace {
int PartCount(std::u16string_view filter) {
  int parts = 1;
  for (auto c : filter)
    if (c == u'|') ++parts;
  return parts;
}
}  // namespace

std::u16string DialogFilterFromText(std::u16string_view filter) {
  std::u16string out(filter);
  for (auto& c : out)
    if (c == u'|') c = u'\0';
  // A description without a pattern gets an empty pattern, so the list
  // stays in pairs.
  if (!filter.empty() && FilterPairCount(filter) * 2 != PartCount(filter)) out.push_back(u'\0');
  out.push_back(u'\0');
  out.push_back(u'\0');
  return out;
}

int FilterPairCount(std::u16string_view filter) {
  if (filter.empty()) return 0;
  return (PartCount(filter) + 1) / 2;
}

std::u16string NormalisedDefaultExtension(std::u16string_view ext) {
  if (!ext.empty() && ext.front() == u'*') ext.remove_prefix(1);
  if (!ext.empty() && ext.front() == u'.') ext.remove_prefix(1);
  return std::u16string(ext);
}

}  // namespace tav
