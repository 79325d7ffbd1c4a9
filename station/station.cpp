#include "station/station.h"

#include <QTimer>

#include "common/texts.h"
#include "config/backups.h"
#include "config/configfile.h"
#include "config/transfer.h"
#include "display/cardlog.h"
#include "display/cardpresenter.h"
#include "firmware/update.h"
#include "firmware/versionquery.h"
#include "link/discovery.h"
#include "link/loaders.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "link/trafficlog.h"
#include "platform/devicemonitor.h"
#include "provisioning/mastercards.h"
#include "provisioning/masterconfig.h"
#include "provisioning/securecards.h"
#include "provisioning/singlecardwait.h"

namespace limra {

namespace {
QString inFolder(const QString &folder, const QString &name)
{
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}
} // namespace

ReaderStation::ReaderStation(const Platform &platform, const Timings &timings, QObject *parent)
    : QObject(parent), m_platform(platform), m_timings(timings)
{
    m_link = std::make_unique<ReaderLink>(m_timings);
    m_session = std::make_unique<ReaderSession>(*m_link, m_platform.portFactory);
    if (m_platform.loaders) {
        m_loaders = m_platform.loaders;
    } else {
        m_ownLoaders = std::make_unique<LoaderRegistry>(loaderListIn(m_platform.dataFolder));
        m_loaders = m_ownLoaders.get();
    }
    m_discovery = std::make_unique<ReaderDiscovery>(*m_session, *m_link, *m_platform.ports, *m_loaders, m_timings);
    m_kept = std::make_unique<KeptConfigurationStore>(inFolder(m_platform.dataFolder, QStringLiteral("configurations")));
    m_cardLog = new CardLog(m_timings, this);

    if (m_platform.deviceMonitor) {
        connect(m_platform.deviceMonitor, &DeviceMonitor::removed, m_discovery.get(), &ReaderDiscovery::deviceRemoved);
        connect(m_platform.deviceMonitor, &DeviceMonitor::changed, m_discovery.get(), &ReaderDiscovery::portsChanged);
    }
    connect(m_discovery.get(), &ReaderDiscovery::identified, this, &ReaderStation::identified);
    connect(m_session.get(), &ReaderSession::connected, this, [this] { tell(StationStatus::State::Connected); });
    connect(m_session.get(), &ReaderSession::loaderConnected, this, [this] { tell(StationStatus::State::InLoader); });
    connect(m_session.get(), &ReaderSession::disconnected, this, [this] { tell(StationStatus::State::Searching); });
    // Why the reader is not found, while no port is open.
    connect(m_discovery.get(), &ReaderDiscovery::troubleChanged, this, [this](const PortTrouble &trouble) {
        if (m_session->portName().isEmpty())
            tell(StationStatus::State::Searching, trouble);
    });
    // A port remembered as a loader that reports a card, or sends a frame of
    // its own, runs the reader's firmware again: it is probed as a reader.
    auto readerAfterAll = [this] {
        if (!m_session->inLoader() || updating())
            return;
        const QString port = m_session->portName();
        m_loaders->forget(port, m_discovery->location(port));
        m_session->dropConnection();
        m_discovery->scanOnce();
    };
    connect(m_link.get(), &ReaderLink::identifierRead, this, readerAfterAll);
    connect(m_link.get(), &ReaderLink::cardStatus, this, readerAfterAll);
    connect(m_link.get(), &ReaderLink::frameReceived, this, readerAfterAll);
}

ReaderStation::~ReaderStation()
{
    // An operation that ends as it goes tells nobody here. The runs (those
    // whose end is still to be told too) go before discovery, the session
    // and the link they talk through; the members then go in the reverse
    // order of their declaration.
    m_objectCodeWait.reset();
    const QList<ReaderOperation *> runs = findChildren<ReaderOperation *>(Qt::FindDirectChildrenOnly);
    for (ReaderOperation *op : runs)
        disconnect(op, nullptr, this, nullptr);
    qDeleteAll(runs);
}

bool ReaderStation::mayStart(const ReaderOperation &operation) const
{
    if (busy() || m_shuttingDown)
        return false;
    // A reader in its firmware loader takes firmware blocks only: a command
    // would be taken for one.
    return !m_session->inLoader() || qobject_cast<const FirmwareUpdate *>(&operation);
}

template <class Run, class Start>
Run *ReaderStation::launch(std::unique_ptr<Run> made, const Watch<Run> &watch, Start start)
{
    if (!mayStart(*made))
        return nullptr;
    Run *run = made.release();
    run->setParent(this);
    m_runs.push_back(run);
    connect(run, &ReaderOperation::changed, this, [this] {
        const bool now = busy();
        if (now != m_wasBusy) {
            m_wasBusy = now;
            Q_EMIT busyChanged(now);
        }
    });
    connect(run, &ReaderOperation::ended, this, [this, run] { runEnded(run); });
    if constexpr (std::is_same_v<FirmwareUpdate, Run>)
        connect(run, &ReaderOperation::changed, this, [this, run] {
            if (run->awaitingReplug() && m_session->inLoader())
                tell(StationStatus::State::Replugging);
        });
    if constexpr (std::is_base_of_v<CardOperation, Run>)
        connect(run, &CardOperation::cardWaitOpened, this, &ReaderStation::cardWaitOpened);
    if (watch)
        watch(*run);
    Q_EMIT runStarted(run);
    start(*run);
    return run;
}

namespace {
// The safety net: before a write replaces the reader's configuration, it is kept.
ConfigKeep::KeepCopy keeping(KeptConfigurationStore &kept, ReaderSession &session)
{
    return [&kept, &session](const ConfigItems &items) -> Expected<void, KeepError> {
        const auto stored = kept.store(session.serial(), configFileBytes(items));
        if (!stored)
            return unexpected(stored.error());
        return {};
    };
}
} // namespace

ConfigRead *ReaderStation::readConfig(const Watch<ConfigRead> &watch)
{
    return launch(std::make_unique<ConfigRead>(*m_link, m_timings), watch, [](ConfigRead &run) { run.start(); });
}

ConfigWrite *ReaderStation::writeConfig(const ConfigItems &items, bool objectCode, const Watch<ConfigWrite> &watch)
{
    auto made = std::make_unique<ConfigWrite>(*m_link, m_timings);
    made->keepCopy = keeping(*m_kept, *m_session);
    ConfigWrite *write = made.get();
    connect(write, &ReaderOperation::changed, this, [this, write] {
        if (write->state() == ConfigWrite::State::AwaitingObjectCode && !m_objectCodeWait)
            runObjectCodeWait(write);
    });
    return launch(std::move(made), watch, [items, objectCode](ConfigWrite &run) { run.start(items, objectCode); });
}

MasterCardsCreate *ReaderStation::createMasterCards(const ConfigItems &items, const QString &cardType, bool optionVisible,
                                                    const Watch<MasterCardsCreate> &watch)
{
    return launch(std::make_unique<MasterCardsCreate>(*m_link, m_timings), watch,
                  [items, cardType, optionVisible](MasterCardsCreate &run) {
                      run.start(items, cardType, optionVisible);
                  });
}

MasterCardsClear *ReaderStation::clearMasterCards(const Watch<MasterCardsClear> &watch)
{
    return launch(std::make_unique<MasterCardsClear>(*m_link, m_timings), watch,
                  [](MasterCardsClear &run) { run.start(); });
}

MasterConfigRead *ReaderStation::readMasterConfig(const Watch<MasterConfigRead> &watch)
{
    return launch(std::make_unique<MasterConfigRead>(*m_link, m_timings), watch,
                  [](MasterConfigRead &run) { run.start(); });
}

MasterConfigTakeOver *ReaderStation::takeOverMasterConfig(const Watch<MasterConfigTakeOver> &watch)
{
    auto made = std::make_unique<MasterConfigTakeOver>(*m_link, m_timings);
    made->keepCopy = keeping(*m_kept, *m_session);
    return launch(std::move(made), watch, [](MasterConfigTakeOver &run) { run.start(); });
}

SecureModeQuery *ReaderStation::querySecureMode(const Watch<SecureModeQuery> &watch)
{
    return launch(std::make_unique<SecureModeQuery>(*m_link, m_timings), watch,
                  [](SecureModeQuery &run) { run.start(); });
}

SecureCardsRun *ReaderStation::runSecureCards(SecureCardsRun::Kind kind, SecureMode mode,
                                              const std::array<bool, 64> &zones, const Watch<SecureCardsRun> &watch)
{
    return launch(std::make_unique<SecureCardsRun>(*m_link, m_timings), watch,
                  [kind, mode, zones](SecureCardsRun &run) { run.start(kind, mode, zones); });
}

FirmwareUpdate *ReaderStation::updateFirmware(const QString &path, const Watch<FirmwareUpdate> &watch)
{
    auto made = std::make_unique<FirmwareUpdate>(*m_link, *m_session, *m_loaders, m_timings);
    made->location = [this](const QString &port) { return m_discovery->location(port); };
    return launch(std::move(made), watch, [path](FirmwareUpdate &run) { run.start(path); });
}

FirmwareVersionQuery *ReaderStation::queryVersion(const Watch<FirmwareVersionQuery> &watch)
{
    return launch(std::make_unique<FirmwareVersionQuery>(*m_link, m_timings), watch,
                  [](FirmwareVersionQuery &run) { run.start(); });
}

DebugCommand *ReaderStation::sendDebugCommand(const QByteArray &payload, const Watch<DebugCommand> &watch)
{
    return launch(std::make_unique<DebugCommand>(*m_link, m_timings), watch,
                  [payload](DebugCommand &run) { run.start(payload); });
}

void ReaderStation::feedCards(CardPresenter &presenter)
{
    connect(m_link.get(), &ReaderLink::identifierRead, &presenter, &CardPresenter::identifierRead);
    connect(m_link.get(), &ReaderLink::cardInfoRead, &presenter, &CardPresenter::cardInfoRead);
    connect(&presenter, &CardPresenter::identifierLogged, m_cardLog, &CardLog::addRead);
    CardLog *log = m_cardLog;
    connect(&presenter, &CardPresenter::cardInfoShown, m_cardLog,
            [log](const CardInfo &info) { log->cardInfo(info.type); });
}

ReaderOperation *ReaderStation::current() const
{
    for (ReaderOperation *op : m_runs)
        if (op->running())
            return op;
    return nullptr;
}

FirmwareUpdate *ReaderStation::updating() const
{
    return qobject_cast<FirmwareUpdate *>(current());
}

void ReaderStation::runEnded(ReaderOperation *run)
{
    // Its finished(result) is told right after this; the run goes after that.
    m_runs.erase(std::remove(m_runs.begin(), m_runs.end(), run), m_runs.end());
    run->deleteLater();
    if (m_objectCodeWait && !qobject_cast<ConfigWrite *>(current()))
        m_objectCodeWait.release()->deleteLater(); // its dialog may still look at it
    if (m_shutDownDone && !busy()) {
        auto done = std::exchange(m_shutDownDone, nullptr);
        done();
    }
}

void ReaderStation::identified()
{
    // A reader that identifies itself as a reader is no loader: no mark of
    // it (by serial number), nor of its port, stands.
    const QString port = m_session->portName();
    m_loaders->readerIdentified(port, m_discovery->location(port), m_session->serial());
    // The configuration is read after every connection, unless the user
    // started something meanwhile.
    if (busy() || m_shuttingDown)
        return;
    readConfig([this](ConfigRead &run) { Q_EMIT readingAfterConnecting(&run); });
}

void ReaderStation::runObjectCodeWait(ConfigWrite *write)
{
    m_objectCodeWait = std::make_unique<SingleCardWait>(*m_link, m_timings, texts::kObjectCodeWaitCaption,
                                                        texts::kObjectCodeWaitPrompt);
    SingleCardWait *wait = m_objectCodeWait.get();
    connect(wait, &CardWait::ended, write, [write](WaitResult result) {
        write->objectCodeTaken(result == WaitResult::Yes);
    });
    // The write's end (the reader lost, a cancel) ends the wait at once, before
    // anyone is told of it: no countdown goes on behind the message.
    connect(write, &ReaderOperation::changed, wait, [write, wait] {
        if (!write->running())
            wait->close();
    });
    wait->open();
    Q_EMIT cardWaitOpened(wait);
}

void ReaderStation::tell(StationStatus::State state, const PortTrouble &trouble)
{
    m_status = StationStatus{state, trouble, {}, {}, false};
    if (state != StationStatus::State::Searching) {
        m_status.port = m_session->portName();
        m_status.serial = m_session->serial();
        m_status.ble = m_session->isBle();
    }
    Q_EMIT statusChanged(m_status);
}

void ReaderStation::shutDown(std::function<void()> done)
{
    m_shuttingDown = true;
    m_shutDownDone = std::move(done);
    ReaderOperation *op = current();
    if (!op) {
        auto now = std::exchange(m_shutDownDone, nullptr);
        now();
        return;
    }
    // A firmware upload is let finish: cut off, it would leave the reader in
    // its loader. Not a wait for a loader that only the user can bring back.
    if (auto *update = qobject_cast<FirmwareUpdate *>(op)) {
        auto stopWaiting = [this, update] {
            if (m_shutDownDone && update->awaitingReplug())
                update->cancel();
        };
        connect(update, &ReaderOperation::changed, this, stopWaiting);
        stopWaiting();
        return;
    }
    op->cancel();
    QTimer::singleShot(m_timings.shutDownLimit, this, [this] {
        if (auto late = std::exchange(m_shutDownDone, nullptr))
            late();
    });
}

} // namespace limra

#include "moc_station.cpp"
