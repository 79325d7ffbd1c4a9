#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QSignalSpy>

#include "link/hextext.h"
#include "link/readerlink.h"
#include "tests/support/fakeserialport.h"
#include "tests/support/requests.h"
#include "tests/support/responsiveness.h"
#include "tests/support/simreader.h"

using namespace limra;
using limra::testing::await;
using limra::testing::hexBytes;
using limra::testing::FakeSerialPort;

namespace {

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port.open(QStringLiteral("/dev/ttyACM0"));
        link.attach(&port);
        QObject::connect(&link, &ReaderLink::identifierRead, [this](const QString &id, IdKind kind) {
            ids << id;
            kinds << kind;
        });
        QObject::connect(&link, &ReaderLink::cardInfoRead, [this](const CardInfo &info) { infos << info; });
        QObject::connect(&link, &ReaderLink::cardStatus, [this](quint8 code) { statuses << code; });
        QObject::connect(&link, &ReaderLink::frameReceived, [this](const Reply &r) { frames << r; });
    }
    // Answers every write with the given chunks.
    void answer(QList<QByteArray> chunks)
    {
        port.responder = [chunks](const QByteArray &) { return chunks; };
    }

    FakeSerialPort port;
    ReaderLink link;
    QStringList ids;
    QList<IdKind> kinds;
    QList<CardInfo> infos;
    QList<quint8> statuses;
    QList<Reply> frames;
};

QString outcome(const ReaderLink::Answer &a, bool raw)
{
    if (a.error) {
        switch (a.error->kind) {
        case LinkError::Kind::TimedOut: return QStringLiteral("timed out");
        case LinkError::Kind::Refused: return QStringLiteral("refused ") + hexByte(a.error->code);
        case LinkError::Kind::Malformed: return QStringLiteral("malformed");
        case LinkError::Kind::PortLost: return QStringLiteral("port lost");
        }
    }
    return raw ? bytesToHex(a.raw) : bytesToHex(a.reply.body);
}

} // namespace

struct ExchangeCase {
    const char *name;
    const char *payload;
    bool raw;
    QList<QByteArray> replies;
    const char *written;
    const char *expected;
};

class Exchange : public LinkTest, public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(Exchange, GivesTheBodyTheErrorOrTheTimeOut)
{
    const ExchangeCase &c = GetParam();
    answer(c.replies);
    const ReaderLink::Answer a = await(link, hexBytes(c.payload), 60, c.raw);
    EXPECT_EQ(outcome(a, c.raw), QString::fromLatin1(c.expected));
    ASSERT_EQ(port.writes.size(), 1);
    EXPECT_EQ(port.writes[0], hexBytes(c.written));
}

INSTANTIATE_TEST_SUITE_P(Replies, Exchange, ::testing::Values(
    ExchangeCase{"status_ok_kept_in_body", "0B01", false, {hexBytes("23080B010D010024")}, "23050B0124", "0D0100"},
    ExchangeCase{"device_error", "0B01", false, {hexBytes("23080B010D010E24")}, "23050B0124", "refused 0E"},
    ExchangeCase{"empty_status_is_no_refusal", "0B01", false, {hexBytes("23070B010D0024")}, "23050B0124", "0D00"},
    ExchangeCase{"no_reply", "0501", false, {}, "2305050124", "timed out"},
    ExchangeCase{"only_cmd_and_ver_counts_as_none", "0501", false, {hexBytes("2305050124")}, "2305050124", "timed out"},
    ExchangeCase{"other_cmd_then_matching", "0B01", false,
                 {hexBytes("230805010D010024"), hexBytes("23090B01060100AA24")}, "23050B0124", "060100AA"},
    ExchangeCase{"other_cmd_only", "0B01", false, {hexBytes("230805010D010024")}, "23050B0124", "timed out"},
    ExchangeCase{"raw_reply", "00112233445566778899AABBCCDDEEFF", true, {hexBytes("0100")},
                 "00112233445566778899AABBCCDDEEFF", "0100"},
    ExchangeCase{"raw_no_reply", "0011", true, {}, "0011", "timed out"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(LinkTest, RequestsQueueAndEachIsWrittenOnceTheOneBeforeIsAnswered)
{
    answer({hexBytes("23080B010D010024")});
    QStringList order;
    link.send(hexBytes("0B01"), 500, nullptr, [&](const ReaderLink::Answer &a) { order << outcome(a, false); });
    link.send(hexBytes("0501"), 40, nullptr, [&](const ReaderLink::Answer &a) { order << outcome(a, false); });
    link.send(hexBytes("0B01"), 500, nullptr, [&](const ReaderLink::Answer &a) { order << outcome(a, false); });
    EXPECT_EQ(port.writes.size(), 1); // the second waits for the first's answer
    EXPECT_TRUE(order.isEmpty());     // nothing is told inside send()
    EXPECT_TRUE(limra::testing::waitUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (QStringList{QStringLiteral("0D0100"), QStringLiteral("timed out"), QStringLiteral("0D0100")}));
    EXPECT_EQ(port.writes, (QList<QByteArray>{hexBytes("23050B0124"), hexBytes("2305050124"), hexBytes("23050B0124")}));
}

// A request's time counts from its own write: one with more time than the
// request answered before it does not end when the earlier one would have.
TEST_F(LinkTest, ARequestTimesOutAfterItsOwnTimeNotAnEarlierOnes)
{
    answer({hexBytes("23080B010D010024")}); // answers 0B only
    EXPECT_EQ(outcome(await(link, hexBytes("0B01"), 200), false), QStringLiteral("0D0100"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(outcome(await(link, hexBytes("0501"), 500), false), QStringLiteral("timed out"));
    EXPECT_GE(clock.elapsed(), 500);
}

TEST_F(LinkTest, ReplyComesAsAnEventWithoutPolling)
{
    // The reply comes 30 ms after a 5 s limit started: the request ends at once.
    port.responder = [this](const QByteArray &) {
        QTimer::singleShot(30, &port, [this] { port.feed(hexBytes("23080B010D010024")); });
        return QList<QByteArray>();
    };
    QElapsedTimer clock;
    clock.start();
    const qint64 waited = limra::testing::runQueueWaitNs();
    EXPECT_EQ(outcome(await(link, hexBytes("0B01"), 5000), false), QStringLiteral("0D0100"));
    EXPECT_LT(limra::testing::runningMs(clock.elapsed(), limra::testing::runQueueWaitNs() - waited), 1000); // less what the machine's load took
}

TEST_F(LinkTest, APortThatGoesAwayEndsEveryRequestAtOnce)
{
    QStringList told;
    link.send(hexBytes("0B01"), 5000, nullptr, [&](const ReaderLink::Answer &a) { told << outcome(a, false); });
    link.send(hexBytes("0501"), 5000, nullptr, [&](const ReaderLink::Answer &a) { told << outcome(a, false); });
    QSignalSpy detached(&link, &ReaderLink::detached);
    link.detach();
    EXPECT_EQ(told, (QStringList{QStringLiteral("port lost"), QStringLiteral("port lost")}));
    EXPECT_EQ(detached.count(), 1);
    // Without a port a request ends as soon as the event loop runs, not after its time.
    QElapsedTimer clock;
    clock.start();
    const qint64 waited = limra::testing::runQueueWaitNs();
    EXPECT_EQ(outcome(await(link, hexBytes("0501"), 5000), false), QStringLiteral("port lost"));
    EXPECT_LT(limra::testing::runningMs(clock.elapsed(), limra::testing::runQueueWaitNs() - waited), 1000); // less what the machine's load took
}

TEST_F(LinkTest, NoHandlerRunsForAGoneContextOrACancelledRequest)
{
    answer({hexBytes("23080B010D010024")});
    bool called = false;
    auto *context = new QObject;
    link.send(hexBytes("0B01"), 200, context, [&](const ReaderLink::Answer &) { called = true; });
    delete context;
    const ReaderLink::RequestId cancelled =
        link.send(hexBytes("0B01"), 200, nullptr, [&](const ReaderLink::Answer &) { called = true; });
    link.cancel(cancelled);
    // A later request is still answered, and in its turn.
    EXPECT_EQ(outcome(await(link, hexBytes("0B01"), 500), false), QStringLiteral("0D0100"));
    EXPECT_FALSE(called);
}

TEST_F(LinkTest, APayloadTooLongForTheLengthByteIsNeverWritten)
{
    const ReaderLink::Answer a = await(link, QByteArray(kMaxPayload + 1, '\x01'), 100);
    ASSERT_TRUE(a.error.has_value());
    EXPECT_EQ(a.error->kind, LinkError::Kind::Malformed);
    EXPECT_TRUE(port.writes.isEmpty());
}

TEST_F(LinkTest, EveryStatusFrameIsToldAndNoneIsAReply)
{
    // Two statuses in one piece, then a card read: none is overwritten or dropped.
    answer({hexBytes("230800010D010E24230800010D010024") + QByteArray("UID: 0102\r\n")});
    EXPECT_EQ(outcome(await(link, hexBytes("0001"), 80), false), QStringLiteral("timed out"));
    EXPECT_EQ(statuses, (QList<quint8>{0x0E, 0x00}));
    EXPECT_EQ(ids, QStringList{QStringLiteral("0102")});
}

TEST_F(LinkTest, MalformedFramesAreDropped)
{
    port.feed(hexBytes("230900010D010E24")); // length byte says 9, 8 bytes came
    EXPECT_TRUE(link.holdingPiece());
    ASSERT_TRUE(limra::testing::waitUntil([&] { return !link.holdingPiece(); })); // the assembler gives up waiting for the rest
    EXPECT_TRUE(statuses.isEmpty());
    EXPECT_TRUE(frames.isEmpty());
}

struct LineCase {
    const char *name;
    QByteArray chunk;
    const char *id;
    IdKind kind;
};

class IdentifierLine : public LinkTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(IdentifierLine, ExtractsIdentifierAndKind)
{
    link.dispatch(GetParam().chunk);
    const QString id = QString::fromLatin1(GetParam().id);
    if (id.isEmpty()) {
        EXPECT_TRUE(ids.isEmpty());
    } else {
        ASSERT_EQ(ids.size(), 1);
        EXPECT_EQ(ids[0], id);
        EXPECT_EQ(kinds[0], GetParam().kind);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, IdentifierLine, ::testing::Values(
    LineCase{"uid", QByteArray("UID: 04A1B2C3D4E5F6\r\n"), "04A1B2C3D4E5F6", IdKind::Uid},
    LineCase{"no_terminator_loses_last", QByteArray("UID: 04A1B2C3D4E5F6"), "04A1B2C3D4E5F", IdKind::Uid},
    LineCase{"random_not_uid", QByteArray("Random UID: 08AABBCC\r\n"), "08AABBCC", IdKind::RandomUid},
    LineCase{"nonunique", QByteArray("Nonunic UID: 1234\r\n"), "1234", IdKind::NonuniqueUid},
    LineCase{"phone", QByteArray("PhoneID: 0102030405060708\r\n"), "0102030405060708", IdKind::PhoneId},
    LineCase{"mir", QByteArray("MIR: 9876\n"), "9876", IdKind::Mir},
    LineCase{"prefix_only", QByteArray("UID: \r\n"), "", IdKind::Uid}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(LinkTest, EveryLineAfterNoiseInOneChunkIsRead)
{
    QByteArray chunk("\x07junk\r\n");
    QStringList sent;
    for (int i = 0; i < 5; ++i) {
        sent << QStringLiteral("04A1B2C3D4E5F%1").arg(i);
        chunk += "UID: " + sent.last().toLatin1() + "\r\n";
    }
    port.feed(chunk);
    EXPECT_EQ(ids, sent);
}

TEST_F(LinkTest, RawRequestTakesTheFirstOtherMessageButCardsStillShow)
{
    answer({QByteArray("UID: 0102\r\n"), hexBytes("0100")});
    EXPECT_EQ(outcome(await(link, hexBytes("00112233"), 500, true), true), QStringLiteral("0100"));
    EXPECT_EQ(ids, QStringList{QStringLiteral("0102")});
}

struct InfoCase {
    const char *name;
    const char *value; // 16 digits of item 13
    const char *type;
    const char *security;
    const char *memory;
};

class CardInformation : public LinkTest, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(CardInformation, DecodesTheLabels)
{
    const QString frame = QStringLiteral("230F0001") + QStringLiteral("1308") + QString::fromLatin1(GetParam().value)
                          + QStringLiteral("24");
    link.dispatch(hexToBytes(frame));
    ASSERT_EQ(infos.size(), 1);
    EXPECT_EQ(infos[0].type, QString::fromUtf8(GetParam().type));
    EXPECT_EQ(infos[0].security, QString::fromUtf8(GetParam().security));
    EXPECT_EQ(infos[0].memory, QString::fromUtf8(GetParam().memory));
    ASSERT_EQ(frames.size(), 1); // also a whole frame
    EXPECT_EQ(bytesToHex(frames[0].body), frame.mid(8, frame.size() - 10));
}

INSTANTIATE_TEST_SUITE_P(Reports, CardInformation, ::testing::Values(
    InfoCase{"classic_1k", "0200" "02" "00040000" "01", "Mifare Classic", "SL1", "1K 17пФ"},
    InfoCase{"bytes", "0500" "01" "00020000" "00", "Mifare Ultralight", "SL0", "512B"},
    InfoCase{"rounded_down", "1000" "04" "DC050000" "02", "NTag216", "SL3", "1K 70пФ"},
    InfoCase{"four_k", "1700" "09" "00100000" "03", "EM-Marine", "", "4K"},
    InfoCase{"negative_memory", "0100" "01" "FFFFFFFF" "01", "Mifare ID", "SL0", "17пФ"},
    InfoCase{"unknown_type", "1900" "01" "00040000" "01", "", "", ""},
    InfoCase{"type_zero", "0000" "01" "00040000" "01", "", "", ""}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(LinkTest, AMasterCardsConfigurationReportIsAFrameNoRequestTakes)
{
    port.feed(hexBytes("230C0103" "06010001020003" "24"));
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames[0].cmd, 0x01);
    EXPECT_EQ(frames[0].ver, 0x03);
    EXPECT_EQ(bytesToHex(frames[0].body), QStringLiteral("06010001020003"));
}

TEST_F(LinkTest, RandomBytesNeverCrashOrHang)
{
    QRandomGenerator rng(1234);
    for (int i = 0; i < 3000; ++i) {
        QByteArray chunk(int(rng.bounded(1, 80)), Qt::Uninitialized);
        for (char &c : chunk)
            c = char(rng.bounded(256));
        if (i % 3 == 0) chunk[0] = 0x23;
        if (i % 5 == 0) chunk.prepend("UID: ");
        if (i % 7 == 0) {
            answer({chunk});
            await(link, QByteArray(1, '\0'), 1, true);
        } else {
            port.feed(chunk);
        }
    }
    SUCCEED();
}
