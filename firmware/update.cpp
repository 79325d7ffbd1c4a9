#include "firmware/update.h"

#include <QFile>
#include <QFileInfo>
#include <QTimerEvent>

#include "common/logging.h"
#include "common/texts.h"
#include "firmware/image.h"
#include "firmware/versionquery.h"
#include "link/errors.h"
#include "link/hextext.h"
#include "link/loaders.h"
#include "link/session.h"
#include "platform/portclaims.h"

namespace limra {

namespace {
// The loader answers a block with two bytes; a first byte 00 rejects it.
constexpr int kLoaderAnswerSize = 2;
// Identifications sent to the port that came back after the upload, at most,
// until it goes away again.
constexpr int kReturnProbes = 3;
using Mark = LoaderRegistry::Entry;
} // namespace

FirmwareUpdate::FirmwareUpdate(ReaderLink &link, ReaderSession &session, LoaderRegistry &loaders,
                               const Timings &timings, QObject *parent)
    : ReaderOperation(link, timings, parent), m_session(session), m_loaders(loaders)
{
    // The port is the run's until it has ended.
    connect(this, &ReaderOperation::ended, this, [this] {
        if (!running())
            m_claim.release();
    });
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
    m_version.clear();
    m_recordProblem.clear();
    m_blocks.clear();
    m_accepted = 0;
    m_rejectCode = 0;
    m_resuming = false;
    m_probed = false;
    m_returnProbes = 0;
    Q_EMIT progress(0, 0, -1);
    if (path.isEmpty())
        return fail(Failure::NoPath);
    if (!QFileInfo(path).isFile())
        return fail(Failure::CannotOpen);
    m_port = m_session.portName();
    m_location = location(m_port);
    // The session holds the open port already; the run keeps it while the
    // port is closed (the restarts) and waited for.
    m_claim.claim(m_port);
    if (m_session.inLoader()) {
        // The reader was left in its loader: its identity is the one remembered.
        m_resuming = true;
        m_identity = m_session.identity().firmwareIdentity;
        if (!loadSection(path))
            return;
        return atLoader();
    }
    identify();
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

void FirmwareUpdate::enter(Stage stage)
{
    m_stage = stage;
    Q_EMIT changed();
    Q_EMIT stageChanged(stage);
}

void FirmwareUpdate::identify()
{
    enter(Stage::Identifying);
    request(payload(command::Identify, command::kVersion), [this](const ReaderLink::Answer &a) { identified(a); });
}

void FirmwareUpdate::identified(const ReaderLink::Answer &answer)
{
    if (!answer.ok())
        return fail(Failure::Identify, answer.error);
    m_identity = ReaderIdentity::firmwareIdentityIn(answer.reply);
    if (m_identity.size() != 8)
        return fail(Failure::NoIdentity);
    // A port taken for a loader that answered as a reader is that reader.
    if (!m_session.isConnected())
        if (const std::optional<ReaderIdentity> who = ReaderIdentity::fromReply(answer.reply))
            m_session.setConnected(*who);
    if (!loadSection(m_path))
        return;

    // From the switch on, the reader may be in its loader: marked first, or not switched at all.
    if (!record(false))
        return;
    m_session.setFirmwareSwitching(true);
    enter(Stage::Switching);
    request(payload(command::SwitchToLoader, command::kVersion),
            [this](const ReaderLink::Answer &switchAnswer) {
                // No answer is fine: the reader may restart before it answers
                // (a time-out, a garbled answer, its port gone). Only the
                // reader's refusal with an error code stops the update (a
                // status that begins with 00 is no error code).
                const bool refused = !switchAnswer.ok() && switchAnswer.error->kind == LinkError::Kind::Refused
                                     && switchAnswer.error->code != 0;
                if (!refused)
                    return switched();
                m_session.setFirmwareSwitching(false);
                m_loaders.forget(m_port, m_location);
                fail(Failure::Switch, switchAnswer.error);
            },
            m_timings.loaderSwitch);
}

bool FirmwareUpdate::record(bool fed)
{
    const Mark mark{m_port,        m_location, m_identity, m_session.serial(), fed ? Mark::State::Fed : Mark::State::Switching,
                    portInstance(m_port)};
    const auto recorded = m_loaders.remember(mark);
    if (recorded)
        return true;
    m_recordProblem = recorded.error().text();
    fail(Failure::CannotRecord);
    return false;
}

void FirmwareUpdate::switched()
{
    enter(Stage::Restarting);
    m_pause.start(m_timings.loaderStart, this);
}

void FirmwareUpdate::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_pause.timerId()) {
        m_pause.stop();
        if (m_stage == Stage::Restarting)
            tryReopen();
        else if (m_stage == Stage::Returning)
            tryReturn();
        else if (awaitingReplug())
            watchPort();
        return;
    }
    if (event->timerId() != m_limit.timerId())
        return ReaderOperation::timerEvent(event);
    m_limit.stop();
    switch (m_stage) {
    case Stage::Restarting:
        m_session.setFirmwareSwitching(false);
        m_session.dropConnection(); // the reader counts as disconnected
        return fail(Failure::Reopen);
    case Stage::LoaderSilent:
    case Stage::AwaitingReplug: return fail(Failure::NotPluggedIn);
    case Stage::Returning:
        // It stays marked as a loader: nothing framed goes to it unasked.
        m_session.setFirmwareSwitching(false);
        if (!m_session.hasPort())
            m_session.dropConnection();
        return fail(Failure::NoReturn);
    default: return;
    }
}

void FirmwareUpdate::tryReopen()
{
    // A USB device may take seconds to come back: tried again for a while.
    if (!m_limit.isActive())
        m_limit.start(m_timings.loaderReopen, this);
    if (!m_session.reopen()) {
        m_pause.start(m_timings.reopenRetry, this);
        return;
    }
    m_limit.stop();
    m_session.setFirmwareSwitching(false);
    m_session.setInLoader(m_session.identity());
    upload(); // a loader just switched into starts afresh
}

void FirmwareUpdate::atLoader()
{
    if (loaderFresh())
        return upload();
    awaitReplug(Stage::AwaitingReplug);
}

bool FirmwareUpdate::loaderFresh() const
{
    const std::optional<Mark> mark = m_loaders.find(m_port, m_location);
    if (!mark)
        return false;
    if (mark->state == Mark::State::Switching)
        return true; // switched into, and nothing sent since
    // Blocks went to it: only a device that has gone and come back since starts afresh.
    const QString now = portInstance(m_port);
    return !mark->instance.isEmpty() && !now.isEmpty() && mark->instance != now;
}

void FirmwareUpdate::upload()
{
    // Blocks go to the loader from now on, as its port is now.
    if (!record(true))
        return;
    m_accepted = 0;
    enter(Stage::Uploading);
    m_uploadClock.start();
    m_progressClock.start();
    sendBlock();
}

void FirmwareUpdate::sendBlock()
{
    if (m_accepted == total())
        return uploaded();
    requestRaw(m_blocks[m_accepted], [this](const ReaderLink::Answer &a) { blockAnswered(a); },
               m_timings.loaderBlock);
}

void FirmwareUpdate::blockAnswered(const ReaderLink::Answer &answer)
{
    if (!answer.ok()) {
        if (m_resuming && m_accepted == 0) {
            // Nothing at all from what was taken for a loader. A reader that
            // runs its firmware answers no raw bytes either: it is asked once.
            // A loader that took the block must restart now anyway.
            if (m_probed)
                return awaitReplug(Stage::LoaderSilent);
            m_probed = true;
            request(
                payload(command::Identify, command::kVersion),
                [this](const ReaderLink::Answer &a) {
                    if (a.ok() && ReaderIdentity::fromReply(a.reply)) {
                        m_loaders.forget(m_port, m_location);
                        m_resuming = false;
                        return identified(a);
                    }
                    awaitReplug(Stage::LoaderSilent);
                },
                m_timings.identify);
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

void FirmwareUpdate::awaitReplug(Stage stage)
{
    stopWaiting();
    // The device as it is before anyone is told to plug it in again: one
    // replugged at once after the word is seen as a new one.
    m_waitedPort = portInstance(m_port);
    enter(stage);
    m_limit.start(m_timings.loaderWait, this);
    m_pause.start(m_timings.reopenRetry, this);
    m_watches << connect(&m_session, &ReaderSession::loaderConnected, this, &FirmwareUpdate::loaderBack);
    // A marked port that reports a card, or sends a frame of its own, runs a
    // reader's firmware: it is a reader.
    auto reader = [this] {
        if (awaitingReplug() && m_session.inLoader())
            answeredAsReader();
    };
    m_watches << connect(&m_link, &ReaderLink::identifierRead, this, reader)
              << connect(&m_link, &ReaderLink::cardStatus, this, reader)
              << connect(&m_link, &ReaderLink::frameReceived, this, reader);
}

// The port is looked at while the user is to plug the reader in again: a
// device that went away and came back is let go of, even where the port did
// not report its hang-up, so that it is found again as it is now.
void FirmwareUpdate::watchPort()
{
    if (m_session.inLoader() && m_session.hasPort() && portInstance(m_port) != m_waitedPort)
        m_session.dropConnection();
    m_pause.start(m_timings.reopenRetry, this);
}

void FirmwareUpdate::loaderBack()
{
    if (!awaitingReplug())
        return;
    m_port = m_session.portName();
    m_location = location(m_port);
    m_claim.claim(m_port);
    m_waitedPort = portInstance(m_port);
    if (!loaderFresh())
        return; // the same device as before: still waited for
    stopWaiting();
    m_probed = false;
    upload();
}

void FirmwareUpdate::answeredAsReader()
{
    stopWaiting();
    m_loaders.forget(m_port, m_location);
    m_resuming = false;
    identify();
}

void FirmwareUpdate::uploaded()
{
    m_lastUploadMs = double(m_uploadClock.nsecsElapsed()) / 1e6;
    qCDebug(lcFirmware) << total() << "blocks uploaded in" << m_lastUploadMs << "ms";
    tellProgress(true);
    // Done once the reader has restarted into its new firmware and told its
    // version. Its port goes away and comes back meanwhile; until then
    // nothing is sent to it (it may still be the loader).
    m_returnProbes = 0;
    enter(Stage::Returning);
    m_session.setFirmwareSwitching(true);
    m_limit.start(m_timings.readerReturn, this);
}

void FirmwareUpdate::tryReturn()
{
    if (!m_session.hasPort() && !m_session.reopen()) {
        m_pause.start(m_timings.reopenRetry, this);
        return;
    }
    if (m_returnProbes >= kReturnProbes)
        return; // until the port goes again, or the limit
    ++m_returnProbes;
    // Had the loader come back instead of the firmware, it would take the
    // identification for part of a block: it is marked as fed, as it is now.
    (void)m_loaders.remember(
        {m_port, m_location, m_identity, m_session.serial(), Mark::State::Fed, portInstance(m_port)});
    request(
        payload(command::Identify, command::kVersion),
        [this](const ReaderLink::Answer &a) {
            const std::optional<ReaderIdentity> who = a.ok() ? ReaderIdentity::fromReply(a.reply) : std::nullopt;
            if (!who) {
                m_pause.start(m_timings.reopenRetry, this);
                return;
            }
            returned(*who);
        },
        m_timings.identify);
}

void FirmwareUpdate::returned(const ReaderIdentity &identity)
{
    m_limit.stop();
    m_pause.stop();
    m_loaders.readerIdentified(m_port, m_location, identity.serialNumber());
    m_session.setFirmwareSwitching(false);
    m_session.setConnected(identity);
    // Back to card reading, as after every identification; then its version.
    request(payload(command::ResumeReading, command::kVersion), [this](const ReaderLink::Answer &) {
        request(payload(command::QueryVersion, command::kVersion), [this](const ReaderLink::Answer &a) {
            const std::optional<QByteArray> firmware = a.ok() ? a.reply.item(tag::FirmwareVersion) : std::nullopt;
            if (!firmware || firmware->size() != 3)
                return fail(Failure::NoVersion, a.error);
            m_version = FirmwareVersionQuery::firmwareVersion(bytesToHex(*firmware));
            end(Status::Done);
        });
    });
}

void FirmwareUpdate::readerLost()
{
    switch (m_stage) {
    case Stage::Switching:
        // The reader went to restart before it answered the switch.
        return switched();
    case Stage::Restarting:
    case Stage::LoaderSilent:
    case Stage::AwaitingReplug:
        return; // its port comes back
    case Stage::Returning:
        // The loader restarts into the new firmware: its port is opened again once it is back.
        m_returnProbes = 0;
        if (!m_pause.isActive())
            m_pause.start(m_timings.reopenRetry, this);
        return;
    default:
        tellStopped();
        stopWaiting();
        ReaderOperation::readerLost();
    }
}

void FirmwareUpdate::stopWaiting()
{
    m_pause.stop();
    m_limit.stop();
    for (const QMetaObject::Connection &c : std::as_const(m_watches))
        disconnect(c);
    m_watches.clear();
}

void FirmwareUpdate::stopping()
{
    stopWaiting();
    if (m_session.firmwareSwitching()) {
        m_session.setFirmwareSwitching(false);
        if (!m_session.hasPort())
            m_session.dropConnection();
    }
}

void FirmwareUpdate::fail(Failure failure, std::optional<LinkError> error)
{
    m_failure = failure;
    if (m_stage == Stage::Uploading)
        tellStopped();
    stopWaiting();
    end(Status::Failed, error);
}

void FirmwareUpdate::tellStopped()
{
    // The figures of the last accepted block; no time is left to tell.
    Q_EMIT progress(m_accepted, total(), -1);
}

void FirmwareUpdate::tellProgress(bool always)
{
    if (!always && m_accepted < total() && m_progressClock.elapsed() < m_timings.updateProgress)
        return;
    m_progressClock.restart();
    const qint64 left = m_accepted > 0 ? m_uploadClock.elapsed() * (total() - m_accepted) / m_accepted : -1;
    Q_EMIT progress(m_accepted, total(), left);
}

Report FirmwareUpdate::report() const
{
    if (status() == Status::Done)
        return Report::message(QStringLiteral("Обновление успешно завершено!")
                               + (m_version.isEmpty() ? QString() : QStringLiteral("\r\n") + texts::kFirmwareVersionLabel + m_version));
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
    case Failure::CannotRecord:
        return Report::error(QStringLiteral("Обновление не начато: не удалось записать, что считыватель будет в режиме "
                                            "загрузчика (%1). Без этой записи считыватель, оставшийся в режиме "
                                            "загрузчика, не был бы узнан.")
                                 .arg(m_recordProblem));
    case Failure::Reopen: return Report::error(QStringLiteral("Ошибка переподключения"));
    case Failure::NoAnswer: return Report::error(errorMessage(LinkError::timedOut()));
    case Failure::BadAnswer: return Report::error(errorMessage(LinkError::malformed()));
    case Failure::Rejected: return Report::error(texts::kErrorPrefix + hexByte(m_rejectCode));
    case Failure::NotPluggedIn:
        return Report::error(QStringLiteral("Считыватель не был подключён заново за %1 с: обновление микропрограммы не "
                                            "завершено, считыватель остался в режиме загрузчика.")
                                 .arg((m_timings.loaderWait + 999) / 1000));
    case Failure::NoReturn:
        return Report::error(QStringLiteral("Микропрограмма передана, но считыватель не вернулся в работу за %1 с. "
                                            "Отключите считыватель и подключите его снова.")
                                 .arg((m_timings.readerReturn + 999) / 1000));
    case Failure::NoVersion:
        return Report::error(QStringLiteral("Микропрограмма передана, считыватель вернулся в работу, но не сообщил "
                                            "версию микропрограммы."));
    }
    return Report::none();
}

} // namespace limra

#include "moc_update.cpp"
