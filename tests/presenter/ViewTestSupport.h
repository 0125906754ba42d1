// SPDX-License-Identifier: GPL-3.0-or-later
// The world a view test runs in: a private store, a simulated sound card
// with one recording and one playback device, the fake form, and the view.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "presenter/FakeForm.h"
#include "presenter/KlavoraView.h"
#include "store/RegistryKey.h"
#include "store/StoreSetup.h"
#include "support/StoreSettings.h"
#include "support/TempStore.h"
#include "support/WaveSimulator.h"
#include "tuning/TemperamentSet.h"

class ViewTest : public ::testing::Test {
protected:
    ViewTest() : m_layer(&m_sim) {
        m_sim.AddInDevice("Line In");
        m_sim.AddOutDevice("Speakers");
    }
    ~ViewTest() override { Close(); }

    // Seeds the store as the installer does.
    void Install() { ASSERT_EQ(InitializeStore(m_store.Path()).status, 0); }
    void SetSetting(const std::string& name, const std::string& text) {
        ASSERT_TRUE(WriteStoredSetting(name, text));
    }
    std::string Setting(const std::string& name) { return ReadStoredSetting(name); }

    // Creates the view and runs its start-up.
    CKlavoraView& Start() {
        m_view = std::make_unique<CKlavoraView>(m_form);
        m_form.m_pView = m_view.get();
        m_view->OnInitialUpdate();
        return *m_view;
    }
    // Closes the window: WM_DESTROY, then the view is deleted.
    void Close() {
        if (m_view) {
            m_view->OnDestroy();
            m_view.reset();
            m_form.m_pView = nullptr;
        }
    }
    // Runs a command as the framework does: only when its state enables it.
    bool Command(int id) {
        CCmdUI ui(id);
        m_view->OnUpdateCommand(&ui);
        if (!ui.m_bEnabled) {
            return false;
        }
        return m_view->OnCommand(id);
    }
    CCmdUI State(int id) {
        CCmdUI ui(id);
        m_view->OnUpdateCommand(&ui);
        return ui;
    }
    // Lets the devices finish n buffers each and delivers the completions.
    void Run(int buffers) {
        for (int i = 0; i < buffers; ++i) {
            m_sim.Process(1);
            m_sim.Pump();
        }
    }
    void SelectTemperament(const std::string& name) {
        m_form.ListSetCurSel(m_form.ListFindStringExact(name));
        m_view->OnSelchangeTemperament();
    }

    // The frequency of the left channel of what was played since the last
    // clear, from its rising zero crossings.
    double PlayedFrequency() {
        const std::vector<short> samples = m_sim.PlayedSamples();
        double first = -1;
        double last = -1;
        int crossings = 0;
        for (std::size_t i = 2; i + 2 < samples.size(); i += 2) {
            const short a = samples[i - 2];
            const short b = samples[i];
            if (a < 0 && b >= 0) {
                const double t = (i - 2) / 2.0 + static_cast<double>(-a) / (b - a);
                if (first < 0) {
                    first = t;
                }
                last = t;
                ++crossings;
            }
        }
        if (crossings < 2) {
            return 0.0;
        }
        return (crossings - 1) / (last - first) * m_view->GetSamplingRate();
    }

    CTempStore m_store;
    CWaveSimulator m_sim;
    CScopedWaveLayer m_layer;
    CFakeForm m_form;
    std::unique_ptr<CKlavoraView> m_view;
};
