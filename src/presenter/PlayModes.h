// SPDX-License-Identifier: GPL-3.0-or-later
// What sounds in each play mode: the root on voice 0 and up to two of the four
// upper voices, each a fixed number of semitones above it. The view tunes its
// voices by this table, and whatever describes what is playing reads it too.
// Pure data; any thread.
#pragma once

// Play modes 0..6: single note, minor thirds, major thirds, fourths, fifths,
// minor triads, major triads.
constexpr int kPlayModeCount = 7;

// Semitones of voices 1 to 4 above the root.
constexpr int kVoiceSteps[4] = {3, 4, 5, 7};

// Whether voice 0..4 sounds in a play mode (voice 0, the root, always does).
bool VoiceSounds(int voice, int mode);
