#include "cli/runner.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "station/station.h"
#include "cli/configview.h"
#include "cli/console.h"
#include "cli/readerjob.h"
#include "common/texts.h"
#include "config/configfile.h"
#include "config/editormodel.h"
#include "firmware/image.h"
#include "link/discovery.h"
#include "link/loaders.h"
#include "platform/files.h"
#include "platform/portclaims.h"

namespace limra::cli {

namespace {

constexpr char kProgram[] = "limra-cli: ";
// Plain progress lines (not on a terminal) at most this often per reader.
constexpr qint64 kProgressLineMs = 1000;
constexpr int kBarWidth = 20;

QString jsonLine(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString timeLeftText(qint64 ms)
{
    return ms < 0 ? QString() : QStringLiteral(", about %1 s left").arg((ms + 999) / 1000);
}

} // namespace

Runner::Runner(Options options, Environment environment, Console &console, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_env(std::move(environment)), m_console(console)
{
    m_rescan.setSingleShot(true);
    connect(&m_rescan, &QTimer::timeout, this, &Runner::lookForPorts);
}

Runner::~Runner()
{
    m_jobs.clear(); // their stations share the scout's list of loaders
    m_scout.reset();
}

void Runner::start()
{
    m_clock.start();
    if (m_options.command == Command::DefaultConfig)
        return defaultConfig();
    if (m_options.command == Command::Loaders)
        return loaders();
    if (!checkFiles())
        return;
    ReaderStation::Platform platform;
    platform.ports = m_env.ports;
    platform.portFactory = m_env.portFactory;
    platform.dataFolder = m_env.dataFolder;
    m_scout = std::make_unique<ReaderStation>(platform, m_env.timings);
    if (multi())
        return lookForPorts();
    startJobs({m_options.port}); // an empty port: found as the window finds it
}

// ---- without a reader ---------------------------------------------------------------

void Runner::defaultConfig()
{
    EditorModel editor;
    editor.startUp();
    editor.applyConfig(parseConfig(kDefaultConfigItems), ConfigSource::Default);
    QJsonObject result;
    if (!m_options.output.isEmpty()) {
        const QString path = m_options.output;
        QString problem;
        if (!saveConfiguration(editor, path, &problem))
            return fail(kBadFile, problem);
        result[QStringLiteral("file")] = path;
        if (!m_options.json)
            m_console.result(path);
    } else {
        result[QStringLiteral("config")] = configJson(editor, QString());
        if (!m_options.json)
            for (const QString &line : configText(editor, QString()))
                m_console.result(line);
    }
    if (m_options.json) {
        result[QStringLiteral("ok")] = true;
        result[QStringLiteral("exit")] = kDone;
        m_console.result(jsonLine(result));
    }
    finish(kDone);
}

// The readers marked as left in their loader; nothing is sent to any reader.
void Runner::loaders()
{
    LoaderRegistry registry(m_env.dataFolder.isEmpty() ? QString() : m_env.dataFolder + QStringLiteral("/loaders"));
    const QList<LoaderRegistry::Entry> marks = registry.entries();
    if (!m_options.forget.isEmpty()) {
        const QString &which = m_options.forget;
        for (const LoaderRegistry::Entry &e : marks)
            if ((e.port == which || e.serialNumber == which) && portClaimedElsewhere(e.port))
                return fail(kFailed, QStringLiteral("another program updates the reader on %1 now; its mark stays").arg(e.port));
        const int removed = registry.forgetMarks(which);
        if (removed == 0)
            return fail(kFailed, QStringLiteral("no reader marked as left in its loader has the port or serial number %1")
                                     .arg(which));
        if (m_options.json) {
            QJsonObject o;
            o[QStringLiteral("forgotten")] = removed;
            o[QStringLiteral("ok")] = true;
            o[QStringLiteral("exit")] = kDone;
            m_console.result(jsonLine(o));
        } else {
            m_console.result(QStringLiteral("%1 mark(s) removed").arg(removed));
        }
        return finish(kDone);
    }
    for (const LoaderRegistry::Entry &e : marks) {
        const bool busy = portClaimedElsewhere(e.port);
        const QString state = e.state == LoaderRegistry::Entry::State::Switching ? QStringLiteral("switching")
                                                                                 : QStringLiteral("fed");
        if (m_options.json) {
            QJsonObject o;
            o[QStringLiteral("port")] = e.port;
            o[QStringLiteral("serial")] = e.serialNumber;
            o[QStringLiteral("location")] = e.location;
            o[QStringLiteral("identity")] = e.firmwareIdentity;
            o[QStringLiteral("state")] = state;
            o[QStringLiteral("busy")] = busy;
            o[QStringLiteral("ok")] = true;
            o[QStringLiteral("exit")] = kDone;
            m_console.result(jsonLine(o));
        } else {
            QStringList fields{e.port, e.serialNumber, e.location, state};
            if (busy)
                fields << QStringLiteral("busy");
            m_console.result(fields.join(QLatin1Char('\t')));
        }
    }
    finish(kDone);
}

// The files a command takes are checked before any reader is touched.
bool Runner::checkFiles()
{
    const QString &path = m_options.file;
    if (m_options.command == Command::WriteConfig) {
        const LoadedConfigFile file = loadConfigFile(path);
        if (file.problem != LoadedConfigFile::Problem::None) {
            fail(kBadFile, configFileProblemText(path, file));
            return false;
        }
        m_fileItems = file.items;
    } else if (m_options.command == Command::Update) {
        QByteArray bytes;
        QString error;
        const FileReadProblem problem = readSmallFile(path, kMaxImageSize, &bytes, &error);
        if (problem == FileReadProblem::Failed || problem == FileReadProblem::NotAFile) {
            fail(kBadFile, texts::kCannotOpenFile.arg(path, error));
            return false;
        }
    }
    return true;
}

// ---- the readers --------------------------------------------------------------------

int Runner::timeLeftMs() const { return int(std::max<qint64>(0, m_options.timeoutMs - m_clock.elapsed())); }

void Runner::lookForPorts()
{
    if (m_terminated)
        return fail(kInterrupted, QStringLiteral("interrupted"));
    ReaderDiscovery &discovery = m_scout->discovery();
    discovery.portsChanged();
    const QStringList ports = discovery.readerPorts();
    if (!ports.isEmpty())
        return startJobs(ports);
    if (timeLeftMs() <= 0)
        return fail(
            kNotFound,
            QStringLiteral("no reader found within %1 s").arg(QString::number(m_options.timeoutMs / 1000.0, 'g', 3)));
    m_rescan.start(std::min(m_env.timings.scan, std::max(1, timeLeftMs())));
}

void Runner::startJobs(const QStringList &ports)
{
    // A port found at the last moment still gets the time to identify its reader.
    const int timeout = std::max(timeLeftMs(), m_env.timings.identify + m_env.timings.reply);
    for (const QString &port : ports) {
        JobSetup setup;
        setup.options = &m_options;
        setup.platform.ports = m_env.ports;
        setup.platform.deviceMonitor = m_env.deviceMonitor;
        setup.platform.portFactory = m_env.portFactory;
        setup.platform.dataFolder = m_env.dataFolder;
        setup.platform.loaders = &m_scout->loaders();
        setup.timings = m_env.timings;
        setup.port = port;
        setup.fileItems = m_fileItems;
        m_jobs.push_back(std::make_unique<ReaderJob>(std::move(setup)));
        ReaderJob *job = m_jobs.back().get();
        connect(job, &ReaderJob::finished, this, [this, job] { jobEnded(job); });
        connect(job, &ReaderJob::message, this, [this, job](const QString &text) { tell(job, text); });
        connect(job, &ReaderJob::progress, this,
                [this, job](int accepted, int total, qint64 msLeft) { showProgress(job, accepted, total, msLeft); });
        connect(job, &ReaderJob::countdown, this, &Runner::showCountdown);
        connect(job, &ReaderJob::cardRead, this,
                [this, job](const QString &line, const QJsonObject &json) { cardRead(job, line, json); });
    }
    // Side by side: every reader is looked for and worked on at once.
    for (const auto &job : m_jobs)
        job->start(timeout);
}

void Runner::tell(const ReaderJob *job, const QString &text)
{
    const QString port = job->port();
    m_console.message(QLatin1String(kProgram) + (multi() && !port.isEmpty() ? port + QStringLiteral(": ") : QString())
                      + text);
}

void Runner::cardRead(ReaderJob *job, const QString &line, const QJsonObject &json)
{
    if (m_options.json)
        m_console.result(jsonLine(json));
    else if (multi())
        m_console.result(QStringList{job->port(), job->serial(), line}.join(QLatin1Char('\t')));
    else
        m_console.result(line);
    ++m_cards;
    if (m_options.count > 0 && m_cards >= m_options.count)
        for (const auto &j : m_jobs)
            j->stopWatching();
}

void Runner::showCountdown(int seconds)
{
    if (multi())
        return;
    m_console.progress(seconds < 0 ? QString() : texts::kTimeLeft + QLatin1Char(' ') + QString::number(seconds));
}

void Runner::showProgress(ReaderJob *job, int accepted, int total, qint64 msLeft)
{
    Progress &p = m_progress[job];
    p.accepted = accepted;
    p.total = total;
    p.msLeft = msLeft;
    if (total <= 0)
        return;
    if (!m_console.terminal()) {
        const qint64 now = m_clock.elapsed();
        // The first figures, the last, and those of a run that stopped (no time left to tell) always.
        if (p.lineAt >= 0 && now - p.lineAt < kProgressLineMs && msLeft >= 0 && accepted != total)
            return;
        p.lineAt = now;
        const QString left = timeLeftText(accepted < total ? msLeft : -1);
        tell(job, QStringLiteral("%1 of %2 blocks%3").arg(accepted).arg(total).arg(left));
        return;
    }
    int sumAccepted = 0;
    int sumTotal = 0;
    qint64 longest = -1;
    for (const auto &[j, q] : m_progress) {
        sumAccepted += q.accepted;
        sumTotal += q.total;
        longest = std::max(longest, q.msLeft);
    }
    const int percent = sumTotal > 0 ? int(qint64(sumAccepted) * 100 / sumTotal) : 0;
    const int filled = sumTotal > 0 ? int(qint64(sumAccepted) * kBarWidth / sumTotal) : 0;
    QString line = QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('-'))
        + QStringLiteral("] %1%  ").arg(percent, 3);
    if (m_progress.size() > 1)
        line += QStringLiteral("%1 readers, ").arg(m_progress.size());
    const QString left = timeLeftText(sumAccepted < sumTotal ? longest : -1);
    line += QStringLiteral("%1/%2 blocks%3").arg(sumAccepted).arg(sumTotal).arg(left);
    m_console.progress(line);
}

void Runner::showResult(const ReaderJob *job)
{
    const QStringList lines = job->lines();
    if (m_options.json) {
        if (m_options.command != Command::Watch || job->exitCode() != kDone)
            m_console.result(jsonLine(job->json()));
    } else if (!multi() || m_options.command == Command::List) {
        for (const QString &line : lines)
            m_console.result(line);
    } else if (m_options.command == Command::ReadConfig && m_options.output.isEmpty() && !lines.isEmpty()) {
        m_console.result(QStringLiteral("== ") + job->port() + QStringLiteral("  ") + job->serial());
        for (const QString &line : lines)
            m_console.result(line);
        m_console.result(QString());
    } else if (!lines.isEmpty()) {
        m_console.result(
            QStringList{job->port(), job->serial(), lines.join(QLatin1Char('\t'))}.join(QLatin1Char('\t')));
    }
}

void Runner::jobEnded(ReaderJob *job)
{
    const auto progress = m_progress.find(job);
    if (progress != m_progress.end()) {
        // The bar goes; what a failed upload had reached stays told.
        const Progress last = progress->second;
        m_progress.erase(progress);
        if (m_console.terminal() && job->exitCode() != kDone && last.total > 0)
            tell(job, QStringLiteral("%1 of %2 blocks").arg(last.accepted).arg(last.total));
    }
    if (m_progress.empty())
        m_console.progress(QString());
    // The list comes in the order of the ports once every reader has answered;
    // other results as each reader ends.
    const bool inOrder = multi() && m_options.command == Command::List;
    if (!inOrder)
        showResult(job);
    if (!job->error().isEmpty())
        tell(job, job->error());
    m_exit = std::max(m_exit, job->exitCode());
    if (!std::all_of(m_jobs.begin(), m_jobs.end(), [](const auto &j) { return j->ended(); }))
        return;
    if (inOrder)
        for (const auto &j : m_jobs)
            showResult(j.get());
    if (m_options.all) {
        int counts[5] = {};
        int interrupted = 0;
        for (const auto &j : m_jobs) {
            if (j->exitCode() >= 0 && j->exitCode() < 5)
                ++counts[j->exitCode()];
            else
                ++interrupted;
        }
        QStringList parts;
        parts << QStringLiteral("%1 done").arg(counts[kDone]);
        if (counts[kFailed])
            parts << QStringLiteral("%1 failed").arg(counts[kFailed]);
        if (counts[kNotFound])
            parts << QStringLiteral("%1 not reached").arg(counts[kNotFound]);
        if (counts[kBadFile])
            parts << QStringLiteral("%1 with file problems").arg(counts[kBadFile]);
        if (interrupted)
            parts << QStringLiteral("%1 interrupted").arg(interrupted);
        m_console.message(QLatin1String(kProgram)
                          + QStringLiteral("%1 %2: ").arg(m_jobs.size()).arg(m_jobs.size() == 1 ? "reader" : "readers")
                          + parts.join(QStringLiteral(", ")));
    }
    finish(m_exit);
}

// ---- the end ------------------------------------------------------------------------

void Runner::terminate()
{
    if (m_finished)
        return;
    m_terminated = true;
    if (m_jobs.empty()) {
        if (m_rescan.isActive()) {
            m_rescan.stop();
            fail(kInterrupted, QStringLiteral("interrupted"));
        }
        return;
    }
    for (const auto &job : m_jobs)
        job->interrupt();
}

void Runner::fail(int exit, const QString &error)
{
    if (m_options.json) {
        QJsonObject o;
        o[QStringLiteral("ok")] = false;
        o[QStringLiteral("exit")] = exit;
        o[QStringLiteral("error")] = error;
        m_console.result(jsonLine(o));
    }
    m_console.message(QLatin1String(kProgram) + error);
    finish(exit);
}

void Runner::finish(int exit)
{
    if (m_finished)
        return;
    m_finished = true;
    m_exit = exit;
    // Told from the event loop, so that a run that ends at once ends it too.
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT finished(m_exit); }, Qt::QueuedConnection);
}

} // namespace limra::cli

#include "moc_runner.cpp"
