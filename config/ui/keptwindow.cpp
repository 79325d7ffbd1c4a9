#include "config/ui/keptwindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/texts.h"
#include "config/backups.h"
#include "platform/dialogs.h"

namespace limra {

KeptConfigurationsWindow::KeptConfigurationsWindow(const ConfigBackups &backups,
                                                   std::function<void(const QString &path)> restore,
                                                   UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_backups(backups), m_restore(std::move(restore))
{
    setWindowTitle(texts::kKeptConfigurationsCaption);
    auto *layout = new QVBoxLayout(this);
    table = new QTableWidget(0, 4, this);
    table->setHorizontalHeaderLabels({QStringLiteral("Считыватель"), texts::kTimeColumn,
                                      QStringLiteral("Режим чтения"), QStringLiteral("Тип Wiegand")});
    table->setAccessibleName(windowTitle());
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table, 1);
    auto *buttons = new QHBoxLayout;
    restoreButton = new QPushButton(QStringLiteral("Восстановить"), this);
    folderButton = new QPushButton(QStringLiteral("Открыть папку"), this);
    buttons->addWidget(restoreButton);
    buttons->addStretch(1);
    buttons->addWidget(folderButton);
    layout->addLayout(buttons);
    resize(720, 360);

    connect(restoreButton, &QPushButton::clicked, this, [this] {
        const int row = table->currentRow();
        if (row >= 0 && row < m_paths.size())
            m_restore(m_paths[row]);
    });
    connect(table, &QTableWidget::cellDoubleClicked, restoreButton, &QPushButton::click);
    connect(folderButton, &QPushButton::clicked, this, [this, &dialogs] { dialogs.openFolder(m_backups.folder()); });
}

void KeptConfigurationsWindow::showEvent(QShowEvent *event)
{
    refresh();
    QDialog::showEvent(event);
}

void KeptConfigurationsWindow::refresh()
{
    const QList<KeptConfiguration> kept = m_backups.kept();
    table->setRowCount(int(kept.size()));
    m_paths.clear();
    for (int r = 0; r < kept.size(); ++r) {
        const KeptConfiguration &k = kept[r];
        m_paths << k.path;
        const QString unknown = QStringLiteral("?");
        const QStringList cells = {k.reader, k.time.toString(texts::kTimeFormat),
                                   texts::kReadModes.value(k.readMode, unknown),
                                   texts::kWiegandTypes.value(k.wiegandType, unknown)};
        for (int c = 0; c < cells.size(); ++c)
            table->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    if (!kept.isEmpty())
        table->selectRow(0);
    restoreButton->setEnabled(!kept.isEmpty());
}

} // namespace limra
