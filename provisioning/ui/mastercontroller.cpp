#include "provisioning/ui/mastercontroller.h"

#include <QPushButton>

#include "common/texts.h"
#include "config/editormodel.h"
#include "config/ui/configpage.h"
#include "config/ui/transfercontroller.h"
#include "link/hextext.h"
#include "link/ui/showreport.h"
#include "platform/dialogs.h"
#include "provisioning/mastercards.h"
#include "provisioning/masterconfig.h"

namespace limra {

MasterCardController::MasterCardController(ConfigPage &page, EditorModel &editor, ConfigTransferController &transfer,
                                           const Operations &operations, OperationGate &gate, UserDialogs &dialogs,
                                           QObject *parent)
    : QObject(parent), m_editor(editor), m_transfer(transfer), m_ops(operations), m_gate(gate), m_dialogs(dialogs)
{
    connect(&page, &ConfigPage::createMastersClicked, this, &MasterCardController::create);
    connect(&page, &ConfigPage::clearMastersClicked, this, &MasterCardController::clear);
    connect(&page, &ConfigPage::readMasterClicked, this, &MasterCardController::readIntoEditor);
    connect(&page, &ConfigPage::masterToReaderClicked, this, &MasterCardController::takeOver);
    connect(&m_ops.create, &ReaderOperation::finished, this, [this] { reportEnd(m_ops.create); });
    connect(&m_ops.clear, &ReaderOperation::finished, this, [this] { reportEnd(m_ops.clear); });
    connect(&m_ops.takeOver, &ReaderOperation::finished, this, [this] { reportEnd(m_ops.takeOver); });
    connect(&m_ops.read, &ReaderOperation::finished, this, &MasterCardController::readFinished);
    // Questions open from the event loop, never inside the operation's step.
    connect(&m_ops.takeOver, &MasterConfigTakeOver::decisionNeeded, this, &MasterCardController::askToGoOnWithoutCopy,
            Qt::QueuedConnection);
}

void MasterCardController::reportEnd(const ReaderOperation &operation)
{
    showReport(m_dialogs, operation.report());
}

void MasterCardController::create()
{
    if (m_gate.busy())
        return;
    // The cards get the configuration the editor holds when the user asks.
    const ConfigItems items = m_editor.buildItems(ConfigPlace::MasterCards);
    Q_EMIT editorChanged();
    const QString cardType = masterCardTypeWord(m_editor.config().readMode, m_editor.view().highlightedFormat);
    const bool option = isProtected(m_editor.config().readMode);
    m_gate.run(m_ops.create, [this, items, cardType, option] { m_ops.create.start(items, cardType, option); });
}

void MasterCardController::clear()
{
    if (m_gate.busy()
        || !m_dialogs.question(QStringLiteral("Очистка"),
                               QStringLiteral("Внимание! Все данные на поднесённых к USB-считывателю мастер-картах "
                                              "будут уничтожены. Продолжить?")))
        return;
    m_gate.run(m_ops.clear, [this] { m_ops.clear.start(); });
}

void MasterCardController::readIntoEditor()
{
    m_gate.run(m_ops.read, [this] { m_ops.read.start(); });
}

void MasterCardController::readFinished()
{
    if (m_ops.read.status() != ReaderOperation::Status::Done)
        return reportEnd(m_ops.read);
    const ConfigItems items = m_ops.read.items();
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
    if (m_gate.busy())
        return;
    if (m_editor.config().readMode == ReadMode::ObjectCode
        && !m_dialogs.question(texts::kConfigurationCaption,
                               QStringLiteral("Для записи конфигурации в USB-считыватель потребуется ранее созданная "
                                              "мастер-карта. Продолжить?")))
        return;
    m_gate.run(m_ops.takeOver, [this] { m_ops.takeOver.start(); });
}

void MasterCardController::askToGoOnWithoutCopy(const QString &problem)
{
    if (!m_ops.takeOver.awaitingDecision())
        return; // ended meanwhile
    m_ops.takeOver.proceed(
        m_dialogs.question(keepFailedCaption(), keepFailedQuestion(problem), UserDialogs::QuestionIcon::Warning));
}

} // namespace limra

#include "moc_mastercontroller.cpp"
