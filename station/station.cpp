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
        m_ownLoaders = std::make_unique<LoaderRegistry>(inFolder(m_platform.dataFolder, QStringLiteral("loaders")));
        m_loaders = m_ownLoaders.get();
    }
    m_discovery = std::make_unique<ReaderDiscovery>(*m_session, *m_link, *m_platform.ports, *m_loaders, m_timings);
    m_kept = std::make_unique<KeptConfigurationStore>(inFolder(m_platform.dataFolder, QStringLiteral("configurations")));
    m_cardLog = new CardLog(m_timings, this);

    m_configRead = std::make_unique<ConfigRead>(*m_link, m_timings);
    m_configWrite = std::make_unique<ConfigWrite>(*m_link, m_timings);
    m_masterCardsCreate = std::make_unique<MasterCardsCreate>(*m_link, m_timings);
    m_masterCardsClear = std::make_unique<MasterCardsClear>(*m_link, m_timings);
    m_masterConfigRead = std::make_unique<MasterConfigRead>(*m_link, m_timings);
    m_masterConfigTakeOver = std::make_unique<MasterConfigTakeOver>(*m_link, m_timings);
    m_secureModeQuery = std::make_unique<SecureModeQuery>(*m_link, m_timings);
    m_secureCards = std::make_unique<SecureCardsRun>(*m_link, m_timings);
    m_firmwareUpdate = std::make_unique<FirmwareUpdate>(*m_link, *m_session, *m_loaders, m_timings);
    m_versionQuery = std::make_unique<FirmwareVersionQuery>(*m_link, m_timings);
    m_debugCommand = std::make_unique<DebugCommand>(*m_link, m_timings);
    for (ReaderOperation *op : std::initializer_list<ReaderOperation *>{
             m_configRead.get(), m_configWrite.get(), m_masterCardsCreate.get(), m_masterCardsClear.get(),
             m_masterConfigRead.get(), m_masterConfigTakeOver.get(), m_secureModeQuery.get(), m_secureCards.get(),
             m_firmwareUpdate.get(), m_versionQuery.get(), m_debugCommand.get()})
        adopt(*op);
    for (CardOperation *op : std::initializer_list<CardOperation *>{
             m_masterCardsCreate.get(), m_masterCardsClear.get(), m_masterConfigRead.get(),
             m_masterConfigTakeOver.get(), m_secureCards.get()})
        connect(op, &CardOperation::cardWaitOpened, this, &ReaderStation::cardWaitOpened);

    // The safety net: before a write replaces the reader's configuration, it is kept.
    auto keep = [this](const ConfigItems &items) -> Expected<void, KeepError> {
        const auto kept = m_kept->store(m_session->serial(), configFileBytes(items));
        if (!kept)
            return unexpected(kept.error());
        return {};
    };
    m_configWrite->keepCopy = keep;
    m_masterConfigTakeOver->keepCopy = keep;
    connect(m_configWrite.get(), &ReaderOperation::changed, this, [this] {
        if (m_configWrite->state() == ConfigWrite::State::AwaitingObjectCode && !m_objectCodeWait)
            runObjectCodeWait();
    });
    m_firmwareUpdate->location = [this](const QString &port) { return m_discovery->location(port); };

    if (m_platform.deviceMonitor) {
        connect(m_platform.deviceMonitor, &DeviceMonitor::removed, m_discovery.get(), &ReaderDiscovery::deviceRemoved);
        connect(m_platform.deviceMonitor, &DeviceMonitor::changed, m_discovery.get(), &ReaderDiscovery::portsChanged);
    }
    connect(m_discovery.get(), &ReaderDiscovery::identified, this, &ReaderStation::identified);
    // A port remembered as a loader that reports a card, or sends a frame of
    // its own, runs the reader's firmware again: it is probed as a reader.
    auto readerAfterAll = [this] {
        if (!m_session->inLoader() || m_firmwareUpdate->running())
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
    // An operation that ends as it goes tells nobody here. The members then
    // go in the reverse order of their declaration: the operations before
    // discovery, the session and the link they talk through.
    m_objectCodeWait.reset();
    for (ReaderOperation *op : m_operations)
        disconnect(op, nullptr, this, nullptr);
}

void ReaderStation::adopt(ReaderOperation &operation)
{
    m_operations.push_back(&operation);
    connect(&operation, &ReaderOperation::changed, this, [this] {
        const bool now = busy();
        if (now != m_wasBusy) {
            m_wasBusy = now;
            Q_EMIT busyChanged(now);
        }
    });
    connect(&operation, &ReaderOperation::finished, this, &ReaderStation::operationEnded);
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
    for (ReaderOperation *op : m_operations)
        if (op->running())
            return op;
    return nullptr;
}

bool ReaderStation::run(ReaderOperation &operation, const std::function<void()> &start)
{
    if (busy() || m_shuttingDown)
        return false;
    // A reader in its firmware loader takes firmware blocks only: a command
    // would be taken for one.
    if (m_session->inLoader() && &operation != m_firmwareUpdate.get())
        return false;
    start();
    return true;
}

void ReaderStation::operationEnded()
{
    if (m_objectCodeWait && !m_configWrite->running())
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
    m_configRead->start();
    Q_EMIT readingAfterConnecting();
}

void ReaderStation::runObjectCodeWait()
{
    m_objectCodeWait = std::make_unique<SingleCardWait>(*m_link, m_timings, texts::kObjectCodeWaitCaption,
                                                        texts::kObjectCodeWaitPrompt);
    SingleCardWait *wait = m_objectCodeWait.get();
    connect(wait, &CardWait::ended, this, [this](WaitResult result) {
        m_configWrite->objectCodeTaken(result == WaitResult::Yes);
    });
    // The write's end (the reader lost, a cancel) ends the wait at once, before
    // anyone is told of it: no countdown goes on behind the message.
    connect(m_configWrite.get(), &ReaderOperation::changed, wait, [this, wait] {
        if (!m_configWrite->running())
            wait->close();
    });
    wait->open();
    Q_EMIT cardWaitOpened(wait);
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
    if (op == m_firmwareUpdate.get()) {
        auto stopWaiting = [this] {
            if (m_shutDownDone && m_firmwareUpdate->awaitingReplug())
                m_firmwareUpdate->cancel();
        };
        connect(m_firmwareUpdate.get(), &ReaderOperation::changed, this, stopWaiting);
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
