#include "tuning/NumberFormat.h"

#include <locale.h>

#include <climits>
#include <cstdlib>
#include <iomanip>
#include <locale>
#include <sstream>

namespace {

// The "C" locale, made once.
locale_t ClassicLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

}  // namespace

std::string FormatStreamDouble(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

std::string FormatFixed(double value, int decimals) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << std::setprecision(decimals) << value;
    return out.str();
}

double ParseAtof(const char* text) {
    return strtod_l(text, nullptr, ClassicLocale());
}

int ParseAtoi(const char* text) {
    const long long v = strtoll_l(text, nullptr, 10, ClassicLocale());
    if (v > INT_MAX) {
        return INT_MAX;
    }
    if (v < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

std::string FormatDialogDouble(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::setprecision(15) << value;
    return out.str();
}

bool ScanDialogDouble(const std::string& text, double& value) {
    char* end = nullptr;
    const double v = strtod_l(text.c_str(), &end, ClassicLocale());
    if (end == text.c_str()) {
        return false;
    }
    value = v;
    return true;
}
