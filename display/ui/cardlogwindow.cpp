#include "display/ui/cardlogwindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "common/texts.h"
#include "common/timings.h"
#include "common/ui/screenfit.h"
#include "display/cardlog.h"
#include "display/idkinds.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"

namespace limra {

namespace {
const QString &kCaption = texts::kCardLogCaption;
const QStringList kColumns = {texts::kTimeColumn, QStringLiteral("Вид идентификатора"), QStringLiteral("ID"),
                              QStringLiteral("ID (HEX)"), QStringLiteral("Тип карты")};
} // namespace

CardLogModel::CardLogModel(const CardLog &log, QObject *parent)
    : QAbstractTableModel(parent), m_log(log), m_rows(int(log.entries().size()))
{
    m_refresh.setSingleShot(true);
    connect(&m_refresh, &QTimer::timeout, this, &CardLogModel::publish);
    connect(&log, &CardLog::added, this, [this](int count) {
        m_unpublished = std::min<qsizetype>(m_unpublished + count, qsizetype(m_log.entries().size()));
        changed();
    });
    connect(&log, &CardLog::dropped, this, [this] {
        m_unpublished = std::min<qsizetype>(m_unpublished, qsizetype(m_log.entries().size()));
        changed();
    });
    // The newest read's card type, come after it: its row, once shown, shows it.
    connect(&log, &CardLog::newestChanged, this, [this] {
        if (m_rows > 0 && m_unpublished == 0)
            Q_EMIT dataChanged(index(0, 0), index(0, columnCount() - 1));
    });
    connect(&log, &CardLog::cleared, this, [this] {
        m_refresh.stop();
        beginResetModel();
        m_rows = 0;
        m_unpublished = 0;
        endResetModel();
    });
}

void CardLogModel::changed()
{
    if (!m_refresh.isActive())
        m_refresh.start(m_lastInserted >= kFloodRows ? Timings().cardLogFloodRefresh : Timings().cardLogRefresh);
}

void CardLogModel::publish()
{
    const qsizetype held = qsizetype(m_log.entries().size());
    const int kept = int(std::clamp<qsizetype>(held - m_unpublished, 0, m_rows));
    if (kept < m_rows) {
        beginRemoveRows(QModelIndex(), kept, m_rows - 1);
        m_rows = kept;
        endRemoveRows();
    }
    m_lastInserted = int(m_unpublished);
    if (m_unpublished > 0) {
        beginInsertRows(QModelIndex(), 0, int(m_unpublished) - 1);
        m_rows += int(m_unpublished);
        m_unpublished = 0;
        endInsertRows();
    }
}

const CardLogEntry *CardLogModel::entryAt(int row) const
{
    const auto &entries = m_log.entries();
    const qsizetype index = qsizetype(entries.size()) - 1 - m_unpublished - row; // newest first
    return row < 0 || row >= m_rows || index < 0 ? nullptr : &entries[size_t(index)];
}

int CardLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int CardLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(kColumns.size());
}

QStringList CardLogModel::rowTexts(int row) const
{
    const CardLogEntry *e = entryAt(row);
    if (!e)
        return {};
    return {m_times.text(e->msecs), CardLog::kindName(e->kind), e->shown, e->hex(), e->cardType};
}

QVariant CardLogModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    const CardLogEntry *e = entryAt(index.row());
    if (!e)
        return QVariant();
    switch (index.column()) {
    case 0: return m_times.text(e->msecs);
    case 1: return CardLog::kindName(e->kind);
    case 2: return e->shown;
    case 3: return e->hex();
    case 4: return e->cardType;
    }
    return QVariant();
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
    model->setObjectName(QStringLiteral("cardLogModel"));
    table = new QTableView(this);
    table->setObjectName(QStringLiteral("cardLogTable"));
    table->setModel(model);
    table->setAccessibleName(kCaption);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setTabKeyNavigation(false); // Tab goes on to the option and the buttons
    table->setWordWrap(false);
    fitColumns();
    table->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    layout->addWidget(table, 1);
    toFile = new QCheckBox(QStringLiteral("Записывать журнал в файл"), this);
    toFile->setObjectName(QStringLiteral("toFile"));
    fileLabel = new QLabel(m_logFile, this);
    fileLabel->setObjectName(QStringLiteral("fileLabel"));
    fileLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fileLabel->setWordWrap(true);
    toFile->setToolTip(m_logFile);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(toFile);
    fileRow->addWidget(fileLabel, 1);
    layout->addLayout(fileRow);
    auto *buttons = new QHBoxLayout;
    copyButton = new QPushButton(QStringLiteral("Копировать"), this);
    copyButton->setObjectName(QStringLiteral("copyButton"));
    clearButton = new QPushButton(texts::kClear, this);
    clearButton->setObjectName(QStringLiteral("clearButton"));
    saveButton = new QPushButton(QStringLiteral("Сохранить как…"), this);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    buttons->addWidget(copyButton);
    buttons->addWidget(clearButton);
    buttons->addStretch(1);
    buttons->addWidget(saveButton);
    layout->addLayout(buttons);
    // Wide enough for every column and a long card type beside them.
    int width = layout->contentsMargins().left() + layout->contentsMargins().right() + 2 * table->frameWidth()
                + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table) + 4
                + table->fontMetrics().horizontalAdvance(QStringLiteral("SmartMX с Mifare Classic")) + 16;
    for (int column = 0; column + 1 < int(kColumns.size()); ++column)
        width += table->horizontalHeader()->sectionSize(column);
    resize(std::max(760, width), 420);

    connect(copyButton, &QPushButton::clicked, this, &CardLogWindow::copySelected);
    connect(new QShortcut(QKeySequence::Copy, table), &QShortcut::activated, this, &CardLogWindow::copySelected);
    connect(clearButton, &QPushButton::clicked, this, &CardLogWindow::clearAsked);
    connect(saveButton, &QPushButton::clicked, this, &CardLogWindow::saveAs);
    connect(toFile, &QCheckBox::clicked, this, &CardLogWindow::setWritingFile);
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                if (first == 0)
                    keepScrolledRows(last + 1);
            });
    connect(&m_log, &CardLog::fileFailed, this, &CardLogWindow::showFileState);
    connect(&m_log, &CardLog::fileWritten, this, &CardLogWindow::showFileState);
}

// Each column as wide as its widest text can be, found from the texts alone
// (measuring the rows would read up to 10,000 of them); the card type takes
// the rest.
void CardLogWindow::fitColumns()
{
    const QFontMetrics metrics(table->font());
    const QFontMetrics headerMetrics(table->horizontalHeader()->font());
    const int padding = 2 * table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 12;
    QStringList kinds;
    for (IdKind kind : idKindLabelOrder())
        kinds << CardLog::kindName(kind);
    const QList<QStringList> widest = {{QStringLiteral("0000-00-00 00:00:00")},
                                       kinds,
                                       {QStringLiteral("000000000000000000000")},
                                       {QStringLiteral("FFFFFFFFFFFFFFFFFFFF")}};
    for (int column = 0; column < int(widest.size()); ++column) {
        int width = headerMetrics.horizontalAdvance(kColumns[column]) + 2 * padding;
        for (const QString &text : widest[column])
            width = std::max(width, metrics.horizontalAdvance(text) + padding);
        table->horizontalHeader()->resizeSection(column, width);
    }
}

// New reads come in at the top. A user who scrolled down to older reads
// keeps seeing them; at the top the newest read shows.
void CardLogWindow::keepScrolledRows(int inserted)
{
    QScrollBar *bar = table->verticalScrollBar();
    if (bar->value() == 0)
        return;
    bar->setMaximum(bar->maximum() + inserted); // the view sets its range at its next layout
    bar->setValue(bar->value() + inserted);
}

// The file's name, or why it cannot be written.
void CardLogWindow::showFileState()
{
    const QString problem = m_log.fileProblem();
    fileLabel->setText(problem.isEmpty() ? m_logFile : problem);
    fileLabel->setToolTip(problem);
    QPalette pal = fileLabel->palette();
    pal.setColor(QPalette::WindowText, problem.isEmpty() ? palette().color(QPalette::WindowText) : QColor(0xC0, 0, 0));
    fileLabel->setPalette(pal);
}

void CardLogWindow::setWritingFile(bool on)
{
    if (on) {
        if (const auto started = m_log.startFile(m_logFile); !started) {
            m_dialogs.error(texts::kCannotOpenFile.arg(m_logFile, started.error().reason));
            on = false;
        }
    } else {
        m_log.stopFile();
    }
    toFile->setChecked(on);
    showFileState();
    Q_EMIT writingFileChanged(on);
}

void CardLogWindow::showEvent(QShowEvent *event)
{
    fitOnScreen(this);
    QDialog::showEvent(event);
}

// The reads go for good: asked first, "Нет" the default.
void CardLogWindow::clearAsked()
{
    if (m_dialogs.question(kCaption, texts::kClearCardLogQuestion))
        m_log.clear();
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
    if (const auto saved = m_log.saveAs(path); !saved)
        m_dialogs.error(texts::kCannotWriteFile.arg(path, saved.error().reason));
}

} // namespace limra

#include "moc_cardlogwindow.cpp"
