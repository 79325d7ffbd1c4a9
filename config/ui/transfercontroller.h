#pragma once
// The configuration page's transfers: the reader (read, write, after each
// connection), files, the factory default and kept copies. It starts the
// core's operations, puts what they read into the editor and tells the
// user how they went, in the page's own messages.
#include <QObject>

namespace limra {

class ConfigPage;
class ConfigRead;
class ConfigWrite;
class EditorModel;
class OperationGate;
class UserDialogs;
enum class ConfigPlace;
class ConfigItems;

class ConfigTransferController : public QObject {
    Q_OBJECT
public:
    ConfigTransferController(ConfigPage &page, EditorModel &editor, ConfigRead &read, ConfigWrite &write,
                             OperationGate &gate, UserDialogs &dialogs, QObject *parent = nullptr);

    // "Считать конфигурацию из USB-считывателя".
    void readFromReader();
    // The read after a connection has started.
    void readingAfterConnecting();
    // "Записать конфигурацию в USB-считыватель".
    void writeToReader();
    // "Показать конфигурацию по умолчанию".
    void showDefault();
    // "Записать конфигурацию в файл" and "Считать конфигурацию из файла".
    void saveToFile();
    void loadFromFile();
    // A configuration file into the editor, as "Считать конфигурацию из файла" does.
    void loadFile(const QString &path);
    // A kept configuration into the editor ("Восстановить"); the reader keeps its own.
    void restoreKept(const QString &path);

    // Puts a configuration into the editor; tells the user when a value is refused.
    bool apply(const ConfigItems &items, ConfigPlace source);

Q_SIGNALS:
    // The editor's contents changed.
    void editorChanged();

private:
    // Unsaved changes are replaced only when the user agrees; `by` names what
    // comes instead. True when there are none.
    bool mayReplaceEdits(const QString &by);
    enum class FileKind { File, Kept };
    // Reads the file and, unless the user keeps the editor's changes, puts
    // it into the editor; false when the file could not be read.
    bool load(const QString &path, FileKind kind);
    void readFinished();
    void askToWriteWithoutCopy(const QString &problem);
    void writeFinished();

    ConfigPage &m_page;
    EditorModel &m_editor;
    ConfigRead &m_read;
    ConfigWrite &m_write;
    OperationGate &m_gate;
    UserDialogs &m_dialogs;
    bool m_afterConnecting = false;
    bool m_replaceAsked = false; // the question after a reconnection is open
};

} // namespace limra
