// SPDX-License-Identifier: GPL-3.0-or-later
// The debug output: captured by tests, shown on standard error only when asked.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/DebugOutput.h"

namespace {

TEST(DebugOutput, CapturesNestAndGoToStandardErrorOnlyWhenAsked) {
    CDebugOutputCapture outer;
    {
        CDebugOutputCapture inner;
        OutputDebugText("one\r\n");
        EXPECT_EQ("one\r\n", inner.Text());
    }
    OutputDebugText("two");
    EXPECT_EQ("two", outer.Text());

    ::testing::internal::CaptureStderr();
    unsetenv("KLAVORA_DEBUG");
    OutputDebugText("hidden");
    setenv("KLAVORA_DEBUG", "1", 1);
    OutputDebugText("shown\r\n");
    unsetenv("KLAVORA_DEBUG");
    EXPECT_EQ("shown\r\n", ::testing::internal::GetCapturedStderr());
}

}  // namespace
