#include "tuning/TemperamentFit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tuning/TemperamentSet.h"

namespace {

// Two patterns this close on every note are the same tuning.
constexpr double kSameTuningCents = 0.001;

// Into -600..600: a difference of pitch classes the short way round the octave.
double Wrap(double dCents) {
    return std::remainder(dCents, CTemperament::kOctave);
}

// The s that makes the sum of Wrap(x - s)^2 least. Each value may stand an
// octave higher or lower; the best s lies at the mean of some arrangement in
// which all values fit within one octave, and the arrangements to try are
// the values sorted round the circle, cut at each gap in turn.
double CircularMean(std::vector<double> x) {
    for (double& v : x) {
        v = Wrap(v);
    }
    std::sort(x.begin(), x.end());
    const double m = static_cast<double>(x.size());
    double dSum = 0;
    double dSquares = 0;
    for (double v : x) {
        dSum += v;
        dSquares += v * v;
    }
    double dBest = std::numeric_limits<double>::infinity();
    double dMean = 0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        const double mean = dSum / m;
        const double cost = dSquares - m * mean * mean;
        if (cost < dBest - 1e-9) {
            dBest = cost;
            dMean = mean;
        }
        // The next arrangement takes the lowest value an octave up.
        dSum += CTemperament::kOctave;
        dSquares += CTemperament::kOctave * (2 * x[k] + CTemperament::kOctave);
    }
    return Wrap(dMean);
}

double FoldStandardA(double dHz) {
    while (dHz < 200.0) {
        dHz *= 2;
    }
    while (dHz > 600.0) {
        dHz /= 2;
    }
    return dHz;
}

bool SamePattern(const std::array<double, 12>& a, const std::array<double, 12>& b) {
    for (int n = 0; n < 12; ++n) {
        if (!(std::fabs(Wrap(a[n] - b[n])) < kSameTuningCents)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<SCatalogueEntry> CatalogueOf(const CTemperamentSet& set) {
    std::vector<SCatalogueEntry> out;
    for (const auto& [name, t] : set) {
        CTemperament unturned = *t;
        unturned.Rotate(0);
        out.push_back(SCatalogueEntry{name, unturned.Offsets()});
    }
    return out;
}

ResidualMark MarkResidual(double dCents) {
    if (std::isnan(dCents)) {
        return ResidualMark::kNotMeasured;
    }
    // As shown to 0.1 cent: +1.04 reads +1.0, in tune.
    if (std::fabs(dCents) < 1.05) {
        return ResidualMark::kInTune;
    }
    return dCents > 0 ? ResidualMark::kSharp : ResidualMark::kFlat;
}

std::vector<const SFitRow*> SFitResult::Close() const {
    std::vector<const SFitRow*> out;
    for (const SFitRow& row : rows) {
        if (row.bClose) {
            out.push_back(&row);
        }
    }
    return out;
}

std::array<double, 12> TuningPattern(const CTemperament& t) {
    std::array<double, 12> pattern;
    for (int n = 0; n < 12; ++n) {
        pattern[n] = Wrap(t.Interval(9, n) - 100.0 * ((n + 3) % 12));
    }
    return pattern;
}

SFitRow FitPattern(const std::array<double, 12>& adPattern, const SSurveyNotes& notes) {
    SFitRow row;
    std::vector<double> x;
    for (int n = 0; n < 12; ++n) {
        if (notes.Measured(n)) {
            x.push_back(notes.adCents[n] - adPattern[n]);
        }
    }
    row.adResiduals.fill(NAN);
    if (x.empty()) {
        return row;
    }
    row.dShiftCents = CircularMean(x);
    row.dStandardA = FoldStandardA(notes.dReferenceA * std::exp2(row.dShiftCents / 1200.0));
    double dSquares = 0;
    for (int n = 0; n < 12; ++n) {
        if (!notes.Measured(n)) {
            continue;
        }
        const double r = Wrap(notes.adCents[n] - adPattern[n] - row.dShiftCents);
        row.adResiduals[n] = r;
        dSquares += r * r;
        if (row.nLargestNote < 0 || std::fabs(r) > std::fabs(row.dLargest)) {
            row.dLargest = r;
            row.nLargestNote = n;
        }
        row.nPasses += MarkResidual(r) == ResidualMark::kInTune ? 1 : 0;
    }
    row.dRms = std::sqrt(dSquares / static_cast<double>(x.size()));
    return row;
}

CTemperamentFit::CTemperamentFit(const std::vector<SCatalogueEntry>& catalogue,
                                 FifthArithmetic arithmetic)
    : m_nEntries(catalogue.size()), m_arithmetic(arithmetic) {
    for (const SCatalogueEntry& entry : catalogue) {
        CTemperament t(entry.adOffsets);
        t.SetArithmetic(arithmetic);
        for (int r = 0; r < 12; ++r) {
            t.Rotate(r);
            const std::array<double, 12> pattern = TuningPattern(t);
            const STuningName name{entry.strName, r};
            auto same = std::find_if(
                m_candidates.begin(), m_candidates.end(),
                [&](const SCandidate& c) { return SamePattern(c.adPattern, pattern); });
            if (same == m_candidates.end()) {
                m_candidates.push_back(SCandidate{name, {}, pattern});
            } else if (same->name.strName != entry.strName) {
                // Equal temperament in twelve rotations is one tuning; another
                // temperament with the same notes is worth naming.
                same->sameTuning.push_back(name);
            }
        }
    }
}

SFitResult CTemperamentFit::Fit(const SSurveyNotes& notes) const {
    SFitResult result;
    result.nNotes = notes.Count();
    result.bEnough = result.nNotes >= kFewestNotes;
    if (!result.bEnough) {
        return result;
    }
    result.rows.reserve(m_candidates.size());
    for (const SCandidate& c : m_candidates) {
        SFitRow row = FitPattern(c.adPattern, notes);
        row.name = c.name;
        row.sameTuning = c.sameTuning;
        result.rows.push_back(std::move(row));
    }
    // Equal RMS keeps the catalogue's order.
    std::stable_sort(result.rows.begin(), result.rows.end(),
                     [](const SFitRow& a, const SFitRow& b) { return a.dRms < b.dRms; });
    const SFitRow& best = result.rows.front();
    for (std::size_t i = 1; i < result.rows.size(); ++i) {
        SFitRow& row = result.rows[i];
        double dSquares = 0;
        for (int n = 0; n < 12; ++n) {
            if (notes.Measured(n)) {
                const double d = Wrap(row.adResiduals[n] - best.adResiduals[n]);
                dSquares += d * d;
            }
        }
        row.dApartCents = std::sqrt(dSquares / result.nNotes);
        row.bClose = row.dApartCents < kCloseCents;
    }
    return result;
}

bool MeasureTemperament(const SSurveyNotes& notes, FifthArithmetic arithmetic,
                        SMeasuredTemperament& out) {
    // The notes in the order of the circle of fifths, C G D A ... F.
    std::vector<int> measured;
    for (int i = 0; i < 12; ++i) {
        if (notes.Measured((7 * i) % 12)) {
            measured.push_back(i);
        }
    }
    if (measured.size() < 2) {
        return false;
    }
    std::array<double, 12> fifths{};
    for (std::size_t j = 0; j < measured.size(); ++j) {
        const int from = measured[j];
        const int to = measured[(j + 1) % measured.size()];
        const int gap = (to - from + 12) % 12;
        // The fifths from one measured note up to the next span gap fifths of
        // equal temperament and the two notes' difference from it.
        const double span =
            700.0 * gap + notes.adCents[(7 * to) % 12] - notes.adCents[(7 * from) % 12];
        for (int k = 0; k < gap; ++k) {
            fifths[(from + k) % 12] = span / gap;
            out.abMeasured[(from + k) % 12] = gap == 1;
        }
    }
    out.arithmetic = arithmetic;
    double dSum = 0;
    for (int k = 0; k < 12; ++k) {
        const double offset =
            arithmetic == FifthArithmetic::Exact
                ? (fifths[k] - CTemperament::kExactPureFifth) / CTemperament::kExactUnit
                : fifths[k] - CTemperament::kPureFifth;
        // Adding 0 keeps a tiny negative from being stored as "-0".
        out.adOffsets[k] = std::round(offset * 1000.0) / 1000.0 + 0.0;
        if (k < 11) {
            dSum += out.adOffsets[k];
        }
    }
    // The closing fifth F-C takes what the rounding left, so that the circle
    // closes exactly as the editor adds it up (offset by offset, then the
    // comma): it then saves without asking about a comma of 1e-15 cents.
    double closing = -CTemperament::kComma - dSum;
    for (int i = 0; i < 8 && (dSum + closing) + CTemperament::kComma != 0.0; ++i) {
        closing = std::nextafter(
            closing, (dSum + closing) + CTemperament::kComma > 0.0 ? -INFINITY : INFINITY);
    }
    out.adOffsets[11] = closing + 0.0;
    CTemperament t(out.adOffsets);
    t.SetArithmetic(arithmetic);
    out.dStandardA = FitPattern(TuningPattern(t), notes).dStandardA;
    return true;
}
