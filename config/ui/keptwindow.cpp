#include "config/ui/keptwindow.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSet>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <optional>
#include <vector>

#include "common/texts.h"
#include "common/ui/screenfit.h"
#include "config/backups.h"
#include "platform/dialogs.h"

namespace limra {

namespace {
enum Column { ReaderColumn, TimeColumn, ReadModeColumn, WiegandColumn, ColumnCount };
} // namespace

// The kept files as rows; a file is read the first time one of its extra
// columns is asked for, which the view does only for rows it shows.
class KeptConfigurationsModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void reset(QList<KeptConfiguration> kept)
    {
        beginResetModel();
        m_kept = std::move(kept);
        m_details.assign(size_t(m_kept.size()), std::nullopt);
        endResetModel();
    }
    const QList<KeptConfiguration> &kept() const { return m_kept; }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_kept.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_kept.size())
            return {};
        const KeptConfiguration &k = m_kept[index.row()];
        switch (index.column()) {
        case ReaderColumn: return k.reader;
        case TimeColumn: return k.timeText();
        case ReadModeColumn: return texts::kReadModes.value(details(index.row()).readMode, kUnknown);
        case WiegandColumn: return texts::kWiegandTypes.value(details(index.row()).wiegandType, kUnknown);
        default: return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        return headers().value(section);
    }

    static QStringList headers()
    {
        return {QStringLiteral("Считыватель"), texts::kTimeColumn, QStringLiteral("Режим чтения"),
                QStringLiteral("Тип Wiegand")};
    }
    static inline const QString kUnknown = QStringLiteral("?");

private:
    const KeptDetails &details(int row) const
    {
        std::optional<KeptDetails> &d = m_details[size_t(row)];
        if (!d)
            d = KeptConfigurationStore::details(m_kept[row].path);
        return *d;
    }

    QList<KeptConfiguration> m_kept;
    mutable std::vector<std::optional<KeptDetails>> m_details;
};

KeptConfigurationsWindow::KeptConfigurationsWindow(const KeptConfigurationStore &store,
                                                   std::function<void(const QString &path)> restore,
                                                   UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_store(store), m_restore(std::move(restore))
{
    setWindowTitle(texts::kKeptConfigurationsCaption);
    auto *layout = new QVBoxLayout(this);
    m_model = new KeptConfigurationsModel(this);
    table = new QTableView(this);
    table->setObjectName(QStringLiteral("keptTable"));
    table->setModel(m_model);
    table->setAccessibleName(windowTitle());
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTabKeyNavigation(false); // Tab goes on to the buttons
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table, 1);
    auto *buttons = new QHBoxLayout;
    restoreButton = new QPushButton(QStringLiteral("Восстановить"), this);
    restoreButton->setObjectName(QStringLiteral("restoreButton"));
    folderButton = new QPushButton(QStringLiteral("Открыть папку"), this);
    folderButton->setObjectName(QStringLiteral("folderButton"));
    buttons->addWidget(restoreButton);
    buttons->addStretch(1);
    buttons->addWidget(folderButton);
    layout->addLayout(buttons);
    fitColumns();
    // Wide enough for every column of a usual serial number, the rest for the rows.
    const QMargins margins = layout->contentsMargins();
    int width = margins.left() + margins.right() + 2 * table->frameWidth()
                + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table) + 4;
    for (int c = 0; c < ColumnCount; ++c)
        width += table->horizontalHeader()->sectionSize(c);
    resize(width, 360);

    connect(restoreButton, &QPushButton::clicked, this, [this] {
        const int row = table->currentIndex().row();
        if (row >= 0 && row < m_model->kept().size())
            m_restore(m_model->kept()[row].path);
    });
    connect(table, &QTableView::doubleClicked, restoreButton, &QPushButton::click);
    connect(folderButton, &QPushButton::clicked, this, [this, &dialogs] { dialogs.openFolder(m_store.folder()); });
}

void KeptConfigurationsWindow::showEvent(QShowEvent *event)
{
    fitOnScreen(this);
    refresh();
    QDialog::showEvent(event);
}

void KeptConfigurationsWindow::refresh()
{
    m_model->reset(m_store.kept());
    fitColumns();
    const bool any = m_model->rowCount() > 0;
    if (any)
        table->selectRow(0);
    restoreButton->setEnabled(any);
}

// Each column as wide as its widest possible text, from the texts alone
// (sizing to the contents would read every file); the reader column fits a
// usual serial number at least.
void KeptConfigurationsWindow::fitColumns()
{
    const QFontMetrics metrics(table->font());
    const int padding = 2 * table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 12;
    auto widest = [&](const QStringList &candidates) {
        int w = 0;
        for (const QString &text : candidates)
            w = std::max(w, metrics.horizontalAdvance(text));
        return w + padding;
    };
    QSet<QString> readers;
    for (const KeptConfiguration &k : m_model->kept())
        readers.insert(k.reader);
    const QStringList headers = KeptConfigurationsModel::headers();
    QHeaderView *header = table->horizontalHeader();
    const QFontMetrics headerMetrics(header->font());
    auto fit = [&](int column, QStringList candidates) {
        const int title = headerMetrics.horizontalAdvance(headers[column]) + 2 * padding;
        header->resizeSection(column, std::max(widest(candidates), title));
    };
    fit(ReaderColumn, QStringList(readers.begin(), readers.end()) << QStringLiteral("A000-00000000"));
    fit(TimeColumn, {QStringLiteral("0000-00-00 00:00:00")});
    fit(ReadModeColumn, texts::kReadModes + QStringList{KeptConfigurationsModel::kUnknown});
    fit(WiegandColumn, texts::kWiegandTypes + QStringList{KeptConfigurationsModel::kUnknown});
}

QString KeptConfigurationsWindow::cellText(int row, int column) const
{
    return m_model->index(row, column).data().toString();
}

int KeptConfigurationsWindow::rowCount() const
{
    return m_model->rowCount();
}

} // namespace limra

#include "moc_keptwindow.cpp"
