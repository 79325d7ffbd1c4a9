#include "config/transfer.h"

#include <QFile>

#include "app/texts.h"
#include "config/configeditor.h"
#include "config/configfile.h"
#include "link/constants.h"
#include "link/errors.h"
#include "link/hextext.h"
#include "platform/atomicfile.h"
#include "platform/dialogs.h"
#include "provisioning/cardevents.h"
#include "provisioning/cardwait.h"

namespace limra {

namespace {
const QString kFileFilter = QStringLiteral("Файл конфигурации|*.rcf");
const QString kFileSuffix = QStringLiteral("*.rcf");
const QString kBlockKeyChecksum = QStringLiteral("Контрольная сумма кода доступа к блоку");
const QString kReadFromReader = QStringLiteral("Конфигурация считана из USB-считывателя");
constexpr int kMinimumReadDigits = 30;
} // namespace

ConfigTransfer::ConfigTransfer(ReaderLink &l, ConfigEditor &e, UserDialogs &d, TForm3 &f, QObject *parent)
    : QObject(parent), link(l), editor(e), dialogs(d), form3(f)
{
}

void ConfigTransfer::writeToReader()
{
    editor.model.blockkey = editor.model.blockkey.rightJustified(32, QLatin1Char('0'));
    editor.sync();
    const int mode = editor.model.readmode;
    const bool objectCode = mode == 1 || mode == 3;
    if (objectCode
        && !dialogs.question(QStringLiteral("Конфигурация"),
                             QStringLiteral("Для записи конфигурации потребуется ранее созданная мастер-карта с заданным "
                                            "кодом объекта. Продолжить?")))
        return;
    const QString result = link.SendToComPort(QStringLiteral("0101") + editor.buildItems(Producer::Reader), kDefaultTimeoutMs);
    if (isError(result)) {
        link.SendToComPort(QStringLiteral("0501"), kDefaultTimeoutMs);
        dialogs.error(errorMessage(result));
        return;
    }
    if (objectCode) {
        cardevents::consume(link.statusanswer);
        form3.setPrompt(kObjectCodeCaption, kObjectCodePrompt);
        const int outcome = form3.exec();
        link.SendToComPort(QStringLiteral("0501"), kDefaultTimeoutMs);
        if (outcome == CardWaitDialog::Yes)
            dialogs.message(texts::kDone);
        else
            dialogs.error(QStringLiteral("Код объекта не записан в USB-считыватель."));
        return;
    }
    link.SendToComPort(QStringLiteral("0501"), kDefaultTimeoutMs);
    dialogs.message(texts::kDone);
}

void ConfigTransfer::readFromReader(bool startedByDiscovery)
{
    const QString result = link.SendToComPort(QStringLiteral("0B01"), kDefaultTimeoutMs);
    if (isError(result)) {
        dialogs.error(errorMessage(result));
        return;
    }
    if (result.size() < kMinimumReadDigits) {
        dialogs.error(QStringLiteral("Ошибка: Не удалось считать конфигурацию."));
        return;
    }
    const ConfigTable table = ParseConfig(result);
    if (!editor.apply(table, ConfigSource::Reader))
        return;
    if (startedByDiscovery) {
        dialogs.message(kReadFromReader);
        return;
    }
    const int mode = editor.model.readmode;
    const QString objectSum = table[0x0E];
    const QString keySum = table[0x0F];
    if (!objectSum.isEmpty()) {
        if (mode == 0)
            return;
        dialogs.input(kReadFromReader, mode == 2 ? kBlockKeyChecksum : QStringLiteral("Контрольная сумма кода объекта"),
                      objectSum);
    } else if (!keySum.isEmpty()) {
        dialogs.input(kReadFromReader, kBlockKeyChecksum, keySum);
    } else {
        dialogs.message(kReadFromReader);
    }
}

void ConfigTransfer::showDefault()
{
    if (editor.apply(ParseConfig(kDefaultConfigItems), ConfigSource::Default))
        dialogs.message(QStringLiteral("Показана конфигурация по умолчанию"));
}

void ConfigTransfer::saveToFile()
{
    const QString path = dialogs.saveFile(kFileFilter, kFileSuffix);
    if (path.isEmpty())
        return;
    const QByteArray bytes = configFileBytes(editor.buildItems(Producer::File));
    QString error;
    if (!writeFileAtomically(path, bytes, &error)) {
        dialogs.error(QStringLiteral("Не удалось записать файл %1: %2").arg(path, error));
        return;
    }
    dialogs.message(texts::kDone);
}

void ConfigTransfer::loadFromFile()
{
    const QString path = dialogs.openFile(kFileFilter, kFileSuffix);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        dialogs.error(QStringLiteral("Не удалось открыть файл %1: %2").arg(path, file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    QString items;
    switch (checkConfigFile(bytes, &items)) {
    case ConfigFileCheck::TooShort:
        dialogs.error(QStringLiteral("Неверный формат файла."));
        return;
    case ConfigFileCheck::BadDigest:
        dialogs.error(QStringLiteral("Неверный формат файла - ошибка CRC."));
        return;
    case ConfigFileCheck::BadVersion:
        dialogs.error(QStringLiteral("Неверный формат файла - ошибка версии."));
        return;
    case ConfigFileCheck::Ok:
        break;
    }
    if (editor.apply(ParseConfig(items), ConfigSource::File))
        dialogs.message(QStringLiteral("Конфигурация считана из файла"));
}

} // namespace limra
