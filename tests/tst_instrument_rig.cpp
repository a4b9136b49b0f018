// The virtual instrument as the program sees it: devices of the program's device sets, answering
// requests through the input handler slot on the window thread.

#include "support/VirtualRig.h"

#include "midi/MidiDevices.h"

#include <QtTest>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

class TestInstrumentRig : public QObject
{
    Q_OBJECT

private slots:
    void devicesAreTheVirtualInstrument()
    {
        TVirtualRig rig;
        QCOMPARE(midi::MidiIn().Count(), 1);
        QCOMPARE(midi::MidiOut().Count(), 1);
        QCOMPARE(midi::MidiIn().Name(0), std::string("Ombrix Virtual MC-307"));
        QCOMPARE(midi::MidiOut().Name(0), std::string("Ombrix Virtual MC-307"));
    }

    void requestIsAnsweredThroughTheHandlerSlot()
    {
        TVirtualRig rig;
        std::vector<TBytes> received;
        std::vector<std::thread::id> threads;
        midi::MidiIn().Open(0);
        midi::MidiOut().Open(0);
        midi::MidiIn().SetOnSysEx([&](std::int32_t, std::span<const std::uint8_t> bytes) {
            received.emplace_back(bytes.begin(), bytes.end());
            threads.push_back(std::this_thread::get_id());
        });
        midi::MidiOut().SendSysExText(0, "F0 41 10 00 0B 11 00 00 00 08 00 00 00 03");
        QVERIFY(received.empty());
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), std::size_t(1), 5000);
        const TBytes answer {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x00, 0x00,
                             0x00, 0x08, 0x01, 0x01, 0x01, 0x75, 0xF7};
        QCOMPARE(received[0], answer);
        QCOMPARE(threads[0], std::this_thread::get_id());

        // A whole patch comes as five deliveries.
        midi::MidiOut().SendSysExText(0, "F0 41 10 00 0B 11 02 00 00 00 00 00 17 01");
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), std::size_t(6), 5000);
        for (std::size_t i = 1; i < 6; ++i)
            QCOMPARE(received[i][6], std::uint8_t(0x02));
        midi::MidiIn().ClearOnSysEx();
    }

    void sentMessagesReachTheInstrument()
    {
        TVirtualRig rig;
        midi::MidiOut().SendShort(0, 0xB9, 0x07, 0x33);
        QCOMPARE(rig.Instrument().ReadByte({0x01, 0x00, 0x19, 0x06}), std::uint8_t(0x33));
        midi::MidiOut().SendSysExText(0, "00 F0 41 10 3A 12 30 55 70 00");
        QCOMPARE(rig.Instrument().ReadByte({0x01, 0x00, 0x10, 0x08}), std::uint8_t(0x60));
        QCOMPARE(rig.Instrument().Log().size(), std::size_t(2));
    }

    void eachRigStartsAfresh()
    {
        {
            TVirtualRig rig;
            midi::MidiOut().SendShort(0, 0xB0, 0x07, 0x01);
            QCOMPARE(rig.Instrument().Log().size(), std::size_t(1));
        }
        TVirtualRig rig(instrument::DinByteTime, 18);
        QVERIFY(rig.Instrument().Log().empty());
        QCOMPARE(rig.Instrument().DeviceId(), 18);
        QCOMPARE(midi::MidiOut().Count(), 1);
        midi::MidiOut().SendShort(0, 0xB0, 0x07, 0x02);
        QCOMPARE(rig.Instrument().ReadByte({0x01, 0x00, 0x10, 0x06}), std::uint8_t(0x02));
    }
};

QTEST_GUILESS_MAIN(TestInstrumentRig)
#include "tst_instrument_rig.moc"
