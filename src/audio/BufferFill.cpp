#include "audio/BufferFill.h"

#include "audio/ToneVoice.h"

int FillPlaybackBuffer(char* pData, int nBytes, CToneVoice* const pVoices[kToneVoiceCount]) {
    if (pData == nullptr || pVoices == nullptr) {
        return 0;
    }
    // A silent voice gives 0 and does not advance, so only the sounding ones
    // (in their order) need drawing; nothing changes them during the fill.
    CToneVoice* pSounding[kToneVoiceCount];
    int nSounding = 0;
    for (int v = 0; v < kToneVoiceCount; ++v) {
        if (pVoices[v] != nullptr && pVoices[v]->GetAmplitude() > 0) {
            pSounding[nSounding++] = pVoices[v];
        }
    }
    int nFrames = 0;
    // Whole frames only, so a size that is not a multiple of 4 never writes past the end.
    for (int i = 0; i + 4 <= nBytes; i += 4) {
        int nSum = 0;
        for (int v = 0; v < nSounding; ++v) {
            nSum += pSounding[v]->NextSample();
        }
        const char cLow = static_cast<char>(nSum & 0xFF);
        const char cHigh = static_cast<char>((nSum >> 8) & 0xFF);
        pData[i] = cLow;
        pData[i + 1] = cHigh;
        pData[i + 2] = cLow;
        pData[i + 3] = cHigh;
        ++nFrames;
    }
    return nFrames;
}
