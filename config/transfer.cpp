#include "config/transfer.h"

#include "common/texts.h"
#include "config/configfile.h"
#include "link/errors.h"
#include "link/readerlink.h"
#include "platform/files.h"
#include "platform/dialogs.h"

namespace limra {

namespace {
const QString kFileFilter = QStringLiteral("Файл конфигурации|*.rcf");
const QString kFileSuffix = QStringLiteral("*.rcf");
const QString kReadFromReader = QStringLiteral("Конфигурация считана из USB-считывателя");
const QString kBadFile = QStringLiteral("Неверный формат файла.");
} // namespace

bool applyToEditor(EditorModel &editor, const ConfigTable &table, ConfigSource source, UserDialogs &dialogs)
{
    if (editor.applyConfig(table, source))
        return true;
    dialogs.error(QStringLiteral("Ошибка установки параметров."));
    return false;
}

ConfigTransfer::ConfigTransfer(ReaderLink &link, EditorModel &editor, UserDialogs &dialogs,
                               ObjectCodeWait objectCodeWait, QObject *parent)
    : QObject(parent), ReaderOperation(link, dialogs), m_editor(editor),
      m_objectCodeWait(std::move(objectCodeWait))
{
}

bool ConfigTransfer::apply(const ConfigTable &table, ConfigSource source)
{
    const bool ok = applyToEditor(m_editor, table, source, m_dialogs);
    Q_EMIT editorChanged();
    return ok;
}

void ConfigTransfer::writeToReader()
{
    m_editor.padBlockKey();
    Q_EMIT editorChanged();
    const int mode = m_editor.config().readMode;
    const bool objectCode = mode == 1 || mode == 3;
    if (objectCode
        && !m_dialogs.question(texts::kConfigurationCaption,
                               QStringLiteral("Для записи конфигурации потребуется ранее созданная мастер-карта с "
                                              "заданным кодом объекта. Продолжить?")))
        return;
    if (!beforeWrite())
        return;
    const QString items = m_editor.buildItems(Producer::Reader);
    Q_EMIT editorChanged();
    const QString result = send(command::WriteConfig + items);
    if (isError(result)) {
        resumeAndReport(result);
        return;
    }
    m_editor.markClean();
    Q_EMIT editorChanged();
    if (objectCode) {
        m_link.cardEvents().consume();
        const WaitResult outcome = m_objectCodeWait(texts::kObjectCodeWaitCaption, texts::kObjectCodeWaitPrompt);
        resumeReading();
        if (outcome == WaitResult::Yes)
            m_dialogs.message(texts::kDone);
        else
            m_dialogs.error(QStringLiteral("Код объекта не записан в USB-считыватель."));
        return;
    }
    resumeReading();
    m_dialogs.message(texts::kDone);
}

void ConfigTransfer::readFromReader(ReadStart start)
{
    const QString result = send(command::ReadConfig);
    if (isError(result)) {
        report(result);
        return;
    }
    if (result.size() < kMinimumConfigReplyDigits) {
        m_dialogs.error(texts::kErrorPrefix + texts::kConfigurationNotRead);
        return;
    }
    const ConfigTable table = parseConfig(result);
    if (!apply(table, ConfigSource::Reader))
        return;
    m_editor.markClean();
    Q_EMIT editorChanged();
    if (start == ReadStart::AfterConnecting) {
        m_dialogs.message(kReadFromReader);
        return;
    }
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

void ConfigTransfer::showDefault()
{
    if (apply(parseConfig(kDefaultConfigItems), ConfigSource::Default))
        m_dialogs.message(QStringLiteral("Показана конфигурация по умолчанию"));
}

void ConfigTransfer::saveToFile()
{
    const QString path = m_dialogs.saveFile(kFileFilter, kFileSuffix);
    if (path.isEmpty())
        return;
    const QByteArray bytes = configFileBytes(m_editor.buildItems(Producer::File));
    Q_EMIT editorChanged();
    QString error;
    if (!writeFileAtomically(path, bytes, &error)) {
        m_dialogs.error(texts::kCannotWriteFile.arg(path, error));
        return;
    }
    m_editor.markClean();
    Q_EMIT editorChanged();
    m_dialogs.message(texts::kDone);
}

void ConfigTransfer::loadFromFile()
{
    const QString path = m_dialogs.openFile(kFileFilter, kFileSuffix);
    if (!path.isEmpty())
        loadFile(path);
}

void ConfigTransfer::loadFile(const QString &path)
{
    QByteArray bytes;
    QString error;
    switch (readSmallFile(path, kMaxConfigFileSize, &bytes, &error)) {
    case FileReadProblem::None:
        break;
    case FileReadProblem::TooLarge:
        m_dialogs.error(kBadFile);
        return;
    case FileReadProblem::NotAFile:
    case FileReadProblem::Failed:
        m_dialogs.error(texts::kCannotOpenFile.arg(path, error));
        return;
    }
    QString items;
    switch (checkConfigFile(bytes, &items)) {
    case ConfigFileCheck::TooShort:
        m_dialogs.error(kBadFile);
        return;
    case ConfigFileCheck::BadDigest:
        m_dialogs.error(QStringLiteral("Неверный формат файла - ошибка CRC."));
        return;
    case ConfigFileCheck::BadVersion:
        m_dialogs.error(QStringLiteral("Неверный формат файла - ошибка версии."));
        return;
    case ConfigFileCheck::Ok:
        break;
    }
    if (apply(parseConfig(items), ConfigSource::File)) {
        m_editor.markClean();
        Q_EMIT editorChanged();
        m_dialogs.message(QStringLiteral("Конфигурация считана из файла"));
    }
}

} // namespace limra
