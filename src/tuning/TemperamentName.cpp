#include "tuning/TemperamentName.h"

NameProblem CheckValueName(const std::string& name) {
    if (name.empty()) {
        return NameProblem::Empty;
    }
    for (const char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            return NameProblem::ControlCharacter;
        }
    }
    return name.size() > kLongestValueName ? NameProblem::TooLong : NameProblem::None;
}
