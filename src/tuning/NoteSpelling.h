// SPDX-License-Identifier: GPL-3.0-or-later
// How the program spells the twelve notes: in the order of the circle of
// fifths from C (C, G, D, A, ...), with the sharps and flats of a meantone
// keyboard. The circle's picture and the printed sheet both spell them so.
// Any thread.
#pragma once

// The name of the note at nPlace (0 to 11) of the circle of fifths from C;
// nPlace is taken modulo 12.
const char* CircleNoteName(int nPlace);
