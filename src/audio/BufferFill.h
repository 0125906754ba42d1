// SPDX-License-Identifier: GPL-3.0-or-later
// Fills a playback buffer from the five tone voices: each two-channel 16-bit
// frame gets the sum of the voices' next samples in both channels, low byte
// first. Called by the playback completion handler on the user-interface thread.
#pragma once

class CToneVoice;

constexpr int kToneVoiceCount = 5;

// Fills the whole frames of the first nBytes bytes of pData; voices are drawn
// in order 0..4 once per frame, and a null voice counts as silent. The low 16
// bits of the sum are written, without clipping. Returns the frames written.
int FillPlaybackBuffer(char* pData, int nBytes, CToneVoice* const pVoices[kToneVoiceCount]);
