#pragma once
// The tab "Обновление микропрограммы": the version query, the image file and
// the update with its progress (blocks done of all, and the time left).
#include <QPointer>
#include <QWidget>

#include "firmware/update.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace limra {

class FirmwareRuns;
class UserDialogs;

class FirmwarePage : public QWidget {
    Q_OBJECT
public:
    FirmwarePage(FirmwareRuns &runs, UserDialogs &dialogs, QWidget *parent = nullptr);

    // The reader is in its firmware loader: only the update can run.
    void setInLoader(bool inLoader);
    // Reader operations may start (none runs).
    void setReaderIdle(bool idle);

private:
    QPushButton *versionButton;
    QLineEdit *path;
    QPushButton *browseButton;
    QProgressBar *progress;
    QLabel *progressText;
    QPushButton *updateButton;
    QPushButton *cancelWaitButton;
    QLabel *loaderNote;

    void browse();
    void startUpdate();
    void showProgress(int accepted, int total, qint64 msLeft);
    void showStage(limra::FirmwareUpdate::Stage stage);
    void updateFinished(const FirmwareUpdate::Result &result);
    void updateButtons();
    bool updating() const { return m_update && m_update->running(); }
    bool awaitingReplug() const { return m_update && m_update->awaitingReplug(); }

    FirmwareRuns &m_runs;
    UserDialogs &m_dialogs;
    QPointer<FirmwareUpdate> m_update; // the update run the page follows, until its end
    QString m_lastFolder;
    bool m_inLoader = false;
    bool m_idle = true;
};

} // namespace limra
