// SPDX-License-Identifier: GPL-3.0-or-later
// A sound device that stops by itself or fails while running: the activity
// stops as if switched off, the user hears of it once, and the next switch-on
// opens the device afresh. The device lists are read again when the options
// are applied, and a sound system that is still starting gets its device
// choice when it is there, without holding up the window.
#include "controls/CentsMeter.h"
#include "presenter/OptionsDlg.h"
#include "presenter/ViewTestSupport.h"
#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"

namespace {

class ViewDeviceLossTest : public ViewTest {
protected:
    void SetUp() override {
        Install();
        SetSetting("Temperament", "Equal temperament");
        m_sim.SetInputSignal([](std::uint64_t nFrame, int) {
            return static_cast<short>(8000 * std::sin(2 * 3.141592653589793 * 412.0 *
                                                      static_cast<double>(nFrame) / 44100));
        });
    }
    // The one box the loss showed, checked for its caption and icon.
    std::string TheBox() {
        if (m_form.m_boxes.size() != 1u) {
            ADD_FAILURE() << m_form.m_boxes.size() << " message boxes";
            return std::string();
        }
        EXPECT_EQ("Klavora", m_form.m_boxes[0].caption);
        EXPECT_EQ(static_cast<unsigned>(MB_OK | MB_ICONINFORMATION), m_form.m_boxes[0].type);
        return m_form.m_boxes[0].text;
    }
};

TEST_F(ViewDeviceLossTest, LostRecordingStopsTuningOnceAndTuningStartsAgain) {
    Start();
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    Run(12);
    ASSERT_EQ("-11.9 Cents ", m_view->GetPanelCents().GetText());

    m_sim.LoseStreams(true);
    m_sim.Pump();
    EXPECT_FALSE(m_view->IsListening());
    EXPECT_FALSE(m_view->RecorderOpen());
    EXPECT_FALSE(State(ID_TUNE_MICROPHONE).m_bChecked);
    EXPECT_EQ(std::string("Tuner Off"), State(ID_TUNER_INDICATOR).m_strText);
    EXPECT_EQ(-100.0, m_view->GetCentsMeter()->GetCents());
    EXPECT_EQ("", m_view->GetPanelCents().GetText());
    EXPECT_EQ("", m_view->GetPanelHertz().GetText());
    EXPECT_NE(std::string::npos, TheBox().find("choose Tune with Microphone again"));
    EXPECT_EQ(CWaveInDevice::STATE_FAILED, m_view->GetRecorder()->GetState());
    EXPECT_EQ("The sound device stopped working.", m_view->GetRecorder()->GetLastError());
    Run(3);
    EXPECT_EQ(1u, m_form.m_boxes.size());

    // The next switch-on opens the device afresh, in place of the lost one.
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    EXPECT_TRUE(m_view->IsListening());
    EXPECT_EQ(1, m_sim.OpenInCount());
    Run(12);
    EXPECT_EQ("412.15 Hertz ", m_view->GetPanelHertz().GetText());
}

TEST_F(ViewDeviceLossTest, LostPlaybackStopsPlayingOnceAndPlayingStartsAgain) {
    Start();
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    Run(3);
    m_sim.LoseStreams(false);
    m_sim.Pump();
    EXPECT_FALSE(m_view->IsPlaying());
    EXPECT_FALSE(m_view->PlayerOpen());
    EXPECT_FALSE(State(ID_PLAY_NOTES).m_bChecked);
    EXPECT_FALSE(State(ID_PLAY_SINGLE).m_bEnabled);
    EXPECT_TRUE(State(ID_OPTIONS).m_bEnabled);
    EXPECT_EQ("", m_view->GetPanelHertz().GetText());
    EXPECT_NE(std::string::npos, TheBox().find("choose Play Notes again"));

    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_TRUE(m_view->IsPlaying());
    EXPECT_EQ(1, m_sim.OpenOutCount());
    Run(6);
    m_sim.ClearPlayed();
    Run(20);
    EXPECT_NEAR(PlayedFrequency(), 415.0, 0.05);
    Close();
    EXPECT_EQ("Equal temperament", Setting("Temperament"));
}

TEST_F(ViewDeviceLossTest, ABufferThatCannotGoBackIsAFailedDevice) {
    Start();
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    m_sim.FailCall(CWaveSimulator::ECall::OutWrite, WAVERR_TIMEOUT);
    Run(1);
    EXPECT_FALSE(m_view->IsPlaying());
    EXPECT_EQ(CWaveOutDevice::STATE_FAILED, m_view->GetPlayer()->GetState());
    EXPECT_EQ("The sound system did not answer in time.", m_view->GetPlayer()->GetLastError());
    EXPECT_NE(std::string::npos, TheBox().find("no longer playing"));
    // The other buffers' returns find nothing running.
    Run(5);
    EXPECT_EQ(1u, m_form.m_boxes.size());
}

TEST_F(ViewDeviceLossTest, AnIdleDeviceThatIsLostIsOpenedAfreshWithoutAWord) {
    Start();
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    ASSERT_TRUE(m_view->PlayerOpen());
    m_view->OnWaveMessage(MM_WOM_LOST, nullptr);
    EXPECT_FALSE(m_view->PlayerOpen());
    EXPECT_TRUE(m_form.m_boxes.empty());
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_TRUE(m_view->IsPlaying());
}

TEST_F(ViewDeviceLossTest, PlaybackAsksForTheLatencyOfItsRing) {
    Start();
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_EQ(232u, m_sim.LastLatency());  // 5 buffers of 8192 bytes at 176400 bytes a second
}

TEST_F(ViewDeviceLossTest, ApplyingTheOptionsFindsASoundCardThatCameLater) {
    m_sim.RemoveInDevice(0);
    m_sim.RemoveOutDevice(0);
    m_sim.KeepDeviceLists(true);
    Start();
    ASSERT_NE(std::string::npos, TheBox().find("unable to find a soundcard it can use.\r\n"));
    EXPECT_FALSE(State(ID_PLAY_NOTES).m_bEnabled);

    // The sound server starts: its devices are there, but not yet in the lists read.
    m_sim.AddInDevice("Line In");
    m_sim.AddOutDevice("Speakers");
    EXPECT_EQ(0, m_view->GetPlayer()->DeviceCount());
    m_form.m_options = [](COptionsDlg& dlg) {
        dlg.OnInitDialog();
        dlg.OnOK(0, 0);
        return static_cast<int>(IDOK);
    };
    ASSERT_TRUE(Command(ID_OPTIONS));
    EXPECT_EQ(1, m_sim.RefreshCount());
    EXPECT_EQ(1u, m_form.m_boxes.size());
    EXPECT_TRUE(State(ID_PLAY_NOTES).m_bEnabled);
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_TRUE(m_view->IsPlaying());
}

TEST_F(ViewDeviceLossTest, TheDeviceChoiceWaitsForASoundSystemThatIsStarting) {
    m_sim.SetSoundSystem(EWaveSystem::Starting);
    Start();
    // Nothing was asked of the devices, nothing said, and both switches can be used.
    EXPECT_TRUE(m_view->DeviceChoiceDue());
    EXPECT_EQ(0, m_sim.CallCount(CWaveSimulator::ECall::OutGetDevCaps));
    EXPECT_TRUE(m_form.m_boxes.empty());
    EXPECT_TRUE(State(ID_PLAY_NOTES).m_bEnabled);
    EXPECT_TRUE(State(ID_TUNE_MICROPHONE).m_bEnabled);

    // Switched on too soon: nothing opens yet, nothing is said; the same
    // switch again takes it back, and a third time asks again.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Command(ID_PLAY_NOTES));
    }
    EXPECT_FALSE(m_view->IsPlaying());
    EXPECT_EQ(0, m_sim.OpenOutCount());
    EXPECT_TRUE(m_form.m_boxes.empty());
    EXPECT_TRUE(m_view->SwitchOnDue());

    // The start ends: the choice runs, then the switch-on, without a word.
    m_sim.EndStart(EWaveSystem::Ready);
    m_sim.Pump();
    EXPECT_FALSE(m_view->DeviceChoiceDue());
    EXPECT_EQ("Speakers", m_view->GetPlayer()->GetSelectedName());
    EXPECT_TRUE(m_view->IsPlaying());
    EXPECT_TRUE(m_form.m_boxes.empty());
}

TEST_F(ViewDeviceLossTest, ASwitchOnThatStartsTheSoundSystemAgainRunsWhenItIsThere) {
    // Each switch finds no device at first because the layer starts a fresh
    // sound system to look again; the start outlasts the wait. Nothing is
    // said: the switch-on runs when the start ends, and only a start that
    // still finds nothing says that the device could not start, once.
    struct SCase {
        int id;
        bool found;
    };
    for (const SCase& c : {SCase{ID_PLAY_NOTES, true}, SCase{ID_TUNE_MICROPHONE, true},
                           SCase{ID_PLAY_NOTES, false}}) {
        SCOPED_TRACE(c.id);
        Close();
        m_form.m_boxes.clear();
        Start();
        m_sim.StartAgainAtNextCount();
        ASSERT_TRUE(Command(c.id));
        EXPECT_TRUE(m_form.m_boxes.empty());
        EXPECT_TRUE(m_view->SwitchOnDue());
        if (!c.found) {
            m_sim.StartAgainAtNextCount();
        }
        m_sim.EndStart(EWaveSystem::Ready);
        m_sim.Pump();
        EXPECT_EQ(c.found, c.id == ID_PLAY_NOTES ? m_view->IsPlaying() : m_view->IsListening());
        EXPECT_EQ(c.found ? 0u : 1u, m_form.m_boxes.size());
        EXPECT_FALSE(m_view->SwitchOnDue());
        if (c.found) {
            ASSERT_TRUE(Command(c.id));
        }
    }
}

TEST_F(ViewDeviceLossTest, ASoundSystemThatCouldNotStartGetsTheUsualDeviceChoice) {
    // A start that failed (no helper) answers no query: the choice says so
    // as for a machine without sound cards.
    m_sim.RemoveInDevice(0);
    m_sim.RemoveOutDevice(0);
    m_sim.SetSoundSystem(EWaveSystem::Starting);
    Start();
    EXPECT_TRUE(m_form.m_boxes.empty());
    m_sim.EndStart(EWaveSystem::Failed);
    m_sim.Pump();
    EXPECT_NE(std::string::npos, TheBox().find("unable to find a soundcard it can use.\r\n"));
    EXPECT_FALSE(State(ID_PLAY_NOTES).m_bEnabled);
}

}  // namespace
