#include "tuning/NoteSpelling.h"

namespace {

const char* const kNames[12] = {"C", "G", "D", "A", "E", "B", "F#", "C#", "G#", "Eb", "Bb", "F"};

}  // namespace

const char* CircleNoteName(int nPlace) {
    return kNames[((nPlace % 12) + 12) % 12];
}
