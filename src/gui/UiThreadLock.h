// SPDX-License-Identifier: GPL-3.0-or-later
// The user-interface lock: held by the user-interface thread at all times
// except while its event loop sleeps waiting for events, so another thread
// that holds it runs as if it were on the user-interface thread, without
// waking it. Installed by the first call, which must come from the
// user-interface thread before its event loop waits (or from inside it).
#pragma once

#include "base/UiLock.h"

CUiLock& UiThreadLock();
