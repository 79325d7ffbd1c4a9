#pragma once
// "Сохранённые конфигурации": the configurations kept before writes to the
// reader, newest first; one is put back into the editor as a file would be,
// writing it stays the user's act.
#include <QDialog>
#include <functional>

class QPushButton;
class QTableView;

namespace limra {

class KeptConfigurationStore;
class KeptConfigurationsModel;
class UserDialogs;

class KeptConfigurationsWindow : public QDialog {
    Q_OBJECT
public:
    // `restore` puts the kept file at a path into the editor.
    KeptConfigurationsWindow(const KeptConfigurationStore &store, std::function<void(const QString &path)> restore,
                             UserDialogs &dialogs, QWidget *parent = nullptr);

    // Lists the kept configurations anew. Only names are listed; a file is
    // read for its read mode and Wiegand type when its row is shown.
    void refresh();
    // The text of a cell as shown.
    QString cellText(int row, int column) const;
    int rowCount() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QTableView *table;
    QPushButton *restoreButton;
    QPushButton *folderButton;

    void fitColumns();

    const KeptConfigurationStore &m_store;
    std::function<void(const QString &path)> m_restore;
    KeptConfigurationsModel *m_model;
};

} // namespace limra
