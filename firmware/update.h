#pragma once
// The firmware update: the image's section for the connected reader is found
// and checked, the reader is switched to its loader, its port is reopened
// under the same name once the reader has restarted, and the data blocks are
// streamed to the loader one by one, each answered by two bytes.
//
// From the switch on the reader is remembered as left in its loader (port,
// USB location, identity) until every block has been taken, so that nothing
// else is ever sent to it and a later run can finish it: a run on a reader
// in its loader checks the image against the remembered identity and sends
// every block from the first, without identification and switch. When such
// a loader does not answer at all, the run waits for the user to plug the
// reader in again, and starts over once it is back.
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QList>
#include <functional>

#include "link/operation.h"

namespace limra {

class LoaderRegistry;
class ReaderSession;

class FirmwareUpdate : public ReaderOperation {
    Q_OBJECT
public:
    enum class Stage {
        Idle,
        Identifying,  // "FF01"
        Switching,    // "0C01"
        Restarting,   // the pause while the reader restarts into its loader
        Uploading,
        LoaderSilent, // the loader answers nothing; waiting for it to come back
    };
    enum class Failure {
        None,
        NoPath,      // no image chosen
        CannotOpen,  // the image cannot be read
        Identify,    // the identification failed: error()
        NoIdentity,  // the identification carried no identity
        BadImage,    // the image's size is wrong
        BadHeader,   // a section header is wrong
        NoSection,   // no section for this reader: identity()
        BadCrc,
        Switch,      // the switch to the loader was refused: error()
        Reopen,      // the loader's port could not be opened
        NoAnswer,    // the loader did not answer a block
        BadAnswer,   // the loader's answer was not two bytes
        Rejected,    // the loader rejected a block: rejectCode()
    };
    // Progress is told at most this often, and at the end.
    static constexpr int kProgressIntervalMs = 100;

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
    Failure failure() const { return m_failure; }
    QString identity() const { return m_identity; }
    int rejectCode() const { return m_rejectCode; }
    int accepted() const { return m_accepted; }
    int total() const { return int(m_blocks.size()); }
    // How long the blocks of the last run took to upload.
    double lastUploadMs() const { return m_lastUploadMs; }

Q_SIGNALS:
    // Blocks the loader accepted of all, and the time left in milliseconds
    // (-1: not known yet).
    void progress(int accepted, int total, qint64 msLeft);

protected:
    void timerEvent(QTimerEvent *event) override;
    void readerLost() override;
    void stopping() override;

private:
    bool loadSection(const QString &path);
    void identified(const ReaderLink::Answer &answer);
    void switched();
    void reopen();
    void upload();
    void sendBlock();
    void blockAnswered(const ReaderLink::Answer &answer);
    void loaderBack();
    void fail(Failure failure, std::optional<LinkError> error = std::nullopt);
    void tellProgress(bool always);
    void tellStopped();

    ReaderSession &m_session;
    LoaderRegistry &m_loaders;
    Stage m_stage = Stage::Idle;
    Failure m_failure = Failure::None;
    QString m_path;
    QString m_identity;
    QString m_serialNumber;
    QString m_port;
    QString m_location;
    bool m_resuming = false;
    QList<QByteArray> m_blocks;
    int m_accepted = 0;
    int m_rejectCode = 0;
    QBasicTimer m_pause;
    QElapsedTimer m_uploadClock;
    QElapsedTimer m_progressClock;
    double m_lastUploadMs = 0;
    QMetaObject::Connection m_loaderWatch;
};

// "Узнать текущую версию микропрограммы": the firmware and loader versions.
class FirmwareVersionQuery : public ReaderOperation {
    Q_OBJECT
public:
    using ReaderOperation::ReaderOperation;
    void start();
    // The versions, or the error.
    Report report() const override;

    // Empty when the reply's firmware item was not 3 bytes (nothing is shown then).
    QString firmware() const { return m_firmware; }
    QString loader() const { return m_loader; }

    // Item 10 (3 bytes) as 1.2.10; item 12 (4 bytes) last byte first as 3.0.0.1,
    // other sizes as their hex digits.
    static QString firmwareVersion(const QString &item);
    static QString loaderVersion(const QString &item);

private:
    QString m_firmware;
    QString m_loader;
};

} // namespace limra
