#include "config/ui/transfercontroller.h"

#include <QPushButton>

#include "common/texts.h"
#include "config/codec.h"
#include "config/configfile.h"
#include "config/configruns.h"
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

ConfigTransferController::ConfigTransferController(ConfigPage &page, EditorModel &editor, ConfigRuns &runs,
                                                   UserDialogs &dialogs, QObject *parent)
    : QObject(parent), m_page(page), m_editor(editor), m_runs(runs), m_dialogs(dialogs)
{
    connect(&page, &ConfigPage::readFileClicked, this, &ConfigTransferController::loadFromFile);
    connect(&page, &ConfigPage::writeFileClicked, this, &ConfigTransferController::saveToFile);
    connect(&page, &ConfigPage::readReaderClicked, this, &ConfigTransferController::readFromReader);
    connect(&page, &ConfigPage::writeReaderClicked, this, &ConfigTransferController::writeToReader);
    connect(&page, &ConfigPage::defaultConfigClicked, this, &ConfigTransferController::showDefault);
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
    if (m_runs.busy() || !mayReplaceEdits(kByReader))
        return;
    m_runs.readConfig([this](ConfigRead &run) { follow(run, false); });
}

void ConfigTransferController::readingAfterConnecting(ConfigRead *run)
{
    // The button waits with every other one that talks to the reader, as
    // long as the station is busy and while no reader is there.
    follow(*run, true);
}

void ConfigTransferController::follow(ConfigRead &run, bool afterConnecting)
{
    m_newestRead = &run;
    connect(&run, &ConfigRead::finished, this, [this, run = &run, afterConnecting](const ConfigRead::Result &result) {
        readFinished(run, result, afterConnecting);
    });
}

void ConfigTransferController::readFinished(ConfigRead *run, const ConfigRead::Result &result,
                                            bool afterConnecting)
{
    const Report report = result.report;
    if (report.kind == Report::Kind::Error) {
        // The read after a connection is nobody's click: told as a notice.
        if (afterConnecting)
            m_dialogs.notifyError(report.text);
        else
            m_dialogs.error(report.text);
        return;
    }
    if (result.status != ReaderOperation::Status::Done)
        return;
    // A reader that comes back does not silently replace changes not yet
    // saved. While the question is open the reader may leave and come back:
    // its next read is another run with its own result. One question at a
    // time: a read that ends while it is open is not asked about, inside it.
    if (afterConnecting && m_editor.isDirty()) {
        if (m_asking)
            return;
        m_asking = run;
        const bool replace = m_dialogs.question(texts::kConfigurationCaption,
                                                QStringLiteral("Считыватель подключён. ") + texts::kUnsavedConfiguration
                                                    + QStringLiteral(" Заменить её %1?").arg(kByReader));
        m_asking = nullptr;
        if (!replace)
            return;
    }
    // A read started meanwhile is the reader as it is now: its own end puts
    // it in (or tells why not); this older one changes nothing.
    if (m_newestRead != run)
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
    if (m_runs.busy())
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
    m_runs.writeConfig(items, objectCode, [this](ConfigWrite &run) {
        // Questions open from the event loop, never inside the operation's step.
        connect(
            &run, &ConfigWrite::decisionNeeded, this,
            [this, run = QPointer<ConfigWrite>(&run)](const QString &problem) {
                if (run)
                    askToWriteWithoutCopy(*run, problem);
            },
            Qt::QueuedConnection);
        connect(&run, &ConfigWrite::written, this, [this] {
            m_editor.markClean();
            Q_EMIT editorChanged();
        });
        connect(&run, &ConfigWrite::finished, this,
                [this](const ConfigWrite::Result &result) { showReport(m_dialogs, result.report); });
    });
}

void ConfigTransferController::askToWriteWithoutCopy(ConfigWrite &write, const QString &problem)
{
    if (write.state() != ConfigWrite::State::AwaitingDecision)
        return; // ended meanwhile
    write.proceed(
        m_dialogs.question(keepFailedCaption(), keepFailedQuestion(problem), UserDialogs::QuestionIcon::Warning));
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
