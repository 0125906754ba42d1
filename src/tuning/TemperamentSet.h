// SPDX-License-Identifier: GPL-3.0-or-later
// CTemperamentSet is the catalogue: every named temperament, owned, ordered by
// byte-wise name. Also the temperament text, the form in which the store keeps
// a temperament. Used on the user-interface thread only.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>

#include "tuning/NumberFormat.h"
#include "tuning/Temperament.h"

// The twelve offsets as the store keeps them: each written as a default output
// string stream writes a double (six significant digits), joined by commas.
std::string FormatTemperamentText(const std::array<double, 12>& offsets);

// Reads a temperament text: twelve fields separated by commas, each read as
// atof reads it (leading white space skipped, the longest number prefix, 0.0
// when there is none); the twelfth runs to the end of the text. Fails, leaving
// offsets untouched, when fewer than eleven commas separate the fields.
bool ParseTemperamentText(const std::string& text, std::array<double, 12>& offsets);

class CTemperamentSet {
public:
    using Map = std::map<std::string, std::unique_ptr<CTemperament>>;

    CTemperamentSet() = default;
    CTemperamentSet(const CTemperamentSet&) = delete;
    CTemperamentSet& operator=(const CTemperamentSet&) = delete;
    virtual ~CTemperamentSet();

    // Parses the text and stores a new temperament (rotation 0, the
    // catalogue's arithmetic) under the name, replacing one stored under
    // exactly that name. False, storing nothing, when the text does not parse.
    bool AddFromText(const std::string& text, const std::string& name);
    // The temperament stored under exactly this name, or null.
    CTemperament* Find(const std::string& name) const;
    // Removes and destroys the temperament of exactly this name, if any.
    void Remove(const std::string& name);

    // The arithmetic every temperament of the catalogue is read in, those
    // added later included; classic until set.
    void SetArithmetic(FifthArithmetic arithmetic);
    FifthArithmetic GetArithmetic() const { return m_arithmetic; }

    std::size_t Count() const { return m_mapTemperaments.size(); }
    Map::const_iterator begin() const { return m_mapTemperaments.begin(); }
    Map::const_iterator end() const { return m_mapTemperaments.end(); }

private:
    Map m_mapTemperaments;
    FifthArithmetic m_arithmetic = FifthArithmetic::Classic;
};
