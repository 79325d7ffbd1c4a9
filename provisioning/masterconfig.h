#pragma once
// Configuration through master cards: a master card's configuration read
// into the editor, or taken over by the USB reader directly.
#include <QObject>
#include <functional>

#include "link/operation.h"

namespace limra {

class CardWaits;
class EditorModel;

class MasterConfigOperations : public QObject, public ReaderOperation {
    Q_OBJECT
public:
    MasterConfigOperations(ReaderLink &link, EditorModel &editor, UserDialogs &dialogs, CardWaits &waits,
                           QObject *parent = nullptr);

    // "Считать конфигурацию с мастер-карты".
    void readIntoEditor();
    // "Считать конфигурацию с мастер-карты и записать в USB-считыватель".
    void takeOver();
    // Asked right before the reader takes a master card's configuration over;
    // false: nothing is sent.
    std::function<bool()> beforeWrite = [] { return true; };

Q_SIGNALS:
    void editorChanged();

private:
    void applyReport(const QString &report);

    EditorModel &m_editor;
    CardWaits &m_waits;
};

} // namespace limra
