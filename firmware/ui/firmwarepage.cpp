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
#include "firmware/update.h"
#include "platform/dialogs.h"

namespace limra {

FirmwarePage::FirmwarePage(FirmwareUpdate &update, FirmwareVersionQuery &version, UserDialogs &dialogs,
                           QWidget *parent)
    : QWidget(parent), m_update(update), m_dialogs(dialogs)
{
    auto *layout = new QVBoxLayout(this);
    versionButton = new QPushButton(QStringLiteral("Узнать текущую версию микропрограммы"), this);
    layout->addWidget(versionButton);
    auto *fileLabel = new QLabel(QStringLiteral("Укажите файл микропрограммы:"), this);
    layout->addWidget(fileLabel);
    auto *fileRow = new QHBoxLayout;
    path = new QLineEdit(this);
    fileLabel->setBuddy(path);
    browseButton = new QPushButton(texts::kBrowse, this);
    fileRow->addWidget(path, 1);
    fileRow->addWidget(browseButton);
    layout->addLayout(fileRow);
    progress = new QProgressBar(this);
    progress->setValue(0);
    progress->setTextVisible(false);
    progress->setAccessibleName(texts::kFirmwareCaption);
    layout->addWidget(progress);
    progressText = new QLabel(this);
    progressText->setBuddy(progress);
    layout->addWidget(progressText);
    updateButton = new QPushButton(QStringLiteral("Начать обновление микропрограммы"), this);
    layout->addWidget(updateButton);
    layout->addStretch(1);

    connect(versionButton, &QPushButton::clicked, this, [&version] { version.run(); });
    connect(browseButton, &QPushButton::clicked, this, &FirmwarePage::browse);
    connect(updateButton, &QPushButton::clicked, this, [this] { m_update.run(path->text()); });
    connect(&m_update, &FirmwareUpdate::progress, this, &FirmwarePage::showProgress);
}

void FirmwarePage::browse()
{
    const QFileInfo current(path->text());
    const QString folder = !path->text().isEmpty() && current.dir().exists() ? current.absolutePath() : m_lastFolder;
    const QString chosen = m_dialogs.openFile(QStringLiteral("*.hfw|*.hfw"), QStringLiteral("*.hfw"), folder);
    if (chosen.isEmpty())
        return;
    path->setText(chosen);
    m_lastFolder = QFileInfo(chosen).absolutePath();
}

void FirmwarePage::showProgress(int accepted, int total, qint64 msLeft)
{
    // The bar stands at the number of the last accepted block, counted from
    // 0: one short of its maximum after the last block.
    progress->setMaximum(std::max(total, 1));
    progress->setValue(std::max(accepted - 1, 0));
    if (total <= 0) {
        progressText->clear();
        return;
    }
    QString text = QStringLiteral("Блоков передано: %1 из %2").arg(accepted).arg(total);
    if (msLeft >= 0)
        text += QStringLiteral(", осталось около %1 с").arg((msLeft + 999) / 1000);
    progressText->setText(text);
}

} // namespace limra
