// SPDX-License-Identifier: GPL-3.0-or-later
// What the sound helper does with ALSA around PortAudio's device listing,
// which opens every device ALSA's configuration names to learn what it can
// do. Two steps keep that cheap. Before the listing, devices that can take
// none of the wave formats are taken out of the configuration, so they are
// never opened: ALSA's AC-3 encoder ("a52") plays only its configured rate
// and channel count (48 kHz, six channels as installed), and opening it
// loads a video codec library with its encoders, some 14 MB resident and
// tens of milliseconds, even where no such device exists. After the listing,
// ALSA lets go of its configuration and unloads the plugins no open device
// uses; it reads the configuration afresh at the next open. Called only by
// CWavePortAudio, on its owner thread, while no stream is open.
#pragma once

// Takes the devices that can take no wave format out of ALSA's global
// configuration; returns how many it took out.
int HideUnusableAlsaDevices();

// Frees ALSA's global configuration and the plugins it loaded.
void ReleaseAlsaProbe();
