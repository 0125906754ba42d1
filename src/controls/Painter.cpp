#include "controls/Painter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

double SegmentDistance(double px, double py, double x0, double y0, double x1, double y1) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? ((px - x0) * dx + (py - y0) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = x0 + t * dx - px, ey = y0 + t * dy - py;
    return std::sqrt(ex * ex + ey * ey);
}

// Angle of a point around a centre, degrees clockwise from the top, 0..360.
double ClockAngle(double dx, double dy) {
    double a = std::atan2(dx, -dy) * 180.0 / kPi;
    return a < 0.0 ? a + 360.0 : a;
}

}  // namespace

Rgba Mix(Rgba a, Rgba b, double t) {
    auto lerp = [t](std::uint8_t p, std::uint8_t q) {
        return static_cast<std::uint8_t>(std::lround(p + (q - p) * std::clamp(t, 0.0, 1.0)));
    };
    return Rgba{lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b), lerp(a.a, b.a)};
}

PointF CPainter::OnCircle(double cx, double cy, double r, double degrees) {
    const double rad = degrees * kPi / 180.0;
    return PointF{cx + r * std::sin(rad), cy - r * std::cos(rad)};
}

void CPainter::Disc(double cx, double cy, double r, Rgba colour) {
    Ellipse(cx, cy, r, r, colour);
}

void CPainter::Ellipse(double cx, double cy, double rx, double ry, Rgba colour) {
    if (rx <= 0.0 || ry <= 0.0) {
        return;
    }
    Shape(
        cx - rx, cy - ry, cx + rx, cy + ry,
        [=](double x, double y) {
            const double u = (x - cx) / rx, v = (y - cy) / ry;
            return u * u + v * v <= 1.0;
        },
        colour);
}

void CPainter::Ring(double cx, double cy, double rOuter, double rInner, Rgba colour) {
    Shape(
        cx - rOuter, cy - rOuter, cx + rOuter, cy + rOuter,
        [=](double x, double y) {
            const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            return d2 <= rOuter * rOuter && d2 >= rInner * rInner;
        },
        colour);
}

void CPainter::Arc(double cx, double cy, double r, double width, double a0, double a1,
                   Rgba colour) {
    const double rOut = r + width / 2.0, rIn = r - width / 2.0;
    while (a1 < a0) {
        a1 += 360.0;
    }
    Shape(
        cx - rOut, cy - rOut, cx + rOut, cy + rOut,
        [=](double x, double y) {
            const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            if (d2 > rOut * rOut || d2 < rIn * rIn) {
                return false;
            }
            double a = ClockAngle(x - cx, y - cy);
            if (a < a0) {
                a += 360.0;
            }
            return a <= a1;
        },
        colour);
}

void CPainter::Line(double x0, double y0, double x1, double y1, double width, Rgba colour) {
    const double h = width / 2.0;
    Shape(
        std::min(x0, x1) - h, std::min(y0, y1) - h, std::max(x0, x1) + h, std::max(y0, y1) + h,
        [=](double x, double y) { return SegmentDistance(x, y, x0, y0, x1, y1) <= h; }, colour);
}

void CPainter::Polygon(const std::vector<PointF>& points, Rgba colour) {
    if (points.size() < 3) {
        return;
    }
    double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
    for (const PointF& p : points) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    Shape(
        x0, y0, x1, y1,
        [&points](double x, double y) {
            // Even-odd rule by ray crossing.
            bool bIn = false;
            const size_t n = points.size();
            for (size_t i = 0, j = n - 1; i < n; j = i++) {
                const PointF& a = points[i];
                const PointF& b = points[j];
                if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) {
                    bIn = !bIn;
                }
            }
            return bIn;
        },
        colour);
}

void CPainter::RoundRect(double x0, double y0, double x1, double y1, double radius, Rgba colour) {
    Shape(
        x0, y0, x1, y1,
        [=](double x, double y) {
            if (x < x0 || x > x1 || y < y0 || y > y1) {
                return false;
            }
            const double cx = std::clamp(x, x0 + radius, x1 - radius);
            const double cy = std::clamp(y, y0 + radius, y1 - radius);
            return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
        },
        colour);
}

void CPainter::VerticalGradient(const Rect& rc, Rgba top, Rgba bottom) {
    const int h = std::max(rc.Height() - 1, 1);
    for (int y = rc.top; y < rc.bottom; ++y) {
        const Rgba c = Mix(top, bottom, static_cast<double>(y - rc.top) / h);
        for (int x = rc.left; x < rc.right; ++x) {
            m_image.BlendPixel(x, y, c);
        }
    }
}
