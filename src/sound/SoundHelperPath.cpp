#include "sound/SoundHelperPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "base/DebugOutput.h"

bool IsRunnableFile(const std::string& strPath) {
    struct stat info {};
    // access() alone says yes to a folder, which cannot be started.
    return !strPath.empty() && stat(strPath.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(strPath.c_str(), X_OK) == 0;
}

std::string FindSoundHelperFor(const std::string& strProgramDir) {
    for (const char* pszPlace :
         {"klavora-sound", "../libexec/klavora/klavora-sound", "../lib/klavora/klavora-sound"}) {
        if (IsRunnableFile(strProgramDir + pszPlace)) {
            return strProgramDir + pszPlace;
        }
    }
    return std::string();
}

std::string FindSoundHelper() {
    const char* pszPath = std::getenv("KLAVORA_SOUND_HELPER");
    if (pszPath != nullptr && *pszPath != '\0') {
        if (IsRunnableFile(pszPath)) {
            return pszPath;
        }
        OutputDebugText(std::string("KLAVORA_SOUND_HELPER=") + pszPath +
                        " is not a program that can run\r\n");
        return std::string();
    }
    char szExe[PATH_MAX] = {};
    const ssize_t nLength = readlink("/proc/self/exe", szExe, sizeof szExe - 1);
    if (nLength <= 0) {
        return std::string();
    }
    std::string strDir(szExe, static_cast<std::size_t>(nLength));
    strDir.erase(strDir.find_last_of('/') + 1);
    return FindSoundHelperFor(strDir);
}
