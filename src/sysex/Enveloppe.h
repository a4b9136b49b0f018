#pragma once

// One envelope of a tone: its four times and levels, the seven points of its curve in the
// pixels of its 250 x 56 image, and the handle being dragged. Converts values and pixels, finds
// the handle under a pointer and moves a handle within its limits; the windows paint it.

#include <array>
#include <cstdint>

namespace sysex {

struct TEnvPoint
{
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct TEnvRect
{
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
};

class TEnveloppe
{
public:
    TEnveloppe(int width, int height, int startOffset, bool releaseLevelEditable);
    virtual ~TEnveloppe();

    void SetValues(const std::array<int, 4> &levels, const std::array<int, 4> &times);
    int HandleX(int k) const; // k = 0..3: x of P0..P3; 4: x of P5; others 0
    TEnvRect HandleRect(int k) const; // k = 1..4; others an empty rectangle at 0
    int HitTest(int x, int y) const; // 0..4
    void MoveHandle(int x, int y);

    std::array<std::int32_t, 4> Levels {};
    std::array<std::int32_t, 4> Times {};
    std::array<TEnvPoint, 7> Points {};
    std::int32_t Width;
    std::int32_t Height;
    std::int32_t MinLevel = 0;
    std::int32_t MaxLevel = 127;
    std::uint8_t ReleaseLevelEditable;
    std::int32_t Selected = 0;
};

// The nearest whole number to the exact a * b and a / b, halves to even. The exact value, not
// the double nearest to it, decides: 28 * (127.0 / 56) is just below 63.5 and gives 63 although
// the rounded double product is 63.5. Results beyond the int range saturate; NaN gives 0.
int NearestProduct(double a, double b);
int NearestQuotient(double a, double b);

} // namespace sysex
