#include "display/cardlog.h"

#include <QDir>
#include <QFileInfo>

#include "common/texts.h"
#include "platform/files.h"

namespace limra {

namespace {
// Card information goes with an identifier read within this long after it.
constexpr qint64 kInfoWindowMs = 1000;
const char kUtf8Bom[] = "\xEF\xBB\xBF";

QByteArray field(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(';') || bytes.contains(',') || bytes.contains('"') || bytes.contains('\n')
        || bytes.contains('\r')) {
        bytes.replace('"', "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}
} // namespace

CardLog::CardLog(QObject *parent) : QObject(parent)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kFlushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &CardLog::flush);
}

CardLog::~CardLog()
{
    stopFile();
}

QString CardLog::kindName(IdKind kind)
{
    return QString::fromLatin1(idKindInfo(kind).label);
}

QByteArray CardLog::csvHeader()
{
    return QByteArray("Время;Вид идентификатора;ID (как показан);ID (HEX);Тип карты\r\n");
}

QByteArray CardLog::csvLine(const CardLogEntry &e)
{
    return field(e.time.toString(texts::kTimeFormat)) + ';' + field(kindName(e.kind)) + ';'
           + field(e.shown) + ';' + field(e.hex) + ';' + field(e.cardType) + "\r\n";
}

void CardLog::cardInfo(const QString &type)
{
    m_pendingType = type;
    m_typeTime = QDateTime::currentDateTime();
}

void CardLog::add(const CardLogEntry &entry)
{
    CardLogEntry e = entry;
    if (e.cardType.isEmpty() && !m_pendingType.isEmpty() && m_typeTime.msecsTo(e.time) <= kInfoWindowMs) {
        e.cardType = m_pendingType;
        m_pendingType.clear();
    }
    m_entries.push_back(e);
    Q_EMIT added(1);
    if (m_entries.size() > size_t(kHeld)) {
        m_entries.pop_front();
        Q_EMIT dropped(1);
    }
    if (m_file.isOpen()) {
        m_file.write(csvLine(e));
        if (!m_flushTimer.isActive())
            m_flushTimer.start();
    }
}

void CardLog::clear()
{
    m_entries.clear();
    Q_EMIT cleared();
}

bool CardLog::startFile(const QString &path, QString *error)
{
    stopFile();
    QDir().mkpath(QFileInfo(path).path());
    m_file.setFileName(path);
    const bool fresh = !m_file.exists() || m_file.size() == 0;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = m_file.errorString();
        return false;
    }
    if (fresh)
        m_file.write(QByteArray(kUtf8Bom) + csvHeader());
    m_file.flush();
    return true;
}

void CardLog::stopFile()
{
    m_flushTimer.stop();
    if (m_file.isOpen()) {
        m_file.flush();
        m_file.close();
    }
}

void CardLog::flush()
{
    if (m_file.isOpen())
        m_file.flush();
}

bool CardLog::saveAs(const QString &path, QString *error) const
{
    QByteArray bytes = QByteArray(kUtf8Bom) + csvHeader();
    for (const CardLogEntry &e : m_entries)
        bytes += csvLine(e);
    return writeFileAtomically(path, bytes, error);
}

} // namespace limra
