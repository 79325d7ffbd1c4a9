#include "cli/readerjob.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include "cli/configview.h"
#include "common/texts.h"
#include "config/backups.h"
#include "config/configfile.h"
#include "config/editormodel.h"
#include "config/transfer.h"
#include "display/cardlog.h"
#include "display/cardpresenter.h"
#include "firmware/image.h"
#include "firmware/update.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/files.h"
#include "platform/portclaims.h"
#include "platform/portnames.h"
#include "provisioning/cardwait.h"
#include "provisioning/mastercards.h"

namespace limra::cli {

namespace {

QString inLoaderText(const QString &port)
{
    return QStringLiteral("the reader on %1 is in its firmware loader: an update did not finish. "
                          "Finish it with: limra-cli --port %1 update IMAGE")
        .arg(port);
}

// The exit status of a firmware update that did not succeed.
int updateExit(FirmwareUpdate::Failure failure)
{
    switch (failure) {
    case FirmwareUpdate::Failure::NoPath:
    case FirmwareUpdate::Failure::CannotOpen:
    case FirmwareUpdate::Failure::BadImage:
    case FirmwareUpdate::Failure::BadHeader:
    case FirmwareUpdate::Failure::NoSection:
    case FirmwareUpdate::Failure::BadCrc:
    case FirmwareUpdate::Failure::CannotRecord: return kBadFile;
    default: return kFailed;
    }
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

void ReaderJob::list()
{
    if (m_station->session().inLoader()) {
        m_lines << QStringList{port(), serial(), readerWord(), QString()}.join(QLatin1Char('\t'));
        return end(kDone);
    }
    FirmwareVersionQuery &query = m_station->versionQuery();
    connect(&query, &ReaderOperation::finished, this, [this, &query] {
        m_fields[QStringLiteral("firmware")] = query.firmware();
        m_lines << QStringList{port(), serial(), readerWord(), query.firmware()}.join(QLatin1Char('\t'));
        if (query.status() != ReaderOperation::Status::Done)
            return operationFailed(query);
        end(kDone);
    });
    runOperation(query, [&query] { query.start(); });
}

void ReaderJob::version()
{
    FirmwareVersionQuery &query = m_station->versionQuery();
    connect(&query, &ReaderOperation::finished, this, [this, &query] {
        if (query.status() != ReaderOperation::Status::Done)
            return operationFailed(query);
        const Report report = query.report();
        if (report.kind != Report::Kind::Information)
            return end(kFailed, QStringLiteral("the reader did not tell its firmware version"));
        m_fields[QStringLiteral("firmware")] = query.firmware();
        m_fields[QStringLiteral("loader")] = query.loader();
        m_lines = report.text.split(QStringLiteral("\r\n"));
        end(kDone);
    });
    runOperation(query, [&query] { query.start(); });
}

std::unique_ptr<EditorModel> ReaderJob::editor() const
{
    // The editor as the window holds it once the reader is connected.
    auto model = std::make_unique<EditorModel>();
    const ReaderKind kind = m_station->session().kind();
    model->readerKind = [kind] { return kind; };
    model->startUp();
    return model;
}

QString ReaderJob::outputPath() const
{
    QString path = m_options.output;
    const QString serialNumber = serial();
    path.replace(QLatin1String(kSerialField), serialNumber.isEmpty() ? QStringLiteral("reader") : serialNumber);
    path.replace(QLatin1String(kPortField), QFileInfo(port()).fileName());
    return path;
}

void ReaderJob::readConfig()
{
    const ConfigRead &read = m_station->configRead();
    if (read.status() != ReaderOperation::Status::Done)
        return operationFailed(read);
    const std::unique_ptr<EditorModel> model = editor();
    if (!model->applyConfig(parseConfig(read.items()), ConfigSource::Reader))
        return end(kFailed, QStringLiteral("the reader's configuration holds values the editor does not take"));
    if (m_options.output.isEmpty()) {
        m_fields[QStringLiteral("config")] = configJson(*model, read.items());
        m_lines = configText(*model, read.items());
        return end(kDone);
    }
    if (m_options.output == QLatin1String("-")) {
        m_rawOutput = configFileBytes(model->buildItems(Producer::File));
        return end(kDone);
    }
    const QString path = m_setup.claimOutput ? m_setup.claimOutput(outputPath()) : outputPath();
    QString problem;
    if (!saveConfiguration(*model, path, &problem)) {
        m_fields[QStringLiteral("file")] = path;
        return end(kBadFile, problem + QStringLiteral(" (the configuration of %1 on %2)").arg(serial(), port()));
    }
    m_fields[QStringLiteral("file")] = path;
    if (!isWrittenThrough(path)) // standard output, say, has the configuration itself
        m_lines << path;
    end(kDone);
}

QString ReaderJob::keptCopy() const
{
    const QString reader = serial().isEmpty() ? QStringLiteral("reader") : serial();
    for (const KeptConfiguration &kept : m_station->keptConfigurations().kept())
        if (kept.reader == reader)
            return kept.path;
    return QString();
}

void ReaderJob::writeConfig()
{
    const std::unique_ptr<EditorModel> model = editor();
    // The reader's configuration is in the editor (the read after connecting),
    // the file's goes over it, and the editor's is written: as in the window.
    const ConfigRead &read = m_station->configRead();
    if (read.status() == ReaderOperation::Status::Done)
        model->applyConfig(parseConfig(read.items()), ConfigSource::Reader);
    if (!fileConfig(*model))
        return;
    const QString items = model->buildItems(Producer::Reader);
    const bool objectCode = writeAwaitsObjectCode(model->config());

    ConfigWrite &write = m_station->configWrite();
    // Asked from the event loop, never inside the operation's own step.
    connect(&write, &ConfigWrite::decisionNeeded, this, [&write] { write.proceed(false); }, Qt::QueuedConnection);
    m_configWritten = false;
    connect(&write, &ConfigWrite::written, this, [this] { m_configWritten = true; });
    connect(&write, &ReaderOperation::finished, this, [this, &write] {
        Q_EMIT countdown(-1);
        if (write.status() == ReaderOperation::Status::Done) {
            const QString kept = keptCopy();
            if (!kept.isEmpty()) {
                m_fields[QStringLiteral("kept")] = kept;
                Q_EMIT message(QStringLiteral("the configuration the reader held is kept in ") + kept);
            }
            m_lines << write.report().text;
            return end(kDone);
        }
        if (write.failure() == ConfigWrite::Failure::Declined)
            return end(kFailed,
                       QStringLiteral("the configuration the reader holds could not be kept (%1); "
                                      "nothing was written")
                           .arg(write.keepProblem()));
        writeFailed(write);
    });
    runOperation(write, [&write, items, objectCode] { write.start(items, objectCode); });
}

bool ReaderJob::fileConfig(EditorModel &model)
{
    QString problem;
    if (applyConfigInput(model, m_setup.config, m_options.file, &problem))
        return true;
    m_fields[QStringLiteral("file")] = m_options.file;
    end(kBadFile, problem);
    return false;
}

// The configuration may be written although the write failed afterwards
// (the object code not taken, a signal during its wait): then the reader
// holds it, and the earlier one is kept; both are said.
void ReaderJob::writeFailed(const ConfigWrite &write)
{
    if (!m_configWritten)
        return operationFailed(write);
    const QString kept = keptCopy();
    m_fields[QStringLiteral("written")] = true;
    QString said = QStringLiteral("the configuration was written into the reader, without the object code");
    if (!kept.isEmpty()) {
        m_fields[QStringLiteral("kept")] = kept;
        said += QStringLiteral("; the configuration the reader held is kept in ") + kept;
    }
    Q_EMIT message(said);
    const bool interrupted = write.status() == ReaderOperation::Status::Cancelled && m_interrupted;
    end(interrupted ? kInterrupted : kFailed,
        interrupted ? QStringLiteral("interrupted") : write.report().text);
}

void ReaderJob::cardWaitOpened(CardWait *wait)
{
    // The master card with the object code, after a write in a protected read mode.
    if (wait->kind() == CardWait::Kind::SingleCard)
        Q_EMIT message(static_cast<SingleCardWait *>(wait)->prompt
                       + QStringLiteral(" (%1 s)").arg(wait->secondsShown()));
    if (wait->kind() == CardWait::Kind::MasterCardWriting) {
        auto *writing = static_cast<MasterCardWriting *>(wait);
        auto prompted = std::make_shared<QString>();
        connect(wait, &CardWait::changed, this, [this, writing, prompted] {
            if (writing->isOpen() && writing->page == MasterCardWriting::Page::Progress && writing->prompt != *prompted) {
                *prompted = writing->prompt;
                Q_EMIT message(writing->prompt + QStringLiteral(" (%1 s)").arg(writing->secondsShown()));
            }
        });
        Q_EMIT message(writing->heading);
        // The count and the option, chosen as on the wait's first page, from the event loop.
        const int count = m_options.count;
        const bool protectedMode = m_options.protectedMode;
        QMetaObject::invokeMethod(
            writing,
            [writing, count, protectedMode] {
                writing->setOption(protectedMode);
                writing->chooseCount(count);
            },
            Qt::QueuedConnection);
    }
    if (wait->kind() == CardWait::Kind::Clearing) {
        auto *clearing = static_cast<ClearingWait *>(wait);
        m_clearing = clearing;
        Q_EMIT message(clearing->prompt + (m_options.count > 0 ? QStringLiteral(" (%1 cards, or Ctrl+C)").arg(m_options.count)
                                                               : QStringLiteral(" (Ctrl+C ends)")));
        auto told = std::make_shared<int>(0);
        connect(wait, &CardWait::changed, this, [this, clearing, told] {
            if (!clearing->isOpen() || clearing->cleared == *told)
                return;
            *told = clearing->cleared;
            Q_EMIT message(texts::kClearedCards + QLatin1Char(' ') + QString::number(clearing->cleared));
            if (m_options.count > 0 && clearing->cleared >= m_options.count)
                QMetaObject::invokeMethod(clearing, &ClearingWait::finishByUser, Qt::QueuedConnection);
        });
        connect(wait, &CardWait::ended, this, [this] { m_clearing = nullptr; });
    }
    connect(wait, &CardWait::notice, this, [this, wait](const CardWait::Notice &notice) {
        Q_EMIT message(noticeText(notice));
        wait->acknowledge();
    });
    connect(wait, &CardWait::changed, this, [this, wait] {
        if (wait->isOpen())
            Q_EMIT countdown(wait->secondsShown());
    });
    connect(wait, &CardWait::ended, this, [this] { Q_EMIT countdown(-1); });
}

void ReaderJob::update()
{
    const QString identity = m_station->session().identity().firmwareIdentity;
    if (!identity.isEmpty() && !m_setup.image.isEmpty()
        && findSection(m_setup.image, identity).problem == FirmwareSection::Problem::NoSection) {
        const QString why = QStringLiteral("no firmware for this reader (%1)").arg(identity);
        if (m_options.skipUnfit)
            return skip(why);
        return end(kFailed, why);
    }
    FirmwareUpdate &run = m_station->firmwareUpdate();
    connect(&run, &FirmwareUpdate::progress, this, &ReaderJob::progress);
    connect(&run, &FirmwareUpdate::stageChanged, this, [this, &run](FirmwareUpdate::Stage stage) {
        const QString limit = QString::number(run.waitLimitMs() / 1000.0, 'g', 4);
        switch (stage) {
        case FirmwareUpdate::Stage::Restarting:
            Q_EMIT message(QStringLiteral("the reader restarts into its firmware loader"));
            break;
        case FirmwareUpdate::Stage::LoaderSilent:
            Q_EMIT message(QStringLiteral("the reader's loader does not answer: unplug the reader and plug it in "
                                          "again, the update then starts over (waiting up to %1 s, "
                                          "--loader-wait; Ctrl+C gives up)")
                               .arg(limit));
            break;
        case FirmwareUpdate::Stage::AwaitingReplug:
            Q_EMIT message(QStringLiteral("the reader's loader took part of an image before and must start afresh: "
                                          "unplug the reader and plug it in again, the update then sends every block "
                                          "from the first (waiting up to %1 s, --loader-wait; Ctrl+C gives up)")
                               .arg(limit));
            break;
        case FirmwareUpdate::Stage::Returning:
            Q_EMIT message(QStringLiteral("every block taken; the reader restarts into its new firmware"));
            break;
        default: break;
        }
    });
    connect(&run, &ReaderOperation::finished, this, [this, &run] {
        m_fields[QStringLiteral("blocks")] = run.accepted();
        if (run.status() == ReaderOperation::Status::Done) {
            // Done: the reader is back with its new firmware, and says which.
            m_fields[QStringLiteral("firmware")] = run.version();
            m_lines << run.report().text.split(QStringLiteral("\r\n"));
            return end(kDone);
        }
        if (run.status() == ReaderOperation::Status::Failed)
            return end(updateExit(run.failure()), run.report().text);
        operationFailed(run);
    });
    const QString image = m_options.file;
    runOperation(run, [&run, image] { run.start(image); });
}

void ReaderJob::watch()
{
    m_phase = Phase::Watching;
    m_presenter = std::make_unique<CardPresenter>(nullptr, nullptr);
    m_presenter->setView(m_options.hex ? CardPresenter::View::Hex : CardPresenter::View::Dec);
    m_station->feedCards(*m_presenter);
    CardLog &log = m_station->cardLog();
    connect(&log, &CardLog::added, this, [this, &log] {
        if (m_phase == Phase::Watching && !log.entries().empty())
            showCard(log.entries().back());
    });
    Q_EMIT message(QStringLiteral("reading cards; Ctrl+C ends"));
    connect(&m_station->session(), &ReaderSession::disconnected, this, [this] {
        if (m_phase == Phase::Watching)
            Q_EMIT message(QStringLiteral("the reader is gone; waiting for it to come back"));
    });
}

void ReaderJob::diff()
{
    const ConfigRead &read = m_station->configRead();
    if (read.status() != ReaderOperation::Status::Done)
        return operationFailed(read);
    const std::unique_ptr<EditorModel> held = editor();
    if (!held->applyConfig(parseConfig(read.items()), ConfigSource::Reader))
        return end(kFailed, QStringLiteral("the reader's configuration holds values the editor does not take"));
    // The file's as write-config would write it: laid over the reader's.
    const std::unique_ptr<EditorModel> wanted = editor();
    wanted->applyConfig(parseConfig(read.items()), ConfigSource::Reader);
    if (!fileConfig(*wanted))
        return;
    const QList<ConfigDifference> differences = configDifferences(*held, *wanted);
    QJsonArray list;
    QStringList names;
    for (const ConfigDifference &d : differences) {
        list.append(QJsonObject{{QStringLiteral("item"), d.item},
                                {QStringLiteral("reader"), d.reader},
                                {QStringLiteral("file"), d.file}});
        names << d.item;
        if (!m_options.everyReader())
            m_lines << QStringLiteral("%1: reader %2, file %3").arg(d.item, d.reader, d.file);
    }
    m_fields[QStringLiteral("equal")] = differences.isEmpty();
    m_fields[QStringLiteral("differences")] = list;
    if (m_options.everyReader())
        m_lines << (differences.isEmpty() ? QStringLiteral("equal")
                                          : QStringLiteral("differs: ") + names.join(QStringLiteral("; ")));
    else if (differences.isEmpty())
        m_lines << QStringLiteral("equal");
    if (differences.isEmpty())
        return end(kDone);
    end(kFailed, QStringLiteral("the configuration differs from %1 in %2 %3")
                     .arg(m_options.file)
                     .arg(differences.size())
                     .arg(differences.size() == 1 ? "item" : "items"));
}

void ReaderJob::createMasterCards()
{
    // The reader's configuration, with the file's laid over it when one is given.
    const std::unique_ptr<EditorModel> model = editor();
    const ConfigRead &read = m_station->configRead();
    if (read.status() != ReaderOperation::Status::Done)
        return operationFailed(read);
    model->applyConfig(parseConfig(read.items()), ConfigSource::Reader);
    if (!m_options.file.isEmpty() && !fileConfig(*model))
        return;
    const int mode = model->config().readMode;
    if (m_options.protectedMode && mode == 0)
        return end(kFailed, QStringLiteral("--protected needs a protected read mode; the cards' read mode is 0 (%1)")
                                .arg(texts::kReadModes.value(0)));
    // The highlighted format is the MifareClassic entry when that is the one checked.
    const std::vector<CardFormat> &entries = model->view().formatEntries;
    const int highlighted = !entries.empty() && (model->config().formats & entries.front().bit) ? 0 : -1;
    const QString items = model->buildItems(Producer::MasterCards);
    const QString cardType = masterCardTypeWord(mode, highlighted);
    MasterCardsCreate &create = m_station->masterCardsCreate();
    connect(&create, &ReaderOperation::finished, this, [this, &create] {
        Q_EMIT countdown(-1);
        m_fields[QStringLiteral("written")] = create.written();
        if (create.status() == ReaderOperation::Status::Done) {
            m_lines << QStringLiteral("%1 master %2 written").arg(create.written()).arg(create.written() == 1 ? "card" : "cards");
            return end(kDone);
        }
        if (create.status() == ReaderOperation::Status::Cancelled && m_interrupted)
            return end(kInterrupted, QStringLiteral("interrupted; %1 of %2 master cards written")
                                         .arg(create.written())
                                         .arg(m_options.count));
        const Report report = create.report();
        if (!report.text.isEmpty())
            return end(kFailed, report.text);
        end(kFailed, QStringLiteral("%1 of %2 master cards written").arg(create.written()).arg(m_options.count));
    });
    const bool option = mode != 0;
    runOperation(create, [&create, items, cardType, option] { create.start(items, cardType, option); });
}

void ReaderJob::clearMasterCards()
{
    MasterCardsClear &clear = m_station->masterCardsClear();
    connect(&clear, &ReaderOperation::finished, this, [this, &clear] {
        m_fields[QStringLiteral("cleared")] = clear.cleared();
        if (clear.status() != ReaderOperation::Status::Done && !m_interrupted)
            return operationFailed(clear);
        m_lines << texts::kClearedCards + QLatin1Char(' ') + QString::number(clear.cleared());
        end(kDone);
    });
    runOperation(clear, [&clear] { clear.start(); });
}

void ReaderJob::skip(const QString &why)
{
    m_skipped = true;
    if (!why.isEmpty())
        Q_EMIT message(QStringLiteral("left alone: ") + why);
    end(kDone);
}

void ReaderJob::showCard(const CardLogEntry &entry)
{
    QJsonObject o;
    o[QStringLiteral("port")] = port();
    o[QStringLiteral("serial")] = serial();
    // Local time with its offset from UTC, so that a script needs no time zone.
    const QDateTime time = entry.time();
    o[QStringLiteral("time")] = time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
    o[QStringLiteral("kind")] = CardLog::kindName(entry.kind);
    o[QStringLiteral("id")] = entry.shown;
    o[QStringLiteral("hex")] = entry.hex();
    if (!entry.cardType.isEmpty())
        o[QStringLiteral("cardType")] = entry.cardType;
    Q_EMIT cardRead(entry.shown, o);
}

void ReaderJob::stopWatching()
{
    if (m_phase == Phase::Watching)
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
