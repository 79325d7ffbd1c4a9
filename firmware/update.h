#pragma once
// The firmware update: the image's section for the connected reader is found
// and checked, the reader is switched to its loader, its port is reopened
// under the same name, and the data blocks are streamed to the loader one by
// one, each answered by two bytes. Every exit unlocks the tabs, resets the
// progress and frees the working state.
#include <QElapsedTimer>
#include <QObject>

#include "link/operation.h"

namespace limra {

class ReaderSession;

class FirmwareUpdate : public QObject, public ReaderOperation {
    Q_OBJECT
public:
    // The pause after the switch to the loader, while the reader restarts.
    static constexpr int kLoaderStartMs = 2000;
    // Progress is told at most this often, and after the last block.
    static constexpr int kProgressIntervalMs = 100;

    FirmwareUpdate(ReaderLink &link, ReaderSession &session, UserDialogs &dialogs, QObject *parent = nullptr);

    // "Начать обновление микропрограммы" with the image at `path`.
    void run(const QString &path);

    // How long the reader is given to restart into its loader (tests shorten it).
    int loaderStartMs = kLoaderStartMs;
    // How long the blocks of the last update took to upload.
    double lastUploadMs() const { return m_lastUploadMs; }

Q_SIGNALS:
    // The tabs are locked while the image is checked and uploaded.
    void lockedChanged(bool locked);
    // The wait cursor shows while the update works; it goes before any message.
    void waitCursor(bool on);
    // Blocks the loader accepted of all, and the time left in milliseconds
    // (-1: not known yet). All zero when the run ends.
    void progress(int accepted, int total, qint64 msLeft);

private:
    bool upload(const QList<QByteArray> &blocks);
    void fail(const QString &text);
    void tell(const QString &text);
    void tellProgress(int accepted, int total);

    ReaderSession &m_session;
    QElapsedTimer m_uploadClock;
    QElapsedTimer m_progressClock;
    double m_lastUploadMs = 0;
};

// "Узнать текущую версию микропрограммы": the firmware and loader versions.
class FirmwareVersionQuery : public ReaderOperation {
public:
    using ReaderOperation::ReaderOperation;
    void run();

    // Item 10 (3 bytes) as 1.2.10; item 12 (4 bytes) last byte first as 3.0.0.1,
    // other sizes as their hex digits.
    static QString firmwareVersion(const QString &item);
    static QString loaderVersion(const QString &item);
};

} // namespace limra
