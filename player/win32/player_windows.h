// Creates the player's windows in their fixed order (main, effects, VST, WAV
// render, About, play list, configuration, URL, WAV segment; those that do not
// exist yet are left out) and runs the application until the main window
// closes.
#pragma once

namespace tav::player {

void CreatePlayerWindows();
int RunPlayer();

}  // namespace tav::player
