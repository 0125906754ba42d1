// Where the sound helper program klavora-sound is, which runs PortAudio for
// the program (see CWaveHelperLayer). Any thread.
#pragma once

#include <string>

// $KLAVORA_SOUND_HELPER, else beside the running program, else in the
// installed helper folder; empty if not found.
std::string FindSoundHelper();
