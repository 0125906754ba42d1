#include "helper/AlsaDeviceFilter.h"

#include <alsa/asoundlib.h>

#include <cstring>
#include <vector>

#include "sound/WaveLayer.h"

namespace {

long IntegerAt(snd_config_t* pNode, const char* pszKey, long nDefault) {
    snd_config_t* pValue = nullptr;
    long nValue = 0;
    if (snd_config_search(pNode, pszKey, &pValue) < 0) {
        return nDefault;
    }
    if (snd_config_get_integer(pValue, &nValue) == 0) {
        return nValue;
    }
    // Numbers given as strings ("6") are read too.
    const char* pszValue = nullptr;
    if (snd_config_get_string(pValue, &pszValue) == 0 && pszValue != nullptr) {
        char* pEnd = nullptr;
        const long nParsed = std::strtol(pszValue, &pEnd, 10);
        if (pEnd != pszValue && *pEnd == '\0') {
            return nParsed;
        }
    }
    return nDefault;
}

bool AnyFormatFits(long nRate, long nChannels) {
    for (const SWaveFormatRow& row : g_waveFormatTable) {
        if (static_cast<long>(row.m_nRate) == nRate &&
            static_cast<long>(row.m_nChannels) == nChannels) {
            return true;
        }
    }
    return false;
}

// An AC-3 encoder device opened by its plain name runs at exactly the rate
// and channel count its arguments default to.
bool IsUnusableEncoder(snd_config_t* pNode) {
    snd_config_t* pType = nullptr;
    const char* pszType = nullptr;
    if (snd_config_search(pNode, "type", &pType) < 0 ||
        snd_config_get_string(pType, &pszType) < 0 || pszType == nullptr ||
        std::strcmp(pszType, "a52") != 0) {
        return false;
    }
    const long nRate = IntegerAt(pNode, "@args.RATE.default", 48000);
    const long nChannels = IntegerAt(pNode, "@args.CHANNELS.default", 6);
    return !AnyFormatFits(nRate, nChannels);
}

}  // namespace

int HideUnusableAlsaDevices() {
    if (snd_config_update() < 0 || snd_config == nullptr) {
        return 0;
    }
    snd_config_t* pPcms = nullptr;
    if (snd_config_search(snd_config, "pcm", &pPcms) < 0) {
        return 0;
    }
    std::vector<snd_config_t*> hidden;
    snd_config_iterator_t i;
    snd_config_iterator_t next;
    snd_config_for_each(i, next, pPcms) {
        snd_config_t* pNode = snd_config_iterator_entry(i);
        if (IsUnusableEncoder(pNode)) {
            hidden.push_back(pNode);
        }
    }
    for (snd_config_t* pNode : hidden) {
        snd_config_delete(pNode);
    }
    return static_cast<int>(hidden.size());
}

void ReleaseAlsaProbe() {
    snd_config_update_free_global();
}
