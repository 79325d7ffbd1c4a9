#include "firmware/update.h"

#include <QFile>
#include <QFileInfo>
#include <QTimerEvent>

#include "common/logging.h"
#include "common/texts.h"
#include "firmware/image.h"
#include "link/errors.h"
#include "link/hextext.h"
#include "link/loaders.h"
#include "link/session.h"

namespace limra {

namespace {
// The loader answers a block with two bytes; a first byte 00 rejects it.
constexpr int kLoaderAnswerSize = 2;
} // namespace

FirmwareUpdate::FirmwareUpdate(ReaderLink &link, ReaderSession &session, LoaderRegistry &loaders,
                               const Timings &timings, QObject *parent)
    : ReaderOperation(link, timings, parent), m_session(session), m_loaders(loaders)
{
}

FirmwareUpdate::~FirmwareUpdate()
{
    if (running() && m_session.firmwareSwitching())
        m_session.setFirmwareSwitching(false);
}

void FirmwareUpdate::start(const QString &path)
{
    begin();
    m_failure = Failure::None;
    m_path = path;
    m_identity.clear();
    m_blocks.clear();
    m_accepted = 0;
    m_rejectCode = 0;
    m_resuming = false;
    Q_EMIT progress(0, 0, -1);
    if (path.isEmpty())
        return fail(Failure::NoPath);
    if (!QFileInfo(path).isFile())
        return fail(Failure::CannotOpen);
    m_port = m_session.portName();
    m_location = location(m_port);
    if (m_session.inLoader()) {
        // The reader was left in its loader: its identity is the one remembered.
        m_resuming = true;
        m_identity = m_session.identity().firmwareIdentity;
        if (!loadSection(path))
            return;
        return upload();
    }
    m_stage = Stage::Identifying;
    Q_EMIT changed();
    request(payload(command::Identify, command::kVersion), [this](const ReaderLink::Answer &a) { identified(a); });
}

bool FirmwareUpdate::loadSection(const QString &path)
{
    QFile file(path);
    if (QFileInfo(path).size() > kMaxImageSize) {
        fail(Failure::BadImage);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        fail(Failure::CannotOpen);
        return false;
    }
    const QByteArray image = file.read(kMaxImageSize + 1); // read once; later changes do not matter
    const FirmwareSection section = findSection(image, m_identity);
    switch (section.problem) {
    case FirmwareSection::Problem::None: break;
    case FirmwareSection::Problem::BadSize: fail(Failure::BadImage); return false;
    case FirmwareSection::Problem::BadHeader: fail(Failure::BadHeader); return false;
    case FirmwareSection::Problem::NoSection: fail(Failure::NoSection); return false;
    case FirmwareSection::Problem::BadCrc: fail(Failure::BadCrc); return false;
    }
    m_blocks = section.blocks;
    // The total is known from here on, also in a run that goes to the loader at once.
    Q_EMIT progress(0, total(), -1);
    return true;
}

void FirmwareUpdate::identified(const ReaderLink::Answer &answer)
{
    if (!answer.ok())
        return fail(Failure::Identify, answer.error);
    const std::optional<QByteArray> type = answer.reply.item(tag::ReaderType);
    const std::optional<QByteArray> tail = answer.reply.item(tag::Identity);
    m_identity = swapBytes(type ? bytesToHex(*type) : QString()) + swapBytes(tail ? bytesToHex(*tail) : QString());
    if (m_identity.size() != 8)
        return fail(Failure::NoIdentity);
    if (!loadSection(m_path))
        return;

    // From the switch on, the reader may be in its loader.
    m_session.setFirmwareSwitching(true);
    m_loaders.remember({m_port, m_location, m_identity, m_session.serial()});
    m_stage = Stage::Switching;
    Q_EMIT changed();
    request(payload(command::SwitchToLoader, command::kVersion),
            [this](const ReaderLink::Answer &switchAnswer) {
                // No answer is fine: the reader may restart before it answers.
                if (switchAnswer.ok() || switchAnswer.error->textCode() == 0)
                    return switched();
                m_session.setFirmwareSwitching(false);
                m_loaders.forget(m_port, m_location);
                fail(Failure::Switch, switchAnswer.error);
            },
            m_timings.loaderSwitch);
}

void FirmwareUpdate::switched()
{
    m_stage = Stage::Restarting;
    Q_EMIT changed();
    m_pause.start(m_timings.loaderStart, this);
}

void FirmwareUpdate::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_pause.timerId())
        return ReaderOperation::timerEvent(event);
    m_pause.stop();
    reopen();
}

void FirmwareUpdate::reopen()
{
    const bool reopened = m_session.reopen();
    m_session.setFirmwareSwitching(false);
    if (!reopened)
        return fail(Failure::Reopen);
    m_session.setInLoader(m_session.identity());
    upload();
}

void FirmwareUpdate::upload()
{
    m_stage = Stage::Uploading;
    m_accepted = 0;
    Q_EMIT changed();
    m_uploadClock.start();
    m_progressClock.start();
    sendBlock();
}

void FirmwareUpdate::sendBlock()
{
    if (m_accepted == total()) {
        m_lastUploadMs = double(m_uploadClock.nsecsElapsed()) / 1e6;
        qCDebug(lcFirmware) << total() << "blocks uploaded in" << m_lastUploadMs << "ms";
        m_loaders.forget(m_port, m_location);
        m_session.setConnected(m_session.identity());
        tellProgress(true);
        return end(Status::Done);
    }
    requestRaw(m_blocks[m_accepted], [this](const ReaderLink::Answer &a) { blockAnswered(a); },
               m_timings.loaderBlock);
}

void FirmwareUpdate::blockAnswered(const ReaderLink::Answer &answer)
{
    if (!answer.ok()) {
        if (m_resuming && m_accepted == 0) {
            // The loader says nothing at all: the user may plug it in again.
            m_stage = Stage::LoaderSilent;
            Q_EMIT changed();
            m_loaderWatch = connect(&m_session, &ReaderSession::loaderConnected, this, &FirmwareUpdate::loaderBack,
                                    Qt::UniqueConnection);
            return;
        }
        return fail(Failure::NoAnswer);
    }
    if (answer.raw.size() != kLoaderAnswerSize)
        return fail(Failure::BadAnswer);
    if (answer.raw.at(0) == 0) {
        m_rejectCode = quint8(answer.raw.at(1));
        return fail(Failure::Rejected);
    }
    ++m_accepted;
    tellProgress(false);
    sendBlock();
}

void FirmwareUpdate::loaderBack()
{
    disconnect(m_loaderWatch);
    if (!running() || m_stage != Stage::LoaderSilent)
        return;
    m_port = m_session.portName();
    m_location = location(m_port);
    upload();
}

void FirmwareUpdate::readerLost()
{
    switch (m_stage) {
    case Stage::Switching:
        // The reader went to restart before it answered the switch.
        return switched();
    case Stage::Restarting:
    case Stage::LoaderSilent:
        return; // its port comes back
    default:
        tellStopped();
        ReaderOperation::readerLost();
    }
}

void FirmwareUpdate::stopping()
{
    m_pause.stop();
    disconnect(m_loaderWatch);
    if (m_session.firmwareSwitching())
        m_session.setFirmwareSwitching(false);
}

void FirmwareUpdate::fail(Failure failure, std::optional<LinkError> error)
{
    m_failure = failure;
    if (m_stage == Stage::Uploading)
        tellStopped();
    end(Status::Failed, error);
}

void FirmwareUpdate::tellStopped()
{
    // The figures of the last accepted block; no time is left to tell.
    Q_EMIT progress(m_accepted, total(), -1);
}

void FirmwareUpdate::tellProgress(bool always)
{
    if (!always && m_accepted < total() && m_progressClock.elapsed() < kProgressIntervalMs)
        return;
    m_progressClock.restart();
    const qint64 left = m_accepted > 0 ? m_uploadClock.elapsed() * (total() - m_accepted) / m_accepted : -1;
    Q_EMIT progress(m_accepted, total(), left);
}

Report FirmwareUpdate::report() const
{
    if (status() == Status::Done)
        return Report::message(QStringLiteral("Обновление успешно завершено!"));
    switch (m_failure) {
    case Failure::None:
    case Failure::Identify:
    case Failure::Switch: return ReaderOperation::report();
    case Failure::NoPath: return Report::error(QStringLiteral("Укажите файл микропрограммы."));
    case Failure::CannotOpen: return Report::error(QStringLiteral("Не удалось открыть файл микропрограммы."));
    case Failure::NoIdentity: return Report::error(QStringLiteral("Не удалось получить версию устройства."));
    case Failure::BadImage: return Report::error(QStringLiteral("Некорректный файл микропрограммы."));
    case Failure::BadHeader: return Report::error(QStringLiteral("Некорректный файл микропрограммы (заголовок)."));
    case Failure::NoSection:
        return Report::error(QStringLiteral("Не найдена прошивка для текущего устройства (") + m_identity
                             + QStringLiteral(")."));
    case Failure::BadCrc: return Report::error(QStringLiteral("Некорректный файл микропрограммы (CRC)."));
    case Failure::Reopen: return Report::error(QStringLiteral("Ошибка переподключения"));
    case Failure::NoAnswer: return Report::error(errorMessage(LinkError::timedOut()));
    case Failure::BadAnswer: return Report::error(errorMessage(LinkError::malformed()));
    case Failure::Rejected: return Report::error(texts::kErrorPrefix + hexByte(m_rejectCode));
    }
    return Report::none();
}

// ---- the version query -----------------------------------------------------------

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

Report FirmwareVersionQuery::report() const
{
    if (status() != Status::Done)
        return ReaderOperation::report();
    if (m_firmware.isEmpty())
        return Report::none();
    return Report::information(QStringLiteral("Версия микропрограммы: ") + m_firmware
                               + QStringLiteral("\r\nВерсия загрузчика: ") + m_loader);
}

void FirmwareVersionQuery::start()
{
    begin();
    m_firmware.clear();
    m_loader.clear();
    request(payload(command::QueryVersion, command::kVersion), [this](const ReaderLink::Answer &answer) {
        if (!answer.ok())
            return resumeAndFail(*answer.error);
        const std::optional<QByteArray> firmware = answer.reply.item(tag::FirmwareVersion);
        const std::optional<QByteArray> loader = answer.reply.item(tag::LoaderVersion);
        if (firmware && firmware->size() == 3) {
            m_firmware = firmwareVersion(bytesToHex(*firmware));
            m_loader = loaderVersion(loader ? bytesToHex(*loader) : QString());
        }
        end(Status::Done);
    });
}

} // namespace limra

#include "moc_update.cpp"
