#include "firmware/update.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "common/logging.h"
#include "common/texts.h"
#include "firmware/image.h"
#include "link/errors.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/dialogs.h"

namespace limra {

namespace {
const QString kCannotOpen = QStringLiteral("Не удалось открыть файл микропрограммы.");
const QString kBadImage = QStringLiteral("Некорректный файл микропрограммы.");
constexpr int kBlockTimeoutMs = 2000;
// A loader's answer: the first byte 00 rejects the block, the second tells why.
constexpr int kLoaderAnswerDigits = 4;
} // namespace

FirmwareUpdate::FirmwareUpdate(ReaderLink &link, ReaderSession &session, UserDialogs &dialogs, QObject *parent)
    : QObject(parent), ReaderOperation(link, dialogs), m_session(session)
{
}

void FirmwareUpdate::fail(const QString &text)
{
    Q_EMIT waitCursor(false);
    m_dialogs.error(text);
}

void FirmwareUpdate::tell(const QString &text)
{
    Q_EMIT waitCursor(false);
    m_dialogs.message(text);
}

void FirmwareUpdate::run(const QString &path)
{
    Q_EMIT progress(0, 0, -1);
    if (path.isEmpty()) {
        fail(QStringLiteral("Укажите файл микропрограммы."));
        return;
    }
    const QFileInfo info(path);
    if (!info.isFile()) {
        fail(kCannotOpen);
        return;
    }
    const QString reply = send(command::Identify);
    if (isError(reply)) {
        fail(errorMessage(reply));
        return;
    }
    const QString identity = swapBytes(tagValue(tag::ReaderType, reply, Packet::Items))
                             + swapBytes(tagValue(tag::Identity, reply, Packet::Items));
    if (identity.size() != 8) {
        fail(QStringLiteral("Не удалось получить версию устройства."));
        return;
    }

    // From here on every exit unlocks the tabs and resets the progress.
    Q_EMIT lockedChanged(true);
    Q_EMIT waitCursor(true);
    struct Exit {
        FirmwareUpdate &update;
        ~Exit()
        {
            update.m_session.setFirmwareSwitching(false);
            Q_EMIT update.waitCursor(false);
            Q_EMIT update.progress(0, 0, -1);
            Q_EMIT update.lockedChanged(false);
        }
    } exit{*this};

    QFile file(path);
    if (info.size() > kMaxImageSize) {
        fail(kBadImage);
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        fail(kCannotOpen);
        return;
    }
    const QByteArray image = file.read(kMaxImageSize + 1); // read once; later changes do not matter
    file.close();
    const FirmwareSection section = findSection(image, identity);
    switch (section.problem) {
    case FirmwareSection::Problem::None:
        break;
    case FirmwareSection::Problem::BadSize:
        fail(kBadImage);
        return;
    case FirmwareSection::Problem::BadHeader:
        fail(QStringLiteral("Некорректный файл микропрограммы (заголовок)."));
        return;
    case FirmwareSection::Problem::NoSection:
        fail(QStringLiteral("Не найдена прошивка для текущего устройства (") + identity + QStringLiteral(")."));
        return;
    case FirmwareSection::Problem::BadCrc:
        fail(QStringLiteral("Некорректный файл микропрограммы (CRC)."));
        return;
    }

    const int total = int(section.blocks.size());
    Q_EMIT progress(0, total, -1);
    m_session.setFirmwareSwitching(true);
    const QString switched = send(command::SwitchToLoader, kLoaderSwitchTimeoutMs);
    if (isError(switched) && errorCode(switched) != 0) {
        m_session.setFirmwareSwitching(false);
        fail(errorMessage(switched));
        return;
    }

    // The reader restarts into its loader; events go on meanwhile.
    QEventLoop pause;
    QTimer::singleShot(loaderStartMs, &pause, &QEventLoop::quit);
    pause.exec();

    const bool reopened = m_session.reopen();
    m_session.setFirmwareSwitching(false);
    if (!reopened) {
        fail(QStringLiteral("Ошибка переподключения"));
        return;
    }
    if (upload(section.blocks))
        tell(QStringLiteral("Обновление успешно завершено!"));
}

bool FirmwareUpdate::upload(const QList<QByteArray> &blocks)
{
    const int total = int(blocks.size());
    m_uploadClock.start();
    m_progressClock.start();
    for (int i = 0; i < total; ++i) {
        const QString answer = m_link.exchangeRaw(bytesToHex(blocks[i]), kBlockTimeoutMs);
        if (answer.isEmpty()) {
            fail(texts::kErrorPrefix + errorText(0));
            return false;
        }
        if (answer.size() != kLoaderAnswerDigits) {
            fail(texts::kErrorPrefix + QStringLiteral("Некорректный ответ."));
            return false;
        }
        if (answer.startsWith(QLatin1String("00"))) {
            fail(texts::kErrorPrefix + answer.mid(2, 2).toUpper());
            return false;
        }
        tellProgress(i + 1, total);
    }
    m_lastUploadMs = double(m_uploadClock.nsecsElapsed()) / 1e6;
    qCDebug(lcFirmware) << total << "blocks uploaded in" << m_lastUploadMs << "ms";
    return true;
}

void FirmwareUpdate::tellProgress(int accepted, int total)
{
    if (accepted < total && m_progressClock.elapsed() < kProgressIntervalMs)
        return;
    m_progressClock.restart();
    const qint64 left = m_uploadClock.elapsed() * (total - accepted) / accepted;
    Q_EMIT progress(accepted, total, left);
}

QString FirmwareVersionQuery::firmwareVersion(const QString &item)
{
    QStringList parts;
    for (int i = 0; i + 1 < item.size(); i += 2)
        parts << QString::number(hexToInt(item.mid(i, 2)) & 0xFF);
    return parts.join(QLatin1Char('.'));
}

QString FirmwareVersionQuery::loaderVersion(const QString &item)
{
    if (item.size() != 8)
        return item;
    return firmwareVersion(swapBytes(item));
}

void FirmwareVersionQuery::run()
{
    const QString reply = send(command::QueryVersion);
    if (isError(reply)) {
        resumeAndReport(reply);
        return;
    }
    const QString firmware = tagValue(tag::FirmwareVersion, reply, Packet::Items);
    if (firmware.size() != 6)
        return;
    m_dialogs.information(QString(), QStringLiteral("Версия микропрограммы: ") + firmwareVersion(firmware)
                                         + QStringLiteral("\r\nВерсия загрузчика: ")
                                         + loaderVersion(tagValue(tag::LoaderVersion, reply, Packet::Items)));
}

} // namespace limra
