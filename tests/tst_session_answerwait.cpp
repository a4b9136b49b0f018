// The part session's answer wait: which received bytes complete the blocks a request expects,
// and a wait that ends on its last block however long its bound, or at its bound when the
// answers stay incomplete.

#include "session/AnswerWait.h"
#include "support/MessageText.h"
#include "support/RecordingOutputs.h"

#include <QTimer>
#include <QtTest>

using TMessages = std::vector<std::vector<std::uint8_t>>;
Q_DECLARE_METATYPE(TMessages)

namespace {
// A pattern part block and a tone block, which runs over two address pages.
const TAnswerWait::TBlock Expected[]
    = {{{0x01, 0x00, 0x12, 0x00}, 0x1A}, {{0x02, 0x02, 0x10, 0x00}, 0x81}};
constexpr std::uint8_t Device = 0x10;

std::vector<std::uint8_t> Bytes(std::array<std::uint8_t, 4> address, int count,
                                std::uint8_t device = 0x10)
{
    return DataSetMessage(address, std::vector<std::uint8_t>(std::size_t(count), 0x01), device);
}
const auto Part = [](int count, std::uint8_t offset = 0) {
    return Bytes({0x01, 0x00, 0x12, offset}, count);
};
} // namespace

class TestAnswerWait : public QObject
{
    Q_OBJECT

private slots:
    void completeOnceEveryByteHasArrived_data()
    {
        QTest::addColumn<TMessages>("messages");
        QTest::addColumn<bool>("complete");
        const auto tone = Bytes({0x02, 0x02, 0x10, 0x00}, 0x81);
        QTest::newRow("whole blocks") << TMessages {Part(0x1A), tone} << true;
        QTest::newRow("in pieces, overlapping")
            << TMessages {Part(0x10), Part(0x0C, 0x0E), Bytes({0x02, 0x02, 0x10, 0x00}, 0x80),
                          Bytes({0x02, 0x02, 0x11, 0x00}, 1)}
            << true;
        QTest::newRow("longer than the block") << TMessages {Part(0x30), tone} << true;
        QTest::newRow("one block") << TMessages {tone} << false;
        QTest::newRow("its last byte missing") << TMessages {Part(0x19), tone} << false;
        QTest::newRow("a hole") << TMessages {Part(0x0C), Part(0x0C, 0x0E), tone} << false;
        QTest::newRow("a tone's second page missing")
            << TMessages {Part(0x1A), Bytes({0x02, 0x02, 0x10, 0x00}, 0x80)} << false;
        QTest::newRow("another part")
            << TMessages {Bytes({0x01, 0x00, 0x13, 0x00}, 0x1A), tone} << false;
        QTest::newRow("another device")
            << TMessages {Bytes({0x01, 0x00, 0x12, 0x00}, 0x1A, 0x11), tone} << false;
        QTest::newRow("a request, not a data set")
            << TMessages {RequestMessage({0x01, 0x00, 0x12, 0x00}, {0, 0, 0, 0x1A}), tone} << false;
        auto cut = Part(0x1A);
        cut.pop_back();
        QTest::newRow("cut short, no F7") << TMessages {cut, tone} << false;
    }
    void completeOnceEveryByteHasArrived()
    {
        QFETCH(TMessages, messages);
        QFETCH(bool, complete);
        TAnswerWait wait;
        wait.Expect(Expected, Device);
        QVERIFY(!wait.Complete());
        for (const auto &message : messages)
            wait.Note(message);
        QCOMPARE(wait.Complete(), complete);
    }

    // Bounded by an hour, the wait ends with the last block noted while it runs; bounded by a
    // few milliseconds, it ends without it.
    void endsOnTheLastBlockOrAtItsBound()
    {
        TRecordingOutputs outputs;
        TAnswerWait wait;
        wait.Expect(Expected, Device);
        wait.Note(Part(0x1A));
        QTimer::singleShot(10, this, [&] { wait.Note(Bytes({0x02, 0x02, 0x10, 0x00}, 0x81)); });
        wait.Run(outputs.Device(0), 3600 * 1000);
        QVERIFY(wait.Complete());
        wait.Run(outputs.Device(0), 3600 * 1000);

        wait.Expect(Expected, Device);
        wait.Run(outputs.Device(0), 5);
        QVERIFY(!wait.Complete());
    }
};

QTEST_MAIN(TestAnswerWait)
#include "tst_session_answerwait.moc"
