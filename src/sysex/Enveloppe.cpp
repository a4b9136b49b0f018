#include "Enveloppe.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace sysex {

namespace {
constexpr std::int64_t IntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t IntMax = std::numeric_limits<std::int32_t>::max();

std::int32_t Saturate(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp(v, IntMin, IntMax));
}

// v is a rounded product or quotient below 2^52 in size; residual has the sign of (exact value
// - v) and, for the product, is that difference itself. Whenever v is not exactly halfway
// between two whole numbers, the residual is smaller than v's distance to the midpoint and
// cannot change the answer; at the midpoint only its sign matters.
std::int64_t NearestWhole(double v, double residual)
{
    // Halves to even is symmetric: work on the non-negative side.
    if (v < 0 || (v == 0 && residual < 0))
        return -NearestWhole(-v, -residual);
    const double whole = std::floor(v);
    const double fromMidpoint = (v - whole) - 0.5; // exact in this range
    std::int64_t n = static_cast<std::int64_t>(whole);
    if (fromMidpoint > 0 || (fromMidpoint == 0 && residual > 0)
        || (fromMidpoint == 0 && residual == 0 && n % 2 != 0))
        ++n;
    return n;
}

int NearestOf(double v, double residual)
{
    if (std::isnan(v))
        return 0;
    if (std::fabs(v) >= 4503599627370496.0) // 2^52, far beyond int anyway
        return v > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
    return Saturate(NearestWhole(v, residual));
}

} // namespace

int NearestProduct(double a, double b)
{
    const double p = a * b;
    if (!std::isfinite(p))
        return NearestOf(p, 0);
    return NearestOf(p, std::fma(a, b, -p));
}

int NearestQuotient(double a, double b)
{
    const double q = a / b;
    if (!std::isfinite(q))
        return NearestOf(q, 0);
    // The remainder of a correctly rounded quotient is a double, so fma gives it exactly; the
    // exact quotient is q + remainder / b.
    const double remainder = std::fma(-q, b, a);
    return NearestOf(q, b < 0 ? -remainder : remainder);
}

TEnveloppe::TEnveloppe(int width, int height, int startOffset, bool releaseLevelEditable)
    : Width(width)
    , Height(height)
    , ReleaseLevelEditable(releaseLevelEditable ? 1 : 0)
{
    Levels = {0, 0, 0, 0};
    Times = {127, 127, 127, 127};
    Points[0] = {0, Saturate(std::int64_t(height) - startOffset)};
    for (int k = 1; k <= 5; ++k)
        Points[k] = {Saturate(std::int64_t(k) * (width / 5)), height};
    Points[6] = {Saturate(std::int64_t(width) + 10), height};
}

TEnveloppe::~TEnveloppe() = default;

namespace {

double TimeFactor(const TEnveloppe &e)
{
    return 127.0 / (e.Width / 5.0);
}

double LevelFactor(const TEnveloppe &e)
{
    return 127.0 / e.Height;
}

} // namespace

void TEnveloppe::SetValues(const std::array<int, 4> &levels, const std::array<int, 4> &times)
{
    for (int i = 0; i < 4; ++i) {
        Levels[i] = levels[i];
        Times[i] = times[i];
    }
    const double f = TimeFactor(*this);
    const double g = LevelFactor(*this);
    const auto yOf = [&](int level) {
        return NearestQuotient(static_cast<double>(std::int64_t(MaxLevel) - level), g);
    };
    std::int64_t x = 0;
    for (int k = 1; k <= 3; ++k) {
        x += NearestQuotient(Times[k - 1], f);
        Points[k] = {Saturate(x), yOf(Levels[k - 1])};
    }
    x += Width / 5;
    Points[4] = {Saturate(x), Points[3].y};
    x += NearestQuotient(Times[3], f);
    Points[5] = {Saturate(x), yOf(Levels[3])};
    Points[6] = {Saturate(x + 10), Points[5].y};
}

int TEnveloppe::HandleX(int k) const
{
    if (k >= 0 && k <= 3)
        return Points[k].x;
    if (k == 4)
        return Points[5].x;
    return 0;
}

TEnvRect TEnveloppe::HandleRect(int k) const
{
    if (k < 1 || k > 4)
        return {};
    const TEnvPoint p = Points[k == 4 ? 5 : k];
    return {Saturate(std::int64_t(p.x) - 2), Saturate(std::int64_t(p.y) - 2),
            Saturate(std::int64_t(p.x) + 2), Saturate(std::int64_t(p.y) + 2)};
}

int TEnveloppe::HitTest(int x, int y) const
{
    // From the top down: where squares overlap, the handle drawn last (the higher one) wins.
    for (int k = 4; k >= 1; --k) {
        const TEnvPoint p = Points[k == 4 ? 5 : k];
        if (std::int64_t(x) >= std::int64_t(p.x) - 2 && std::int64_t(x) <= std::int64_t(p.x) + 2
            && std::int64_t(y) >= std::int64_t(p.y) - 2 && std::int64_t(y) <= std::int64_t(p.y) + 2)
            return k;
    }
    return 0;
}

void TEnveloppe::MoveHandle(int x, int y)
{
    const int k = Selected;
    if (k < 1 || k > 4)
        return;
    const std::int64_t sustain = Width / 5;
    std::int64_t px = x;
    std::int64_t py = y;
    if (k == 4) {
        // The release starts one sustain width right of P3; its limits are P3's.
        px -= sustain;
        if (!ReleaseLevelEditable)
            py = Height;
    }
    const std::int64_t start = HandleX(k - 1);
    px = std::min(px, start + sustain);
    px = std::max(px, start);
    py = std::min(py, std::int64_t(Height));
    py = std::max<std::int64_t>(py, 0);

    int level = MaxLevel - NearestProduct(static_cast<double>(py), LevelFactor(*this));
    int time = NearestProduct(static_cast<double>(px - start), TimeFactor(*this));
    level = std::max(std::min(level, MaxLevel), MinLevel);
    time = std::min(std::max(time, 0), 127);
    Levels[k - 1] = level;
    Times[k - 1] = time;

    const int moved = k == 4 ? 5 : k;
    if (k == 4) {
        px += sustain;
        Points[6].y = Saturate(py);
    }
    const std::int64_t d = px - Points[moved].x;
    Points[moved].y = Saturate(py);
    if (k == 3)
        Points[4].y = Saturate(py);
    // Later points follow so that their segments keep their lengths.
    for (int i = moved; i <= 6; ++i)
        Points[i].x = Saturate(Points[i].x + d);
}

} // namespace sysex
