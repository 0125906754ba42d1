#include "platform/SoundHelperPath.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace {

bool Executable(const std::string& strPath) {
    return !strPath.empty() && access(strPath.c_str(), X_OK) == 0;
}

}  // namespace

std::string FindSoundHelper() {
    const char* pszPath = std::getenv("KLAVORA_SOUND_HELPER");
    if (pszPath != nullptr && *pszPath != '\0') {
        return pszPath;
    }
    char szExe[PATH_MAX] = {};
    const ssize_t nLength = readlink("/proc/self/exe", szExe, sizeof szExe - 1);
    if (nLength <= 0) {
        return std::string();
    }
    std::string strDir(szExe, static_cast<std::size_t>(nLength));
    strDir.erase(strDir.find_last_of('/') + 1);
    for (const char* pszPlace :
         {"klavora-sound", "../libexec/klavora/klavora-sound", "../lib/klavora/klavora-sound"}) {
        if (Executable(strDir + pszPlace)) {
            return strDir + pszPlace;
        }
    }
    return std::string();
}
