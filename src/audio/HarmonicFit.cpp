#include "audio/HarmonicFit.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kCentsPerRatio = 1200.0 / 0.69314718055994530942;  // cents = this x ln ratio
// A partial measured less precisely than this takes no part.
constexpr double kUselessCents = 20.0;
// A partial this many standard errors from the model is dropped (at most a few).
constexpr double kOutlier = 5.0;
constexpr int kMaxDropped = 3;
constexpr int kMaxPartials = 64;
// Real strings stray from the model, the more the higher the partial: each
// partial above the first is taken as uncertain by at least this many cents
// times its distance from the first, so that the first partial, where it is
// heard, decides the result and the model only bridges the others to it.
constexpr double kModelCents = 0.1;
// A partial agrees with the model within this many cents, or standard errors.
constexpr double kAgreeCents = 3.0;
constexpr double kAgreeSigmas = 4.0;

struct SPoint {
    int k;
    double y;       // (f / k)^2
    double weight;  // 1 / variance of y
    double hz;
    double sigma;
};

// Weighted least squares of y = a + b k^2; with bFree false, b is held at 0.
void Solve(const SPoint* p, int n, bool bFree, double& a, double& b, double& va, double& vb,
           double& cab) {
    double s = 0, sx = 0, sxx = 0, sy = 0, sxy = 0;
    for (int i = 0; i < n; ++i) {
        const double x = static_cast<double>(p[i].k) * p[i].k;
        s += p[i].weight;
        sx += p[i].weight * x;
        sxx += p[i].weight * x * x;
        sy += p[i].weight * p[i].y;
        sxy += p[i].weight * x * p[i].y;
    }
    const double d = s * sxx - sx * sx;
    if (bFree && d > 1e-12 * s * sxx) {
        a = (sxx * sy - sx * sxy) / d;
        b = (s * sxy - sx * sy) / d;
        va = sxx / d;
        vb = s / d;
        cab = -sx / d;
    } else {
        a = sy / s;
        b = 0;
        va = 1 / s;
        vb = 0;
        cab = 0;
    }
}

}  // namespace

bool CHarmonicFit::Fit(const SPartial* pPartials, std::size_t n) {
    SPoint points[kMaxPartials];
    int nPoints = 0;
    for (std::size_t i = 0; i < n && nPoints < kMaxPartials; ++i) {
        const SPartial& q = pPartials[i];
        if (q.m_nNumber < 1 || !(q.m_dHz > 0) || !(q.m_dSigma > 0) ||
            q.m_dSigma / q.m_dHz * kCentsPerRatio > kUselessCents) {
            continue;
        }
        const double dPer = q.m_dHz / q.m_nNumber;
        const double dModel = kModelCents * (q.m_nNumber - 1) * q.m_dHz / kCentsPerRatio;
        const double dSigma = std::hypot(q.m_dSigma, dModel);
        const double dSigmaY = 2 * dPer * dSigma / q.m_nNumber;
        points[nPoints++] = {q.m_nNumber, dPer * dPer, 1 / (dSigmaY * dSigmaY), q.m_dHz, dSigma};
    }
    if (nPoints == 0) {
        return false;
    }
    double a = 0, b = 0, va = 0, vb = 0, cab = 0;
    for (int nDropped = 0;; ++nDropped) {
        // Two partials or more fix the inharmonicity; a negative one or one
        // stiffer than any keyboard string means the model is held harmonic.
        Solve(points, nPoints, nPoints >= 2, a, b, va, vb, cab);
        if (b < 0 || b > kMaxInharmonicity * a) {
            Solve(points, nPoints, false, a, b, va, vb, cab);
        }
        if (nPoints <= 2 || nDropped >= kMaxDropped) {
            break;
        }
        int nWorst = -1;
        double dWorst = kOutlier;
        for (int i = 0; i < nPoints; ++i) {
            const double x = static_cast<double>(points[i].k) * points[i].k;
            const double z = std::abs(points[i].y - a - b * x) * std::sqrt(points[i].weight);
            if (z > dWorst) {
                dWorst = z;
                nWorst = i;
            }
        }
        if (nWorst < 0) {
            break;
        }
        points[nWorst] = points[--nPoints];
    }
    if (!(a > 0)) {
        return false;
    }
    // The scatter about the model, in cents, and the spread it implies.
    double dChi = 0;
    double dCents = 0;
    double dWeights = 0;
    for (int i = 0; i < nPoints; ++i) {
        const double x = static_cast<double>(points[i].k) * points[i].k;
        const double dModel = points[i].k * std::sqrt(std::max(a + b * x, 1e-300));
        const double r = points[i].hz - dModel;
        dChi += (r / points[i].sigma) * (r / points[i].sigma);
        const double w = 1 / (points[i].sigma * points[i].sigma) * dModel * dModel;
        dCents += w * (r / dModel * kCentsPerRatio) * (r / dModel * kCentsPerRatio);
        dWeights += w;
    }
    const int nParameters = (b != 0) ? 2 : 1;
    const double dSpread =
        nPoints > nParameters ? std::max(1.0, dChi / (nPoints - nParameters)) : 1.0;
    const double dSum = a + b;
    const double dVariance = std::max(0.0, va + vb + 2 * cab) * dSpread;
    // How much of the power lies in partials that the model explains.
    double dPower = 0, dAgreeing = 0, dLow = 0, dHighest = 0, dFirst = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const SPartial& q = pPartials[i];
        if (q.m_nNumber < 1 || !(q.m_dPower > 0)) {
            continue;
        }
        const double x = static_cast<double>(q.m_nNumber) * q.m_nNumber;
        const double dModel = q.m_nNumber * std::sqrt(std::max(a + b * x, 1e-300));
        const double dOff = std::abs(q.m_dHz / dModel - 1) * kCentsPerRatio;
        const double dSigmaCents = q.m_dSigma / dModel * kCentsPerRatio;
        dPower += q.m_dPower;
        dHighest = std::max(dHighest, q.m_dPower);
        if (dOff <= std::max(kAgreeCents, kAgreeSigmas * dSigmaCents)) {
            dAgreeing += q.m_dPower;
        }
        if (q.m_nNumber <= 2) {
            dLow += q.m_dPower;
        }
        if (q.m_nNumber == 1) {
            dFirst = q.m_dPower;
        }
    }
    m_dAgreement = dPower > 0 ? dAgreeing / dPower : 0.0;
    m_dLowShare = dHighest > 0 ? dLow / dHighest : 0.0;
    m_dFirstShare = dHighest > 0 ? dFirst / dHighest : 0.0;
    m_dFirstPartial = std::sqrt(dSum);
    m_dSigma = std::sqrt(dVariance) / (2 * m_dFirstPartial);
    m_dInharmonicity = b / a;
    m_dScatterCents = dWeights > 0 ? std::sqrt(dCents / dWeights) : 0.0;
    m_nUsed = nPoints;
    return true;
}
