#pragma once
// One run of limra-cli: the command on one reader, or on every reader found
// side by side (a job with a station of its own per reader), the results
// written as each reader ends, a summary, and the exit status: the worst of
// the readers'.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "cli/commandline.h"
#include "cli/configview.h"
#include "common/timings.h"
#include "link/loaders.h"
#include "station/station.h"

namespace limra::cli {

class Console;
class ReaderJob;

class Runner : public QObject {
    Q_OBJECT
public:
    // `platform`: what the system provides, as every station takes it (the
    // data folder is the window's: the same kept configurations and loaders).
    Runner(Options options, ReaderStation::Platform platform, Timings timings, Console &console,
           QObject *parent = nullptr);
    ~Runner() override;

    // Starts the command; `finished` tells its end.
    void start();
    // A termination signal: every reader ends soon (a firmware upload first finishes).
    void terminate();
    int exitCode() const { return m_exit; }

Q_SIGNALS:
    void finished(int exitCode);

private:
    bool multi() const { return m_options.everyReader(); }
    void defaultConfig();
    void loaders();
    bool checkFiles();
    void lookForPorts();
    void startJobs(const QStringList &ports);
    void jobEnded(ReaderJob *job);
    void showResult(const ReaderJob *job);
    void showProgress(ReaderJob *job, int accepted, int total, qint64 msLeft);
    void showOverallProgress(bool last);
    void showSummary();
    QString claimOutput(const QString &path);
    void showCountdown(int seconds);
    void cardRead(ReaderJob *job, const QString &line, const QJsonObject &json);
    void tell(const ReaderJob *job, const QString &text);
    void fail(int exit, const QString &error, const QString &file = QString());
    void finish(int exit);
    int timeLeftMs() const;

    Options m_options;
    ReaderStation::Platform m_platform;
    Timings m_timings;
    Console &m_console;
    std::unique_ptr<LoaderRegistry> m_loaders; // the readers left in their loader, shared by the jobs
    std::vector<std::unique_ptr<ReaderJob>> m_jobs;
    QElapsedTimer m_clock;
    QTimer m_rescan;
    ConfigInput m_config;
    QByteArray m_image;
    std::size_t m_shown = 0; // the results shown so far, in the order of the ports
    std::set<QString> m_claimed; // output files of this run
    qint64 m_overallLineAt = -1;
    int m_exit = kDone;
    int m_cards = 0;
    bool m_terminated = false;
    bool m_finished = false;

    struct Progress {
        int accepted = 0;
        int total = 0;
        qint64 msLeft = -1;
        qint64 lineAt = -1; // when the last plain line was written
        int told = -1; // the blocks the last plain line told
        bool ended = false;
    };
    std::map<const ReaderJob *, Progress> m_progress;
};

} // namespace limra::cli
