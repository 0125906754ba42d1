// SPDX-License-Identifier: GPL-3.0-or-later
// klavora-sound: the sound helper process. The program starts it with one end
// of a socket pair as descriptor 3 (or the number given as the argument) and
// its standard error on a pipe that the program reads; it runs PortAudio and
// serves the program's wave layer until told to end. Its own diagnostics go
// over the socket; whatever the sound libraries print goes to that pipe, and
// the program passes both on to its debug output.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/DebugOutput.h"
#include "helper/WaveHelperServer.h"
#include "helper/WavePortAudio.h"
#include "sound/WaveHelperProtocol.h"

int main(int argc, char** argv) {
    const int nSocket = argc > 1 ? std::atoi(argv[1]) : 3;
    // The program's end of the socket may close at any time.
    signal(SIGPIPE, SIG_IGN);
    // The program decides what to show.
    unsetenv("KLAVORA_DEBUG");
    SetDebugCapture([nSocket](const char* pszText) { SendHelperLog(nSocket, pszText); });
    bool bClean = false;
    {
        CWavePortAudio layer;
        {
            CWaveHelperServer server(nSocket, layer);
            server.Run();
        }
        bClean = layer.Terminate();
        if (!bClean) {
            // A PortAudio thread is stuck: ending the process is the only way out.
            std::fflush(stderr);
            _exit(0);
        }
    }
    SetDebugCapture(nullptr);
    return 0;
}
