#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "link/hextext.h"
#include "link/readerlink.h"
#include "tests/support/fakeserialport.h"

using namespace limra;
using limra::testing::FakeSerialPort;

namespace {

QByteArray bytes(const char *hex) { return hexToBytes(QString::fromLatin1(hex)); }

struct RecordingSink : ReceiveSink {
    void identifierRead(const QString &id, IdKind kind) override { ids << id; kinds << kind; }
    void cardInfoRead(const CardInfo &info) override { infos << info; }
    bool masterConfigWaiting() const override { return waiting; }
    void masterConfigRead(const QString &items) override { masterItems = items; }
    QStringList ids;
    QList<IdKind> kinds;
    QList<CardInfo> infos;
    bool waiting = false;
    QString masterItems;
};

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port.open(QStringLiteral("/dev/ttyACM0"));
        link.attach(&port);
        link.addSink(&sink);
    }
    // Answers every write with the given chunks.
    void answer(QList<QByteArray> chunks)
    {
        port.responder = [chunks](const QByteArray &) { return chunks; };
    }
    // An exchange for cmd 00: whatever complete frame with cmd 00 arrives is its reply.
    QString statusSlot() { return link.exchange(QStringLiteral("0001"), 80); }

    FakeSerialPort port;
    ReaderLink link;
    RecordingSink sink;
};

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

TEST_P(Exchange, ReturnsBodyErrorOrTimeout)
{
    const ExchangeCase &c = GetParam();
    answer(c.replies);
    const QString payload = QString::fromLatin1(c.payload);
    const QString result = c.raw ? link.exchangeRaw(payload, 60) : link.exchange(payload, 60);
    EXPECT_EQ(result, QString::fromLatin1(c.expected));
    ASSERT_EQ(port.writes.size(), 1);
    EXPECT_EQ(port.writes[0], bytes(c.written));
}

INSTANTIATE_TEST_SUITE_P(Replies, Exchange, ::testing::Values(
    ExchangeCase{"status_ok_kept_in_body", "0B01", false, {bytes("23080B010D010024")}, "23050B0124", "0D0100"},
    ExchangeCase{"device_error", "0B01", false, {bytes("23080B010D010E24")}, "23050B0124", "ER0E"},
    ExchangeCase{"no_reply", "0501", false, {}, "2305050124", "ER00"},
    ExchangeCase{"only_cmd_and_ver_counts_as_none", "0501", false, {bytes("2305050124")}, "2305050124", "ER00"},
    ExchangeCase{"other_cmd_then_matching", "0B01", false,
                 {bytes("230805010D010024"), bytes("23090B01060100AA24")}, "23050B0124", "060100AA"},
    ExchangeCase{"other_cmd_only", "0B01", false, {bytes("230805010D010024")}, "23050B0124", "ER00"},
    ExchangeCase{"odd_digit_not_sent", "050", false, {}, "23040524", "ER00"},
    ExchangeCase{"lower_case_never_matches", "0c01", false, {bytes("23080C010D010024")}, "23050C0124", "ER00"},
    ExchangeCase{"raw_reply", "00112233445566778899AABBCCDDEEFF", true, {bytes("0100")},
                 "00112233445566778899AABBCCDDEEFF", "0100"},
    ExchangeCase{"raw_no_reply", "0011", true, {}, "0011", ""}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(LinkTest, ZeroLimitStillGivesTheDispatcherOnePass)
{
    answer({bytes("23080B010D010024")});
    EXPECT_EQ(link.exchange(QStringLiteral("0B01"), 0), QStringLiteral("0D0100"));
}

TEST_F(LinkTest, ReplyWakesTheWaitWithoutPolling)
{
    // The reply comes 30 ms after a 5 s limit started: the exchange ends at once.
    port.responder = [this](const QByteArray &) {
        QTimer::singleShot(30, &port, [this] { port.feed(bytes("23080B010D010024")); });
        return QList<QByteArray>();
    };
    const qint64 start = tickMs();
    EXPECT_EQ(link.exchange(QStringLiteral("0B01"), 5000), QStringLiteral("0D0100"));
    EXPECT_LT(tickMs() - start, 1000);
}

TEST_F(LinkTest, NoPortTimesOut)
{
    link.detach();
    EXPECT_EQ(link.exchange(QStringLiteral("0501"), 20), QStringLiteral("ER00"));
}

TEST_F(LinkTest, StatusFrameGoesToTheCardEventsOnly)
{
    answer({bytes("230800010D010E24")});
    EXPECT_EQ(statusSlot(), QStringLiteral("ER00")); // not a reply
    EXPECT_TRUE(link.cardEvents().failure());
    EXPECT_EQ(link.cardEvents().code(), 0x0E);
}

TEST_F(LinkTest, MalformedFramesAreDropped)
{
    answer({bytes("230900010D010E24")}); // length byte says 9, 8 bytes came
    EXPECT_EQ(statusSlot(), QStringLiteral("ER00"));
    EXPECT_FALSE(link.cardEvents().waiting());
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
    link.dispatch(bytes("230800010D010024")); // a card operation succeeded
    link.dispatch(GetParam().chunk);
    const QString id = QString::fromLatin1(GetParam().id);
    if (id.isEmpty()) {
        EXPECT_TRUE(sink.ids.isEmpty());
        EXPECT_TRUE(link.cardEvents().success());
    } else {
        ASSERT_EQ(sink.ids.size(), 1);
        EXPECT_EQ(sink.ids[0], id);
        EXPECT_EQ(sink.kinds[0], GetParam().kind);
        EXPECT_FALSE(link.cardEvents().waiting()); // a waiting status is dropped
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

TEST_F(LinkTest, RawExchangeTakesTheFirstOtherChunkButCardsStillShow)
{
    answer({QByteArray("UID: 0102\r\n"), bytes("0100")});
    EXPECT_EQ(link.exchangeRaw(QStringLiteral("00112233"), 500), QStringLiteral("0100"));
    EXPECT_EQ(sink.ids, QStringList{QStringLiteral("0102")});
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
    answer({hexToBytes(frame)});
    EXPECT_EQ(statusSlot(), frame.mid(8, frame.size() - 10)); // also a complete frame
    ASSERT_EQ(sink.infos.size(), 1);
    EXPECT_EQ(sink.infos[0].type, QString::fromUtf8(GetParam().type));
    EXPECT_EQ(sink.infos[0].security, QString::fromUtf8(GetParam().security));
    EXPECT_EQ(sink.infos[0].memory, QString::fromUtf8(GetParam().memory));
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

TEST_F(LinkTest, MasterConfigurationReachesAWaitingDialogOnly)
{
    const QByteArray report = bytes("230C0103" "06010001020003" "24");
    port.feed(report);
    EXPECT_TRUE(sink.masterItems.isEmpty());
    sink.waiting = true;
    port.feed(report);
    EXPECT_EQ(sink.masterItems, QStringLiteral("06010001020003"));
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
            link.exchangeRaw(QStringLiteral("00"), 0);
        } else {
            port.feed(chunk);
        }
    }
    SUCCEED();
}
