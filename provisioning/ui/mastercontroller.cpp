#include "provisioning/ui/mastercontroller.h"

#include <QPointer>
#include <QPushButton>

#include "common/texts.h"
#include "config/editormodel.h"
#include "config/ui/configpage.h"
#include "config/ui/transfercontroller.h"
#include "link/hextext.h"
#include "link/ui/showreport.h"
#include "platform/dialogs.h"
#include "provisioning/cardruns.h"

namespace limra {

MasterCardController::MasterCardController(ConfigPage &page, EditorModel &editor, ConfigTransferController &transfer,
                                           CardRuns &runs, UserDialogs &dialogs, QObject *parent)
    : QObject(parent), m_editor(editor), m_transfer(transfer), m_runs(runs), m_dialogs(dialogs)
{
    connect(&page, &ConfigPage::createMastersClicked, this, &MasterCardController::create);
    connect(&page, &ConfigPage::clearMastersClicked, this, &MasterCardController::clear);
    connect(&page, &ConfigPage::readMasterClicked, this, &MasterCardController::readIntoEditor);
    connect(&page, &ConfigPage::masterToReaderClicked, this, &MasterCardController::takeOver);
}

template <class Run>
void MasterCardController::reportEnd(Run &run)
{
    connect(&run, &Run::finished, this, [this](const typename Run::Result &result) {
        showReport(m_dialogs, result.report);
    });
}

void MasterCardController::create()
{
    if (m_runs.busy())
        return;
    // The cards get the configuration the editor holds when the user asks.
    const ConfigItems items = m_editor.buildItems(ConfigPlace::MasterCards);
    Q_EMIT editorChanged();
    const QString cardType = masterCardTypeWord(m_editor.config().readMode, m_editor.view().highlightedFormat);
    const bool option = isProtected(m_editor.config().readMode);
    m_runs.createMasterCards(items, cardType, option, [this](MasterCardsCreate &run) { reportEnd(run); });
}

void MasterCardController::clear()
{
    if (m_runs.busy()
        || !m_dialogs.question(QStringLiteral("Очистка"),
                               QStringLiteral("Внимание! Все данные на поднесённых к USB-считывателю мастер-картах "
                                              "будут уничтожены. Продолжить?")))
        return;
    m_runs.clearMasterCards([this](MasterCardsClear &run) { reportEnd(run); });
}

void MasterCardController::readIntoEditor()
{
    m_runs.readMasterConfig([this](MasterConfigRead &run) {
        connect(&run, &MasterConfigRead::finished, this, [this](const MasterConfigRead::Result &result) {
            if (result.status != ReaderOperation::Status::Done)
                return showReport(m_dialogs, result.report);
            readFinished(result.items);
        });
    });
}

void MasterCardController::readFinished(const ConfigItems &items)
{
    if (!m_transfer.apply(items, ConfigPlace::MasterCards))
        return;
    QString title = QStringLiteral("Конфигурация считана с мастер-карты");
    const QByteArray place = items.value(tag::SetPlace);
    if (place.size() == 2)
        title += QStringLiteral(" №%1 из %2").arg(quint8(place.at(0)) + 1).arg(quint8(place.at(1)));
    // The checksums are shown as hex digits.
    const QString objectSum = bytesToHex(items.value(tag::ObjectChecksum));
    const QString keySum = bytesToHex(items.value(tag::KeyChecksum));
    if (!objectSum.isEmpty()) {
        const ReadMode mode = m_editor.config().readMode;
        if (mode == ReadMode::ObjectCode || mode == ReadMode::PassZones)
            m_dialogs.input(title, texts::kObjectChecksum, objectSum);
        else if (mode == ReadMode::BlockCode)
            m_dialogs.input(title, texts::kKeyChecksum, objectSum);
    } else if (!keySum.isEmpty()) {
        m_dialogs.input(title, texts::kKeyChecksum, keySum);
    } else {
        m_dialogs.message(title);
    }
}

void MasterCardController::takeOver()
{
    if (m_runs.busy())
        return;
    if (m_editor.config().readMode == ReadMode::ObjectCode
        && !m_dialogs.question(texts::kConfigurationCaption,
                               QStringLiteral("Для записи конфигурации в USB-считыватель потребуется ранее созданная "
                                              "мастер-карта. Продолжить?")))
        return;
    m_runs.takeOverMasterConfig([this](MasterConfigTakeOver &run) {
        reportEnd(run);
        // Questions open from the event loop, never inside the operation's step.
        connect(
            &run, &MasterConfigTakeOver::decisionNeeded, this,
            [this, run = QPointer<MasterConfigTakeOver>(&run)](const QString &problem) {
                if (run)
                    askToGoOnWithoutCopy(*run, problem);
            },
            Qt::QueuedConnection);
    });
}

void MasterCardController::askToGoOnWithoutCopy(MasterConfigTakeOver &takeOver, const QString &problem)
{
    if (!takeOver.awaitingDecision())
        return; // ended meanwhile
    takeOver.proceed(
        m_dialogs.question(keepFailedCaption(), keepFailedQuestion(problem), UserDialogs::QuestionIcon::Warning));
}

} // namespace limra

#include "moc_mastercontroller.cpp"
