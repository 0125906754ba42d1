// SPDX-License-Identifier: GPL-3.0-or-later
// Where the sound helper program klavora-sound is, which runs PortAudio for
// the program (see CWaveHelperLayer). Looked up each time a helper starts, so
// that one put in place while the program runs is found. Any thread.
#pragma once

#include <string>

// $KLAVORA_SOUND_HELPER, else the helper for the running program
// (FindSoundHelperFor the folder of /proc/self/exe); empty if not found.
std::string FindSoundHelper();

// The first of strProgramDir's klavora-sound, ../libexec/klavora/klavora-sound
// and ../lib/klavora/klavora-sound that is a regular file the user may run
// (a folder or a file without the execute right in one place leaves the
// next place to be tried); empty if none is. strProgramDir ends with '/'.
std::string FindSoundHelperFor(const std::string& strProgramDir);

// Whether strPath names a regular file (after symbolic links) that the user may run.
bool IsRunnableFile(const std::string& strPath);
