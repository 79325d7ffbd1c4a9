#pragma once
// One reader of a limra-cli run: a reader station of its own finds the
// reader (on the port asked for, or as the window finds it), the command
// runs on it through the station's operations, and the job ends with a
// result: an exit status, lines for standard output, a JSON object and the
// error told on standard error.
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "station/station.h"
#include "cli/commandline.h"
#include "cli/configview.h"
#include "link/discovery.h"

namespace limra {
class CardPresenter;
class CardWait;
class ClearingWait;
class ConfigWrite;
class EditorModel;
struct CardLogEntry;
} // namespace limra

namespace limra::cli {

struct JobSetup {
    const Options *options = nullptr;
    ReaderStation::Platform platform;
    Timings timings;
    QString port;       // empty: the reader is found as the window finds it
    ConfigInput config; // write-config, diff, master-cards create: the file's configuration
    QByteArray image;   // update: the image file's bytes
    // The output file a reader is to write, made unique within the run (two
    // readers with one serial number); the runner says when it changed it.
    std::function<QString(const QString &path)> claimOutput;
};

class ReaderJob : public QObject {
    Q_OBJECT
public:
    explicit ReaderJob(JobSetup setup, QObject *parent = nullptr);
    ~ReaderJob() override;

    // Looks for the reader for `timeoutMs`, then runs the command on it.
    void start(int timeoutMs);
    // A termination signal: the job ends soon; a firmware upload first
    // finishes, a reader in a card operation goes back to card reading.
    void interrupt();
    // watch: enough cards were read.
    void stopWatching();

    bool ended() const { return m_phase == Phase::Ended; }
    bool found() const { return m_found; }
    // The reader is not one the command is for (--serial, --except, --type,
    // --skip-unfit): it is left alone and not reported.
    bool skipped() const { return m_skipped; }
    int exitCode() const { return m_exit; }
    // The reader's port, or the port asked for.
    QString port() const;
    // The serial number as the status bar shows it; empty when not known.
    QString serial() const;
    // "USB", "BLE" or "loader"; empty when no reader was found.
    QString readerWord() const;
    // The result for standard output, and as JSON.
    QStringList lines() const { return m_lines; }
    // A file written to standard output (-o -).
    QByteArray rawOutput() const { return m_rawOutput; }
    QJsonObject json() const;
    // Why it failed, for standard error; empty when it did not.
    QString error() const { return m_error; }

Q_SIGNALS:
    // The job has ended (told from the event loop).
    void finished();
    // Something to tell on standard error now.
    void message(const QString &text);
    // watch: a card was read.
    void cardRead(const QString &line, const QJsonObject &json);
    // update: blocks the loader took of all, and the time left (-1: not known).
    void progress(int accepted, int total, qint64 msLeft);
    // A card wait counts down: the seconds left (-1: the wait ended).
    void countdown(int seconds);

private:
    enum class Phase { Idle, Finding, Preparing, Working, Watching, Ending, Ended };

    void identified();
    void loaderFound();
    void troubleChanged(const PortTrouble &trouble);
    void timeUp();
    void giveUp();
    void busyChecked();
    void skip(const QString &why = QString());
    void work();
    void list();
    void version();
    void readConfig();
    void writeConfig();
    void update();
    void watch();
    void diff();
    void createMasterCards();
    void clearMasterCards();
    bool fileConfig(EditorModel &model);
    void follow(ConfigWrite &run);
    void follow(FirmwareUpdate &run);
    void writeFailed(const ConfigWrite::Result &write);
    // False when the station refused the start (the job ends).
    bool started(const ReaderOperation *run);
    void operationFailed(const ReaderOperation::Outcome &outcome);
    void cardWaitOpened(CardWait *wait);
    void showCard(const CardLogEntry &entry);
    std::unique_ptr<EditorModel> editor() const;
    // The editor holding the reader's configuration (the read after
    // connecting); none, with the job ended, when the read failed or the
    // editor does not take it.
    std::unique_ptr<EditorModel> readersConfiguration();
    QString outputPath() const;
    QString keptCopy() const;
    void end(int exit, const QString &error = QString());

    JobSetup m_setup;
    const Options &m_options;
    std::unique_ptr<ReaderStation> m_station;
    // The reader as the station last told it, once one was found.
    StationStatus m_reader;
    // The read after the reader connected: the one running, and what the last one gave.
    QPointer<ConfigRead> m_connectReading;
    ConfigRead::Result m_connectRead;
    std::unique_ptr<CardPresenter> m_presenter;
    Phase m_phase = Phase::Idle;
    QTimer m_deadline;
    QTimer m_busyCheck; // a busy port looked at again
    PortTrouble m_trouble;
    bool m_found = false;
    bool m_interrupted = false;
    bool m_skipped = false;
    bool m_lastChance = false;     // the time is up, an identification on its way is let finish
    bool m_configWritten = false;  // write-config: the reader took the configuration
    ClearingWait *m_clearing = nullptr;
    QByteArray m_rawOutput;
    int m_exit = kDone;
    QString m_error;
    QStringList m_lines;
    QJsonObject m_fields; // the command's own fields of the JSON object
};

} // namespace limra::cli
