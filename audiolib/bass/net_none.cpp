// Builds without a network client: every address fails.
#include "bass.h"
#include "network_source.h"

namespace tav::audio {

std::unique_ptr<NetReader> open_net_reader(const std::string&, uint64_t, unsigned, int& error) {
  error = BASS_ERROR_NOTAVAIL;
  return nullptr;
}

}  // namespace tav::audio
