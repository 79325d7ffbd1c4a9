#pragma once
// "Настройки подключения": how the tool finds the reader.
#include <QDialog>
#include <functional>

#include "link/session.h"

class QComboBox;
class QLabel;
class QSpinBox;

namespace limra {

class ConnectionDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConnectionDialog(QWidget *parent = nullptr);

    // Fills the port list when the list method is chosen.
    std::function<QStringList()> allPorts = [] { return QStringList(); };

    // Selects the method without changing which controls are shown.
    void selectMode(ReaderSession::ConnectionMode mode);
    ReaderSession::ConnectionMode chosenMode() const;
    QString chosenPort() const;
    int chosenNumber() const;

private:
    QComboBox *methodList;
    QComboBox *portList;
    QLabel *comLabel;
    QSpinBox *number;
    QPushButton *applyButton;

    void methodChosen(int index);
};

} // namespace limra
