#pragma once
// "Сохранённые конфигурации": the configurations kept before writes to the
// reader, newest first; one is put back into the editor as a file would be,
// writing it stays the user's act.
#include <QDialog>
#include <functional>

class QPushButton;
class QTableWidget;

namespace limra {

class ConfigBackups;
class UserDialogs;

class KeptConfigurationsWindow : public QDialog {
    Q_OBJECT
public:
    // `restore` puts the kept file at a path into the editor.
    KeptConfigurationsWindow(const ConfigBackups &backups, std::function<void(const QString &path)> restore,
                             UserDialogs &dialogs, QWidget *parent = nullptr);

    // Lists the kept configurations anew.
    void refresh();

    QTableWidget *table;
    QPushButton *restoreButton;
    QPushButton *folderButton;

protected:
    void showEvent(QShowEvent *event) override;

private:
    const ConfigBackups &m_backups;
    std::function<void(const QString &path)> m_restore;
    QStringList m_paths;
};

} // namespace limra
