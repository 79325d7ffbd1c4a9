#include "firmware/ui/firmwarepage.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/texts.h"
#include "common/ui/mnemonic.h"
#include "firmware/firmwareruns.h"
#include "link/ui/showreport.h"
#include "platform/dialogs.h"

namespace limra {

namespace {
const QString kLoaderSilent =
    QStringLiteral("Загрузчик считывателя не отвечает. Отключите считыватель и подключите его снова: "
                   "обновление начнётся заново.");
const QString kHalfFed = QStringLiteral("Загрузчик считывателя уже принял часть микропрограммы. Отключите считыватель и "
                                        "подключите его снова: обновление начнётся с первого блока.");
const QString kWaitLimit = QStringLiteral(" Ожидание — не дольше %1 с.");
const QString kKeepPlugged = QStringLiteral("Не отключайте считыватель, пока идёт обновление.");
const QString kReturning = QStringLiteral("Микропрограмма передана. Считыватель перезапускается с новой микропрограммой…");
const QString kInLoader = QStringLiteral("Считыватель остался в режиме загрузчика после прерванного обновления. "
                                         "Укажите файл микропрограммы и начните обновление, чтобы завершить его.");
} // namespace

FirmwarePage::FirmwarePage(FirmwareRuns &runs, UserDialogs &dialogs, QWidget *parent)
    : QWidget(parent), m_runs(runs), m_dialogs(dialogs)
{
    auto *layout = new QVBoxLayout(this);
    versionButton = new QPushButton(QStringLiteral("Узнать текущую версию микропрограммы"), this);
    versionButton->setObjectName(QStringLiteral("versionButton"));
    layout->addWidget(versionButton);
    auto *fileLabel = new QLabel(QStringLiteral("Укажите файл микропрограммы:"), this);
    layout->addWidget(fileLabel);
    auto *fileRow = new QHBoxLayout;
    path = new QLineEdit(this);
    path->setObjectName(QStringLiteral("imagePath"));
    fileLabel->setBuddy(path);
    browseButton = new QPushButton(texts::kBrowse, this);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    fileRow->addWidget(path, 1);
    fileRow->addWidget(browseButton);
    layout->addLayout(fileRow);
    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setValue(0);
    progress->setAccessibleName(texts::kFirmwareCaption);
    layout->addWidget(progress);
    progressText = new QLabel(this);
    progressText->setObjectName(QStringLiteral("progressText"));
    progressText->setBuddy(progress);
    layout->addWidget(progressText);
    progressText->setWordWrap(true);
    updateButton = new QPushButton(QStringLiteral("Начать обновление микропрограммы"), this);
    updateButton->setObjectName(QStringLiteral("updateButton"));
    layout->addWidget(updateButton);
    // A wait for the reader to be plugged in again can be given up.
    cancelWaitButton = new QPushButton(QStringLiteral("Прекратить ожидание"), this);
    cancelWaitButton->setObjectName(QStringLiteral("cancelWaitButton"));
    cancelWaitButton->hide();
    layout->addWidget(cancelWaitButton);
    setMnemonic(versionButton, QChar(u'У'));
    setMnemonic(browseButton, QChar(u'р'));
    setMnemonic(updateButton, QChar(u'Н'));
    loaderNote = new QLabel(this);
    loaderNote->setObjectName(QStringLiteral("loaderNote"));
    loaderNote->setWordWrap(true);
    loaderNote->hide();
    layout->addWidget(loaderNote);
    layout->addStretch(1);

    connect(versionButton, &QPushButton::clicked, this, [this] {
        m_runs.queryVersion([this](FirmwareVersionQuery &run) {
            connect(
                &run, &FirmwareVersionQuery::finished, this,
                [this](const FirmwareVersionQuery::Result &result) { showReport(m_dialogs, result.report); },
                Qt::SingleShotConnection);
        });
    });
    connect(browseButton, &QPushButton::clicked, this, &FirmwarePage::browse);
    connect(updateButton, &QPushButton::clicked, this, &FirmwarePage::startUpdate);
    connect(cancelWaitButton, &QPushButton::clicked, this, [this] {
        if (awaitingReplug())
            m_update->cancel();
    });
}

void FirmwarePage::browse()
{
    const QFileInfo current(path->text());
    const QString folder = !path->text().isEmpty() && current.dir().exists() ? current.absolutePath() : m_lastFolder;
    const QString chosen = m_dialogs.openFile(QStringLiteral("*.hfw|*.hfw"), QStringLiteral("*.hfw"), folder);
    if (chosen.isEmpty()) {
        browseButton->setFocus();
        return;
    }
    path->setText(chosen);
    m_lastFolder = QFileInfo(chosen).absolutePath();
    // The next step is the update.
    updateButton->setFocus();
}

void FirmwarePage::startUpdate()
{
    m_runs.updateFirmware(path->text(), [this](FirmwareUpdate &run) {
        m_update = &run;
        connect(&run, &FirmwareUpdate::progress, this, &FirmwarePage::showProgress);
        connect(&run, &ReaderOperation::changed, this, &FirmwarePage::updateButtons);
        connect(&run, &FirmwareUpdate::stageChanged, this, &FirmwarePage::showStage);
        connect(&run, &FirmwareUpdate::finished, this, &FirmwarePage::updateFinished);
    });
}

void FirmwarePage::showProgress(int accepted, int total, qint64 msLeft)
{
    // The bar stands at the blocks accepted: full once the last is.
    progress->setMaximum(std::max(total, 1));
    progress->setValue(std::max(accepted, 0));
    if (total <= 0) {
        progressText->clear();
        return;
    }
    QString text = QStringLiteral("Блоков передано: %1 из %2").arg(accepted).arg(total);
    if (msLeft >= 0)
        text += QStringLiteral(", осталось около %1 с").arg((msLeft + 999) / 1000);
    // While blocks go (figures of a run that stopped come without the time left).
    if (m_update && m_update->stage() == FirmwareUpdate::Stage::Uploading && accepted < total
        && (msLeft >= 0 || accepted == 0))
        text += QLatin1Char('\n') + kKeepPlugged;
    progressText->setText(text);
}

void FirmwarePage::showStage(FirmwareUpdate::Stage stage)
{
    switch (stage) {
    case FirmwareUpdate::Stage::LoaderSilent:
        progressText->setText(kLoaderSilent + kWaitLimit.arg(m_update->waitLimitMs() / 1000));
        break;
    case FirmwareUpdate::Stage::AwaitingReplug:
        progressText->setText(kHalfFed + kWaitLimit.arg(m_update->waitLimitMs() / 1000));
        break;
    case FirmwareUpdate::Stage::Uploading:
        if (m_update->accepted() == 0)
            showProgress(0, m_update->total(), -1);
        break;
    case FirmwareUpdate::Stage::Returning: progressText->setText(kReturning); break;
    default: break;
    }
}

void FirmwarePage::updateFinished(const FirmwareUpdate::Result &result)
{
    // The run is over: the page follows none.
    disconnect(m_update, nullptr, this, nullptr);
    m_update = nullptr;
    // The figures of the last accepted block stay while the outcome is told.
    showReport(m_dialogs, result.report);
    showProgress(0, 0, -1);
}

void FirmwarePage::setInLoader(bool inLoader)
{
    m_inLoader = inLoader;
    loaderNote->setText(kInLoader);
    updateButtons();
}

void FirmwarePage::setReaderIdle(bool idle)
{
    m_idle = idle;
    updateButtons();
}

void FirmwarePage::updateButtons()
{
    versionButton->setEnabled(m_idle && !m_inLoader);
    updateButton->setEnabled(m_idle);
    browseButton->setEnabled(!updating());
    path->setEnabled(!updating());
    // The note tells how to finish an update that broke off; a run that goes
    // on through the loader is no such thing.
    loaderNote->setVisible(m_inLoader && !updating());
    cancelWaitButton->setVisible(awaitingReplug());
}

} // namespace limra

#include "moc_firmwarepage.cpp"
