#pragma once
// The configuration page's transfers: the reader (read, write, after each
// connection), files, the factory default and kept copies. It starts the
// core's operations, puts what they read into the editor and tells the
// user how they went, in the page's own messages.
#include <QObject>
#include <QPointer>

#include "config/transfer.h"

namespace limra {

class ConfigPage;
class ConfigRuns;
class EditorModel;
class UserDialogs;
enum class ConfigPlace;
class ConfigItems;

class ConfigTransferController : public QObject {
    Q_OBJECT
public:
    ConfigTransferController(ConfigPage &page, EditorModel &editor, ConfigRuns &runs, UserDialogs &dialogs,
                             QObject *parent = nullptr);

    // "Считать конфигурацию из USB-считывателя".
    void readFromReader();
    // The read after a connection starts: its end is told as a notice.
    void readingAfterConnecting(limra::ConfigRead *run);
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
    // Follows a read run to its end.
    void follow(ConfigRead &run, bool afterConnecting);
    void readFinished(ConfigRead *run, const ConfigRead::Result &result, bool afterConnecting);
    void askToWriteWithoutCopy(ConfigWrite &write, const QString &problem);

    ConfigPage &m_page;
    EditorModel &m_editor;
    ConfigRuns &m_runs;
    UserDialogs &m_dialogs;
    // The read started last: an older one's end changes nothing once it has.
    QPointer<ConfigRead> m_newestRead;
    // The read whose question (replace the editor's changes?) is open.
    QPointer<ConfigRead> m_asking;
};

} // namespace limra
