#include "display/ui/cardlogwindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include "common/texts.h"
#include "display/cardlog.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"

namespace limra {

namespace {
const QString &kCaption = texts::kCardLogCaption;
const QStringList kColumns = {texts::kTimeColumn, QStringLiteral("Вид идентификатора"), QStringLiteral("ID"),
                              QStringLiteral("ID (HEX)"), QStringLiteral("Тип карты")};
} // namespace

CardLogModel::CardLogModel(const CardLog &log, QObject *parent) : QAbstractTableModel(parent), m_log(log)
{
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&log, &CardLog::added, this, &CardLogModel::changed);
    connect(&log, &CardLog::dropped, this, &CardLogModel::changed);
    connect(&log, &CardLog::cleared, this, &CardLogModel::changed);
}

void CardLogModel::changed()
{
    if (!m_refresh.isActive())
        m_refresh.start();
}

int CardLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_log.entries().size());
}

int CardLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(kColumns.size());
}

QStringList CardLogModel::rowTexts(int row) const
{
    const auto &entries = m_log.entries();
    if (row < 0 || row >= int(entries.size()))
        return {};
    const CardLogEntry &e = entries[entries.size() - 1 - size_t(row)]; // newest first
    return {e.time.toString(texts::kTimeFormat), CardLog::kindName(e.kind), e.shown, e.hex,
            e.cardType};
}

QVariant CardLogModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    return rowTexts(index.row()).value(index.column());
}

QVariant CardLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return kColumns.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

CardLogWindow::CardLogWindow(CardLog &log, UserDialogs &dialogs, Clipboard *clipboard, QString logFile,
                             QWidget *parent)
    : QDialog(parent), m_log(log), m_dialogs(dialogs), m_clipboard(clipboard), m_logFile(std::move(logFile))
{
    setWindowTitle(kCaption);
    setModal(false);
    auto *layout = new QVBoxLayout(this);
    model = new CardLogModel(log, this);
    table = new QTableView(this);
    table->setModel(model);
    table->setAccessibleName(kCaption);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    layout->addWidget(table, 1);
    toFile = new QCheckBox(QStringLiteral("Записывать журнал в файл"), this);
    fileLabel = new QLabel(m_logFile, this);
    fileLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    toFile->setToolTip(m_logFile);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(toFile);
    fileRow->addWidget(fileLabel, 1);
    layout->addLayout(fileRow);
    auto *buttons = new QHBoxLayout;
    copyButton = new QPushButton(QStringLiteral("Копировать"), this);
    clearButton = new QPushButton(texts::kClear, this);
    saveButton = new QPushButton(QStringLiteral("Сохранить как…"), this);
    buttons->addWidget(copyButton);
    buttons->addWidget(clearButton);
    buttons->addStretch(1);
    buttons->addWidget(saveButton);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(copyButton, &QPushButton::clicked, this, &CardLogWindow::copySelected);
    connect(new QShortcut(QKeySequence::Copy, table), &QShortcut::activated, this, &CardLogWindow::copySelected);
    connect(clearButton, &QPushButton::clicked, &m_log, &CardLog::clear);
    connect(saveButton, &QPushButton::clicked, this, &CardLogWindow::saveAs);
    connect(toFile, &QCheckBox::clicked, this, &CardLogWindow::setWritingFile);
}

void CardLogWindow::setWritingFile(bool on)
{
    if (on) {
        QString error;
        if (!m_log.startFile(m_logFile, &error)) {
            m_dialogs.error(texts::kCannotOpenFile.arg(m_logFile, error));
            on = false;
        }
    } else {
        m_log.stopFile();
    }
    toFile->setChecked(on);
    Q_EMIT writingFileChanged(on);
}

void CardLogWindow::copySelected()
{
    QList<int> rows;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (int row : rows)
        lines << model->rowTexts(row).join(QLatin1Char('\t'));
    if (!lines.isEmpty() && m_clipboard)
        m_clipboard->setText(lines.join(QLatin1Char('\n')));
}

void CardLogWindow::saveAs()
{
    const QString path = m_dialogs.saveFile(QStringLiteral("Журнал карт (*.csv)|*.csv"), QStringLiteral("*.csv"));
    if (path.isEmpty())
        return;
    QString error;
    if (!m_log.saveAs(path, &error))
        m_dialogs.error(texts::kCannotWriteFile.arg(path, error));
}

} // namespace limra
