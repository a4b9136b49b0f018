// The mixer window against the built-in virtual instrument: an opening shows what the
// instrument holds, it is modal from before its requests start, every change reaches the
// instrument's memory, and a later opening reads it all back without sending anything.

#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/ReceiveLog.h"
#include "controls/UpDown.h"
#include "controls/WindowLook.h"
#include "midi/MidiDevices.h"
#include "mixer/DelayTimeText.h"
#include "mixer/FormMixer.h"
#include "session/ErrorPolicy.h"
#include "support/MixerWindowFixture.h"
#include "support/VirtualRig.h"
#include "sysex/MixerMessages.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QWindow>
#include <QtTest>

#include <memory>

using instrument::TAddress;

namespace {
TAddress PartByte(int suffix, std::uint8_t offset)
{
    return {0x01, 0x00, sysex::mixer::Parts[static_cast<std::size_t>(suffix - 1)].BlockByte,
            offset};
}
TAddress CommonByte(std::uint8_t offset)
{
    return {0x01, 0x00, 0x00, offset};
}
TAddress SystemByte(std::uint8_t offset)
{
    return {0x00, 0x00, 0x00, offset};
}
} // namespace

class TestMixerInstrument : public TMixerWindowFixture
{
    Q_OBJECT

    std::unique_ptr<TVirtualRig> Rig;

    std::uint8_t Memory(const TAddress &address) { return Rig->Instrument().ReadByte(address); }

    void CompareWithMemory()
    {
        for (int k = 1; k <= 8; ++k) {
            const int level = Memory(PartByte(k, 0x06));
            const int pan = Memory(PartByte(k, 0x07)) - 64;
            const int position = std::clamp(48 - Memory(PartByte(k, 0x08)), -48, 48);
            const int delay = Memory(PartByte(k, 0x0C));
            const int reverb = Memory(PartByte(k, 0x0D));
            QCOMPARE(Box(QStringLiteral("EditMixer%1").arg(k))->text(), QString::number(level));
            QCOMPARE(Bar(QStringLiteral("BarMixer%1").arg(k))->value(), level);
            QCOMPARE(Box(QStringLiteral("EditPan%1").arg(k))->text(), QString::number(pan));
            QCOMPARE(Bar(QStringLiteral("BarPan%1").arg(k))->value(), pan);
            QCOMPARE(Box(QStringLiteral("EditDelay%1").arg(k))->text(), QString::number(delay));
            QCOMPARE(Bar(QStringLiteral("BarDelay%1").arg(k))->value(), delay);
            QCOMPARE(Box(QStringLiteral("EditReverb%1").arg(k))->text(), QString::number(reverb));
            QCOMPARE(Bar(QStringLiteral("BarReverb%1").arg(k))->value(), reverb);
            QCOMPARE(Bar(QStringLiteral("BarTrans%1").arg(k))->value(), position);
            QCOMPARE(Bar(QStringLiteral("BarTrans%1").arg(k))->toolTip(),
                     QString::number(-position));
            QCOMPARE(Check(QStringLiteral("CBMFXSwitch%1").arg(k))->isChecked(),
                     Memory(PartByte(k, 0x0A)) == 1);
        }
        QCOMPARE(List("LBReverbType")->ItemIndex(), int(Memory(CommonByte(0x28))));
        QCOMPARE(Bar("BarReverbLevel")->value(), int(Memory(CommonByte(0x29))));
        QCOMPARE(Bar("BarReverbTime")->value(), int(Memory(CommonByte(0x2A))));
        QCOMPARE(List("LBReverbHF")->ItemIndex(), int(Memory(CommonByte(0x2B))));
        QCOMPARE(Bar("BarReverbToMFX")->value(), int(Memory(CommonByte(0x1D))));
        QCOMPARE(List("LBDelayType")->ItemIndex(), int(Memory(CommonByte(0x23))));
        QCOMPARE(Bar("BarDelayLevel")->value(), int(Memory(CommonByte(0x22))));
        QCOMPARE(Bar("BarDelayTime")->value(), int(Memory(CommonByte(0x25))));
        QCOMPARE(List("LBDelayHF")->ItemIndex(), int(Memory(CommonByte(0x24))));
        QCOMPARE(List("LBDelayOutput")->ItemIndex(), int(Memory(CommonByte(0x27))));
        QCOMPARE(Box("EditDelayFeedback")->text(), QString::number(Memory(CommonByte(0x26))));
        QCOMPARE(Find<TUpDown>(QStringLiteral("UpDownDelayFeedback"))->Position(),
                 int(Memory(CommonByte(0x26))));
        QCOMPARE(Bar("BarDelayToMFX")->value(), int(Memory(CommonByte(0x1C))));
        QCOMPARE(Find<QLineEdit>(QStringLiteral("EditDelayTime"))->text(),
                 DelayTimeText(Memory(CommonByte(0x23)), Memory(CommonByte(0x25))));
        QCOMPARE(Check("CBMFXSwitch")->isChecked(), Memory(SystemByte(0x08)) == 1);
        QCOMPARE(Check("CBDelaySwitch")->isChecked(), Memory(SystemByte(0x09)) == 1);
        QCOMPARE(Check("CBReverbSwitch")->isChecked(), Memory(SystemByte(0x0A)) == 1);
    }

private slots:
    void initTestCase()
    {
        // The program's look, which the window is laid out for.
        UseWindowLook();
        Rig = std::make_unique<TVirtualRig>();
        midi::MidiOut().Open(0);
        midi::MidiIn().Open(0);
        StartWindow(midi::MidiOut());
    }
    void cleanup() { QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str()); }
    void cleanupTestCase()
    {
        StopWindow();
        Rig.reset();
    }

    void openingShowsTheInstrument()
    {
        // Vary what the instrument holds beyond its power-on values.
        const std::uint8_t mfxOff[] = {0};
        Rig->Instrument().Write(PartByte(3, 0x0A), mfxOff);
        Rig->Instrument().Write(SystemByte(0x09), mfxOff);
        const std::uint8_t extremes[] = {0x00, 0x7F}; // pan 00, transposition beyond the top
        Rig->Instrument().Write(PartByte(6, 0x07), std::span(extremes, 1));
        Rig->Instrument().Write(PartByte(7, 0x08), std::span(extremes + 1, 1));

        QWidget mainWindow;
        mainWindow.setObjectName(QStringLiteral("MainWindow"));
        mainWindow.resize(300, 200);
        mainWindow.show();
        bool sampled = false;
        bool mainEnabledWhileOpening = false;
        bool visibleWhileOpening = false;
        QTimer sampler;
        sampler.setInterval(100);
        connect(&sampler, &QTimer::timeout, this, [&] {
            if (!Form->IsOpening())
                return;
            sampled = true;
            mainEnabledWhileOpening |= mainWindow.isEnabled();
            visibleWhileOpening |= Form->windowHandle() && Form->windowHandle()->isVisible();
        });
        sampler.start();

        Rig->Instrument().ClearLog();
        bool modalOnceUp = false;
        const int result
            = Open([&] { modalOnceUp = QApplication::activeModalWidget() == Form.get(); });
        sampler.stop();
        QCOMPARE(result, int(QDialog::Accepted));
        // The main window took no input during the requests, and the window was not up yet.
        QVERIFY(sampled);
        QVERIFY(!mainEnabledWhileOpening);
        QVERIFY(!visibleWhileOpening);
        QVERIFY(modalOnceUp);
        QVERIFY(mainWindow.isEnabled());
        QVERIFY(!midi::MidiIn().HasOnSysEx());

        // Exactly the four requests went out.
        QCOMPARE(Rig->Instrument().Log().size(), std::size_t(4));
        CompareWithMemory();
        QCOMPARE(Bar("BarPan6")->value(), -64);
        QCOMPARE(Bar("BarTrans7")->value(), -48);
        QVERIFY(!Check("CBMFXSwitch3")->isChecked());
        QVERIFY(!Check("CBDelaySwitch")->isChecked());
        QCOMPARE(Log(), QStringLiteral("0 Common 1 2 3 4 5 6 7 R R Switch Pattern"));

        if (const QByteArray path = qgetenv("OMBRIX_MIXER_SCREENSHOT"); !path.isEmpty())
            Form->grab().save(QString::fromLocal8Bit(path));
    }

    void changesReachTheInstrument()
    {
        Bar("BarMixer3")->setValue(77);
        QCOMPARE(Memory(PartByte(3, 0x06)), 77);
        Bar("BarPan1")->setValue(-64);
        QCOMPARE(Memory(PartByte(1, 0x07)), 0x00);
        Box("EditPan2")->setText(QStringLiteral("-70"));
        QCOMPARE(Memory(PartByte(2, 0x07)), 0x00);
        Box("EditMixer4")->setText(QStringLiteral("200"));
        QCOMPARE(Memory(PartByte(4, 0x06)), 127);
        Bar("BarReverb8")->setValue(50);
        QCOMPARE(Memory(PartByte(8, 0x0D)), 50);
        Bar("BarDelay2")->setValue(60);
        QCOMPARE(Memory(PartByte(2, 0x0C)), 60);
        for (int position : {-12, 48, -48, 0}) {
            Bar("BarTrans5")->setValue(position);
            QCOMPARE(int(Memory(PartByte(5, 0x08))), 48 - position);
        }
        Bar("BarTrans1")->setValue(7);
        QCOMPARE(int(Memory(PartByte(1, 0x08))), 41);
        for (int k : {1, 3, 8}) {
            QCheckBox *box = Check(QStringLiteral("CBMFXSwitch%1").arg(k));
            const bool was = box->isChecked();
            box->click();
            QCOMPARE(Memory(PartByte(k, 0x0A)), was ? 0 : 1);
        }

        QTest::keyClick(List("LBReverbType"), Qt::Key_End); // "Hall 2"
        QCOMPARE(Memory(CommonByte(0x28)), 5);
        QTest::keyClick(List("LBReverbHF"), Qt::Key_Home); // "200"
        QCOMPARE(Memory(CommonByte(0x2B)), 0);
        Bar("BarReverbLevel")->setValue(11);
        QCOMPARE(Memory(CommonByte(0x29)), 11);
        Bar("BarReverbTime")->setValue(12);
        QCOMPARE(Memory(CommonByte(0x2A)), 12);
        Bar("BarReverbToMFX")->setValue(13);
        QCOMPARE(Memory(CommonByte(0x1D)), 13);

        QTest::keyClick(List("LBDelayType"), Qt::Key_Home); // "Short"
        QCOMPARE(Memory(CommonByte(0x23)), 0);
        QTest::keyClick(List("LBDelayHF"), Qt::Key_End); // "Byp."
        QCOMPARE(Memory(CommonByte(0x24)), 0x11);
        QTest::keyClick(List("LBDelayOutput"), Qt::Key_End); // "Line+Rev"
        QCOMPARE(Memory(CommonByte(0x27)), 2);
        Bar("BarDelayLevel")->setValue(14);
        QCOMPARE(Memory(CommonByte(0x22)), 14);
        Bar("BarDelayTime")->setValue(120);
        QCOMPARE(Memory(CommonByte(0x25)), 120);
        QCOMPARE(Find<QLineEdit>(QStringLiteral("EditDelayTime"))->text(), QStringLiteral("275"));
        Bar("BarDelayToMFX")->setValue(15);
        QCOMPARE(Memory(CommonByte(0x1C)), 15);
        TEditBox *feedback = Box("EditDelayFeedback");
        feedback->selectAll();
        QTest::keyClicks(feedback, QStringLiteral("150"));
        QTest::keyClick(feedback, Qt::Key_Return);
        QCOMPARE(feedback->text(), QStringLiteral("98"));
        QCOMPARE(Memory(CommonByte(0x26)), 98);

        for (const auto &[name, offset] :
             {std::pair {"CBReverbSwitch", 0x0A}, std::pair {"CBDelaySwitch", 0x09},
              std::pair {"CBMFXSwitch", 0x08}}) {
            QCheckBox *box = Check(QString::fromLatin1(name));
            const bool was = box->isChecked();
            box->click();
            QCOMPARE(Memory(SystemByte(static_cast<std::uint8_t>(offset))), was ? 0 : 1);
        }
    }

    void laterOpeningReadsItAllBackAndSendsNothingMore()
    {
        // Change the instrument behind the window's back, then open again.
        const std::uint8_t level[] = {5};
        Rig->Instrument().Write(PartByte(6, 0x06), level);
        Rig->Instrument().ClearLog();
        const QString logBefore = Log();
        QCOMPARE(Open(), int(QDialog::Accepted));
        // Only the requests: decoding sends nothing although every handler is connected.
        QCOMPARE(Rig->Instrument().Log().size(), std::size_t(4));
        CompareWithMemory();
        QCOMPARE(Box("EditMixer6")->text(), QStringLiteral("5"));
        QCOMPARE(Log(), logBefore + QStringLiteral(" Common 1 2 3 4 5 6 7 R R Switch Pattern"));
    }

    void closingDuringTheOpening()
    {
        // A close asked for before the window is up takes effect once it is.
        QTimer::singleShot(100, Form.get(), [this] { Form->reject(); });
        QCOMPARE(Form->exec(), int(QDialog::Rejected));
        QVERIFY(!Form->isVisible());
    }
};

QTEST_MAIN(TestMixerInstrument)
#include "tst_mixer_instrument.moc"
