// The main window against a strict instrument, one that drops a data set coming less than 20 ms
// after the previous one ended, as the MC-307 does. Sent straight, a part answer's echo loses
// messages; through the paced output nothing is lost: the echo, a 200-step bar drag and an
// envelope release all arrive, and the instrument ends holding what the window shows.

#include "controls/EnvelopeImage.h"
#include "session/ErrorPolicy.h"
#include "support/MainWindowFixture.h"
#include "sysex/ToneParams.h"

#include "controls/ReceiveLog.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QtTest>

#include <memory>

using namespace std::chrono_literals;

class TestEditorStrict : public TMainWindowFixture
{
    Q_OBJECT

    std::vector<std::uint8_t> ToneMemory(int tone)
    {
        return Instrument().Read(
            {0x02, 0x00, static_cast<std::uint8_t>(sysex::ToneByte(tone)), 0x00},
            sysex::ToneBlockUsedSize);
    }
    void StartPaced()
    {
        OpenPacedWindow();
        QCOMPARE(Find<TReceiveLog>("Edit1")->Text(),
                 QString(" Patch Common Tone1 Tone2 Tone3 Tone4"));
    }
    void VerifyColumnsShowMemory()
    {
        namespace P = sysex::ToneParam;
        for (int tone = 1; tone <= 4; ++tone) {
            const auto b = ToneMemory(tone);
            QCOMPARE(Find<QScrollBar>(QString("BarLevelTone%1").arg(tone))->value(),
                     P::Level.ToControl(b[0x65]));
            QCOMPARE(Find<QScrollBar>(QString("BarPanTone%1").arg(tone))->value(),
                     P::Pan.ToControl(b[0x77]));
            QCOMPARE(Find<QSlider>(QString("BarCutOffTone%1").arg(tone))->value(), 127 - b[0x51]);
            const sysex::TEnveloppe &amp
                = Find<TEnvelopeImage>(QString("ImageEnvAmpTone%1").arg(tone))->Envelope();
            for (int i = 0; i < 4; ++i)
                QCOMPARE(amp.Times[i], int(b[sysex::AmpEnvelope.TimeOffsets[i]]));
        }
    }

private slots:
    void init() { StartRig(true); }
    void cleanup()
    {
        const std::vector<std::string> errors = Errors;
        StopWindow();
        QVERIFY2(errors.empty(), errors.empty() ? "" : errors.front().c_str());
    }

    // The instrument is strict indeed: the echo sent at wire speed loses data sets.
    void unpacedEchoIsDropped()
    {
        OpenWindow(midi::MidiOut());
        QTest::qWait(100);
        QVERIFY(Instrument().StrictDrops() > 0);
    }

    void partAnswerEchoArrivesWhole()
    {
        StartPaced();
        QCOMPARE(Instrument().StrictDrops(), std::uint64_t(0));
        VerifyColumnsShowMemory();
        // A second part request waits behind nothing and still gets every answer.
        Window->Session().RequestAgain();
        WaitSent();
        QCOMPARE(Instrument().StrictDrops(), std::uint64_t(0));
        VerifyColumnsShowMemory();
    }

    void toneBarDragOf200Steps()
    {
        StartPaced();
        QScrollBar *bar = Find<QScrollBar>("BarLevelTone2");
        QElapsedTimer clock;
        clock.start();
        for (int step = 0; step < 200; ++step) {
            bar->setValue(step % 2 == 0 ? 20 + step / 2 : 119 - step / 2);
            // A drag moves a bar some hundred times a second.
            QTest::qWait(5);
            QVERIFY(Paced->Device(0).Waiting() <= 2);
        }
        WaitSent();
        QCOMPARE(Instrument().StrictDrops(), std::uint64_t(0));
        QCOMPARE(bar->value(), 20);
        QCOMPARE(int(ToneMemory(2)[0x65]), 20);
        VerifyColumnsShowMemory();
    }

    void envelopeReleaseArrivesWhole()
    {
        StartPaced();
        TEnvelopeImage *image = Find<TEnvelopeImage>("ImageEnvAmpTone2");
        const QPoint handle(image->Envelope().Points[1].x, image->Envelope().Points[1].y);
        QTest::mousePress(image, Qt::LeftButton, {}, handle);
        QTest::mouseMove(image, QPoint(handle.x() + 30, handle.y()));
        QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(handle.x() + 30, handle.y()));
        WaitSent();
        QCOMPARE(Instrument().StrictDrops(), std::uint64_t(0));
        const auto b = ToneMemory(2);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(image->Envelope().Times[i], int(b[sysex::AmpEnvelope.TimeOffsets[i]]));
        for (int i = 0; i < sysex::AmpEnvelope.LevelCount; ++i)
            QCOMPARE(image->Envelope().Levels[i], int(b[sysex::AmpEnvelope.LevelOffsets[i]]));
    }

    void statusBarCountsABurstDown()
    {
        Paced = std::make_unique<midi::TPacedOutputs>(midi::MidiOut(), sysex::InstrumentPacing());
        Paced->SetGap(0, 20ms);
        OpenWindow(*Paced);
        QStatusBar *bar = Find<QStatusBar>("StatusBar");
        QCOMPARE(bar->parentWidget(), Window.get());
        // The echo of the part answer is a burst of some sixty data sets.
        QTRY_VERIFY(bar->currentMessage().startsWith("Sending "));
        QVERIFY(bar->currentMessage().endsWith(" messages..."));
        WaitSent();
        QTRY_VERIFY(bar->currentMessage().isEmpty());
        QCOMPARE(Instrument().StrictDrops(), std::uint64_t(0));
    }
};

QTEST_MAIN(TestEditorStrict)
#include "tst_editor_strict.moc"
