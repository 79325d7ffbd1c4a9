#pragma once
// "Сохранённые конфигурации": the configurations kept before writes to the
// reader, newest first; one is put back into the editor as a file would be,
// writing it stays the user's act.
#include <QDialog>

class QPushButton;
class QTableWidget;

namespace limra {

class ConfigBackups;
class ConfigTransfer;
class UserDialogs;

class KeptConfigurationsWindow : public QDialog {
    Q_OBJECT
public:
    KeptConfigurationsWindow(const ConfigBackups &backups, ConfigTransfer &transfer, UserDialogs &dialogs,
                             QWidget *parent = nullptr);

    // Lists the kept configurations anew.
    void refresh();

    QTableWidget *table;
    QPushButton *restoreButton;
    QPushButton *folderButton;

protected:
    void showEvent(QShowEvent *event) override;

private:
    const ConfigBackups &m_backups;
    ConfigTransfer &m_transfer;
    QStringList m_paths;
};

} // namespace limra
