#pragma once
// The tab "Обновление микропрограммы": the version query, the image file and
// the update with its progress (blocks done of all, and the time left).
#include <QWidget>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace limra {

class FirmwareUpdate;
class FirmwareVersionQuery;
class UserDialogs;

class FirmwarePage : public QWidget {
    Q_OBJECT
public:
    FirmwarePage(FirmwareUpdate &update, FirmwareVersionQuery &version, UserDialogs &dialogs,
                 QWidget *parent = nullptr);

    QPushButton *versionButton;
    QLineEdit *path;
    QPushButton *browseButton;
    QProgressBar *progress;
    QLabel *progressText;
    QPushButton *updateButton;

private:
    void browse();
    void showProgress(int accepted, int total, qint64 msLeft);

    FirmwareUpdate &m_update;
    UserDialogs &m_dialogs;
    QString m_lastFolder;
};

} // namespace limra
