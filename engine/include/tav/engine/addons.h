// Loading of the audio library's add-on decoders and the open-file dialogs'
// filter text built from the formats they report.
#pragma once

#include <string>
#include <vector>

#include "bass.h"

namespace tav::engine {

// The formats every dialog offers.
inline constexpr const char* kBaseAudioPatterns = "*.mp3;*.wav;*.ogg;*.mo3;*.xm;*.mod;*.s3m;*.it;*.mtm;*.aif";

// Names of the files in `folder` (ending in a path separator) that match
// "bass*.dll", letter case ignored, in the order the file system lists them.
std::vector<std::string> FindAddOnFiles(const std::string& folder);

// The filter text (UTF-8) for the formats of the loaded add-ons (pairs of
// description and patterns, every piece separated by "|"); the formats'
// texts are the system code page's, as the audio library gives them.
std::string BuildOpenFilter(const std::vector<BASS_PLUGINFORM>& formats);

// Loads every "bass*.dll" of `folder` as an add-on (they stay loaded) and
// sets OpenFilter.
void LoadBassPlugins(const std::string& folder);

}  // namespace tav::engine
