#include "config/ui/zonelist.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/texts.h"
#include "common/ui/arrowspinbox.h"
#include "config/readerconfig.h"
#include "config/zonenames.h"
#include "platform/folders.h"

namespace limra {

namespace {
constexpr int kZones = 64;
constexpr int kRowHeight = 20;

QToolButton *tool(QWidget *parent, const QString &hint, const QString &text)
{
    auto *b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(hint);
    b->setAccessibleName(hint);
    return b;
}

// PNGs of our own rather than the style's icon, read as PNG without asking
// what else they might be: that question, which the style's icons and
// QIcon::addFile ask, loads every image-format plugin to decode one small
// picture.
QIcon saveIcon()
{
    QIcon icon;
    for (const char *file : {":/config/save.png", ":/config/save@2x.png"}) {
        QImageReader reader(QString::fromLatin1(file), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}
} // namespace

ZoneList::ZoneList(Names names, QWidget *parent) : QWidget(parent)
{
    const bool editableNames = names == Names::Editable;
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *tools = new QHBoxLayout;
    sources = new SelectorBox(this);
    sources->setObjectName(QStringLiteral("nameSources"));
    sources->setAccessibleName(kStandardNames);
    tools->addWidget(sources, 1);
    if (editableNames) {
        saveButton = tool(this, QStringLiteral("сохранить имена зон прохода"), QString());
        saveButton->setObjectName(QStringLiteral("saveNamesButton"));
        saveButton->setIcon(saveIcon());
        tools->addWidget(saveButton);
    }
    allButton = tool(this, QStringLiteral("выбрать все зоны прохода"), QStringLiteral("✓"));
    allButton->setObjectName(QStringLiteral("allButton"));
    noneButton = tool(this, QStringLiteral("снять выбор со всех зон прохода"), QStringLiteral("✗"));
    noneButton->setObjectName(QStringLiteral("noneButton"));
    bitsButton = tool(this, QStringLiteral("битовая строка"), QStringLiteral("01"));
    bitsButton->setObjectName(QStringLiteral("bitsButton"));
    tools->addWidget(allButton);
    tools->addWidget(noneButton);
    tools->addWidget(bitsButton);
    layout->addLayout(tools);

    grid = new QTableWidget(kZones, 3, this);
    grid->setObjectName(QStringLiteral("zoneGrid"));
    grid->setAccessibleName(texts::kZonesCaption);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    grid->setColumnWidth(0, 24);
    grid->setColumnWidth(1, 32);
    grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    // One Tab stop for the whole grid: arrows move inside it, Space toggles.
    grid->setTabKeyNavigation(false);
    if (editableNames) {
        // On the configuration tab the grid shows every row and the tab's own
        // scroll area scrolls: one scroll area at a time.
        grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid->setFixedHeight(kZones * kRowHeight + 2 * grid->frameWidth());
    }
    for (int r = 0; r < kZones; ++r) {
        auto *check = new QTableWidgetItem;
        check->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        check->setCheckState(Qt::Unchecked);
        grid->setItem(r, 0, check);
        auto *number = new QTableWidgetItem(QString::number(r + 1));
        number->setFlags(Qt::ItemIsEnabled);
        number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->setItem(r, 1, number);
        auto *name = new QTableWidgetItem(standardZoneName(r + 1));
        name->setFlags(editableNames ? Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsSelectable : Qt::ItemIsEnabled);
        grid->setItem(r, 2, name);
    }
    layout->addWidget(grid, 1);
    nameCells();
    showRows(false); // until the list is shown

    connect(grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item->column() == 2)
            nameCells();
        if (!m_updating && item->column() == 0)
            Q_EMIT checksChanged();
    });
    connect(allButton, &QToolButton::clicked, this, [this] {
        ZoneChecks all;
        all.fill(true);
        setChecks(all);
        Q_EMIT checksChanged();
    });
    connect(noneButton, &QToolButton::clicked, this, [this] {
        setChecks(ZoneChecks{});
        Q_EMIT checksChanged();
    });
}

// Each check cell tells assistive technology which zone it is: "Зона 12" and its name.
void ZoneList::nameCells()
{
    const QSignalBlocker block(grid);
    for (int r = 0; r < kZones; ++r)
        grid->item(r, 0)->setData(Qt::AccessibleTextRole,
                                  QStringLiteral("Зона %1 %2").arg(r + 1).arg(grid->item(r, 2)->text()));
}

ZoneChecks ZoneList::checks() const
{
    ZoneChecks c{};
    for (int r = 0; r < kZones; ++r)
        c[size_t(r)] = grid->item(r, 0)->checkState() == Qt::Checked;
    return c;
}

void ZoneList::setChecks(const ZoneChecks &c)
{
    m_updating = true;
    for (int r = 0; r < kZones; ++r)
        grid->item(r, 0)->setCheckState(c[size_t(r)] ? Qt::Checked : Qt::Unchecked);
    m_updating = false;
}

QStringList ZoneList::names() const
{
    QStringList out;
    for (int r = 0; r < kZones; ++r)
        out << grid->item(r, 2)->text();
    return out;
}

void ZoneList::setNames(const QStringList &names)
{
    for (int r = 0; r < kZones && r < names.size(); ++r)
        grid->item(r, 2)->setText(names[r]);
}

void ZoneList::setStandardNames()
{
    for (int r = 0; r < kZones; ++r)
        grid->item(r, 2)->setText(standardZoneName(r + 1));
}

void ZoneList::showEvent(QShowEvent *event)
{
    showRows(true);
    QWidget::showEvent(event);
}

void ZoneList::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    showRows(false);
}

void ZoneList::showRows(bool shown)
{
    if (grid->isRowHidden(0) == !shown)
        return;
    for (int r = 0; r < grid->rowCount(); ++r)
        grid->setRowHidden(r, !shown);
}

ZoneBitsDialog::ZoneBitsDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("zoneBitsDialog"));
    setWindowTitle(texts::kZonesCaption);
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("Укажите битовую строку зон прохода:"), this);
    bits = new QLineEdit(this);
    bits->setObjectName(QStringLiteral("bits"));
    bits->setAlignment(Qt::AlignRight);
    bits->setMinimumWidth(520);
    bits->installEventFilter(this);
    label->setBuddy(bits);
    auto *apply = new QPushButton(texts::kApply, this);
    connect(apply, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(label);
    layout->addWidget(bits);
    layout->addWidget(apply);
}

// Opened again, it is ready for typing: the field has the focus, not the button.
void ZoneBitsDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    bits->setFocus(Qt::OtherFocusReason);
}

bool ZoneBitsDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == bits && event->type() == QEvent::KeyPress) {
        const QString t = static_cast<QKeyEvent *>(event)->text();
        if (!t.isEmpty() && t != QLatin1String("0") && t != QLatin1String("1") && t.at(0).isPrint())
            return true; // only 0, 1 and editing keys
    }
    return QDialog::eventFilter(watched, event);
}

ZoneTools::ZoneTools(UserDialogs &dialogs, QString folder, QWidget *parent)
    : QObject(parent), bitsDialog(new ZoneBitsDialog(parent)), m_dialogs(dialogs), m_folder(std::move(folder))
{
}

void ZoneTools::add(ZoneList &list)
{
    ZoneList *added = &list;
    m_lists.push_back(added);
    connect(list.sources, QOverload<int>::of(&QComboBox::activated), this, [this, added] { chooseSource(added); });
    connect(list.bitsButton, &QToolButton::clicked, this, [this, added] { editBits(added); });
    if (list.saveButton) {
        m_editable = added;
        connect(list.saveButton, &QToolButton::clicked, this, &ZoneTools::saveNames);
    }
}

void ZoneTools::fillNameSources(const QString &fileName)
{
    const QStringList files = zoneNameFiles(m_folder);
    for (ZoneList *list : m_lists) {
        const QSignalBlocker block(list->sources);
        list->sources->clear();
        list->sources->addItem(kStandardNames);
        list->sources->addItems(files);
        const int at = files.indexOf(fileName);
        list->sources->setCurrentIndex(at >= 0 ? at + 1 : 0);
    }
}

void ZoneTools::chooseSource(ZoneList *list)
{
    if (list->sources->currentIndex() <= 0) {
        list->setStandardNames();
        return;
    }
    const QString path = QDir(m_folder).filePath(list->sources->currentText());
    if (!QFileInfo(path).isFile()) {
        const QSignalBlocker block(list->sources);
        list->sources->setCurrentIndex(0);
        return;
    }
    const auto names = readZoneNames(path);
    if (!names) {
        m_dialogs.error(path + QStringLiteral(": ") + names.error().text);
        return;
    }
    list->setNames(*names);
}

void ZoneTools::saveNames()
{
    if (!m_editable)
        return;
    const QString path = m_dialogs.saveFile(QStringLiteral("Наименования зон прохода (*.znm)|*.znm"),
                                              QStringLiteral("*.znm"), fileDialogFolder());
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (QDir::cleanPath(info.absolutePath()) != QDir::cleanPath(QFileInfo(m_folder).absoluteFilePath())
        && !m_dialogs.question(QStringLiteral("Предупреждение"),
                                 QStringLiteral("Вы сохраняете файл в отличную от родительской директорию. Продолжить сохранение?")))
        return;
    if (const auto written = writeZoneNames(path, m_editable->names()); !written) {
        m_dialogs.error(path + QStringLiteral(": ") + written.error().text);
        return;
    }
    rememberFileDialogChoice(path); // where a file could be written
    fillNameSources(info.fileName());
}

void ZoneTools::editBits(ZoneList *list)
{
    bitsDialog->bits->setText(zoneBitString(list->checks()));
    if (bitsDialog->exec() != QDialog::Accepted)
        return;
    const QString text = bitsDialog->bits->text().trimmed();
    bool valid = !text.isEmpty() && text.size() <= 64;
    for (QChar c : text)
        valid = valid && (c == QLatin1Char('0') || c == QLatin1Char('1'));
    if (!valid) {
        m_dialogs.error(QStringLiteral("Неверная строка."));
        return;
    }
    const QString bits = text.rightJustified(64, QLatin1Char('0'));
    ZoneChecks checks{};
    for (int z = 0; z < 64; ++z)
        checks[size_t(z)] = bits.at(63 - z) == QLatin1Char('1');
    list->setChecks(checks);
    Q_EMIT list->checksChanged();
}

} // namespace limra

#include "moc_zonelist.cpp"
