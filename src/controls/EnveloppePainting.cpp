#include "EnveloppePainting.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <algorithm>
#include <cstdint>
#include <utility>

namespace {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;
constexpr QRgb Red = 0xFFFF0000;

bool IsPixelImage(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return true;
    default:
        return false;
    }
}

// The part of [from, to) that can show on an image of this extent, widened by one pixel on
// each side so that an outline lying outside stays outside.
std::pair<int, int> ClipSpan(std::int64_t from, std::int64_t to, int extent)
{
    return {static_cast<int>(std::clamp<std::int64_t>(from, -1, extent + 1)),
            static_cast<int>(std::clamp<std::int64_t>(to, -1, extent + 1))};
}

// A box from x = left to right over the whole height, right and bottom edges exclusive: white
// inside, one black pixel of outline on each side.
void PaintBox(QPainter &painter, std::int64_t left, std::int64_t right, int width, int height)
{
    if (left > right)
        std::swap(left, right);
    const auto [l, r] = ClipSpan(left, right, width);
    if (l == r)
        return;
    painter.fillRect(QRect(l, 0, r - l, height), QColor::fromRgb(White));
    const QColor black = QColor::fromRgb(Black);
    painter.fillRect(QRect(l, 0, r - l, 1), black);
    painter.fillRect(QRect(l, height - 1, r - l, 1), black);
    painter.fillRect(QRect(l, 0, 1, height), black);
    painter.fillRect(QRect(r - 1, 0, 1, height), black);
}

// One pixel per step of the longer axis, both ends included; the shorter axis takes the
// nearest pixel to the exact line, halves towards the end point. Each pixel depends only on
// the segment, so clipping to the image leaves the visible pixels as they would be on a larger
// image, and a segment far outside costs nothing.
void PlotSegment(QImage &image, sysex::TEnvPoint a, sysex::TEnvPoint b, QRgb colour)
{
    const int width = image.width();
    const int height = image.height();
    const auto plot = [&](std::int64_t x, std::int64_t y) {
        if (x >= 0 && x < width && y >= 0 && y < height)
            reinterpret_cast<QRgb *>(image.scanLine(static_cast<int>(y)))[x] = colour;
    };
    const std::int64_t dx = std::int64_t(b.x) - a.x;
    const std::int64_t dy = std::int64_t(b.y) - a.y;
    const std::int64_t adx = dx < 0 ? -dx : dx;
    const std::int64_t ady = dy < 0 ? -dy : dy;
    if (adx == 0 && ady == 0) {
        plot(a.x, a.y);
        return;
    }
    const bool alongX = adx >= ady;
    const std::int64_t major = alongX ? adx : ady;
    const std::int64_t minor = alongX ? ady : adx;
    const std::int64_t majorStart = alongX ? a.x : a.y;
    const std::int64_t minorStart = alongX ? a.y : a.x;
    const int majorSign = (alongX ? dx : dy) < 0 ? -1 : 1;
    const int minorSign = (alongX ? dy : dx) < 0 ? -1 : 1;
    const std::int64_t majorEnd = majorStart + majorSign * major;
    const std::int64_t lo = std::max<std::int64_t>(std::min(majorStart, majorEnd), 0);
    const std::int64_t hi
        = std::min<std::int64_t>(std::max(majorStart, majorEnd), (alongX ? width : height) - 1);
    for (std::int64_t m = lo; m <= hi; ++m) {
        const std::int64_t step = (m - majorStart) * majorSign;
        // step and minor may each be near 2^32 for points far outside the image.
        const __int128 twice = __int128(2) * step * minor + major;
        const std::int64_t offset = static_cast<std::int64_t>(twice / (2 * __int128(major)));
        const std::int64_t n = minorStart + minorSign * offset;
        if (alongX)
            plot(m, n);
        else
            plot(n, m);
    }
}

} // namespace

void PaintEnveloppe(const sysex::TEnveloppe &envelope, QImage &image, bool limitLine)
{
    const int w = std::max(envelope.Width, 0);
    const int h = std::max(envelope.Height, 0);
    if (image.size() != QSize(w, h) || !IsPixelImage(image))
        image = QImage(w, h, QImage::Format_RGB32);
    if (image.isNull())
        return;
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.fillRect(QRect(0, 0, w, h), QColor::fromRgb(White));
        const std::array<std::int64_t, 7> edges {0,
                                                 envelope.Points[1].x,
                                                 envelope.Points[2].x,
                                                 envelope.Points[3].x,
                                                 envelope.Points[4].x,
                                                 envelope.Points[5].x,
                                                 envelope.Width};
        for (int i = 0; i < 6; ++i)
            PaintBox(painter, edges[i], edges[i + 1], w, h);
        // Only the pitch envelope starts above the bottom edge, at its zero.
        if (envelope.Points[0].y != envelope.Height)
            painter.fillRect(QRect(0, h / 2, w, 1), QColor::fromRgb(Black));
        if (limitLine && envelope.Selected >= 1 && envelope.Selected <= 4) {
            const std::int64_t x
                = std::int64_t(envelope.HandleX(envelope.Selected - 1)) + envelope.Width / 5;
            if (x >= 0 && x < w)
                painter.fillRect(QRect(static_cast<int>(x), 0, 1, h), QColor::fromRgb(Red));
        }
    }
    for (int i = 0; i < 6; ++i)
        PlotSegment(image, envelope.Points[i], envelope.Points[i + 1], Black);
    QPainter painter(&image);
    for (int k = 1; k <= 4; ++k) {
        const sysex::TEnvPoint p = envelope.Points[k == 4 ? 5 : k];
        const auto [left, right] = ClipSpan(std::int64_t(p.x) - 2, std::int64_t(p.x) + 2, w);
        const auto [top, bottom] = ClipSpan(std::int64_t(p.y) - 2, std::int64_t(p.y) + 2, h);
        if (left < right && top < bottom)
            painter.fillRect(QRect(left, top, right - left, bottom - top), QColor::fromRgb(Red));
    }
}

bool IsPureRed(const QImage &image, int x, int y)
{
    return image.valid(x, y) && image.pixel(x, y) == Red;
}
