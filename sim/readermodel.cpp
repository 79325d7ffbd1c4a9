#include "sim/readermodel.h"

#include <algorithm>

#include "common/logging.h"
#include "link/frame.h"
#include "link/hextext.h"
#include "platform/processes.h"

namespace limra::sim {

QByteArray ReaderModel::defaultConfigItems()
{
    return QByteArray::fromHex("0202670003030000400601000401000501000C0800F8E00700F8E0FF");
}

ReaderModel::ReaderModel(QObject *parent) : QObject(parent), m_configItems(defaultConfigItems())
{
    m_loaderIdle.setSingleShot(true);
    m_loaderIdle.setTimerType(Qt::PreciseTimer); // a coarse timer may end its time a little early
    connect(&m_loaderIdle, &QTimer::timeout, this, &ReaderModel::loaderIdleHalf);
}

void ReaderModel::armLoaderIdle()
{
    m_idleSecondHalf = false;
    m_loaderIdle.start(std::max(1, loaderIdleMs() / 2));
}

void ReaderModel::loaderIdleHalf()
{
    const int secondHalf = std::max(1, loaderIdleMs() - loaderIdleMs() / 2);
    const qint64 waited = runQueueWaitNs();
    // What the second half ran, with a tenth of it to spare for the clock's own grain.
    const qint64 ran = m_idleSecondHalf ? runningMs(m_idleClock.elapsed(), waited - m_idleWaitedNs) : 0;
    if (!m_idleSecondHalf || ran + secondHalf / 10 < secondHalf) {
        m_idleSecondHalf = true;
        m_idleClock.start();
        m_idleWaitedNs = waited;
        m_loaderIdle.start(secondHalf);
        return;
    }
    // A loader whose upload broke off keeps waiting for a new one: the
    // firmware is not whole.
    if (!firmwareWhole())
        return;
    m_mode = Mode::Reading;
    m_pending.clear();
    Q_EMIT note(QStringLiteral("loader: %1 blocks taken, back to card reading").arg(blocksTaken()));
    Q_EMIT leftLoader();
}

void ReaderModel::injectFault(Fault fault, int value)
{
    switch (fault) {
    case Fault::Silent: m_silent = true; break;
    case Fault::StatusCode: m_statusCode = value & 0xFF; break;
    case Fault::Refuse: Q_ASSERT_X(false, "injectFault", "a refusal is set by refuse()"); break;
    case Fault::Split: m_split = true; break;
    case Fault::Delay: m_delayMs = value; break;
    case Fault::CardError: m_cardError = value & 0xFF; break;
    }
}

void ReaderModel::refuse(quint8 cmd, quint8 ver, int code)
{
    m_refused = payload(cmd, ver);
    m_refuseCode = code & 0xFF;
}

void ReaderModel::clearFault(Fault fault)
{
    switch (fault) {
    case Fault::Silent: m_silent = false; break;
    case Fault::StatusCode: m_statusCode = -1; break;
    case Fault::Refuse:
        m_refused.clear();
        m_refuseCode = kErrBadCommand;
        break;
    case Fault::Split: m_split = false; break;
    case Fault::Delay: m_delayMs = 0; break;
    case Fault::CardError: m_cardError = -1; break;
    }
}

void ReaderModel::clearFaults()
{
    for (Fault fault : {Fault::Silent, Fault::StatusCode, Fault::Refuse, Fault::Split, Fault::Delay, Fault::CardError})
        clearFault(fault);
}

bool ReaderModel::hasFault(Fault fault) const
{
    switch (fault) {
    case Fault::Silent: return m_silent;
    case Fault::StatusCode: return m_statusCode >= 0;
    case Fault::Refuse: return !m_refused.isEmpty();
    case Fault::Split: return m_split;
    case Fault::Delay: return m_delayMs > 0;
    case Fault::CardError: return m_cardError >= 0;
    }
    return false;
}

QString ReaderModel::deviceIdentity() const
{
    return hexByte(m_readerType) + hexByte(m_hardware) + swapBytes(bytesToHex(m_identityTail));
}

void ReaderModel::receive(const QByteArray &bytes)
{
    m_pending += bytes;
    if (m_mode == Mode::Loader) {
        if (!bytes.isEmpty())
            loaderReceived();
        armLoaderIdle();
        while (m_pending.size() >= kBlockSize) {
            const QByteArray block = m_pending.left(kBlockSize);
            m_pending.remove(0, kBlockSize);
            loaderBlock(block);
        }
        return;
    }
    while (!m_pending.isEmpty()) {
        if (m_pending.at(0) != kFrameStart) {
            m_pending.remove(0, 1);
            continue;
        }
        if (m_pending.size() < 2)
            return;
        const int len = quint8(m_pending.at(1));
        if (len < kMinFrameLength) {
            m_pending.remove(0, 1);
            continue;
        }
        if (m_pending.size() < len)
            return;
        if (m_pending.at(len - 1) != kFrameEnd) {
            m_pending.remove(0, 1);
            continue;
        }
        const QByteArray payload = m_pending.mid(2, len - kFrameOverhead);
        m_pending.remove(0, len);
        handleFrame(payload);
    }
}

void ReaderModel::pluggedIn()
{
    m_pending.clear();
    if (m_mode == Mode::Loader) {
        restartLoader(false);
        m_loaderIdle.stop();
    }
}

void ReaderModel::loaderBlock(const QByteArray &block)
{
    const BlockOutcome outcome = takeBlock(block);
    if (!outcome.note.isEmpty())
        Q_EMIT note(outcome.note);
    if (!outcome.answer.isEmpty())
        emitBytes(outcome.answer);
}

namespace {
// An item: tag, length, value.
QByteArray item(quint8 tag, const QByteArray &value)
{
    return QByteArray(1, char(tag)) + char(value.size()) + value;
}

// A status item (0D) with this code.
QByteArray statusItem(int code)
{
    return item(tag::Status, QByteArray(1, char(code)));
}

// Item `tag` among `items` holds one byte of one of these values.
bool itemIsOneOf(const QByteArray &items, quint8 tag, std::initializer_list<quint8> values)
{
    const std::optional<QByteArrayView> value = findItem(items, tag);
    if (!value || value->size() != 1)
        return false;
    return std::find(values.begin(), values.end(), quint8(value->front())) != values.end();
}
} // namespace

void ReaderModel::handleFrame(const QByteArray &payload)
{
    m_commandsReceived << payload;
    Q_EMIT note(QStringLiteral("command %1").arg(bytesToHex(payload)));
    if (m_silent)
        return;
    const quint8 cmd = quint8(payload.at(0));
    const quint8 ver = quint8(payload.at(1));
    if (m_statusCode >= 0) {
        reply(cmd, ver, statusItem(m_statusCode));
        return;
    }
    if (!m_refused.isEmpty() && payload.startsWith(m_refused)) {
        reply(cmd, ver, statusItem(m_refuseCode));
        return;
    }
    const QByteArray rest = payload.mid(2);
    namespace c = command;
    if (cmd == c::Identify && ver == c::kVersion) {
        QByteArray ff;
        ff.append(char(m_hardware)).append(char(m_readerType));
        reply(cmd, ver, item(tag::Serial, m_serial) + item(tag::ReaderType, ff) + item(tag::Identity, m_identityTail));
    } else if (cmd == c::ResumeReading && ver == c::kVersion) {
        m_mode = Mode::Reading;
        reply(cmd, ver);
    } else if (cmd == c::ReadConfig && ver == c::kVersion) {
        reply(cmd, ver, readConfigReply());
    } else if (cmd == c::WriteConfig && ver == c::ReaderConfigVersion) {
        m_configItems = rest;
        reply(cmd, ver);
        if (itemIsOneOf(rest, tag::ReadMode, {0x01, 0x03})) {
            m_mode = Mode::ObjectCode;
            Q_EMIT note(QStringLiteral("waiting for the master card with the object code"));
        }
    } else if (cmd == c::WriteConfig && ver == c::MasterConfigVersion) {
        const qsizetype n = rest.size();
        const bool tagged = n >= 3 && quint8(rest.at(n - 3)) == tag::Protection && rest.at(n - 2) == 0x01;
        setMasterConfig(tagged ? rest.left(n - 3) : rest, tagged ? rest.right(1) : QByteArray());
        reply(cmd, ver);
    } else if (cmd == c::WriteConfig && ver == c::ZonesVersion) {
        setSecureZones(findItem(rest, tag::Key).value_or(QByteArrayView()).toByteArray());
        reply(cmd, ver);
    } else if (cmd == c::StartMasterCards && ver == c::kVersion) {
        m_mode = Mode::CreateMasters;
        const QByteArrayView place = findItem(rest, tag::SetPlace).value_or(QByteArrayView());
        beginMasterSet(place.size() >= 2 ? quint8(place.at(1)) : 0);
        reply(cmd, ver);
    } else if (cmd == c::ClearMasterCards && ver == c::kVersion) {
        m_mode = Mode::ClearMasters;
        reply(cmd, ver);
    } else if ((cmd == c::CreateSecureCards || cmd == c::ClearSecureCards) && ver == c::kVersion) {
        m_mode = cmd == c::CreateSecureCards ? Mode::CreateSecure : Mode::ClearSecure;
        forgetAcceptedObjectCode();
        reply(cmd, ver);
    } else if (cmd == c::ReadMasterCard && ver == c::kVersion) {
        m_mode = Mode::ReadMaster;
        reply(cmd, ver);
    } else if (cmd == c::TakeOverMasterCard && ver == c::kVersion) {
        m_mode = Mode::TakeOverMaster;
        reply(cmd, ver);
    } else if (cmd == c::ClearAllSecureCards && ver == c::kVersion) {
        m_mode = Mode::ClearAllSecure;
        reply(cmd, ver);
    } else if (cmd == c::QueryVersion && ver == c::kVersion) {
        reply(cmd, ver, m_firmwareItems);
    } else if (cmd == c::SwitchToLoader && ver == c::kVersion) {
        if (!hasLoaderFault(LoaderFault::SwitchUnanswered))
            reply(cmd, ver);
        m_mode = Mode::Loader;
        restartLoader(true);
        m_pending.clear();
        m_loaderIdle.stop();
        Q_EMIT note(QStringLiteral("switched to the firmware loader"));
        Q_EMIT switchedToLoader();
    } else {
        reply(cmd, ver, statusItem(kErrBadCommand));
    }
}

QByteArray ReaderModel::readConfigReply() const
{
    QByteArray body = m_configItems;
    if (!m_objectCodeChecksum.isEmpty())
        body += item(tag::ObjectChecksum, m_objectCodeChecksum);
    if (!m_blockKeyChecksum.isEmpty())
        body += item(tag::KeyChecksum, m_blockKeyChecksum);
    if (m_emMarine)
        body += item(0x14, QByteArray(1, '\x01'));
    return body;
}

void ReaderModel::reply(quint8 cmd, quint8 ver, const QByteArray &body)
{
    QByteArray b = body;
    if (!findItem(b, tag::Status))
        b += statusItem(0);
    emitFrame(payload(cmd, ver, b));
}

// A frame around a payload as the reader sends it: its length byte keeps the
// low 8 bits of a length past 255.
void ReaderModel::emitFrame(const QByteArray &payload)
{
    emitBytes(QByteArray(1, kFrameStart) + char(payload.size() + kFrameOverhead) + payload + kFrameEnd);
}

void ReaderModel::emitBytes(const QByteArray &bytes)
{
    if (m_delayMs > 0) {
        QTimer::singleShot(m_delayMs, this, [this, bytes] { writeNow(bytes); });
        return;
    }
    writeNow(bytes);
}

void ReaderModel::writeNow(const QByteArray &bytes)
{
    // A loader is not idle while its own answer is on its way: its idle
    // time counts from the answer.
    if (m_mode == Mode::Loader && m_loaderIdle.isActive())
        armLoaderIdle();
    if (m_split && bytes.size() > 1) {
        const int half = int(bytes.size() / 2);
        Q_EMIT output(bytes.left(half));
        const QByteArray rest = bytes.mid(half);
        QTimer::singleShot(5, this, [this, rest] { Q_EMIT output(rest); });
        return;
    }
    Q_EMIT output(bytes);
}

void ReaderModel::cardStatus(int code)
{
    if (m_cardError >= 0) {
        code = m_cardError;
        m_cardError = -1;
    }
    Q_EMIT note(QStringLiteral("card operation status %1").arg(hexByte(code)));
    emitFrame(payload(0x00, 0x01, statusItem(code)));
}

void ReaderModel::tell(const CardOutcome &outcome)
{
    if (outcome.takenItems)
        m_configItems = *outcome.takenItems;
    if (outcome.objectCodeChecksum) {
        m_objectCodeChecksum = *outcome.objectCodeChecksum;
        m_mode = Mode::Reading;
    }
    if (!outcome.report.isEmpty())
        emitFrame(payload(command::WriteConfig, command::MasterReportVersion, outcome.report));
    if (outcome.status >= 0)
        cardStatus(outcome.status);
}

void ReaderModel::presentCard(IdKind kind, const QString &id)
{
    if (m_mode == Mode::Reading) {
        emitBytes(QByteArray(idKindInfo(kind).prefix) + id.toLatin1() + "\r\n");
        return;
    }
    tell(cardPresented(m_mode, id));
}

void ReaderModel::sendCardInfo(int type, int level, qint32 memory, int capacitance)
{
    // Item 13: the type and the memory least significant byte first.
    const auto mem = quint32(memory);
    QByteArray value;
    value.append(char(type & 0xFF)).append(char((type >> 8) & 0xFF)).append(char(level));
    for (int shift = 0; shift < 32; shift += 8)
        value.append(char((mem >> shift) & 0xFF));
    value.append(char(capacitance));
    // Card information comes as an unsolicited frame of its own.
    emitFrame(payload(0x00, 0x01, item(tag::CardInfo, value)));
}

void ReaderModel::presentBlank(const QString &uid)
{
    const QString id = uid.isEmpty() ? newUid() : uid.toUpper();
    if (m_mode == Mode::Reading) {
        presentCard(IdKind::Uid, id);
        return;
    }
    tell(cardPresented(m_mode, id));
}

void ReaderModel::presentMaster(int index)
{
    index = masterToPresent(index, defaultConfigItems());
    if (m_mode == Mode::Reading) {
        presentCard(IdKind::Uid, masterUid(index));
        return;
    }
    tell(masterPresented(m_mode, index));
}

bool parseKind(const QString &word, IdKind *kind)
{
    static const struct {
        const char *word;
        IdKind kind;
    } table[] = {
        {"uid", IdKind::Uid}, {"phone", IdKind::PhoneId}, {"mir", IdKind::Mir},
        {"nonunique", IdKind::NonuniqueUid}, {"random", IdKind::RandomUid},
    };
    for (const auto &row : table)
        if (word.compare(QLatin1String(row.word), Qt::CaseInsensitive) == 0) {
            *kind = row.kind;
            return true;
        }
    return false;
}

} // namespace limra::sim

#include "moc_readermodel.cpp"
