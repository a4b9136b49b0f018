#include "controls/EnvelopeImage.h"
#include "controls/EnveloppePainting.h"
#include "midi/SysExText.h"
#include "session/ErrorPolicy.h"
#include "support/ErrorRecorder.h"
#include "sysex/RolandMessage.h"
#include "sysex/ToneParams.h"

#include <QWidget>
#include <QtTest>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using TSent = std::vector<std::pair<int, int>>; // offset, value

enum Kind { Amp, Pitch, Filter };

const sysex::TEnvelopeParams &ParamsOf(Kind kind)
{
    switch (kind) {
    case Pitch:
        return sysex::PitchEnvelope;
    case Filter:
        return sysex::FilterEnvelope;
    case Amp:
        break;
    }
    return sysex::AmpEnvelope;
}

// One envelope with its image, as a tone column holds it, and a sender that records.
struct TRig
{
    explicit TRig(Kind kind, QWidget *parent = nullptr)
        : Env(250, 56, kind == Pitch ? 56 / 2 : 0, kind != Amp)
        , Image(std::make_unique<TEnvelopeImage>(
              Env, ParamsOf(kind),
              [this](int offset, int value) {
                  ++Attempts;
                  if (FailAt == Attempts)
                      throw std::runtime_error("MIDI output failed");
                  Sent.emplace_back(offset, value);
              },
              parent))
    { }

    sysex::TEnveloppe Env;
    TSent Sent;
    int Attempts = 0;
    int FailAt = 0; // the send attempt that throws, 0 for none
    std::unique_ptr<TEnvelopeImage> Image;
};

bool HasRed(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (IsPureRed(image, x, y))
                return true;
    return false;
}

TSent Expected(Kind kind, const sysex::TEnveloppe &env)
{
    const sysex::TEnvelopeParams &params = ParamsOf(kind);
    TSent sent;
    for (int i = 0; i < 4; ++i) {
        sent.emplace_back(params.TimeOffsets[i], env.Times[i]);
        if (i < 3 || kind != Amp)
            sent.emplace_back(params.LevelOffsets[i], env.Levels[i]);
    }
    return sent;
}

// Counts the mouse presses that reach a widget, such as one that propagated from a child.
class TPressCounter : public QObject
{
public:
    int Presses = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            ++Presses;
        return QObject::eventFilter(watched, event);
    }
};

QPoint HandlePoint(const sysex::TEnveloppe &env, int k)
{
    const sysex::TEnvPoint p = env.Points[k == 4 ? 5 : k];
    return {p.x, p.y};
}

} // namespace

class TestEnvelopeImage : public QObject, public TErrorRecorder
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsBlankWithCrossCursor();
    void blankImageStartsNoDrag();
    void releaseWithoutDragSendsAll_data();
    void releaseWithoutDragSendsAll();
    void pressOnNonRedPartOfHandleZone();
    void pressOnLimitLineAwayFromHandles();
    void dragHandleOneToRightEnd();
    void dragRepaintsWithLimitLine();
    void anyButtonStartsDrag();
    void cursorFollowsRed();
    void dragOutsideStillClamps();
    void grabKeepsMovesAndReleaseOutside();
    void throwingSenderStopsRelease();

private:
};

void TestEnvelopeImage::init()
{
    Errors.clear();
    RecordErrors();
}

void TestEnvelopeImage::cleanup()
{
    StopRecordingErrors();
}

void TestEnvelopeImage::startsBlankWithCrossCursor()
{
    TRig rig(Pitch);
    TEnvelopeImage &image = *rig.Image;
    QCOMPARE(image.size(), QSize(250, 56));
    QCOMPARE(image.minimumSize(), QSize(250, 56));
    QCOMPARE(image.maximumSize(), QSize(250, 56));
    QVERIFY(image.hasMouseTracking());
    QCOMPARE(image.cursor().shape(), Qt::CrossCursor);
    QCOMPARE(image.Image().size(), QSize(250, 56));
    QVERIFY(!HasRed(image.Image()));
    QVERIFY(!HasRed(image.grab().toImage()));
    QCOMPARE(&image.Envelope(), &rig.Env);
}

void TestEnvelopeImage::blankImageStartsNoDrag()
{
    TRig rig(Amp);
    // Handle 1 lies at (50, 56), but nothing has been painted yet.
    QTest::mousePress(rig.Image.get(), Qt::LeftButton, {}, QPoint(49, 55));
    QCOMPARE(rig.Env.Selected, 0);
    QTest::mouseMove(rig.Image.get(), QPoint(20, 10));
    QCOMPARE(rig.Env.Points[1].x, 50);
    QTest::mouseRelease(rig.Image.get(), Qt::LeftButton, {}, QPoint(20, 10));
    // The values of a new envelope: all times 127, all levels 0.
    const TSent expected {{0x6E, 127}, {0x72, 0}, {0x6F, 127}, {0x73, 0},
                          {0x70, 127}, {0x74, 0}, {0x71, 127}};
    QCOMPARE(rig.Sent, expected);
    QVERIFY(!HasRed(rig.Image->Image()));
}

void TestEnvelopeImage::releaseWithoutDragSendsAll_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("count");
    QTest::newRow("amplitude") << int(Amp) << 7;
    QTest::newRow("pitch") << int(Pitch) << 8;
    QTest::newRow("filter") << int(Filter) << 8;
}

void TestEnvelopeImage::releaseWithoutDragSendsAll()
{
    QFETCH(int, kind);
    QFETCH(int, count);
    TRig rig(static_cast<Kind>(kind));
    rig.Env.SetValues({11, 22, 33, kind == Amp ? 0 : 44}, {55, 66, 77, 88});
    rig.Image->Repaint();
    const QImage before = rig.Image->Image();
    QTest::mouseClick(rig.Image.get(), Qt::LeftButton, {}, QPoint(120, 20));
    QCOMPARE(int(rig.Sent.size()), count);
    QCOMPARE(rig.Sent, Expected(Kind(kind), rig.Env));
    QCOMPARE(rig.Sent.front(), std::make_pair(int(ParamsOf(Kind(kind)).TimeOffsets[0]), 55));
    QCOMPARE(rig.Sent.back().second, kind == Amp ? 88 : 44);
    QCOMPARE(rig.Image->Image(), before);
    QCOMPARE(rig.Env.Selected, 0);
    QVERIFY(Errors.empty());

    // Each release sends again, whatever happened before.
    QTest::mouseClick(rig.Image.get(), Qt::RightButton, {}, QPoint(3, 3));
    QCOMPARE(int(rig.Sent.size()), 2 * count);
}

void TestEnvelopeImage::pressOnNonRedPartOfHandleZone()
{
    TRig rig(Filter);
    rig.Env.SetValues({64, 64, 64, 64}, {64, 64, 64, 64});
    rig.Image->Repaint();
    const QPoint h2 = HandlePoint(rig.Env, 2);
    // The square's red part runs from x - 2 to x + 1; x + 2 still counts for HitTest.
    for (const QPoint offset : {QPoint(2, 0), QPoint(0, 2), QPoint(2, 2), QPoint(-2, 2)}) {
        const QPoint p = h2 + offset;
        QCOMPARE(rig.Env.HitTest(p.x(), p.y()), 2);
        QVERIFY(!IsPureRed(rig.Image->Image(), p.x(), p.y()));
        QTest::mousePress(rig.Image.get(), Qt::LeftButton, {}, p);
        QCOMPARE(rig.Env.Selected, 0);
        QTest::mouseMove(rig.Image.get(), p + QPoint(10, 10));
        QCOMPARE(rig.Env.Points[2].x, h2.x());
        QTest::mouseRelease(rig.Image.get(), Qt::LeftButton, {}, p + QPoint(10, 10));
    }
    // The red part does start a drag.
    QTest::mousePress(rig.Image.get(), Qt::LeftButton, {}, h2 + QPoint(1, 1));
    QCOMPARE(rig.Env.Selected, 2);
    QTest::mouseRelease(rig.Image.get(), Qt::LeftButton, {}, h2 + QPoint(1, 1));
    QCOMPARE(rig.Env.Selected, 0);
}

void TestEnvelopeImage::pressOnLimitLineAwayFromHandles()
{
    TRig rig(Pitch);
    rig.Env.SetValues({100, 100, 100, 100}, {64, 64, 64, 64});
    rig.Image->Repaint();
    const QPoint h1 = HandlePoint(rig.Env, 1);
    QTest::mousePress(rig.Image.get(), Qt::LeftButton, {}, h1);
    QCOMPARE(rig.Env.Selected, 1);
    QTest::mouseMove(rig.Image.get(), QPoint(10, 40));
    QTest::mouseRelease(rig.Image.get(), Qt::LeftButton, {}, QPoint(10, 40));
    QCOMPARE(rig.Env.Selected, 0);
    // The picture keeps the limit line of handle 1 at P0.x + 50 after the release.
    const int limitX = 50;
    QVERIFY(IsPureRed(rig.Image->Image(), limitX, 5));
    QCOMPARE(rig.Env.HitTest(limitX, 5), 0);
    const std::size_t sent = rig.Sent.size();
    QTest::mousePress(rig.Image.get(), Qt::LeftButton, {}, QPoint(limitX, 5));
    QCOMPARE(rig.Env.Selected, 0);
    QTest::mouseMove(rig.Image.get(), QPoint(200, 5));
    QCOMPARE(rig.Env.Points[1].x, 10);
    QTest::mouseRelease(rig.Image.get(), Qt::LeftButton, {}, QPoint(200, 5));
    QCOMPARE(rig.Sent.size(), sent + 8);
}

void TestEnvelopeImage::dragHandleOneToRightEnd()
{
    TRig rig(Amp); // tone 2's amplitude envelope of part 1
    std::vector<std::string> texts;
    rig.Image
        = std::make_unique<TEnvelopeImage>(rig.Env, sysex::AmpEnvelope, [&](int offset, int value) {
              rig.Sent.emplace_back(offset, value);
              texts.push_back(sysex::ToneMessageText(sysex::DataSetHeader(17), "00", 2, offset,
                                                     midi::HexByte(value)));
          });
    rig.Env.SetValues({100, 80, 60, 0}, {20, 40, 60, 80});
    rig.Image->Repaint();
    const QPoint h1 = HandlePoint(rig.Env, 1);
    QTest::mousePress(rig.Image.get(), Qt::LeftButton, {}, h1 - QPoint(1, 1));
    QCOMPARE(rig.Env.Selected, 1);
    QTest::mouseMove(rig.Image.get(), QPoint(120, h1.y()));
    QTest::mouseMove(rig.Image.get(), QPoint(249, h1.y()));
    QTest::mouseRelease(rig.Image.get(), Qt::LeftButton, {}, QPoint(249, h1.y()));
    QCOMPARE(rig.Env.Times[0], 127);
    QCOMPARE(rig.Env.Points[1].x, 50);
    const TSent expected {
        {0x6E, 0x7F}, {0x72, rig.Env.Levels[0]}, {0x6F, 40}, {0x73, 80}, {0x70, 60}, {0x74, 60},
        {0x71, 80}};
    QCOMPARE(rig.Sent, expected);
    QCOMPARE(rig.Env.Levels[0], 100);
    QCOMPARE(texts.size(), std::size_t(7));
    QCOMPARE(texts.front(), std::string("F0 41 10 00 0B 12 02 00 12 6E 7F"));
    QCOMPARE(texts[1], std::string("F0 41 10 00 0B 12 02 00 12 72 64"));
    QCOMPARE(texts.back(), std::string("F0 41 10 00 0B 12 02 00 12 71 50"));
}

void TestEnvelopeImage::dragRepaintsWithLimitLine()
{
    TRig rig(Filter);
    rig.Env.SetValues({127, 64, 32, 0}, {127, 127, 127, 127});
    rig.Image->Repaint();
    QVERIFY(!IsPureRed(rig.Image->Image(), 250 - 50, 20));
    const QPoint h3 = HandlePoint(rig.Env, 3);
    QTest::mousePress(rig.Image.get(), Qt::LeftButton, {}, h3);
    QCOMPARE(rig.Env.Selected, 3);
    QTest::mouseMove(rig.Image.get(), QPoint(120, 28));
    QCOMPARE(rig.Env.Points[3].x, 120);
    QCOMPARE(rig.Env.Points[3].y, 28);
    QCOMPARE(rig.Env.Levels[2], 64);
    QCOMPARE(rig.Env.Times[2], 51); // 20 pixels
    // The picture follows each move and shows where the handle can go (P2.x + 50).
    QVERIFY(IsPureRed(rig.Image->Image(), 150, 40));
    QVERIFY(IsPureRed(rig.Image->Image(), 119, 27));
    QVERIFY(IsPureRed(rig.Image->grab().toImage(), 150, 40));
    sysex::TEnveloppe copy = rig.Env;
    QImage expected;
    PaintEnveloppe(copy, expected, true);
    QCOMPARE(rig.Image->Image(), expected);
    QTest::mouseRelease(rig.Image.get(), Qt::LeftButton, {}, QPoint(120, 28));
    QCOMPARE(rig.Image->Image(), expected); // not repainted on release
}

void TestEnvelopeImage::anyButtonStartsDrag()
{
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        TRig rig(Pitch);
        rig.Env.SetValues({64, 64, 64, 64}, {64, 64, 64, 64});
        rig.Image->Repaint();
        const QPoint h4 = HandlePoint(rig.Env, 4);
        QTest::mousePress(rig.Image.get(), button, Qt::ShiftModifier, h4);
        QCOMPARE(rig.Env.Selected, 4);
        QTest::mouseMove(rig.Image.get(), QPoint(h4.x(), 0));
        QCOMPARE(rig.Env.Levels[3], 127);
        QTest::mouseRelease(rig.Image.get(), button, Qt::ShiftModifier, QPoint(h4.x(), 0));
        QCOMPARE(rig.Env.Selected, 0);
        QCOMPARE(rig.Sent.back(), std::make_pair(0x4D, 127));
    }
}

void TestEnvelopeImage::cursorFollowsRed()
{
    TRig rig(Amp);
    rig.Env.SetValues({100, 100, 100, 0}, {64, 64, 64, 64});
    rig.Image->Repaint();
    rig.Image->move(0, 0);
    rig.Image->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.Image.get()));
    const QPoint h2 = HandlePoint(rig.Env, 2);
    QWindow *window = rig.Image->windowHandle();
    QVERIFY(window);

    QTest::mouseMove(window, h2 + QPoint(-1, 1));
    QCOMPARE(rig.Image->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(window, h2 + QPoint(2, 0)); // in the hit zone, not red
    QCOMPARE(rig.Image->cursor().shape(), Qt::CrossCursor);
    QTest::mouseMove(window, h2 + QPoint(-2, -2));
    QCOMPARE(rig.Image->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(window, QPoint(200, 30));
    QCOMPARE(rig.Image->cursor().shape(), Qt::CrossCursor);
    QVERIFY(rig.Sent.empty());

    // While dragging the cursor stays as it was when the drag began.
    QTest::mouseMove(window, h2);
    QCOMPARE(rig.Image->cursor().shape(), Qt::PointingHandCursor);
    QTest::mousePress(window, Qt::LeftButton, {}, h2);
    QCOMPARE(rig.Env.Selected, 2);
    QTest::mouseMove(window, QPoint(200, 30));
    QCOMPARE(rig.Image->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(200, 30));
    QCOMPARE(rig.Env.Selected, 0);
    // The limit line left on the picture counts as red (P1.x + 50 = 75); the handle now sits
    // on it at (75, 30).
    QTest::mouseMove(window, QPoint(75, 5));
    QCOMPARE(rig.Image->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(window, QPoint(76, 5));
    QCOMPARE(rig.Image->cursor().shape(), Qt::CrossCursor);
}

void TestEnvelopeImage::dragOutsideStillClamps()
{
    TRig rig(Filter);
    rig.Env.SetValues({64, 64, 64, 64}, {64, 64, 64, 64}); // P1 (25, 28), P2 (50, 28)
    rig.Image->Repaint();
    QTest::mousePress(rig.Image.get(), Qt::LeftButton, {}, HandlePoint(rig.Env, 2));
    QCOMPARE(rig.Env.Selected, 2);
    QTest::mouseMove(rig.Image.get(), QPoint(-300, -40));
    QCOMPARE(rig.Env.Points[2].x, 25);
    QCOMPARE(rig.Env.Points[2].y, 0);
    QCOMPARE(rig.Env.Times[1], 0);
    QCOMPARE(rig.Env.Levels[1], 127);
    QTest::mouseMove(rig.Image.get(), QPoint(900, 400));
    QCOMPARE(rig.Env.Points[2].x, 75);
    QCOMPARE(rig.Env.Points[2].y, 56);
    QTest::mouseRelease(rig.Image.get(), Qt::LeftButton, {}, QPoint(900, 400));
    QCOMPARE(rig.Env.Selected, 0);
    QCOMPARE(rig.Sent, Expected(Filter, rig.Env));
    QCOMPARE(rig.Sent[2], std::make_pair(0x5C, 127));
    QCOMPARE(rig.Sent[3], std::make_pair(0x60, 0));
}

void TestEnvelopeImage::grabKeepsMovesAndReleaseOutside()
{
    // Through the window, as the system delivers them: the image sits inside a larger column,
    // and the pointer leaves the image while the button is held.
    QWidget column;
    column.resize(400, 200);
    TRig rig(Pitch, &column);
    rig.Image->move(50, 60);
    rig.Env.SetValues({64, 64, 64, 64}, {64, 64, 64, 64});
    rig.Image->Repaint();
    QWidget sibling(&column);
    sibling.setGeometry(0, 120, 400, 80);
    column.show();
    QVERIFY(QTest::qWaitForWindowExposed(&column));
    QWindow *window = column.windowHandle();
    QVERIFY(window);
    const QPoint origin(50, 60);

    TPressCounter columnPresses;
    column.installEventFilter(&columnPresses);

    QTest::mousePress(window, Qt::LeftButton, {}, origin + HandlePoint(rig.Env, 1));
    QCOMPARE(rig.Env.Selected, 1);
    QCOMPARE(columnPresses.Presses, 0); // the image keeps its presses
    QTest::mouseMove(window, QPoint(390, 5)); // above and right of the image
    QCOMPARE(rig.Env.Points[1].x, 50);
    QCOMPARE(rig.Env.Points[1].y, 0);
    QTest::mouseMove(window, QPoint(10, 150)); // over the sibling
    QCOMPARE(rig.Env.Points[1].x, 0);
    QCOMPARE(rig.Env.Points[1].y, 56);
    QVERIFY(rig.Sent.empty());
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(10, 150));
    QCOMPARE(rig.Env.Selected, 0);
    QCOMPARE(rig.Sent, Expected(Pitch, rig.Env));
    QCOMPARE(rig.Sent[0], std::make_pair(0x46, 0));
    QCOMPARE(rig.Sent[1], std::make_pair(0x4A, 0));

    // A press on a white pixel is the image's too, and so is its release.
    rig.Sent.clear();
    QTest::mousePress(window, Qt::LeftButton, {}, origin + QPoint(200, 40));
    QCOMPARE(rig.Env.Selected, 0);
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(390, 190));
    QCOMPARE(columnPresses.Presses, 0);
    QCOMPARE(rig.Sent.size(), std::size_t(8));
}

void TestEnvelopeImage::throwingSenderStopsRelease()
{
    TRig rig(Pitch);
    rig.Env.SetValues({1, 2, 3, 4}, {5, 6, 7, 8});
    rig.Image->Repaint();
    rig.FailAt = 3;
    QTest::mousePress(rig.Image.get(), Qt::LeftButton, {}, HandlePoint(rig.Env, 3));
    QCOMPARE(rig.Env.Selected, 3);
    QTest::mouseRelease(rig.Image.get(), Qt::LeftButton, {}, HandlePoint(rig.Env, 3));
    QCOMPARE(rig.Env.Selected, 0);
    QCOMPARE(rig.Attempts, 3);
    const TSent expected {{0x46, 5}, {0x4A, 1}};
    QCOMPARE(rig.Sent, expected);
    QCOMPARE(Errors.size(), std::size_t(1));
    QCOMPARE(Errors.front(), std::string("MIDI output failed"));

    // The image goes on working: the next release sends everything.
    rig.FailAt = 0;
    rig.Sent.clear();
    QTest::mouseClick(rig.Image.get(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(rig.Sent.size(), std::size_t(8));
    QCOMPARE(Errors.size(), std::size_t(1));
}

QTEST_MAIN(TestEnvelopeImage)
#include "tst_envelope_image.moc"
