#include "config/ui/transfercontroller.h"

#include <QPushButton>

#include "common/texts.h"
#include "config/configfile.h"
#include "config/editormodel.h"
#include "config/transfer.h"
#include "config/ui/configpage.h"
#include "link/ui/showreport.h"
#include "platform/dialogs.h"
#include "platform/folders.h"

namespace limra {

namespace {
const QString kFileFilter = QStringLiteral("Файл конфигурации|*.rcf");
const QString kFileSuffix = QStringLiteral("*.rcf");
const QString kReadFromReader = QStringLiteral("Конфигурация считана из USB-считывателя");
} // namespace

ConfigTransferController::ConfigTransferController(ConfigPage &page, EditorModel &editor, ConfigRead &read,
                                                   ConfigWrite &write, OperationGate &gate, UserDialogs &dialogs,
                                                   QObject *parent)
    : QObject(parent), m_page(page), m_editor(editor), m_read(read), m_write(write), m_gate(gate), m_dialogs(dialogs)
{
    connect(page.readFileButton, &QPushButton::clicked, this, &ConfigTransferController::loadFromFile);
    connect(page.writeFileButton, &QPushButton::clicked, this, &ConfigTransferController::saveToFile);
    connect(page.readReaderButton, &QPushButton::clicked, this, &ConfigTransferController::readFromReader);
    connect(page.writeReaderButton, &QPushButton::clicked, this, &ConfigTransferController::writeToReader);
    connect(page.defaultConfigButton, &QPushButton::clicked, this, &ConfigTransferController::showDefault);
    connect(&m_read, &ReaderOperation::finished, this, &ConfigTransferController::readFinished);
    // Questions open from the event loop, never inside the operation's step.
    connect(&m_write, &ReaderOperation::changed, this, &ConfigTransferController::writeChanged, Qt::QueuedConnection);
    connect(&m_write, &ConfigWrite::written, this, [this] {
        m_editor.markClean();
        Q_EMIT editorChanged();
    });
    connect(&m_write, &ReaderOperation::finished, this, &ConfigTransferController::writeFinished);
}

bool ConfigTransferController::apply(const QString &items, ConfigSource source)
{
    const bool ok = m_editor.applyConfig(parseConfig(items), source);
    Q_EMIT editorChanged();
    if (!ok)
        m_dialogs.error(QStringLiteral("Ошибка установки параметров."));
    return ok;
}

void ConfigTransferController::readFromReader()
{
    m_gate.run(m_read, [this] {
        m_afterConnecting = false;
        m_read.start();
    });
}

void ConfigTransferController::readingAfterConnecting()
{
    m_afterConnecting = true;
    m_page.readReaderButton->setEnabled(false);
}

void ConfigTransferController::readFinished()
{
    const bool afterConnecting = std::exchange(m_afterConnecting, false);
    if (afterConnecting)
        m_page.readReaderButton->setEnabled(true);
    const Report report = m_read.report();
    if (report.kind == Report::Kind::Error) {
        m_dialogs.error(report.text);
        return;
    }
    if (m_read.status() != ReaderOperation::Status::Done)
        return;
    // A reader that comes back does not silently replace changes not yet saved.
    if (afterConnecting && m_editor.isDirty()
        && !m_dialogs.question(texts::kConfigurationCaption,
                               QStringLiteral("Считыватель подключён. Конфигурация в редакторе изменена и не записана "
                                              "ни в USB-считыватель, ни в файл. Заменить её конфигурацией "
                                              "считывателя?")))
        return;
    const QString items = m_read.items();
    if (!apply(items, ConfigSource::Reader))
        return;
    m_editor.markClean();
    Q_EMIT editorChanged();
    if (afterConnecting) {
        m_dialogs.message(kReadFromReader);
        return;
    }
    const ConfigTable table = parseConfig(items);
    const QString objectSum = table[tag::ObjectChecksum];
    const QString keySum = table[tag::KeyChecksum];
    if (!objectSum.isEmpty()) {
        const int mode = m_editor.config().readMode;
        if (mode == 0)
            return;
        m_dialogs.input(kReadFromReader, mode == 2 ? texts::kKeyChecksum : texts::kObjectChecksum, objectSum);
    } else if (!keySum.isEmpty()) {
        m_dialogs.input(kReadFromReader, texts::kKeyChecksum, keySum);
    } else {
        m_dialogs.message(kReadFromReader);
    }
}

void ConfigTransferController::writeToReader()
{
    if (m_gate.busy())
        return;
    m_editor.padBlockKey();
    Q_EMIT editorChanged();
    const int mode = m_editor.config().readMode;
    const bool objectCode = mode == 1 || mode == 3;
    if (objectCode
        && !m_dialogs.question(texts::kConfigurationCaption,
                               QStringLiteral("Для записи конфигурации потребуется ранее созданная мастер-карта с "
                                              "заданным кодом объекта. Продолжить?")))
        return;
    // What is written is what the editor held when the user asked.
    const QString items = m_editor.buildItems(Producer::Reader);
    Q_EMIT editorChanged();
    m_decisionAsked = false;
    m_gate.run(m_write, [this, items, objectCode] { m_write.start(items, objectCode); });
}

void ConfigTransferController::writeChanged()
{
    if (m_write.state() != ConfigWrite::State::AwaitingDecision || m_decisionAsked)
        return;
    m_decisionAsked = true;
    m_write.proceed(m_dialogs.question(keepFailedCaption(), keepFailedQuestion(m_write.keepProblem()),
                                       UserDialogs::QuestionIcon::Warning));
}

void ConfigTransferController::writeFinished()
{
    showReport(m_dialogs, m_write.report());
}

void ConfigTransferController::showDefault()
{
    if (apply(kDefaultConfigItems, ConfigSource::Default))
        m_dialogs.message(QStringLiteral("Показана конфигурация по умолчанию"));
}

void ConfigTransferController::saveToFile()
{
    const QString path = m_dialogs.saveFile(kFileFilter, kFileSuffix, fileDialogFolder());
    if (path.isEmpty())
        return;
    rememberFileDialogChoice(path);
    const QString items = m_editor.buildItems(Producer::File);
    Q_EMIT editorChanged();
    QString error;
    if (!saveConfigFile(path, items, &error)) {
        m_dialogs.error(texts::kCannotWriteFile.arg(path, error));
        return;
    }
    m_editor.markClean();
    Q_EMIT editorChanged();
    m_dialogs.message(texts::kDone);
}

void ConfigTransferController::loadFromFile()
{
    const QString path = m_dialogs.openFile(kFileFilter, kFileSuffix, fileDialogFolder());
    if (path.isEmpty())
        return;
    rememberFileDialogChoice(path);
    loadFile(path);
}

void ConfigTransferController::loadFile(const QString &path)
{
    const LoadedConfigFile file = loadConfigFile(path);
    if (file.problem != LoadedConfigFile::Problem::None) {
        m_dialogs.error(configFileProblemText(path, file));
        return;
    }
    if (apply(file.items, ConfigSource::File)) {
        m_editor.markClean();
        Q_EMIT editorChanged();
        m_dialogs.message(QStringLiteral("Конфигурация считана из файла"));
    }
}

} // namespace limra

#include "moc_transfercontroller.cpp"
