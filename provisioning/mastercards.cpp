#include "provisioning/mastercards.h"

#include "common/texts.h"
#include "config/editormodel.h"
#include "link/errors.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "platform/dialogs.h"
#include "provisioning/cardwait.h"

namespace limra {

namespace {
const QString kProtected = QStringLiteral("1101AA");
const QString kNotProtected = QStringLiteral("110100");
const QString kClassicWord = QStringLiteral("MifareClassic ");
const QString kPlusWord = QStringLiteral("MifarePLUS ");
} // namespace

MasterCardOperations::MasterCardOperations(ReaderLink &link, EditorModel &editor, UserDialogs &dialogs,
                                           CardWaits &waits, QObject *parent)
    : QObject(parent), ReaderOperation(link, dialogs), m_editor(editor), m_waits(waits)
{
}

QString MasterCardOperations::cardTypeWord() const
{
    switch (m_editor.config().readMode) {
    case 1:
        // The highlighted entry of the format list: its first is MifareClassic.
        return m_editor.view().highlightedFormat == 0 ? kClassicWord : kPlusWord;
    case 2:
        return kPlusWord;
    case 3:
        // The only format offered in the pass-zone mode is MifarePLUS.
        return kPlusWord;
    default:
        return QString();
    }
}

void MasterCardOperations::create()
{
    const QString config = command::WriteMasterConfig + m_editor.buildItems(Producer::MasterCards);
    Q_EMIT editorChanged();
    MasterCardWriting wait(
        m_link.cardEvents(),
        [this, &config](int count, bool protectedMode) { return startWriting(config, count, protectedMode); },
        [this] {
            return m_dialogs.question(QStringLiteral("Выбор опции"),
                                      QStringLiteral("Внимание!\r\nВ случае утери создаваемых мастер-карт удалить "
                                                     "защищенный режим будет невозможно.\r\nВыбрать данную опцию?"),
                                      UserDialogs::QuestionIcon::Warning);
        });
    wait.cardType = cardTypeWord();
    wait.optionVisible = m_editor.config().readMode != 0;
    wait.optionChecked = false;
    m_waits.run(wait);
    resumeReading();
}

bool MasterCardOperations::startWriting(const QString &config, int count, bool protectedMode)
{
    QString result = send(config + (protectedMode ? kProtected : kNotProtected));
    if (isError(result)) {
        m_dialogs.message(QStringLiteral("Ошибка записи конфигурации: ") + errorText(errorCode(result)));
        return false;
    }
    result = send(command::StartMasterCards + hexByte(count));
    if (isError(result)) {
        m_dialogs.message(QStringLiteral("Ошибка перевода в режим создания мастер-карт: ")
                          + errorText(errorCode(result)));
        return false;
    }
    return true;
}

void MasterCardOperations::clear()
{
    if (!m_dialogs.question(QStringLiteral("Очистка"),
                            QStringLiteral("Внимание! Все данные на поднесённых к USB-считывателю мастер-картах "
                                           "будут уничтожены. Продолжить?")))
        return;
    if (!startCardOperation(command::ClearMasterCards))
        return;
    ClearingWait wait(m_link.cardEvents(), QStringLiteral("Очистка мастер-карт"),
                      QStringLiteral("По очереди подносите мастер-карты к USB-считывателю"),
                      QStringLiteral("Закончить очистку мастер-карт"));
    m_waits.run(wait);
    resumeReading();
}

} // namespace limra
