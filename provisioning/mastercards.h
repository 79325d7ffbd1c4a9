#pragma once
// Creating master cards with the editor's configuration, and clearing master
// cards. The USB reader writes and clears the cards; the tool puts it into
// the right mode, supplies the configuration and guides the user.
#include <QObject>

#include "link/operation.h"

namespace limra {

class CardWaits;
class EditorModel;

class MasterCardOperations : public QObject, public ReaderOperation {
    Q_OBJECT
public:
    MasterCardOperations(ReaderLink &link, EditorModel &editor, UserDialogs &dialogs, CardWaits &waits,
                         QObject *parent = nullptr);

    // "Создать мастер-карты".
    void create();
    // "Очистить мастер-карты".
    void clear();

    // The card-type word the prompts name for the editor's read mode.
    QString cardTypeWord() const;

Q_SIGNALS:
    void editorChanged();

private:
    bool startWriting(const QString &config, int count, bool protectedMode);

    EditorModel &m_editor;
    CardWaits &m_waits;
};

} // namespace limra
