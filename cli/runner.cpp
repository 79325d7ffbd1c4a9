#include "cli/runner.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
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
constexpr int kBarWidth = 20;

QString jsonLine(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString timeLeftText(qint64 ms)
{
    return ms < 0 ? QString() : QStringLiteral(", about %1 s left").arg((ms + 999) / 1000);
}

// How grave an exit status is, for the run's own over several readers: a
// signal, then a reader that failed, then a file, then a reader not reached.
int gravity(int exit)
{
    switch (exit) {
    case kDone: return 0;
    case kNotFound: return 1;
    case kBadFile: return 2;
    case kFailed: return 3;
    case kUsage: return 4;
    default: return 5; // interrupted
    }
}

int graver(int a, int b) { return gravity(b) > gravity(a) ? b : a; }

// The result of a reader that did not do it, as a line beside the others.
QString failureWord(int exit)
{
    switch (exit) {
    case kNotFound: return QStringLiteral("not reached");
    case kBadFile: return QStringLiteral("file problem");
    case kInterrupted: return QStringLiteral("interrupted");
    default: return QStringLiteral("failed");
    }
}

} // namespace

Runner::Runner(Options options, ReaderStation::Platform platform, Timings timings, Console &console, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_platform(std::move(platform)), m_timings(timings),
      m_console(console)
{
    m_rescan.setSingleShot(true);
    connect(&m_rescan, &QTimer::timeout, this, &Runner::lookForPorts);
}

Runner::~Runner()
{
    m_jobs.clear(); // their stations share the list of loaders
    m_loaders.reset();
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
    m_loaders = std::make_unique<LoaderRegistry>(loaderListIn(m_platform.dataFolder));
    if (multi())
        return lookForPorts();
    startJobs({m_options.port}); // an empty port: found as the window finds it
}

// ---- without a reader ---------------------------------------------------------------

void Runner::defaultConfig()
{
    EditorModel editor;
    editor.startUp();
    editor.applyConfig(kDefaultConfigItems, ConfigPlace::Default);
    QJsonObject result;
    if (m_options.output == QLatin1String("-")) {
        m_console.raw(configFileBytes(editor.buildItems(ConfigPlace::File)));
    } else if (!m_options.output.isEmpty()) {
        const QString path = m_options.output;
        if (const auto saved = saveConfiguration(editor, path); !saved)
            return fail(kBadFile, saved.error().text, path);
        result[QStringLiteral("file")] = path;
        if (!m_options.json && !isWrittenThrough(path)) // standard output, say, has the configuration itself
            m_console.result(path);
    } else {
        result[QStringLiteral("config")] = configJson(editor, ConfigItems());
        if (!m_options.json)
            for (const QString &line : configText(editor, ConfigItems()))
                m_console.result(line);
    }
    if (m_options.json && m_options.output != QLatin1String("-")) {
        result[QStringLiteral("port")] = QString();
        result[QStringLiteral("serial")] = QString();
        result[QStringLiteral("reader")] = QString();
        result[QStringLiteral("ok")] = true;
        result[QStringLiteral("exit")] = kDone;
        m_console.result(jsonLine(result));
    }
    finish(kDone);
}

// The readers marked as left in their loader; nothing is sent to any reader.
void Runner::loaders()
{
    LoaderRegistry registry(loaderListIn(m_platform.dataFolder));
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
    const Command c = m_options.command;
    if (c == Command::WriteConfig || c == Command::Diff || (c == Command::MasterCardsCreate && !path.isEmpty())) {
        auto input = readConfigInput(path);
        if (!input) {
            fail(kBadFile, input.error().text, path);
            return false;
        }
        m_config = std::move(*input);
    } else if (c == Command::Update) {
        const auto image = readSmallFile(path, kMaxImageSize);
        if (!image && image.error().kind != FileError::Kind::TooLarge) {
            fail(kBadFile, texts::kCannotOpenFile.arg(path, image.error().reason), path);
            return false;
        }
        if (image)
            m_image = *image;
    }
    return true;
}

QString Runner::claimOutput(const QString &path)
{
    QString claimed = path;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (m_claimed.count(absolute)) {
        // Two readers whose names come out the same (one serial number twice):
        // the later gets a file of its own, never the earlier's overwritten.
        const QFileInfo info(path);
        const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
        const QString stem = path.left(path.size() - suffix.size());
        for (int n = 2;; ++n) {
            claimed = QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(suffix);
            if (!m_claimed.count(QFileInfo(claimed).absoluteFilePath()))
                break;
        }
        m_console.message(QLatin1String(kProgram)
                          + QStringLiteral("%1 is already written in this run (two readers with one serial number?): "
                                           "this reader's goes to %2")
                                .arg(path, claimed));
    }
    m_claimed.insert(QFileInfo(claimed).absoluteFilePath());
    return claimed;
}

// ---- the readers --------------------------------------------------------------------

int Runner::timeLeftMs() const { return int(std::max<qint64>(0, m_options.timeoutMs - m_clock.elapsed())); }

void Runner::lookForPorts()
{
    if (m_terminated)
        return fail(kInterrupted, QStringLiteral("interrupted"));
    const QStringList ports = readerPortsOf(*m_platform.ports);
    if (!ports.isEmpty())
        return startJobs(ports);
    if (timeLeftMs() <= 0)
        return fail(
            kNotFound,
            QStringLiteral("no reader found within %1 s").arg(QString::number(m_options.timeoutMs / 1000.0, 'g', 3)));
    m_rescan.start(std::min(m_timings.scan, std::max(1, timeLeftMs())));
}

void Runner::startJobs(const QStringList &ports)
{
    // An identification on its way when the time is up gets its time (the job sees to it).
    const int timeout = std::max(timeLeftMs(), 1);
    for (const QString &port : ports) {
        JobSetup setup;
        setup.options = &m_options;
        setup.platform = m_platform;
        setup.platform.loaders = m_loaders.get();
        setup.timings = m_timings;
        setup.port = port;
        setup.config = m_config;
        setup.image = m_image;
        setup.claimOutput = [this](const QString &path) { return claimOutput(path); };
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
    if (multi())
        return showOverallProgress(false);
    if (!m_console.terminal()) {
        const qint64 now = m_clock.elapsed();
        // The first figures, the last, and those of a run that stopped (no time left to tell) always.
        if ((p.lineAt >= 0 && now - p.lineAt < m_timings.progressLine && msLeft >= 0 && accepted != total) || accepted == p.told)
            return;
        p.lineAt = now;
        p.told = accepted;
        const QString left = timeLeftText(accepted < total ? msLeft : -1);
        tell(job, QStringLiteral("%1 of %2 blocks%3").arg(accepted).arg(total).arg(left));
        return;
    }
    const int percent = int(qint64(accepted) * 100 / total);
    const int filled = int(qint64(accepted) * kBarWidth / total);
    m_console.progress(QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('-'))
                       + QStringLiteral("] %1%  ").arg(percent, 3)
                       + QStringLiteral("%1/%2 blocks%3").arg(accepted).arg(total).arg(timeLeftText(accepted < total ? msLeft : -1)));
}

// Several readers: one figure over all blocks of all readers. A reader that
// has not told its total yet counts with the others' largest, a reader that
// ended counts as far as it came, so the figure only grows; the time left is
// the longest of the readers still uploading.
void Runner::showOverallProgress(bool last)
{
    int known = 0;
    for (const auto &[j, q] : m_progress)
        known = std::max(known, q.total);
    if (known == 0)
        return;
    qint64 accepted = 0;
    qint64 total = 0;
    qint64 longest = -1;
    int uploading = 0;
    for (const auto &job : m_jobs) {
        if (job->skipped())
            continue;
        const auto it = m_progress.find(job.get());
        // A reader that has told no total (none yet, or 0 while its loader is
        // awaited) is not known: it counts with the others' largest.
        if (it == m_progress.end() || it->second.total <= 0) {
            if (!job->ended())
                total += known; // still on its way to its loader
            continue;
        }
        const Progress &q = it->second;
        accepted += q.accepted;
        total += q.ended ? q.accepted : q.total;
        if (!q.ended) {
            ++uploading;
            longest = std::max(longest, q.msLeft);
        }
    }
    if (total <= 0)
        return;
    const QString left = timeLeftText(accepted < total ? longest : -1);
    const QString readers = QStringLiteral("%1 %2").arg(m_jobs.size()).arg(m_jobs.size() == 1 ? "reader" : "readers");
    if (!m_console.terminal()) {
        const qint64 now = m_clock.elapsed();
        if (!last && m_overallLineAt >= 0 && now - m_overallLineAt < m_timings.progressLine)
            return;
        if (!last && accepted >= total)
            return; // the last figure is told once, when every reader has ended
        m_overallLineAt = now;
        m_console.message(QLatin1String(kProgram) + readers + QStringLiteral(": %1 of %2 blocks%3").arg(accepted).arg(total).arg(left));
        return;
    }
    if (last)
        return m_console.progress(QString());
    const int percent = int(accepted * 100 / total);
    const int filled = int(accepted * kBarWidth / total);
    m_console.progress(QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('-'))
                       + QStringLiteral("] %1%  ").arg(percent, 3) + readers + QStringLiteral(", %1 uploading, ").arg(uploading)
                       + QStringLiteral("%1/%2 blocks%3").arg(accepted).arg(total).arg(left));
}

void Runner::showResult(const ReaderJob *job)
{
    if (job->skipped())
        return;
    const QStringList lines = job->lines();
    if (!job->rawOutput().isEmpty())
        return m_console.raw(job->rawOutput()); // the file is the output
    if (m_options.json) {
        if (m_options.command != Command::Watch || job->exitCode() != kDone)
            m_console.result(jsonLine(job->json()));
    } else if (!multi()) {
        for (const QString &line : lines)
            m_console.result(line);
    } else if (job->exitCode() != kDone && lines.isEmpty()) {
        // Every reader has its line, also one not reached.
        m_console.result(QStringList{job->port(), job->serial(), failureWord(job->exitCode()) + QStringLiteral(": ")
                                                                     + job->error()}
                             .join(QLatin1Char('\t')));
    } else if (m_options.command == Command::List) {
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
        Progress &last = progress->second;
        last.ended = true;
        // What a failed upload had reached stays told.
        if (!multi() && m_console.terminal() && job->exitCode() != kDone && last.total > 0)
            tell(job, QStringLiteral("%1 of %2 blocks").arg(last.accepted).arg(last.total));
        if (!multi())
            m_progress.erase(progress);
    }
    if (!multi() && m_progress.empty())
        m_console.progress(QString());
    if (!job->error().isEmpty() && !job->skipped())
        tell(job, job->error());
    if (!job->skipped())
        m_exit = graver(m_exit, job->exitCode());
    // The results in the order of the ports, each as soon as those before it are in.
    while (m_shown < m_jobs.size() && m_jobs[m_shown]->ended())
        showResult(m_jobs[m_shown++].get());
    if (m_shown < m_jobs.size())
        return;
    if (multi() && !m_progress.empty())
        showOverallProgress(true);
    showSummary();
    finish(m_exit);
}

void Runner::showSummary()
{
    // A serial number asked for that no reader has is a reader not reached.
    QList<QJsonObject> missing;
    for (const QString &wanted : m_options.serials) {
        Options one;
        one.serials = {wanted};
        const bool found = std::any_of(m_jobs.begin(), m_jobs.end(), [&](const auto &j) {
            return !j->skipped() && j->found() && one.chosen(j->serial(), false);
        });
        if (found)
            continue;
        const QString error = QStringLiteral("no reader with the serial number %1 found").arg(wanted);
        missing << QJsonObject{{QStringLiteral("port"), QString()},      {QStringLiteral("serial"), wanted},
                               {QStringLiteral("reader"), QString()},    {QStringLiteral("ok"), false},
                               {QStringLiteral("exit"), kNotFound},      {QStringLiteral("error"), error}};
        m_console.message(QLatin1String(kProgram) + error);
        if (m_options.json)
            m_console.result(jsonLine(missing.last()));
        else
            m_console.result(QStringList{QString(), wanted, failureWord(kNotFound) + QStringLiteral(": ") + error}
                                 .join(QLatin1Char('\t')));
        m_exit = graver(m_exit, kNotFound);
    }
    if (!m_options.all && !m_options.choosing())
        return;
    int done = 0, failed = 0, notReached = 0, fileProblems = 0, interrupted = 0, skipped = 0;
    QJsonArray problems;
    QStringList problemLines;
    for (const auto &j : m_jobs) {
        if (j->skipped()) {
            ++skipped;
            continue;
        }
        switch (j->exitCode()) {
        case kDone: ++done; continue;
        case kFailed: ++failed; break;
        case kNotFound: ++notReached; break;
        case kBadFile: ++fileProblems; break;
        default: ++interrupted; break;
        }
        problems.append(QJsonObject{{QStringLiteral("port"), j->port()},
                                    {QStringLiteral("serial"), j->serial()},
                                    {QStringLiteral("exit"), j->exitCode()},
                                    {QStringLiteral("error"), j->error()}});
        problemLines << QStringLiteral("  %1 on %2: %3: %4")
                            .arg(j->serial().isEmpty() ? QStringLiteral("a reader") : j->serial(), j->port(),
                                 failureWord(j->exitCode()), j->error());
    }
    for (const QJsonObject &o : missing) {
        ++notReached;
        problems.append(QJsonObject{{QStringLiteral("port"), QString()},
                                    {QStringLiteral("serial"), o[QStringLiteral("serial")]},
                                    {QStringLiteral("exit"), kNotFound},
                                    {QStringLiteral("error"), o[QStringLiteral("error")]}});
        problemLines << QStringLiteral("  %1: %2: %3")
                            .arg(o[QStringLiteral("serial")].toString(), failureWord(kNotFound),
                                 o[QStringLiteral("error")].toString());
    }
    const int readers = int(m_jobs.size()) - skipped + int(missing.size());
    QStringList parts;
    parts << QStringLiteral("%1 done").arg(done);
    if (failed)
        parts << QStringLiteral("%1 failed").arg(failed);
    if (notReached)
        parts << QStringLiteral("%1 not reached").arg(notReached);
    if (fileProblems)
        parts << QStringLiteral("%1 with file problems").arg(fileProblems);
    if (interrupted)
        parts << QStringLiteral("%1 interrupted").arg(interrupted);
    if (skipped)
        parts << QStringLiteral("%1 left alone").arg(skipped);
    m_console.message(QLatin1String(kProgram)
                      + QStringLiteral("%1 %2: ").arg(readers).arg(readers == 1 ? "reader" : "readers")
                      + parts.join(QStringLiteral(", ")));
    for (const QString &line : problemLines)
        m_console.message(line);
    if (m_options.json) {
        QJsonObject summary{{QStringLiteral("summary"), true},      {QStringLiteral("readers"), readers},
                            {QStringLiteral("done"), done},         {QStringLiteral("failed"), failed},
                            {QStringLiteral("notReached"), notReached}, {QStringLiteral("fileProblems"), fileProblems},
                            {QStringLiteral("interrupted"), interrupted}, {QStringLiteral("leftAlone"), skipped},
                            {QStringLiteral("problems"), problems}, {QStringLiteral("ok"), m_exit == kDone},
                            {QStringLiteral("exit"), m_exit}};
        m_console.result(jsonLine(summary));
    }
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

void Runner::fail(int exit, const QString &error, const QString &file)
{
    if (m_options.json) {
        QJsonObject o;
        o[QStringLiteral("port")] = m_options.port;
        o[QStringLiteral("serial")] = QString();
        o[QStringLiteral("reader")] = QString();
        if (!file.isEmpty())
            o[QStringLiteral("file")] = file;
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
