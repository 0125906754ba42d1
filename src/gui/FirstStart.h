// SPDX-License-Identifier: GPL-3.0-or-later
// The program's first start: when no store file exists yet, it is created
// with the settings key and the temperaments key holding the shipped
// catalogue, as the installer would. User-interface thread, before the main
// window is built.
#pragma once

#include <string>

// Creates the store when there is no store file; false with error filled
// only when creating it failed. An existing store is left as it is.
bool PrepareStoreOnFirstStart(std::string& error);
