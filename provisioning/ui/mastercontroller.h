#pragma once
// The configuration page's master-card buttons: creating and clearing master
// cards, and a master card's configuration read into the editor or taken
// over by the reader. It starts the core's operations and tells the user how
// they went; their card waits show through the station.
#include <QObject>

namespace limra {

class ConfigPage;
class ConfigTransferController;
class EditorModel;
class MasterCardsClear;
class MasterCardsCreate;
class MasterConfigRead;
class MasterConfigTakeOver;
class OperationGate;
class UserDialogs;

class MasterCardController : public QObject {
    Q_OBJECT
public:
    struct Operations {
        MasterCardsCreate &create;
        MasterCardsClear &clear;
        MasterConfigRead &read;
        MasterConfigTakeOver &takeOver;
    };
    MasterCardController(ConfigPage &page, EditorModel &editor, ConfigTransferController &transfer,
                         const Operations &operations, OperationGate &gate, UserDialogs &dialogs,
                         QObject *parent = nullptr);

    // "Создать мастер-карты", "Очистить мастер-карты", "Считать конфигурацию с
    // мастер-карты" and "... и записать в USB-считыватель".
    void create();
    void clear();
    void readIntoEditor();
    void takeOver();

private:
    void reportEnd(const class ReaderOperation &operation);
    void readFinished();
    void askToGoOnWithoutCopy(const QString &problem);

    EditorModel &m_editor;
    ConfigTransferController &m_transfer;
    Operations m_ops;
    OperationGate &m_gate;
    UserDialogs &m_dialogs;
};

} // namespace limra
