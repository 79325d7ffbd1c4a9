#pragma once
// The firmware update: the image's section for the connected reader is found
// and checked, the reader is switched to its loader, its port is reopened
// under the same name once the reader has restarted (tried again for a
// while: a USB device may take seconds to come back), the data blocks are
// streamed to the loader one by one, each answered by two bytes, and the
// update is done once the reader has restarted into its new firmware,
// identified itself and told its firmware version.
//
// The port is the update's from its start to its end: no other program of
// the tool opens it meanwhile (a claim that goes with the process). From the
// switch on the reader is marked as left in its loader (port, USB location,
// identity, serial number) until it identifies itself as a reader again, so
// that nothing else is ever sent to it and a later run can finish it; an
// update whose mark cannot be written does not start. A run on a reader in
// its loader checks the image against the remembered identity and sends
// every block from the first, without identification and switch, but only
// to a loader that starts afresh: one it just switched into, or whose port
// has gone and come back since blocks were last sent to it. Otherwise, and
// when a loader answers nothing, the user is asked to plug the reader in
// again and the run waits for that (within a limit, and it can be
// cancelled). A marked port that answers as a reader is a reader: its mark
// goes and the update runs as on any reader.
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QList>
#include <functional>

#include "link/operation.h"
#include "platform/portclaims.h"

namespace limra {

class LoaderRegistry;
class ReaderSession;
struct ReaderIdentity;

class FirmwareUpdate : public ReaderOperation {
    Q_OBJECT
public:
    enum class Stage {
        Idle,
        Identifying,    // "FF01"
        Switching,      // "0C01"
        Restarting,     // the pause while the reader restarts into its loader, and the reopening
        Uploading,
        LoaderSilent,   // the loader answers nothing; waiting for it to be plugged in again
        AwaitingReplug, // the loader took part of an image before: waiting for it to be plugged in again
        Returning,      // every block taken: waiting for the reader to come back with its new firmware
    };
    enum class Failure {
        None,
        NoPath,       // no image chosen
        CannotOpen,   // the image cannot be read
        Identify,     // the identification failed: error()
        NoIdentity,   // the identification carried no identity
        BadImage,     // the image's size is wrong
        BadHeader,    // a section header is wrong
        NoSection,    // no section for this reader: identity()
        BadCrc,
        CannotRecord, // the reader's mark as left in its loader cannot be written: recordProblem()
        Switch,       // the switch to the loader was refused: error()
        Reopen,       // the loader's port could not be opened
        NoAnswer,     // the loader did not answer a block
        BadAnswer,    // the loader's answer was not two bytes
        Rejected,     // the loader rejected a block: rejectCode()
        NotPluggedIn, // the reader was not plugged in again within the limit
        NoReturn,     // the reader did not come back with its new firmware within the limit
        NoVersion,    // the reader came back but did not tell its firmware version
    };
    // What the run gave.
    struct Result : Outcome {
        Failure failure = Failure::None;
        QString identity;      // the reader's firmware identity
        int rejectCode = 0;    // Rejected: the loader's code
        int accepted = 0;      // blocks the loader accepted
        int total = 0;         // blocks of the image's section
        QString version;       // the firmware version the reader told after the update
        QString recordProblem; // CannotRecord: why
        double uploadMs = 0;   // how long the blocks took to upload
    };

    FirmwareUpdate(ReaderLink &link, ReaderSession &session, LoaderRegistry &loaders, const Timings &timings,
                   QObject *parent = nullptr);
    ~FirmwareUpdate() override;

    // The USB location of a port, so that a loader coming back elsewhere is known.
    std::function<QString(const QString &port)> location = [](const QString &) { return QString(); };

    // Updates the connected reader, or finishes the reader the session holds
    // in its loader, with the image at `path`.
    void start(const QString &path);
    Report report() const override;

    Stage stage() const { return running() ? m_stage : Stage::Idle; }
    // The stage is a wait for the user to plug the reader in again.
    bool awaitingReplug() const
    {
        return stage() == Stage::LoaderSilent || stage() == Stage::AwaitingReplug;
    }
    Failure failure() const { return m_failure; }
    QString identity() const { return m_identity; }
    int rejectCode() const { return m_rejectCode; }
    int accepted() const { return m_accepted; }
    int total() const { return int(m_blocks.size()); }
    // The firmware version the reader told after the update (1.2.10).
    QString version() const { return m_version; }
    // How long a wait for the user to plug the reader in again lasts.
    int waitLimitMs() const { return m_timings.loaderWait; }
    // Why the mark could not be written.
    QString recordProblem() const { return m_recordProblem; }
    // How long the blocks of the last run took to upload.
    double lastUploadMs() const { return m_lastUploadMs; }
    Result result() const
    {
        return {outcome(), m_failure, m_identity, m_rejectCode, m_accepted, total(), m_version, m_recordProblem,
                m_lastUploadMs};
    }

Q_SIGNALS:
    // The run went on to another stage (told once each time).
    void stageChanged(limra::FirmwareUpdate::Stage stage);
    // Blocks the loader accepted of all, and the time left in milliseconds
    // (-1: not known yet).
    void progress(int accepted, int total, qint64 msLeft);
    // The run has ended (after ended()).
    void finished(const limra::FirmwareUpdate::Result &result);

protected:
    void tellFinished() override { Q_EMIT finished(result()); }
    void timerEvent(QTimerEvent *event) override;
    void readerLost() override;
    void stopping() override;

private:
    bool loadSection(const QString &path);
    void identify();
    void identified(const ReaderLink::Answer &answer);
    void switched();
    void tryReopen();
    void atLoader();
    bool loaderFresh() const;
    bool record(bool fed);
    void upload();
    void sendBlock();
    void blockAnswered(const ReaderLink::Answer &answer);
    void awaitReplug(Stage stage);
    void enter(Stage stage);
    void watchPort();
    void loaderBack();
    void answeredAsReader();
    void uploaded();
    void tryReturn();
    void returned(const ReaderIdentity &identity);
    void stopWaiting();
    void fail(Failure failure, std::optional<LinkError> error = std::nullopt);
    void tellProgress(bool always);
    void tellStopped();

    ReaderSession &m_session;
    LoaderRegistry &m_loaders;
    PortClaim m_claim;
    Stage m_stage = Stage::Idle;
    Failure m_failure = Failure::None;
    QString m_path;
    QString m_identity;
    QString m_port;
    QString m_location;
    QString m_version;
    QString m_recordProblem;
    bool m_resuming = false;
    bool m_probed = false;     // the silent loader was asked once whether it is a reader
    int m_returnProbes = 0;    // identifications sent to the port since it came back
    QString m_waitedPort;      // the port's device when the wait for the user began
    QList<QByteArray> m_blocks;
    int m_accepted = 0;
    int m_rejectCode = 0;
    QBasicTimer m_pause;       // the next step: the restart's pause, a try to open the port again
    QBasicTimer m_limit;       // the end of a wait
    QElapsedTimer m_uploadClock;
    QElapsedTimer m_progressClock;
    double m_lastUploadMs = 0;
    QList<QMetaObject::Connection> m_watches;
};

} // namespace limra

// The version query, for the callers that use this header for both.
#include "firmware/versionquery.h"
