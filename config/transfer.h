#pragma once
// Moving the editor's configuration to and from the reader and files.
#include <QObject>
#include <functional>

#include "config/editormodel.h"
#include "link/cardevents.h"
#include "link/operation.h"

namespace limra {

class ConfigTransfer : public QObject, public ReaderOperation {
    Q_OBJECT
public:
    // Waits for the master card with the object code after a write in the
    // protected modes: caption and prompt of the wait.
    using ObjectCodeWait = std::function<WaitResult(const QString &caption, const QString &prompt)>;

    ConfigTransfer(ReaderLink &link, EditorModel &editor, UserDialogs &dialogs, ObjectCodeWait objectCodeWait,
                   QObject *parent = nullptr);

    // Who asked for a read: the checksum boxes show only for the user.
    enum class ReadStart { ByUser, AfterConnecting };

    // "Записать конфигурацию в USB-считыватель".
    void writeToReader();
    // Asked right before the configuration is written to the reader (the
    // safety net keeps the reader's configuration); false: nothing is written.
    std::function<bool()> beforeWrite = [] { return true; };
    // Loads a configuration file into the editor, as "Считать конфигурацию из файла" does.
    void loadFile(const QString &path);
    // "Считать конфигурацию из USB-считывателя"; also run after every connection.
    void readFromReader(ReadStart start);
    // "Показать конфигурацию по умолчанию".
    void showDefault();
    // "Записать конфигурацию в файл" and "Считать конфигурацию из файла".
    void saveToFile();
    void loadFromFile();

Q_SIGNALS:
    // The editor's contents changed (a configuration applied, a key padded).
    void editorChanged();

private:
    // Puts a configuration into the editor; tells the user when a value is refused.
    bool apply(const ConfigTable &table, ConfigSource source);

    EditorModel &m_editor;
    ObjectCodeWait m_objectCodeWait;
};

// Puts a configuration into the editor; "Ошибка установки параметров." when
// a value is refused.
bool applyToEditor(EditorModel &editor, const ConfigTable &table, ConfigSource source, UserDialogs &dialogs);

} // namespace limra
