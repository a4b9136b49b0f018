#include "controls/EnveloppePainting.h"

#include <QImage>
#include <QSet>
#include <QtTest>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;
constexpr QRgb Red = 0xFFFF0000;

enum Kind { Amp, Pitch, Filter };

sysex::TEnveloppe Make(Kind kind, int w = 250, int h = 56)
{
    return sysex::TEnveloppe(w, h, kind == Pitch ? h / 2 : 0, kind != Amp);
}

double TimeFactor(int w)
{
    return 127.0 / (w / 5.0);
}

double LevelFactor(int h)
{
    return 127.0 / h;
}

// The exact rounding, halves to even, of num / den (den > 0), in integers.
std::int64_t RoundRatio(__int128 num, __int128 den)
{
    __int128 q = num / den;
    __int128 r = num % den;
    if (r < 0) {
        --q;
        r += den;
    }
    if (2 * r > den || (2 * r == den && q % 2 != 0))
        ++q;
    return static_cast<std::int64_t>(q);
}

// b = mantissa * 2^exponent with a whole mantissa.
void Split(double b, std::int64_t &mantissa, int &exponent)
{
    int e = 0;
    const double fraction = std::frexp(b, &e);
    mantissa = static_cast<std::int64_t>(std::ldexp(fraction, 53));
    exponent = e - 53;
}

std::int64_t ExactProduct(int a, double b)
{
    std::int64_t m = 0;
    int e = 0;
    Split(b, m, e);
    Q_ASSERT(e < 0);
    return RoundRatio(__int128(a) * m, __int128(1) << -e);
}

std::int64_t ExactQuotient(int a, double b)
{
    std::int64_t m = 0;
    int e = 0;
    Split(b, m, e);
    Q_ASSERT(e < 0);
    return RoundRatio(__int128(a) << -e, m);
}

QImage Painted(const sysex::TEnveloppe &env, bool limitLine)
{
    QImage image;
    PaintEnveloppe(env, image, limitLine);
    return image;
}

// Whether (x, y) lies in the red square of any handle: x - 2 .. x + 1, y - 2 .. y + 1.
bool InHandleSquare(const sysex::TEnveloppe &env, int x, int y)
{
    for (int k = 1; k <= 4; ++k) {
        const sysex::TEnvPoint p = env.Points[k == 4 ? 5 : k];
        if (x >= p.x - 2 && x <= p.x + 1 && y >= p.y - 2 && y <= p.y + 1)
            return true;
    }
    return false;
}

// The picture of an envelope whose curve runs entirely along the bottom edge (outside the
// image): nothing but the boxes, the handles and the limit column.
QImage ExpectedFlatPicture(const sysex::TEnveloppe &env, int limitX)
{
    const int w = env.Width;
    const int h = env.Height;
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(White);
    const int edges[7] = {
        0, env.Points[1].x, env.Points[2].x, env.Points[3].x, env.Points[4].x, env.Points[5].x, w};
    for (int i = 0; i < 6; ++i) {
        const int left = edges[i];
        const int right = edges[i + 1];
        if (left == right)
            continue;
        for (int x = left; x < right; ++x)
            for (int y = 0; y < h; ++y) {
                const bool outline = x == left || x == right - 1 || y == 0 || y == h - 1;
                image.setPixel(x, y, outline ? Black : White);
            }
    }
    if (limitX >= 0)
        for (int y = 0; y < h; ++y)
            image.setPixel(limitX, y, Red);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (InHandleSquare(env, x, y))
                image.setPixel(x, y, Red);
    return image;
}

QString FirstDifference(const QImage &actual, const QImage &expected)
{
    if (actual.size() != expected.size())
        return QStringLiteral("size %1x%2").arg(actual.width()).arg(actual.height());
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y))
                return QStringLiteral("(%1, %2): %3 instead of %4")
                    .arg(x)
                    .arg(y)
                    .arg(actual.pixel(x, y), 8, 16)
                    .arg(expected.pixel(x, y), 8, 16);
    return {};
}

bool OnlyThreeColours(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (c != White && c != Black && c != Red)
                return false;
        }
    return true;
}

} // namespace

class TestEnveloppe : public QObject
{
    Q_OBJECT

private slots:
    void nearestProduct_data();
    void nearestProduct();
    void nearestQuotient_data();
    void nearestQuotient();
    void roundingMatchesExactArithmetic();
    void roundingOutOfRange();

    void construction_data();
    void construction();
    void setValuesPlacesPoints_data();
    void setValuesPlacesPoints();
    void setValuesTakesValuesAsTheyCome();
    void handleXAndRect();

    void hitTest_data();
    void hitTest();
    void hitTestOverlapHigherWins();

    void moveHandle_data();
    void moveHandle();
    void moveHandleOneDragsLaterPoints();
    void moveHandleThreeCarriesSustain();
    void moveHandleFourRelease_data();
    void moveHandleFourRelease();
    void moveHandleIdleOrInvalid();
    void moveHandleExtremePointers();
    void dragGoesOnAfterSetValues();

    void paintFlatPicture_data();
    void paintFlatPicture();
    void paintZeroLine();
    void paintCurve();
    void paintClipsAtEdges();
    void paintReplacesPicture();
    void paintSurvivesWildValues();
    void isPureRed();
};

void TestEnveloppe::nearestProduct_data()
{
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<int>("expected");

    QTest::newRow("half down to even") << 5.0 << 0.5 << 2;
    QTest::newRow("half up to even") << 7.0 << 0.5 << 4;
    QTest::newRow("one half") << 1.0 << 0.5 << 0;
    QTest::newRow("three halves") << 3.0 << 0.5 << 2;
    QTest::newRow("negative half") << -5.0 << 0.5 << -2;
    QTest::newRow("negative half odd") << -7.0 << 0.5 << -4;
    QTest::newRow("zero") << 0.0 << LevelFactor(56) << 0;
    // The double product is 63.5; the exact one lies just below.
    QTest::newRow("y 28 of 56") << 28.0 << LevelFactor(56) << 63;
    // The double product is 190.5; the exact one lies just above.
    QTest::newRow("y 9 of 6") << 9.0 << LevelFactor(6) << 191;
    QTest::newRow("25 pixels") << 25.0 << TimeFactor(250) << 64;
    QTest::newRow("full width") << 50.0 << TimeFactor(250) << 127;
    QTest::newRow("full height") << 56.0 << LevelFactor(56) << 127;
    QTest::newRow("one pixel") << 1.0 << TimeFactor(250) << 3;
}

void TestEnveloppe::nearestProduct()
{
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(int, expected);
    QCOMPARE(sysex::NearestProduct(a, b), expected);
}

void TestEnveloppe::nearestQuotient_data()
{
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<int>("expected");

    QTest::newRow("half down to even") << 5.0 << 2.0 << 2;
    QTest::newRow("half up to even") << 7.0 << 2.0 << 4;
    QTest::newRow("negative half") << -5.0 << 2.0 << -2;
    QTest::newRow("negative divisor") << 7.0 << -2.0 << -4;
    // Each double quotient is exactly n + 0.5, the exact one is not: the residual decides.
    QTest::newRow("3.5 from below") << 5.0 << 5.0 / 3.5 << 3;
    QTest::newRow("1.5 from below") << 5.0 << 5.0 / 1.5 << 1;
    QTest::newRow("2.5 from above") << 3.0 << 3.0 / 2.5 << 3;
    QTest::newRow("-2.5 from above") << -3.0 << 3.0 / 2.5 << -3;
    QTest::newRow("time 127") << 127.0 << TimeFactor(250) << 50;
    QTest::newRow("time 64") << 64.0 << TimeFactor(250) << 25;
    QTest::newRow("level 127 of 56") << 127.0 << LevelFactor(56) << 56;
    QTest::newRow("level 63 of 56") << 63.0 << LevelFactor(56) << 28;
    QTest::newRow("level -73 of 56") << -73.0 << LevelFactor(56) << -32;
}

void TestEnveloppe::nearestQuotient()
{
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(int, expected);
    QCOMPARE(sysex::NearestQuotient(a, b), expected);
}

void TestEnveloppe::roundingMatchesExactArithmetic()
{
    // Every factor the model could use for images up to 400 pixels, against whole-number
    // arithmetic on the factor's exact binary value.
    int checked = 0;
    for (int size = 1; size <= 400; ++size) {
        const double factors[2] = {TimeFactor(size), LevelFactor(size)};
        for (const double factor : factors)
            for (int a = -300; a <= 300; ++a) {
                const int product = sysex::NearestProduct(a, factor);
                const int quotient = sysex::NearestQuotient(a, factor);
                if (product != ExactProduct(a, factor) || quotient != ExactQuotient(a, factor))
                    QFAIL(qPrintable(QStringLiteral("a %1, factor %2: %3 / %4")
                                         .arg(a)
                                         .arg(factor, 0, 'g', 17)
                                         .arg(product)
                                         .arg(quotient)));
                ++checked;
            }
    }
    QVERIFY(checked > 400000);
}

void TestEnveloppe::roundingOutOfRange()
{
    const double inf = std::numeric_limits<double>::infinity();
    QCOMPARE(sysex::NearestProduct(1e300, 1e300), std::numeric_limits<int>::max());
    QCOMPARE(sysex::NearestProduct(-1e300, 1e300), std::numeric_limits<int>::min());
    QCOMPARE(sysex::NearestProduct(3e9, 1.0), std::numeric_limits<int>::max());
    QCOMPARE(sysex::NearestQuotient(1.0, 0.0), std::numeric_limits<int>::max());
    QCOMPARE(sysex::NearestQuotient(-1.0, 0.0), std::numeric_limits<int>::min());
    QCOMPARE(sysex::NearestQuotient(0.0, 0.0), 0);
    QCOMPARE(sysex::NearestProduct(inf, 0.0), 0);
    QCOMPARE(sysex::NearestProduct(-2147483648.0, 1.0), std::numeric_limits<int>::min());
    QCOMPARE(sysex::NearestProduct(2147483647.0, 1.0), std::numeric_limits<int>::max());
}

void TestEnveloppe::construction_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("startY");
    QTest::addColumn<int>("editable");
    QTest::newRow("amplitude") << int(Amp) << 56 << 0;
    QTest::newRow("pitch") << int(Pitch) << 28 << 1;
    QTest::newRow("filter") << int(Filter) << 56 << 1;
}

void TestEnveloppe::construction()
{
    QFETCH(int, kind);
    QFETCH(int, startY);
    QFETCH(int, editable);
    const sysex::TEnveloppe env = Make(Kind(kind));
    QCOMPARE(env.Selected, 0);
    QCOMPARE(env.Width, 250);
    QCOMPARE(env.Height, 56);
    QCOMPARE(env.MinLevel, 0);
    QCOMPARE(env.MaxLevel, 127);
    QCOMPARE(int(env.ReleaseLevelEditable), editable);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(env.Levels[i], 0);
        QCOMPARE(env.Times[i], 127);
    }
    QCOMPARE(env.Points[0].x, 0);
    QCOMPARE(env.Points[0].y, startY);
    for (int k = 1; k <= 5; ++k) {
        QCOMPARE(env.Points[k].x, 50 * k);
        QCOMPARE(env.Points[k].y, 56);
    }
    QCOMPARE(env.Points[6].x, 260);
    QCOMPARE(env.Points[6].y, 56);
}

void TestEnveloppe::setValuesPlacesPoints_data()
{
    QTest::addColumn<QList<int>>("levels");
    QTest::addColumn<QList<int>>("times");
    QTest::addColumn<QList<int>>("xs"); // P1..P6
    QTest::addColumn<QList<int>>("ys"); // P1..P6

    QTest::newRow("all 127") << QList<int> {127, 127, 127, 127} << QList<int> {127, 127, 127, 127}
                             << QList<int> {50, 100, 150, 200, 250, 260}
                             << QList<int> {0, 0, 0, 0, 0, 0};
    QTest::newRow("all 0") << QList<int> {0, 0, 0, 0} << QList<int> {0, 0, 0, 0}
                           << QList<int> {0, 0, 0, 50, 50, 60}
                           << QList<int> {56, 56, 56, 56, 56, 56};
    // 64 / 2.54 = 25.2; (127 - 64) / (127 / 56) = 27.8; 1 / 2.54 = 0.39; 2 / 2.54 = 0.79
    QTest::newRow("mixed") << QList<int> {64, 1, 126, 100} << QList<int> {64, 1, 2, 127}
                           << QList<int> {25, 25, 26, 76, 126, 136}
                           << QList<int> {28, 56, 0, 0, 12, 12};
}

void TestEnveloppe::setValuesPlacesPoints()
{
    QFETCH(QList<int>, levels);
    QFETCH(QList<int>, times);
    QFETCH(QList<int>, xs);
    QFETCH(QList<int>, ys);
    for (const Kind kind : {Amp, Pitch, Filter}) {
        sysex::TEnveloppe env = Make(kind);
        const sysex::TEnvPoint start = env.Points[0];
        env.SetValues({levels[0], levels[1], levels[2], levels[3]},
                      {times[0], times[1], times[2], times[3]});
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(env.Levels[i], levels[i]);
            QCOMPARE(env.Times[i], times[i]);
        }
        QCOMPARE(env.Points[0].x, start.x);
        QCOMPARE(env.Points[0].y, start.y);
        for (int k = 1; k <= 6; ++k) {
            QCOMPARE(env.Points[k].x, xs[k - 1]);
            QCOMPARE(env.Points[k].y, ys[k - 1]);
        }
    }
}

void TestEnveloppe::setValuesTakesValuesAsTheyCome()
{
    sysex::TEnveloppe env = Make(Filter);
    env.SetValues({200, -10, 127, 0}, {300, 0, 0, 0});
    QCOMPARE(env.Levels[0], 200);
    QCOMPARE(env.Levels[1], -10);
    QCOMPARE(env.Times[0], 300);
    QCOMPARE(env.Points[1].x, 118); // 300 / 2.54 = 118.1
    QCOMPARE(env.Points[1].y, -32); // (127 - 200) / (127 / 56) = -32.2
    QCOMPARE(env.Points[2].y, 60); // (127 + 10) / (127 / 56) = 60.4
    QCOMPARE(env.Points[4].x, 168);
}

void TestEnveloppe::handleXAndRect()
{
    sysex::TEnveloppe env = Make(Pitch);
    env.SetValues({127, 64, 0, 100}, {25, 50, 75, 100});
    // x: 25/2.54 = 9.8, 50/2.54 = 19.7, 75/2.54 = 29.5, 100/2.54 = 39.4
    QCOMPARE(env.HandleX(0), 0);
    QCOMPARE(env.HandleX(1), 10);
    QCOMPARE(env.HandleX(2), 30);
    QCOMPARE(env.HandleX(3), 60);
    QCOMPARE(env.HandleX(4), 149);
    const sysex::TEnvRect r2 = env.HandleRect(2);
    QCOMPARE(r2.Left, 28);
    QCOMPARE(r2.Top, 26);
    QCOMPARE(r2.Right, 32);
    QCOMPARE(r2.Bottom, 30);
    const sysex::TEnvRect r4 = env.HandleRect(4);
    QCOMPARE(r4.Left, 147);
    QCOMPARE(r4.Top, 10);
    QCOMPARE(r4.Right, 151);
    QCOMPARE(r4.Bottom, 14);
}

void TestEnveloppe::hitTest_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("expected");
    // Pitch envelope, handles at (10, 0), (30, 28), (60, 56) and (149, 12).
    QTest::newRow("handle 1 centre") << 10 << 0 << 1;
    QTest::newRow("handle 1 left edge") << 8 << 0 << 1;
    QTest::newRow("handle 1 right edge") << 12 << 2 << 1;
    QTest::newRow("handle 1 above image") << 10 << -2 << 1;
    QTest::newRow("right of handle 1") << 13 << 0 << 0;
    QTest::newRow("below handle 1") << 10 << 3 << 0;
    QTest::newRow("handle 2 corner") << 28 << 26 << 2;
    QTest::newRow("handle 2 far corner") << 32 << 30 << 2;
    QTest::newRow("outside handle 2 corner") << 33 << 31 << 0;
    QTest::newRow("handle 3 below image") << 62 << 58 << 3;
    QTest::newRow("handle 3 too far below") << 60 << 59 << 0;
    QTest::newRow("handle 4") << 147 << 14 << 4;
    QTest::newRow("P4, no handle") << 110 << 56 << 0;
}

void TestEnveloppe::hitTest()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, expected);
    sysex::TEnveloppe env = Make(Pitch);
    env.SetValues({127, 64, 0, 100}, {25, 50, 75, 100});
    QCOMPARE(env.HitTest(x, y), expected);
}

void TestEnveloppe::hitTestOverlapHigherWins()
{
    sysex::TEnveloppe env = Make(Filter);
    env.SetValues({127, 127, 127, 127}, {127, 3, 127, 127}); // P1 (50, 0), P2 (51, 0)
    QCOMPARE(env.HitTest(48, 0), 1);
    QCOMPARE(env.HitTest(50, 2), 2);
    QCOMPARE(env.HitTest(52, -2), 2);
    QCOMPARE(env.HitTest(53, 0), 2);

    // On a 10-pixel image one sustain is 2 pixels: all four squares overlap.
    sysex::TEnveloppe tiny(10, 56, 0, true);
    tiny.SetValues({64, 64, 64, 64}, {0, 0, 0, 0});
    QCOMPARE(tiny.Points[3].x, 0);
    QCOMPARE(tiny.Points[5].x, 2);
    QCOMPARE(tiny.HitTest(-2, 28), 3);
    QCOMPARE(tiny.HitTest(0, 28), 4);
    QCOMPARE(tiny.HitTest(4, 30), 4);
    QCOMPARE(tiny.HitTest(5, 28), 0);
}

void TestEnveloppe::moveHandle_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("handle");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("time");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("px"); // the moved point
    QTest::addColumn<int>("py");
    // Start from SetValues({0, 0, 0, 0}, {127, 127, 127, 127}): P1..P5 at 50, 100, ... 250.
    QTest::newRow("1 to (100, 0)") << int(Amp) << 1 << 100 << 0 << 127 << 127 << 50 << 0;
    QTest::newRow("1 left of start") << int(Amp) << 1 << -20 << 10 << 0 << 104 << 0 << 10;
    QTest::newRow("1 below image") << int(Filter) << 1 << 20 << 90 << 51 << 0 << 20 << 56;
    QTest::newRow("1 above image") << int(Filter) << 1 << 20 << -90 << 51 << 127 << 20 << 0;
    QTest::newRow("2 y 28") << int(Pitch) << 2 << 75 << 28 << 64 << 64 << 75 << 28;
    QTest::newRow("2 right limit") << int(Pitch) << 2 << 151 << 1 << 127 << 125 << 100 << 1;
    QTest::newRow("3 middle") << int(Filter) << 3 << 110 << 55 << 25 << 2 << 110 << 55;
    QTest::newRow("3 left of start") << int(Filter) << 3 << 0 << 56 << 0 << 0 << 100 << 56;
}

void TestEnveloppe::moveHandle()
{
    QFETCH(int, kind);
    QFETCH(int, handle);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, time);
    QFETCH(int, level);
    QFETCH(int, px);
    QFETCH(int, py);
    sysex::TEnveloppe env = Make(Kind(kind));
    env.SetValues({0, 0, 0, 0}, {127, 127, 127, 127});
    env.Selected = handle;
    env.MoveHandle(x, y);
    QCOMPARE(env.Times[handle - 1], time);
    QCOMPARE(env.Levels[handle - 1], level);
    QCOMPARE(env.Points[handle].x, px);
    QCOMPARE(env.Points[handle].y, py);
    for (int i = 0; i < 4; ++i) {
        if (i == handle - 1)
            continue;
        QCOMPARE(env.Times[i], 127);
        QCOMPARE(env.Levels[i], 0);
    }
}

void TestEnveloppe::moveHandleOneDragsLaterPoints()
{
    sysex::TEnveloppe env = Make(Amp);
    env.SetValues({100, 50, 20, 0}, {64, 30, 90, 40}); // P1.x 25
    const auto before = env.Points;
    env.Selected = 1;
    env.MoveHandle(100, 0);
    QCOMPARE(env.Times[0], 127);
    QCOMPARE(env.Levels[0], 127);
    QCOMPARE(env.Points[1].x, 50);
    QCOMPARE(env.Points[1].y, 0);
    const int d = 50 - before[1].x;
    QCOMPARE(d, 25);
    for (int k = 2; k <= 6; ++k) {
        QCOMPARE(env.Points[k].x, before[k].x + d);
        QCOMPARE(env.Points[k].y, before[k].y);
    }
    QCOMPARE(env.Points[0].x, before[0].x);
    QCOMPARE(env.Points[0].y, before[0].y);
    QCOMPARE(env.Selected, 1);

    // Back to the left: the later points come back along.
    env.MoveHandle(25, 0);
    QCOMPARE(env.Times[0], 64);
    for (int k = 2; k <= 6; ++k)
        QCOMPARE(env.Points[k].x, before[k].x);
}

void TestEnveloppe::moveHandleThreeCarriesSustain()
{
    sysex::TEnveloppe env = Make(Pitch);
    env.SetValues({64, 64, 64, 64}, {127, 127, 0, 127}); // P3 (100, 28)
    const auto before = env.Points;
    env.Selected = 3;
    env.MoveHandle(125, 10);
    QCOMPARE(env.Times[2], 64);
    QCOMPARE(env.Levels[2], 127 - sysex::NearestProduct(10, LevelFactor(56)));
    QCOMPARE(env.Points[3].x, 125);
    QCOMPARE(env.Points[3].y, 10);
    QCOMPARE(env.Points[4].x, 175); // still one sustain width long
    QCOMPARE(env.Points[4].y, 10); // and level with P3
    QCOMPARE(env.Points[5].x, before[5].x + 25);
    QCOMPARE(env.Points[5].y, before[5].y);
    QCOMPARE(env.Points[6].x, before[6].x + 25);
    QCOMPARE(env.Points[2].x, before[2].x);
    QCOMPARE(env.Points[2].y, before[2].y);
}

void TestEnveloppe::moveHandleFourRelease_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("time");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("p5x");
    QTest::addColumn<int>("p5y");
    // P3 at 150, P4 at 200: the release runs from 200 to at most 250.
    QTest::newRow("amplitude up") << int(Amp) << 225 << 0 << 64 << 0 << 225 << 56;
    QTest::newRow("pitch up") << int(Pitch) << 225 << 0 << 64 << 127 << 225 << 0;
    QTest::newRow("filter y 28") << int(Filter) << 225 << 28 << 64 << 64 << 225 << 28;
    QTest::newRow("filter left of P4") << int(Filter) << 160 << 40 << 0 << 36 << 200 << 40;
    QTest::newRow("filter far right") << int(Filter) << 900 << -5 << 127 << 127 << 250 << 0;
    QTest::newRow("amplitude far right") << int(Amp) << 900 << -5 << 127 << 0 << 250 << 56;
}

void TestEnveloppe::moveHandleFourRelease()
{
    QFETCH(int, kind);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, time);
    QFETCH(int, level);
    QFETCH(int, p5x);
    QFETCH(int, p5y);
    sysex::TEnveloppe env = Make(Kind(kind));
    env.SetValues({90, 90, 90, 0}, {127, 127, 127, 127});
    const auto before = env.Points;
    env.Selected = 4;
    env.MoveHandle(x, y);
    QCOMPARE(env.Times[3], time);
    QCOMPARE(env.Levels[3], level);
    QCOMPARE(env.Points[5].x, p5x);
    QCOMPARE(env.Points[5].y, p5y);
    QCOMPARE(env.Points[6].x, p5x + 10);
    QCOMPARE(env.Points[6].y, p5y);
    for (int k = 0; k <= 4; ++k) {
        QCOMPARE(env.Points[k].x, before[k].x);
        QCOMPARE(env.Points[k].y, before[k].y);
    }
    QCOMPARE(env.HandleX(4), p5x);
}

void TestEnveloppe::moveHandleIdleOrInvalid()
{
    for (const int selected : {0, -1, 5}) {
        sysex::TEnveloppe env = Make(Filter);
        env.SetValues({10, 20, 30, 40}, {50, 60, 70, 80});
        const auto points = env.Points;
        env.Selected = selected;
        env.MoveHandle(0, 0);
        env.MoveHandle(1000, 1000);
        QCOMPARE(env.Levels, (std::array<std::int32_t, 4> {10, 20, 30, 40}));
        QCOMPARE(env.Times, (std::array<std::int32_t, 4> {50, 60, 70, 80}));
        for (int k = 0; k <= 6; ++k) {
            QCOMPARE(env.Points[k].x, points[k].x);
            QCOMPARE(env.Points[k].y, points[k].y);
        }
    }
}

void TestEnveloppe::moveHandleExtremePointers()
{
    const int lo = std::numeric_limits<int>::min();
    const int hi = std::numeric_limits<int>::max();
    for (const Kind kind : {Amp, Pitch, Filter})
        for (int handle = 1; handle <= 4; ++handle) {
            sysex::TEnveloppe env = Make(kind);
            env.SetValues({64, 64, 64, 64}, {64, 64, 64, 64});
            env.Selected = handle;
            for (const int x : {lo, hi})
                for (const int y : {lo, hi}) {
                    env.MoveHandle(x, y);
                    QVERIFY(env.Times[handle - 1] == 0 || env.Times[handle - 1] == 127);
                    QVERIFY(env.Levels[handle - 1] >= 0 && env.Levels[handle - 1] <= 127);
                    const sysex::TEnvPoint p = env.Points[handle == 4 ? 5 : handle];
                    QVERIFY(p.y == 0 || p.y == 56);
                    QVERIFY(p.x >= 0 && p.x <= 250);
                }
        }
}

void TestEnveloppe::dragGoesOnAfterSetValues()
{
    sysex::TEnveloppe env = Make(Filter);
    env.Selected = 2;
    env.MoveHandle(120, 0);
    QCOMPARE(env.Points[2].x, 100);
    env.SetValues({0, 0, 0, 0}, {0, 0, 0, 0}); // a dump arrives mid-drag
    QCOMPARE(env.Selected, 2);
    env.MoveHandle(120, 0);
    // From P1 now at 0 the handle reaches at most 50.
    QCOMPARE(env.Points[2].x, 50);
    QCOMPARE(env.Times[1], 127);
    QCOMPARE(env.Points[4].x, 100);
}

void TestEnveloppe::paintFlatPicture_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("limitLine");
    QTest::addColumn<bool>("allTimesZero");
    QTest::addColumn<int>("limitX");
    QTest::newRow("amplitude") << int(Amp) << 0 << false << false << -1;
    QTest::newRow("limit wanted but idle") << int(Amp) << 0 << true << false << -1;
    QTest::newRow("dragging, no limit") << int(Amp) << 2 << false << false << -1;
    QTest::newRow("limit of handle 1") << int(Amp) << 1 << true << false << 50;
    QTest::newRow("limit of handle 2") << int(Amp) << 2 << true << false << 100;
    QTest::newRow("limit of handle 3") << int(Amp) << 3 << true << false << 150;
    QTest::newRow("limit of handle 4 on P4") << int(Filter) << 4 << true << false << 200;
    QTest::newRow("empty boxes") << int(Filter) << 0 << false << true << -1;
    QTest::newRow("empty boxes, limit 3") << int(Filter) << 3 << true << true << 50;
}

void TestEnveloppe::paintFlatPicture()
{
    QFETCH(int, kind);
    QFETCH(int, selected);
    QFETCH(bool, limitLine);
    QFETCH(bool, allTimesZero);
    QFETCH(int, limitX);
    sysex::TEnveloppe env = Make(Kind(kind));
    if (allTimesZero)
        env.SetValues({0, 0, 0, 0}, {0, 0, 0, 0});
    env.Selected = selected;
    const QImage image = Painted(env, limitLine);
    QCOMPARE(image.size(), QSize(250, 56));
    QVERIFY(image.format() == QImage::Format_RGB32);
    const QImage expected = ExpectedFlatPicture(env, limitX);
    const QString difference = FirstDifference(image, expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    // Spot checks of the rule the expected picture follows.
    QCOMPARE(image.pixel(0, 10), Black);
    QCOMPARE(image.pixel(249, 10), Black);
    QCOMPARE(image.pixel(120, 0), Black);
    QCOMPARE(image.pixel(120, 55), Black);
    QCOMPARE(image.pixel(120, 30), limitX == 120 ? Red : White);
    // Handle 1 (or 4 when all times are 0) sits at (50, 56): its square is x 48..51, y 54..55.
    QCOMPARE(image.pixel(48, 54), Red);
    QCOMPARE(image.pixel(51, 55), Red);
    QCOMPARE(image.pixel(52, 54), White);
    QCOMPARE(image.pixel(51, 53), White);
}

void TestEnveloppe::paintZeroLine()
{
    const QImage pitch = Painted(Make(Pitch), false);
    const QImage amp = Painted(Make(Amp), false);
    const QImage filter = Painted(Make(Filter), false);
    for (int x = 0; x < 250; ++x)
        QCOMPARE(pitch.pixel(x, 28), Black);
    QCOMPARE(pitch.pixel(120, 27), White);
    QCOMPARE(pitch.pixel(120, 29), White);
    QCOMPARE(amp.pixel(120, 28), White);
    QCOMPARE(filter.pixel(120, 28), White);
    // The pitch curve starts at mid-height and falls to the bottom edge at P1 (50, 56).
    QCOMPARE(pitch.pixel(0, 28), Black);
    QCOMPARE(pitch.pixel(25, 42), Black);
    QCOMPARE(pitch.pixel(46, 54), Black);
}

void TestEnveloppe::paintCurve()
{
    sysex::TEnveloppe env = Make(Pitch);
    env.SetValues({127, 10, 100, 64}, {64, 30, 110, 90});
    const QImage image = Painted(env, false);
    QVERIFY(OnlyThreeColours(image));
    // Every point of the curve that lies in the image is drawn (handles cover four of them).
    for (int k = 0; k <= 6; ++k) {
        const sysex::TEnvPoint p = env.Points[k];
        if (p.x < 250 && p.y < 56)
            QVERIFY2(image.pixel(p.x, p.y) != White, qPrintable(QString::number(k)));
    }
    QCOMPARE(image.pixel(env.Points[4].x, env.Points[4].y), Black); // P4 has no handle
    // Each segment leaves one pixel per step of its longer axis within half a pixel of the line,
    // black unless a handle covers it.
    for (int i = 0; i < 6; ++i) {
        const sysex::TEnvPoint a = env.Points[i];
        const sysex::TEnvPoint b = env.Points[i + 1];
        const bool alongX = std::abs(b.x - a.x) >= std::abs(b.y - a.y);
        const int from = alongX ? std::min(a.x, b.x) : std::min(a.y, b.y);
        const int to = alongX ? std::max(a.x, b.x) : std::max(a.y, b.y);
        for (int m = from; m <= to; ++m) {
            const double t = alongX ? double(m - a.x) / (b.x - a.x) : double(m - a.y) / (b.y - a.y);
            const double exact = alongX ? a.y + t * (b.y - a.y) : a.x + t * (b.x - a.x);
            bool found = false;
            for (int n = int(std::floor(exact - 0.5)); n <= int(std::ceil(exact + 0.5)); ++n) {
                if (std::abs(n - exact) > 0.5)
                    continue;
                const int x = alongX ? m : n;
                const int y = alongX ? n : m;
                if (x < 0 || x >= 250 || y < 0 || y >= 56) {
                    found = true; // clipped
                    continue;
                }
                const QRgb c = image.pixel(x, y);
                if (c == Black || (c == Red && InHandleSquare(env, x, y)))
                    found = true;
            }
            QVERIFY2(found, qPrintable(QStringLiteral("segment %1 at %2").arg(i).arg(m)));
        }
    }
    // Red only on the handles.
    for (int y = 0; y < 56; ++y)
        for (int x = 0; x < 250; ++x)
            QCOMPARE(image.pixel(x, y) == Red, InHandleSquare(env, x, y));
}

void TestEnveloppe::paintClipsAtEdges()
{
    sysex::TEnveloppe env = Make(Filter);
    env.SetValues({127, 127, 127, 127}, {127, 127, 127, 127}); // P5 (250, 0), P6 (260, 0)
    env.Selected = 4;
    const QImage image = Painted(env, true);
    QVERIFY(OnlyThreeColours(image));
    // Handle 4 at (250, 0) shows only the top-left quarter of its square.
    for (const QPoint p : {QPoint(248, 0), QPoint(249, 0), QPoint(248, 1), QPoint(249, 1)})
        QCOMPARE(image.pixel(p), Red);
    QCOMPARE(image.pixel(247, 1), White);
    QCOMPARE(image.pixel(248, 2), White);
    // The limit line of handle 4 lies on P4 (200); the curve along the top row covers it.
    for (int y = 1; y < 56; ++y)
        QCOMPARE(image.pixel(200, y), Red);
    QCOMPARE(image.pixel(200, 0), Black);
    // Handle 1 at (50, 0) keeps rows 0 and 1.
    QCOMPARE(image.pixel(51, 1), Red);
    QCOMPARE(image.pixel(51, 2), White);
    // The release tail beyond the right edge leaves nothing behind.
    for (int y = 2; y < 55; ++y)
        QCOMPARE(image.pixel(249, y), Black); // the last box's outline only
}

void TestEnveloppe::paintReplacesPicture()
{
    sysex::TEnveloppe env = Make(Amp);
    QImage image(10, 10, QImage::Format_Mono);
    env.Selected = 2;
    PaintEnveloppe(env, image, true);
    QCOMPARE(image.size(), QSize(250, 56));
    QCOMPARE(image.pixel(100, 20), Red);
    PaintEnveloppe(env, image, false);
    QCOMPARE(image.pixel(100, 20), Black); // the box outline under the former limit line
    QCOMPARE(image.pixel(110, 20), White);

    QImage argb(250, 56, QImage::Format_ARGB32);
    argb.fill(Qt::transparent);
    PaintEnveloppe(env, argb, false);
    QCOMPARE(argb.format(), QImage::Format_ARGB32);
    QCOMPARE(argb.pixel(110, 20), White);
}

void TestEnveloppe::paintSurvivesWildValues()
{
    const int lo = std::numeric_limits<int>::min();
    const int hi = std::numeric_limits<int>::max();
    for (const Kind kind : {Amp, Pitch, Filter}) {
        sysex::TEnveloppe env = Make(kind);
        env.SetValues({lo, hi, 500, -500}, {hi, -hi, 1000000000, 7});
        env.Selected = 4;
        const QImage image = Painted(env, true);
        QCOMPARE(image.size(), QSize(250, 56));
        QVERIFY(OnlyThreeColours(image));
        env.SetValues({hi, lo, -1, 128}, {lo, hi, -1000000000, lo});
        env.Selected = 1;
        QVERIFY(OnlyThreeColours(Painted(env, true)));
    }
}

void TestEnveloppe::isPureRed()
{
    sysex::TEnveloppe env = Make(Amp);
    const QImage image = Painted(env, false);
    QVERIFY(IsPureRed(image, 48, 54));
    QVERIFY(IsPureRed(image, 51, 55));
    QVERIFY(!IsPureRed(image, 52, 55));
    QVERIFY(!IsPureRed(image, 50, 56)); // the handle's centre lies below the image
    QVERIFY(!IsPureRed(image, -1, 0));
    QVERIFY(!IsPureRed(image, 250, 54));
    QVERIFY(!IsPureRed(QImage(), 0, 0));

    QImage nearly(3, 1, QImage::Format_ARGB32);
    nearly.setPixel(0, 0, qRgba(255, 0, 0, 254));
    nearly.setPixel(1, 0, qRgb(255, 0, 1));
    nearly.setPixel(2, 0, qRgb(255, 0, 0));
    QVERIFY(!IsPureRed(nearly, 0, 0));
    QVERIFY(!IsPureRed(nearly, 1, 0));
    QVERIFY(IsPureRed(nearly, 2, 0));
}

QTEST_GUILESS_MAIN(TestEnveloppe)
#include "tst_envelope_enveloppe.moc"
