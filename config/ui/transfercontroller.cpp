#include "config/ui/transfercontroller.h"

#include <QPushButton>

#include "common/texts.h"
#include "config/codec.h"
#include "config/configfile.h"
#include "config/editormodel.h"
#include "config/transfer.h"
#include "config/ui/configpage.h"
#include "link/hextext.h"
#include "link/ui/showreport.h"
#include "platform/dialogs.h"
#include "platform/folders.h"

namespace limra {

namespace {
const QString kFileFilter = QStringLiteral("Файл конфигурации|*.rcf");
const QString kFileSuffix = QStringLiteral("*.rcf");
const QString kReadFromReader = QStringLiteral("Конфигурация считана из USB-считывателя");
const QString kByReader = QStringLiteral("конфигурацией считывателя");
} // namespace

ConfigTransferController::ConfigTransferController(ConfigPage &page, EditorModel &editor, ConfigRead &read,
                                                   ConfigWrite &write, OperationGate &gate, UserDialogs &dialogs,
                                                   QObject *parent)
    : QObject(parent), m_page(page), m_editor(editor), m_read(read), m_write(write), m_gate(gate), m_dialogs(dialogs)
{
    connect(&page, &ConfigPage::readFileClicked, this, &ConfigTransferController::loadFromFile);
    connect(&page, &ConfigPage::writeFileClicked, this, &ConfigTransferController::saveToFile);
    connect(&page, &ConfigPage::readReaderClicked, this, &ConfigTransferController::readFromReader);
    connect(&page, &ConfigPage::writeReaderClicked, this, &ConfigTransferController::writeToReader);
    connect(&page, &ConfigPage::defaultConfigClicked, this, &ConfigTransferController::showDefault);
    connect(&m_read, &ReaderOperation::finished, this, &ConfigTransferController::readFinished);
    // Questions open from the event loop, never inside the operation's step.
    connect(&m_write, &ConfigWrite::decisionNeeded, this, &ConfigTransferController::askToWriteWithoutCopy,
            Qt::QueuedConnection);
    connect(&m_write, &ConfigWrite::written, this, [this] {
        m_editor.markClean();
        Q_EMIT editorChanged();
    });
    connect(&m_write, &ReaderOperation::finished, this, &ConfigTransferController::writeFinished);
}

bool ConfigTransferController::apply(const ConfigItems &items, ConfigPlace source)
{
    const EditorModel::Applied applied = m_editor.applyConfig(items, source);
    Q_EMIT editorChanged();
    if (!applied)
        m_dialogs.error(applied.refusal->kind == ConfigDecodeError::Kind::MissingItems
                            ? texts::kConfigurationIncomplete
                            : QStringLiteral("Ошибка установки параметров."));
    return bool(applied);
}

bool ConfigTransferController::mayReplaceEdits(const QString &by)
{
    return !m_editor.isDirty()
           || m_dialogs.question(texts::kConfigurationCaption,
                                 texts::kUnsavedConfiguration + QStringLiteral(" Заменить её %1?").arg(by));
}

void ConfigTransferController::readFromReader()
{
    if (m_gate.busy() || !mayReplaceEdits(kByReader))
        return;
    m_gate.run(m_read, [this] {
        m_afterConnecting = false;
        m_read.start();
    });
}

void ConfigTransferController::readingAfterConnecting()
{
    // The button waits with every other one that talks to the reader, as
    // long as the station is busy and while no reader is there.
    m_afterConnecting = true;
}

void ConfigTransferController::readFinished()
{
    const bool afterConnecting = std::exchange(m_afterConnecting, false);
    const Report report = m_read.report();
    if (report.kind == Report::Kind::Error) {
        // The read after a connection is nobody's click: told as a notice.
        if (afterConnecting)
            m_dialogs.notifyError(report.text);
        else
            m_dialogs.error(report.text);
        return;
    }
    if (m_read.status() != ReaderOperation::Status::Done)
        return;
    // What this read gave, as a value: while a question below is open the
    // reader may leave and come back, and its next read is another result.
    const ConfigRead::Result result = m_read.result();
    // A reader that comes back does not silently replace changes not yet
    // saved. One question at a time: a reader that comes back again while it
    // is open is not asked about once more, inside it.
    if (afterConnecting && m_editor.isDirty()) {
        if (m_replaceAsked)
            return;
        m_replaceAsked = true;
        const bool replace = m_dialogs.question(texts::kConfigurationCaption,
                                                QStringLiteral("Считыватель подключён. ") + texts::kUnsavedConfiguration
                                                    + QStringLiteral(" Заменить её %1?").arg(kByReader));
        m_replaceAsked = false;
        if (!replace)
            return;
    }
    // A read started meanwhile is the reader as it is now: its own end puts
    // it in (or tells why not); this older one changes nothing.
    if (m_read.lastRun() != result.run)
        return;
    const ConfigItems &items = result.items;
    if (!apply(items, ConfigPlace::Reader))
        return;
    m_editor.markClean();
    Q_EMIT editorChanged();
    if (afterConnecting) {
        m_dialogs.notify(kReadFromReader, nullptr);
        return;
    }
    // The checksums are shown as hex digits.
    const QString objectSum = bytesToHex(items.value(tag::ObjectChecksum));
    const QString keySum = bytesToHex(items.value(tag::KeyChecksum));
    if (!objectSum.isEmpty()) {
        const ReadMode mode = m_editor.config().readMode;
        if (mode == ReadMode::Uid)
            return;
        m_dialogs.input(kReadFromReader, mode == ReadMode::BlockCode ? texts::kKeyChecksum : texts::kObjectChecksum,
                        objectSum);
    } else if (!keySum.isEmpty()) {
        m_dialogs.input(kReadFromReader, texts::kKeyChecksum, keySum);
    } else {
        m_dialogs.notify(kReadFromReader, nullptr);
    }
}

void ConfigTransferController::writeToReader()
{
    if (m_gate.busy())
        return;
    m_editor.padBlockKey();
    Q_EMIT editorChanged();
    const bool objectCode = writeAwaitsObjectCode(m_editor.config());
    if (objectCode
        && !m_dialogs.question(texts::kConfigurationCaption,
                               QStringLiteral("Для записи конфигурации потребуется ранее созданная мастер-карта с "
                                              "заданным кодом объекта. Продолжить?")))
        return;
    // What is written is what the editor held when the user asked.
    const ConfigItems items = m_editor.buildItems(ConfigPlace::Reader);
    Q_EMIT editorChanged();
    m_gate.run(m_write, [this, items, objectCode] { m_write.start(items, objectCode); });
}

void ConfigTransferController::askToWriteWithoutCopy(const QString &problem)
{
    if (m_write.state() != ConfigWrite::State::AwaitingDecision)
        return; // ended meanwhile
    m_write.proceed(
        m_dialogs.question(keepFailedCaption(), keepFailedQuestion(problem), UserDialogs::QuestionIcon::Warning));
}

void ConfigTransferController::writeFinished()
{
    showReport(m_dialogs, m_write.report());
}

void ConfigTransferController::showDefault()
{
    if (!mayReplaceEdits(QStringLiteral("конфигурацией по умолчанию")))
        return;
    if (apply(kDefaultConfigItems, ConfigPlace::Default))
        m_dialogs.message(QStringLiteral("Показана конфигурация по умолчанию"));
}

void ConfigTransferController::saveToFile()
{
    const QString path = m_dialogs.saveFile(kFileFilter, kFileSuffix, fileDialogFolder());
    if (path.isEmpty())
        return;
    const ConfigItems items = m_editor.buildItems(ConfigPlace::File);
    Q_EMIT editorChanged();
    if (const auto saved = saveConfigFile(path, items); !saved) {
        m_dialogs.error(configFileProblemText(path, saved.error()));
        return;
    }
    rememberFileDialogChoice(path); // where a file could be written
    m_editor.markClean();
    Q_EMIT editorChanged();
    m_dialogs.message(texts::kDone);
}

void ConfigTransferController::loadFromFile()
{
    const QString path = m_dialogs.openFile(kFileFilter, kFileSuffix, fileDialogFolder());
    if (!path.isEmpty() && load(path, FileKind::File))
        rememberFileDialogChoice(path); // where a file could be read
}

void ConfigTransferController::loadFile(const QString &path)
{
    load(path, FileKind::File);
}

void ConfigTransferController::restoreKept(const QString &path)
{
    load(path, FileKind::Kept);
}

bool ConfigTransferController::load(const QString &path, FileKind kind)
{
    const auto file = loadConfigFile(path);
    if (!file) {
        m_dialogs.error(configFileProblemText(path, file.error()));
        return false;
    }
    const bool kept = kind == FileKind::Kept;
    if (!mayReplaceEdits(kept ? QStringLiteral("сохранённой конфигурацией") : QStringLiteral("конфигурацией из файла")))
        return true;
    if (apply(*file, ConfigPlace::File)) {
        m_editor.markClean();
        Q_EMIT editorChanged();
        m_dialogs.message(kept ? texts::kKeptRestored : QStringLiteral("Конфигурация считана из файла"));
    }
    return true;
}

} // namespace limra

#include "moc_transfercontroller.cpp"
