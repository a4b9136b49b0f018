// The whole pattern's areas without a window: addresses found in their area, dump files read
// with their faults named by offset, a shuffled dump put back in the instrument's order, the
// restore's order, the differences of two files and the checks of a restore's read-back.

#include "support/MadeUpDump.h"
#include "sysex/PatternAreas.h"

#include <QtTest>

#include <random>

namespace areas = sysex::areas;
using TBytes = std::vector<std::uint8_t>;

namespace {

std::vector<areas::TDumpMessage> Read(const TBytes &file)
{
    const areas::TDumpFile read = areas::ReadDump(file);
    if (!read.Error.empty())
        throw std::runtime_error(read.Error);
    return read.DataSets;
}

std::vector<madeup::TDumpMessage> Plain(const std::vector<areas::TDumpMessage> &messages)
{
    std::vector<madeup::TDumpMessage> plain;
    for (const auto &m : messages)
        plain.push_back({m.Address, m.Data});
    return plain;
}

} // namespace

class TPatternAreasTest : public QObject
{
    Q_OBJECT
private slots:
    void NamesOfAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::newRow("common") << "01 00 00 43"
                                << "Pattern common";
        QTest::newRow("common tail") << "01 00 00 22"
                                     << "Pattern common";
        QTest::newRow("part R") << "01 00 19 19"
                                << "Part R block";
        QTest::newRow("tone 4 second page") << "02 06 17 00"
                                            << "Part 7 tone 4";
        QTest::newRow("rhythm key") << "02 09 62 39"
                                    << "Rhythm key 98";
        QTest::newRow("notes") << "40 00 7E 7F"
                               << "Notes page 127";
        QTest::newRow("effects") << "30 00 20 23"
                                 << "Pattern effects";
        QTest::newRow("part setup") << "30 00 47 08"
                                    << "Part R setup";
        QTest::newRow("past a block") << "01 00 10 1A"
                                      << "";
        QTest::newRow("system") << "00 00 00 00"
                                << "";
    }
    void NamesOfAddresses()
    {
        QFETCH(QString, address);
        QFETCH(QString, name);
        const TBytes bytes = BytesOf(address);
        const areas::TArea *area = areas::AreaAt({bytes[0], bytes[1], bytes[2], bytes[3]});
        QCOMPARE(area ? QString::fromStdString(areas::AreaName(*area)) : QString(), name);
    }

    void FaultsNamedByOffset_data()
    {
        QTest::addColumn<TBytes>("file");
        QTest::addColumn<QString>("error");
        const TBytes good = madeup::FileOf({{{0x01, 0x00, 0x10, 0x00}, {1, 2}}});
        TBytes stray = good;
        stray.push_back(0x05);
        QTest::newRow("stray") << stray << QStringLiteral("a stray byte at offset 14");
        TBytes cut = good;
        cut.insert(cut.end(), {0xF0, 0x41, 0x10});
        QTest::newRow("cut short") << cut << QStringLiteral("a message cut short at offset 14");
        TBytes interrupted = good;
        interrupted.insert(interrupted.begin() + 5, 0x90);
        QTest::newRow("status inside")
            << interrupted << QStringLiteral("a message cut short at offset 0");
    }
    void FaultsNamedByOffset()
    {
        QFETCH(TBytes, file);
        QFETCH(QString, error);
        const areas::TDumpFile read = areas::ReadDump(file);
        QCOMPARE(QString::fromStdString(read.Error), error);
        QVERIFY(read.DataSets.empty());
    }

    void BadChecksumFlaggedOthersCounted()
    {
        TBytes file = madeup::FileOf(madeup::WholePatternMessages());
        file[file.size() - 2] ^= 1;
        const TBytes other {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
        file.insert(file.begin(), other.begin(), other.end());
        const areas::TDumpFile read = areas::ReadDump(file);
        QVERIFY(read.Error.empty());
        QCOMPARE(read.Other, 1);
        const auto bad = std::count_if(read.DataSets.begin(), read.DataSets.end(),
                                       [](const auto &m) { return !m.ChecksumHolds; });
        QCOMPARE(bad, 1);
        QVERIFY(!read.DataSets.back().ChecksumHolds);
        QCOMPARE(read.DataSets.front().Offset, other.size());
    }

    void ShuffledDumpBackInOrder()
    {
        const auto whole = madeup::WholePatternMessages();
        std::vector<areas::TDumpMessage> shuffled = Read(madeup::FileOf(whole));
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(307));
        QVERIFY(Plain(areas::InDumpOrder(shuffled)) == whole);
    }

    void RestoreSendsPatchesLast()
    {
        const auto order
            = areas::InRestoreOrder(Read(madeup::FileOf(madeup::WholePatternMessages())));
        const auto firstPatch = std::find_if(order.begin(), order.end(),
                                             [](const auto &m) { return m.Address[0] == 0x02; });
        QCOMPARE(firstPatch - order.begin(), 9 + 5 + 10);
        QVERIFY(std::all_of(firstPatch, order.end(),
                            [](const auto &m) { return m.Address[0] == 0x02; }));
        QCOMPARE(order.size(), std::size_t(9 + 35 + 65 + 5 + 10));
    }

    void DifferencesOfTwoFiles()
    {
        auto first = madeup::WholePatternMessages();
        auto second = first;
        second[0].Data[0x0D] ^= 1; // the MFX type
        second[12].Data[0x20] ^= 2;
        second.back().Data.push_back(5);
        const auto differences = areas::Differences(areas::ImageOf(Read(madeup::FileOf(first))),
                                                    areas::ImageOf(Read(madeup::FileOf(second))));
        QCOMPARE(differences.size(), std::size_t(3));
        QCOMPARE(areas::FromLinear(differences[0].Address), (areas::TAddress {1, 0, 0, 0x0D}));
        QCOMPARE(areas::FromLinear(differences[1].Address), (areas::TAddress {2, 0, 0x14, 0x20}));
        QVERIFY(!differences[2].First && differences[2].Second == 5);
    }

    void ChecksOfReadBack()
    {
        const auto written = Read(madeup::FileOf(madeup::WholePatternMessages()));
        areas::TImage back = areas::ImageOf(written);
        const std::uint32_t tone = areas::Linear({2, 3, 0x12, 0x40});
        back[tone] ^= 1;
        back[areas::Linear({0x30, 0, 0x42, 0x04})] ^= 1; // part 3's pan, its second copy
        for (int k = 0; k < 0x3A; ++k)
            back.erase(areas::Linear({2, 9, 0x30, std::uint8_t(k)}));
        const auto checks = areas::CheckAreas(written, back);
        QCOMPARE(checks.size(), std::size_t(9 + 35 + 65 + 5 + 10));
        std::map<std::string, decltype(areas::TAreaCheck::Outcome)> notEqual;
        for (const auto &check : checks)
            if (check.Outcome != areas::TAreaCheck::Equal)
                notEqual[areas::AreaName(*check.Area)] = check.Outcome;
        const std::map<std::string, decltype(areas::TAreaCheck::Outcome)> expected {
            {"Part 4 tone 2", areas::TAreaCheck::Differs},
            {"Part 3 setup", areas::TAreaCheck::CopyDiffers},
            {"Rhythm key 48", areas::TAreaCheck::NotAnswered}};
        QVERIFY(notEqual == expected);
        const auto toneCheck = std::find_if(checks.begin(), checks.end(), [](const auto &c) {
            return areas::AreaName(*c.Area) == "Part 4 tone 2";
        });
        QCOMPARE(*toneCheck->FirstDifference, areas::FromLinear(tone));
    }
};

QTEST_APPLESS_MAIN(TPatternAreasTest)
#include "tst_sysex_patternareas.moc"
