#pragma once
// The configuration page's master-card buttons: creating and clearing master
// cards, and a master card's configuration read into the editor or taken
// over by the reader. It starts the core's operations and tells the user how
// they went; their card waits show through the station.
#include <QObject>

#include "config/configitems.h"

namespace limra {

class CardRuns;
class ConfigPage;
class ConfigTransferController;
class EditorModel;
class MasterConfigTakeOver;
class UserDialogs;

class MasterCardController : public QObject {
    Q_OBJECT
public:
    MasterCardController(ConfigPage &page, EditorModel &editor, ConfigTransferController &transfer, CardRuns &runs,
                         UserDialogs &dialogs, QObject *parent = nullptr);

    // "Создать мастер-карты", "Очистить мастер-карты", "Считать конфигурацию с
    // мастер-карты" and "... и записать в USB-считыватель".
    void create();
    void clear();
    void readIntoEditor();
    void takeOver();

Q_SIGNALS:
    // The editor's contents changed (the cards take what it holds).
    void editorChanged();

private:
    // Tells the end of a run of `Run` as its report says.
    template <class Run>
    void reportEnd(Run &run);
    void readFinished(const ConfigItems &items);
    void askToGoOnWithoutCopy(MasterConfigTakeOver &takeOver, const QString &problem);

    EditorModel &m_editor;
    ConfigTransferController &m_transfer;
    CardRuns &m_runs;
    UserDialogs &m_dialogs;
};

} // namespace limra
