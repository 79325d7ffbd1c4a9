#include "cli/readerjob.h"

#include <QFileInfo>

#include "config/transfer.h"
#include "display/cardpresenter.h"
#include "firmware/update.h"
#include "link/session.h"
#include "platform/portclaims.h"
#include "platform/portnames.h"
#include "provisioning/clearingwait.h"

namespace limra::cli {

namespace {

QString inLoaderText(const QString &port)
{
    return QStringLiteral("the reader on %1 is in its firmware loader: an update did not finish. "
                          "Finish it with: limra-cli --port %1 update IMAGE")
        .arg(port);
}

} // namespace

ReaderJob::ReaderJob(JobSetup setup, QObject *parent)
    : QObject(parent), m_setup(std::move(setup)), m_options(*m_setup.options)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &ReaderJob::timeUp);
    m_busyCheck.setSingleShot(true);
    connect(&m_busyCheck, &QTimer::timeout, this, &ReaderJob::busyChecked);
}

ReaderJob::~ReaderJob()
{
    m_presenter.reset();
    m_station.reset();
}

QString ReaderJob::port() const
{
    if (m_station && !m_station->session().portName().isEmpty())
        return m_station->session().portName();
    return m_setup.port;
}

QString ReaderJob::serial() const { return m_found ? m_station->session().serial() : QString(); }

QString ReaderJob::readerWord() const
{
    if (!m_found)
        return QString();
    if (m_station->session().inLoader())
        return QStringLiteral("loader");
    return m_station->session().isBle() ? QStringLiteral("BLE") : QStringLiteral("USB");
}

QJsonObject ReaderJob::json() const
{
    QJsonObject o = m_fields;
    o[QStringLiteral("port")] = port();
    o[QStringLiteral("serial")] = serial();
    o[QStringLiteral("reader")] = readerWord();
    o[QStringLiteral("ok")] = m_exit == kDone;
    o[QStringLiteral("exit")] = m_exit;
    if (!m_error.isEmpty())
        o[QStringLiteral("error")] = m_error;
    return o;
}

// ---- finding the reader -----------------------------------------------------------

void ReaderJob::start(int timeoutMs)
{
    // A path that cannot be a reader's port is told at once; one that is gone
    // while another program of the tool holds it (its reader restarting) is
    // waited for within the time limit.
    if (!m_setup.port.isEmpty()) {
        const QString problem = portPathProblem(m_setup.port);
        const bool restarting = !QFileInfo::exists(m_setup.port) && portClaimedElsewhere(m_setup.port);
        if (!problem.isEmpty() && !restarting)
            return end(kNotFound, QStringLiteral("%1 is no reader port: %2").arg(m_setup.port, problem));
    }
    m_station = std::make_unique<ReaderStation>(m_setup.platform, m_setup.timings);
    ReaderDiscovery &discovery = m_station->discovery();
    // After the station's own reaction: the configuration read that follows
    // every connection has started when this runs.
    connect(&discovery, &ReaderDiscovery::identified, this, &ReaderJob::identified);
    connect(&discovery, &ReaderDiscovery::loaderFound, this, &ReaderJob::loaderFound);
    connect(&discovery, &ReaderDiscovery::troubleChanged, this, &ReaderJob::troubleChanged);
    connect(m_station.get(), &ReaderStation::cardWaitOpened, this, &ReaderJob::cardWaitOpened);
    if (!m_setup.port.isEmpty())
        discovery.applySettings(ReaderSession::ConnectionMode::FromList, m_setup.port, 1);
    m_phase = Phase::Finding;
    m_deadline.start(timeoutMs);
    discovery.portsChanged();
    discovery.start();
    discovery.scanOnce();
}

void ReaderJob::identified()
{
    if (m_phase == Phase::Watching) {
        Q_EMIT message(QStringLiteral("the reader is back; reading cards"));
        return;
    }
    if (m_phase != Phase::Finding)
        return;
    m_found = true;
    m_deadline.stop();
    m_phase = Phase::Preparing;
    if (m_lastChance)
        m_station->discovery().resume(); // it looks for the reader again should it go
    ConfigRead &read = m_station->configRead();
    if (!read.running())
        return work();
    // The configuration read that follows the connection ends first, as in the window.
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(&read, &ReaderOperation::finished, this, [this, once] {
        disconnect(*once);
        work();
    });
}

void ReaderJob::loaderFound()
{
    if (m_phase != Phase::Finding)
        return;
    m_found = true;
    m_deadline.stop();
    m_phase = Phase::Preparing;
    work();
}

void ReaderJob::troubleChanged(const PortTrouble &trouble)
{
    if (trouble.kind == PortTrouble::Kind::None || m_phase != Phase::Finding)
        return;
    m_trouble = trouble;
    if (m_lastChance)
        return giveUp();
    if (m_setup.port.isEmpty())
        return;
    // The port asked for is not allowed: known at once, nothing to wait for.
    if (trouble.kind == PortTrouble::Kind::NoPermission)
        return giveUp();
    if (trouble.kind == PortTrouble::Kind::Busy && !m_busyCheck.isActive())
        m_busyCheck.start(m_setup.timings.scan + m_setup.timings.scan / 2);
}

// A busy port is known within a scan or two, not at the time limit: one that
// is still busy a scan later is given up, unless another program of the tool
// holds it (its turn: waited for within the time limit).
void ReaderJob::busyChecked()
{
    if (m_phase != Phase::Finding || m_trouble.kind != PortTrouble::Kind::Busy)
        return;
    if (portClaimedElsewhere(m_trouble.port) || m_station->discovery().scanning())
        return m_busyCheck.start(m_setup.timings.scan + m_setup.timings.scan / 2);
    giveUp();
}

void ReaderJob::timeUp()
{
    if (m_phase != Phase::Finding)
        return;
    // An identification on its way gets its time (the time limit is for
    // finding): looked at again until it has ended, bounded by its own limits.
    if (m_station->discovery().scanning()) {
        if (!m_lastChance)
            m_station->discovery().pause(); // no new scan: this one ends it
        m_lastChance = true;
        m_deadline.start(std::max(1, m_setup.timings.identify / 10));
        return;
    }
    giveUp();
}

void ReaderJob::giveUp()
{
    if (m_phase != Phase::Finding)
        return;
    m_deadline.stop();
    m_busyCheck.stop();
    m_station->discovery().pause();
    ReaderSession &session = m_station->session();
    if (session.hasPort() && !session.isConnected() && !session.inLoader())
        session.closePort(); // an identification on its way is given up
    const QString seconds = QString::number(m_options.timeoutMs / 1000.0, 'g', 3);
    if (m_trouble.kind != PortTrouble::Kind::None)
        return end(kNotFound, m_trouble.details());
    if (!m_setup.port.isEmpty())
        return end(kNotFound, QStringLiteral("no reader found on %1 within %2 s").arg(m_setup.port, seconds));
    end(kNotFound, QStringLiteral("no reader found within %1 s").arg(seconds));
}

// ---- the commands -----------------------------------------------------------------

void ReaderJob::work()
{
    if (m_interrupted)
        return end(kInterrupted, QStringLiteral("interrupted"));
    m_phase = Phase::Working;
    const bool loader = m_station->session().inLoader();
    if (m_options.choosing() && !m_options.chosen(serial(), m_station->session().isBle()))
        return skip();
    if (loader && m_options.command != Command::List && m_options.command != Command::Update)
        return end(kFailed, inLoaderText(port()));
    switch (m_options.command) {
    case Command::List: return list();
    case Command::Version: return version();
    case Command::ReadConfig: return readConfig();
    case Command::WriteConfig: return writeConfig();
    case Command::Update: return update();
    case Command::Watch: return watch();
    case Command::Diff: return diff();
    case Command::MasterCardsCreate: return createMasterCards();
    case Command::MasterCardsClear: return clearMasterCards();
    case Command::DefaultConfig:
    case Command::Loaders:
    case Command::None: break;
    }
    end(kDone);
}

bool ReaderJob::runOperation(ReaderOperation &operation, const std::function<void()> &start)
{
    if (!m_station->run(operation, start)) {
        end(m_interrupted ? kInterrupted : kFailed, QStringLiteral("the reader is busy"));
        return false;
    }
    return true;
}

void ReaderJob::operationFailed(const ReaderOperation &operation)
{
    if (operation.status() == ReaderOperation::Status::Cancelled && m_interrupted)
        return end(kInterrupted, QStringLiteral("interrupted"));
    const Report report = operation.report();
    end(kFailed, report.text);
}

void ReaderJob::skip(const QString &why)
{
    m_skipped = true;
    if (!why.isEmpty())
        Q_EMIT message(QStringLiteral("left alone: ") + why);
    end(kDone);
}

// ---- ending -----------------------------------------------------------------------

void ReaderJob::interrupt()
{
    if (m_interrupted || m_phase == Phase::Ending || m_phase == Phase::Ended)
        return;
    m_interrupted = true;
    switch (m_phase) {
    case Phase::Idle:
    case Phase::Finding: return end(kInterrupted, QStringLiteral("interrupted"));
    case Phase::Watching: return end(kDone);
    default: break;
    }
    if (m_clearing) { // clearing has no end of its own: a signal is the user's "finish"
        QMetaObject::invokeMethod(m_clearing, &ClearingWait::finishByUser, Qt::QueuedConnection);
        return;
    }
    if (!m_station->busy())
        return end(kInterrupted, QStringLiteral("interrupted"));
    FirmwareUpdate &run = m_station->firmwareUpdate();
    if (run.running() && !run.awaitingReplug())
        Q_EMIT message(QStringLiteral("the firmware update goes on to its end: cut off, it would leave the reader "
                                      "in its loader"));
    // The operation that runs ends (cancelled, or done) and its end ends the job.
    m_station->shutDown([] {});
}

void ReaderJob::end(int exit, const QString &error)
{
    if (m_phase == Phase::Ending || m_phase == Phase::Ended)
        return;
    m_phase = Phase::Ending;
    m_exit = exit;
    m_error = error;
    m_deadline.stop();
    m_busyCheck.stop();
    if (!m_station) {
        m_phase = Phase::Ended;
        QMetaObject::invokeMethod(this, &ReaderJob::finished, Qt::QueuedConnection);
        return;
    }
    m_station->discovery().pause();
    // A reader left in a card operation goes back to card reading first.
    m_station->shutDown([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_phase = Phase::Ended;
                Q_EMIT finished();
            },
            Qt::QueuedConnection);
    });
}

} // namespace limra::cli

#include "moc_readerjob.cpp"
