#include "tuning/TemperamentSet.h"

#include <utility>

std::string FormatTemperamentText(const std::array<double, 12>& offsets) {
    std::string text;
    for (std::size_t k = 0; k < offsets.size(); ++k) {
        if (k > 0) {
            text += ',';
        }
        text += FormatStreamDouble(offsets[k]);
    }
    return text;
}

bool ParseTemperamentText(const std::string& text, std::array<double, 12>& offsets) {
    std::array<double, 12> values{};
    std::size_t start = 0;
    for (int i = 0; i < 12; ++i) {
        const std::size_t comma = text.find(',', start);
        if (comma == std::string::npos && i < 11) {
            return false;
        }
        // atof stops at the first character that cannot continue a number,
        // normally the comma that ends the field.
        values[i] = ParseAtof(text.c_str() + start);
        start = comma + 1;
    }
    offsets = values;
    return true;
}

CTemperamentSet::~CTemperamentSet() = default;

bool CTemperamentSet::AddFromText(const std::string& text, const std::string& name) {
    std::array<double, 12> offsets;
    if (!ParseTemperamentText(text, offsets)) {
        return false;
    }
    auto temperament = std::make_unique<CTemperament>(offsets);
    if (m_arithmetic != FifthArithmetic::Classic) {
        temperament->SetArithmetic(m_arithmetic);
    }
    m_mapTemperaments[name] = std::move(temperament);
    return true;
}

void CTemperamentSet::SetArithmetic(FifthArithmetic arithmetic) {
    m_arithmetic = arithmetic;
    for (auto& entry : m_mapTemperaments) {
        entry.second->SetArithmetic(arithmetic);
    }
}

CTemperament* CTemperamentSet::Find(const std::string& name) const {
    const auto it = m_mapTemperaments.find(name);
    return it == m_mapTemperaments.end() ? nullptr : it->second.get();
}

void CTemperamentSet::Remove(const std::string& name) {
    m_mapTemperaments.erase(name);
}
