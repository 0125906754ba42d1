// SPDX-License-Identifier: GPL-3.0-or-later
// With no sound server to reach, PortAudio finds no usable device: the devices
// say so, and nothing waits for a server that is not there.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <future>

#include "base/DebugOutput.h"
#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"

namespace {

struct SFound {
    bool m_bRecorderCapable;
    bool m_bRecorderMapper;
    bool m_bPlayerCapable;
    bool m_bPlayerMapper;
};

TEST(NoSoundServer, NoDeviceIsFoundAndNothingHangs) {
    struct stat info;
    if (stat("/dev/snd", &info) == 0) {
        GTEST_SKIP() << "this machine has sound hardware, which works without a server";
    }
    // Before PortAudio starts: the server is pointed at a socket that does not exist.
    setenv("PULSE_SERVER", "unix:/nonexistent/klavora-no-server", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    CDebugOutputCapture log;

    std::future<SFound> found = std::async(std::launch::async, [] {
        // The helper starts in the background and finds no device: waited
        // for, so that the answers below are PortAudio's.
        EXPECT_EQ(EWaveSystem::Ready, GetWaveLayer()->WaitForSoundSystem(10000));
        CWaveInDevice recorder(WAVE_FORMAT_4S16, 5, 8192, nullptr);
        CWaveOutDevice player(WAVE_FORMAT_4S16, 5, 8192, nullptr);
        return SFound{recorder.HasCapableDevice(), recorder.SelectDevice(WAVE_MAPPER),
                      player.HasCapableDevice(), player.SelectDevice(WAVE_MAPPER)};
    });
    if (found.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "looking for devices did not finish within 30 seconds";
        std::_Exit(1);  // the waiting thread cannot be joined
    }
    const SFound result = found.get();
    EXPECT_FALSE(result.m_bRecorderCapable);
    EXPECT_FALSE(result.m_bRecorderMapper);
    EXPECT_FALSE(result.m_bPlayerCapable);
    EXPECT_FALSE(result.m_bPlayerMapper);
}

}  // namespace
