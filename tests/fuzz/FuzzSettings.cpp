// SPDX-License-Identifier: GPL-3.0-or-later
// The eight settings as any text in the store, read at start-up into a view
// over the simulated sound card, which then plays a buffer, tunes a buffer
// and closes. The first eight lines of the input are the values, in the order
// the settings are read.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "presenter/CmdUI.h"
#include "presenter/FakeForm.h"
#include "presenter/KlavoraView.h"
#include "presenter/ViewIds.h"
#include "store/RegistryKey.h"
#include "store/StoreSetup.h"
#include "support/WaveSimulator.h"

namespace {

const char* const kNames[8] = {"Temperament", "View",       "StandardA",       "SamplingRate",
                               "BufferSize",  "NumBuffers", "RecordingDevice", "PlaybackDevice"};

void Command(CKlavoraView& view, int id) {
    CCmdUI ui(id);
    view.OnUpdateCommand(&ui);
    if (ui.m_bEnabled) {
        view.OnCommand(id);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SFuzzStore& w = FuzzStore();
    WriteFileBytes(w.store, w.pristine);
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        CRegistryKey reg;
        HKEY key = reg.Open(kSettingsKeyPath);
        std::size_t start = 0;
        for (int i = 0; i < 8 && key != nullptr && start <= input.size(); ++i) {
            std::size_t end = input.find('\n', start);
            if (end == std::string::npos) {
                end = input.size();
            }
            reg.SetString(key, kNames[i], input.substr(start, end - start));
            start = end + 1;
        }
        reg.Close(key);
    }

    CWaveSimulator sim;
    sim.AddInDevice("Line In");
    sim.AddOutDevice("Speakers");
    sim.SetInputSignal([](std::uint64_t frame, int) {
        return static_cast<short>((frame / 50) % 2 == 0 ? 8000 : -8000);
    });
    CScopedWaveLayer layer(&sim);
    CFakeForm form;
    {
        CKlavoraView view(form);
        form.m_pView = &view;
        view.OnInitialUpdate();
        Command(view, ID_PLAY_NOTES);
        sim.Process(1);
        sim.Pump();
        Command(view, ID_TUNE_MICROPHONE);
        sim.Process(1);
        sim.Pump();
        view.OnDestroy();
        form.m_pView = nullptr;
    }
    return 0;
}
