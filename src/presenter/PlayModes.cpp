#include "presenter/PlayModes.h"

bool VoiceSounds(int voice, int mode) {
    switch (voice) {
        case 1:
            return mode == 1 || mode == 5;  // minor third
        case 2:
            return mode == 2 || mode == 6;  // major third
        case 3:
            return mode == 3;  // fourth
        case 4:
            return mode > 3;  // fifth
        default:
            return true;
    }
}
