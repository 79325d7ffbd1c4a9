#include "provisioning/masterconfig.h"

#include "common/texts.h"
#include "config/editormodel.h"
#include "config/transfer.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "platform/dialogs.h"
#include "provisioning/cardwait.h"

namespace limra {

namespace {
// A master card's configuration shorter than this many digits is not applied.
constexpr int kMinimumReportDigits = 40;
} // namespace

MasterConfigOperations::MasterConfigOperations(ReaderLink &link, EditorModel &editor, UserDialogs &dialogs,
                                               CardWaits &waits, QObject *parent)
    : QObject(parent), ReaderOperation(link, dialogs), m_editor(editor), m_waits(waits)
{
}

void MasterConfigOperations::readIntoEditor()
{
    // A refused start is told between two returns to card reading.
    if (startCardOperation(command::ReadMasterCard)) {
        MasterConfigWait wait(m_link.cardEvents());
        m_link.addSink(&wait);
        m_waits.run(wait);
        m_link.removeSink(&wait);
        applyReport(wait.report);
    }
    resumeReading();
}

void MasterConfigOperations::applyReport(const QString &report)
{
    if (report.size() < kMinimumReportDigits) {
        m_dialogs.error(texts::kConfigurationNotRead);
        return;
    }
    const ConfigTable table = parseConfig(report);
    const bool applied = applyToEditor(m_editor, table, ConfigSource::MasterCard, m_dialogs);
    Q_EMIT editorChanged();
    if (!applied)
        return;

    QString title = QStringLiteral("Конфигурация считана с мастер-карты");
    const QString place = table[tag::SetPlace];
    if (place.size() == 4)
        title += QStringLiteral(" №%1 из %2").arg(hexToInt(place.left(2)) + 1).arg(hexToInt(place.mid(2, 2)));

    const QString objectSum = table[tag::ObjectChecksum];
    const QString keySum = table[tag::KeyChecksum];
    if (!objectSum.isEmpty()) {
        const int mode = m_editor.config().readMode;
        if (mode == 1 || mode == 3)
            m_dialogs.input(title, texts::kObjectChecksum, objectSum);
        else if (mode == 2)
            m_dialogs.input(title, texts::kKeyChecksum, objectSum);
    } else if (!keySum.isEmpty()) {
        m_dialogs.input(title, texts::kKeyChecksum, keySum);
    } else {
        m_dialogs.message(title);
    }
}

void MasterConfigOperations::takeOver()
{
    if (m_editor.config().readMode == 1
        && !m_dialogs.question(texts::kConfigurationCaption,
                               QStringLiteral("Для записи конфигурации в USB-считыватель потребуется ранее созданная "
                                              "мастер-карта. Продолжить?")))
        return;
    if (!beforeWrite())
        return;
    if (!startCardOperation(command::TakeOverMasterCard))
        return;
    SingleCardWait wait(m_link.cardEvents(), QStringLiteral("Чтение/запись конфигурации"),
                        QStringLiteral("Поднесите мастер-карту с конфигурацией к USB-считывателю"));
    const WaitResult outcome = m_waits.run(wait);
    resumeReading();
    if (outcome == WaitResult::Yes)
        m_dialogs.message(texts::kDone);
    else
        m_dialogs.error(QStringLiteral("Ошибка чтения/записи конфигурации."));
}

} // namespace limra
