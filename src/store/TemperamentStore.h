// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing single temperaments in the store's temperaments key, as
// the editor's Save and the Delete command do. Failures are silent: the caller
// changes its memory and list regardless. User-interface thread only.
#pragma once

#include <array>
#include <string>

// Writes the temperament text of the offsets under the name.
void WriteTemperament(const std::string& name, const std::array<double, 12>& offsets);
// Whether a value of that name (in any letter case) can be read.
bool TemperamentExists(const std::string& name);
void DeleteTemperamentValue(const std::string& name);
