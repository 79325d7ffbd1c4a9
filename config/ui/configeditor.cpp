#include "config/ui/configeditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QVBoxLayout>

#include "common/texts.h"
#include "common/ui/arrowspinbox.h"
#include "config/ui/hashhelp.h"
#include "config/ui/ledfield.h"
#include "config/ui/zonelist.h"
#include "platform/dialogs.h"

namespace limra {

namespace {

QHBoxLayout *row(QVBoxLayout *parent)
{
    auto *r = new QHBoxLayout;
    parent->addLayout(r);
    return r;
}

QLabel *labelFor(QWidget *parent, const QString &text, QWidget *buddy)
{
    auto *l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

template <class Spin>
Spin *spin(QWidget *parent, double lo, double hi)
{
    auto *s = new Spin(parent);
    s->setRange(lo, hi);
    return s;
}

} // namespace

ConfigEditor::ConfigEditor(EditorModel &editorModel, UserDialogs &dialogs, QWidget *parent)
    : QWidget(parent), model(editorModel), m_dialogs(dialogs)
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *general = new QGroupBox(QStringLiteral(" Общая конфигурация "), this);
    outer->addWidget(general, 1);
    auto *g = new QVBoxLayout(general);

    wiegandType = new SelectorBox(general);
    wiegandType->setObjectName(QStringLiteral("wiegandType"));
    wiegandType->addItems(texts::kWiegandTypes);
    QHBoxLayout *r = row(g);
    r->addWidget(labelFor(general, texts::kWiegandTypeLabel, wiegandType));
    r->addWidget(wiegandType, 1);

    widthMode = new SelectorBox(general);
    widthMode->setObjectName(QStringLiteral("widthMode"));
    widthMode->addItems(texts::kWidthModes);
    width = spin<ArrowSpinBox>(general, 8, 64);
    width->setObjectName(QStringLiteral("width"));
    width->setValue(64);
    widthNote = new QLabel(general);
    widthNote->setObjectName(QStringLiteral("widthNote"));
    QFont bold = widthNote->font();
    bold.setBold(true);
    widthNote->setFont(bold);
    r = row(g);
    auto *widthLabel = labelFor(general, texts::kWiegandWidthLabel, widthMode);
    r->addWidget(widthLabel);
    r->addWidget(widthMode, 1);
    r->addWidget(width);
    r->addWidget(widthNote);
    width->setAccessibleName(widthLabel->text());

    readMode = new SelectorBox(general);
    readMode->setObjectName(QStringLiteral("readMode"));
    readMode->addItems(texts::kReadModes);
    g->addWidget(readMode);

    auto *formatGroup = new QGroupBox(texts::kFormatsCaption, general);
    auto *fg = new QVBoxLayout(formatGroup);
    formats = new QListWidget(formatGroup);
    formats->setObjectName(QStringLiteral("formats"));
    formats->setAccessibleName(formatGroup->title());
    formats->setMaximumHeight(140);
    fg->addWidget(formats);
    g->addWidget(formatGroup);

    conversion = new QGroupBox(QStringLiteral("Преобразование"), general);
    conversion->setObjectName(QStringLiteral("conversion"));
    auto *cg = new QGridLayout(conversion);
    reversed = new QCheckBox(texts::kReversedOrder, conversion);
    reversed->setObjectName(QStringLiteral("reversed"));
    hash = new QCheckBox(conversion);
    hash->setObjectName(QStringLiteral("hash"));
    const QString hashName = texts::kHashOption;
    hashLink = new HelpLink(hashName, conversion);
    hashLink->setObjectName(QStringLiteral("hashLink"));
    hash->setAccessibleName(hashName);
    shift = spin<ArrowSpinBox>(conversion, 0, 63);
    shift->setObjectName(QStringLiteral("shift"));
    significantBits = spin<ArrowSpinBox>(conversion, 1, 64);
    significantBits->setObjectName(QStringLiteral("significantBits"));
    shiftLabel = labelFor(conversion, texts::kBitShiftLabel, shift);
    shiftLabel->setObjectName(QStringLiteral("shiftLabel"));
    bitsLabel = labelFor(conversion, texts::kSignificantBitsLabel, significantBits);
    bitsLabel->setObjectName(QStringLiteral("bitsLabel"));
    auto *hashRow = new QHBoxLayout;
    hashRow->addWidget(hash);
    hashRow->addWidget(hashLink);
    hashRow->addStretch(1);
    cg->addWidget(reversed, 0, 0);
    cg->addLayout(hashRow, 0, 1);
    cg->addWidget(shiftLabel, 1, 0);
    cg->addWidget(shift, 1, 1);
    cg->addWidget(bitsLabel, 2, 0);
    cg->addWidget(significantBits, 2, 1);
    g->addWidget(conversion);

    // Block panel (read mode 2).
    blockPanel = new QWidget(general);
    blockPanel->setObjectName(QStringLiteral("blockPanel"));
    auto *bp = new QGridLayout(blockPanel);
    bp->setContentsMargins(0, 0, 0, 0);
    blockNumber = spin<ArrowSpinBox>(blockPanel, 0, 255);
    blockNumber->setObjectName(QStringLiteral("blockNumber"));
    blockOffset = spin<ArrowSpinBox>(blockPanel, 0, 15);
    blockOffset->setObjectName(QStringLiteral("blockOffset"));
    blockCount = spin<ArrowSpinBox>(blockPanel, 1, 8);
    blockCount->setObjectName(QStringLiteral("blockCount"));
    blockKey = new QLineEdit(blockPanel);
    blockKey->setObjectName(QStringLiteral("blockKey"));
    blockKey->setMaxLength(32);
    bp->addWidget(labelFor(blockPanel, texts::kBlockNumberLabel, blockNumber), 0, 0);
    bp->addWidget(blockNumber, 0, 1);
    bp->addWidget(labelFor(blockPanel, texts::kBlockOffsetLabel, blockOffset), 1, 0);
    bp->addWidget(blockOffset, 1, 1);
    const QString bytes = QStringLiteral("байт");
    bp->addWidget(new QLabel(bytes, blockPanel), 1, 2);
    bp->addWidget(labelFor(blockPanel, texts::kBlockBytesLabel, blockCount), 2, 0);
    bp->addWidget(blockCount, 2, 1);
    bp->addWidget(new QLabel(bytes, blockPanel), 2, 2);
    bp->addWidget(labelFor(blockPanel, texts::kBlockKeyLabel, blockKey), 3, 0, 1, 3);
    auto *keyRow = new QHBoxLayout;
    keyRow->addWidget(new QLabel(QStringLiteral("0x"), blockPanel));
    keyRow->addWidget(blockKey, 1);
    bp->addLayout(keyRow, 4, 0, 1, 3);
    g->addWidget(blockPanel);

    // Key and name panel (read modes 0 and 1).
    keyPanel = new QWidget(general);
    keyPanel->setObjectName(QStringLiteral("keyPanel"));
    auto *kp = new QVBoxLayout(keyPanel);
    kp->setContentsMargins(0, 0, 0, 0);
    bankPart = new QWidget(keyPanel);
    bankPart->setObjectName(QStringLiteral("bankPart"));
    auto *bk = new QVBoxLayout(bankPart);
    bk->setContentsMargins(0, 0, 0, 0);
    bankDefault = new QRadioButton(texts::kBankKeyDefault, bankPart);
    bankDefault->setObjectName(QStringLiteral("bankDefault"));
    bankUser = new QRadioButton(texts::kBankKeyUser, bankPart);
    bankUser->setObjectName(QStringLiteral("bankUser"));
    bankKey = new QLineEdit(bankPart);
    bankKey->setObjectName(QStringLiteral("bankKey"));
    bankKey->setMaxLength(32);
    auto *bankLabel = labelFor(bankPart, texts::kBankKeyLabel, bankKey);
    bk->addWidget(bankLabel);
    auto *choice = new QHBoxLayout;
    choice->addWidget(bankDefault);
    choice->addWidget(bankUser);
    choice->addStretch(1);
    bk->addLayout(choice);
    bk->addWidget(bankKey);
    blePart = new QWidget(keyPanel);
    blePart->setObjectName(QStringLiteral("blePart"));
    auto *bl = new QHBoxLayout(blePart);
    bl->setContentsMargins(0, 0, 0, 0);
    bleName = new QLineEdit(blePart);
    bleName->setObjectName(QStringLiteral("bleName"));
    bleName->setMaxLength(31);
    bl->addWidget(labelFor(blePart, texts::kBleNameLabel, bleName));
    bl->addWidget(bleName, 1);
    kp->addWidget(bankPart);
    kp->addWidget(blePart);
    g->addWidget(keyPanel);

    // Pass-zone panel (read mode 3).
    zonePanel = new QWidget(general);
    zonePanel->setObjectName(QStringLiteral("zonePanel"));
    auto *zp = new QVBoxLayout(zonePanel);
    zp->setContentsMargins(0, 0, 0, 0);
    zones = new ZoneList(ZoneList::Names::Editable, zonePanel);
    zones->setObjectName(QStringLiteral("zoneList"));
    zones->setMinimumHeight(220);
    zp->addWidget(zones, 1);
    pulse = spin<ArrowDoubleSpinBox>(zonePanel, 0.3, 30.0);
    pulse->setObjectName(QStringLiteral("pulse"));
    pulse->setDecimals(1);
    pulse->setSingleStep(0.1);
    auto *pulseRow = new QHBoxLayout;
    pulseRow->addWidget(labelFor(zonePanel, texts::kPulseLabel, pulse));
    pulseRow->addWidget(pulse);
    zp->addLayout(pulseRow);
    g->addWidget(zonePanel, 1);
    g->addStretch(0);

    // LED colours.
    auto *ledGroup = new QGroupBox(QStringLiteral(" Световая схема (только для настенных считывателей) "), this);
    auto *lg = new QGridLayout(ledGroup);
    const QStringList &ledLabels = texts::kLedLabels;
    const char *const kLedNames[4] = {"idleLed", "greenLed", "redLed", "redGreenLed"};
    // Laid out, and tabbed, in the item's order: idle and LEDG, then LEDR and LEDR + LEDG.
    for (int i = 0; i < 4; ++i) {
        leds[size_t(i)] = new LedField(ledLabels[i], ledGroup);
        leds[size_t(i)]->setObjectName(QLatin1String(kLedNames[i]));
        QLabel *label = labelFor(ledGroup, ledLabels[i], leds[size_t(i)]);
        label->setWordWrap(true);
        lg->addWidget(label, (i / 2) * 2, i % 2);
        lg->addWidget(leds[size_t(i)], (i / 2) * 2 + 1, i % 2, Qt::AlignLeft);
        connect(leds[size_t(i)], &QPushButton::clicked, this, [this, i] { chooseColour(i); });
    }
    lg->setColumnStretch(0, 1);
    lg->setColumnStretch(1, 1);
    outer->addWidget(ledGroup);
    // Each group is heard by its own title: a group inside another would
    // otherwise be named by the outer one's.
    for (QGroupBox *group : findChildren<QGroupBox *>())
        group->setAccessibleName(group->title().trimmed());

    for (QComboBox *c : {widthMode, readMode}) {
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(12);
    }
    // The Wiegand type is never cut: the editor scrolls before it would be.
    wiegandType->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    // User actions. The controls are listened to for their values, not for
    // clicks: a value set through assistive technology, or by the keyboard,
    // is a change like a click. Changes made while the controls show the
    // model are not the user's.
    auto indexAction = [this](QComboBox *c, auto act) {
        connect(c, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, act](int i) {
            if (!m_syncing && i >= 0) {
                act(i);
                sync();
            }
        });
    };
    indexAction(wiegandType, [this](int i) { model.userSetWgType(i); });
    indexAction(widthMode, [this](int i) { model.userSetWidthMode(i); });
    indexAction(readMode, [this](int i) {
        const std::optional<ReadMode> mode = readModeFrom(i);
        if (mode && *mode != model.config().readMode) // the read mode already chosen changes nothing
            model.userSetReadMode(*mode);
    });
    auto spinAction = [this](QSpinBox *s, void (EditorModel::*set)(int)) {
        connect(s, QOverload<int>::of(&QSpinBox::valueChanged), this, [this, set](int v) {
            if (m_syncing)
                return;
            (model.*set)(v);
            sync();
        });
    };
    spinAction(width, &EditorModel::setWidth);
    spinAction(shift, &EditorModel::setShift);
    spinAction(significantBits, &EditorModel::setSigbits);
    spinAction(blockNumber, &EditorModel::setBlocknum);
    spinAction(blockOffset, &EditorModel::setBlockoffset);
    spinAction(blockCount, &EditorModel::setBlockcount);
    connect(pulse, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this](double v) {
        if (!m_syncing) {
            model.userSetPulseSeconds(v);
            sync();
        }
    });
    connect(formats, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        if (m_syncing)
            return;
        model.userSetFormat(formats->row(item), item->checkState() == Qt::Checked);
        sync();
    });
    connect(formats, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_syncing)
            model.userHighlightFormat(row);
    });
    auto toggleAction = [this](QAbstractButton *b, auto act) {
        connect(b, &QAbstractButton::toggled, this, [this, act](bool on) {
            if (!m_syncing) {
                act(on);
                sync();
            }
        });
    };
    toggleAction(reversed, [this](bool on) { model.userSetReversed(on); });
    toggleAction(hash, [this](bool on) { model.userSetHash(on); });
    // Of the two choices only the one turned on says something.
    toggleAction(bankDefault, [this](bool on) {
        if (on)
            model.userSetBankKeyMode(BankKeyMode::Default);
    });
    toggleAction(bankUser, [this](bool on) {
        if (on)
            model.userSetBankKeyMode(BankKeyMode::User);
    });
    connect(hashLink, &HelpLink::clicked, this, [this] {
        HashHelp help(this);
        help.exec();
    });
    connect(bankDefault, &QRadioButton::clicked, this, [this] { model.userSetBankKeyMode(BankKeyMode::Default); sync(); });
    connect(bankUser, &QRadioButton::clicked, this, [this] { model.userSetBankKeyMode(BankKeyMode::User); sync(); });
    connect(blockKey, &QLineEdit::textChanged, this, [this] { keyEdited(blockKey, &EditorModel::userSetBlockKey); });
    connect(bankKey, &QLineEdit::textChanged, this, [this] { keyEdited(bankKey, &EditorModel::userSetBankKey); });
    connect(bleName, &QLineEdit::textChanged, this, [this] { keyEdited(bleName, &EditorModel::userSetBleName); });
    connect(zones, &ZoneList::checksChanged, this, [this] {
        model.userSetZones(zones->checks());
        Q_EMIT synced();
    });
}

void ConfigEditor::keyEdited(QLineEdit *field, void (EditorModel::*set)(const QString &))
{
    if (m_syncing)
        return;
    // Typed and pasted text pass the same filter.
    const QString typed = field->text();
    const int cursor = field->cursorPosition();
    (model.*set)(typed);
    sync();
    field->setCursorPosition(std::max(0, cursor - int(typed.size() - field->text().size())));
}

void ConfigEditor::useZoneTools(ZoneTools &tools) { tools.add(*zones); }

void ConfigEditor::startUp()
{
    model.startUp();
    sync();
    // Until the first read-mode change only the key and name panel shows, empty.
    blockPanel->hide();
    zonePanel->hide();
    keyPanel->show();
    bankPart->hide();
    blePart->hide();
}

void ConfigEditor::chooseColour(int index)
{
    const std::optional<QColor> chosen = m_dialogs.chooseColor(lastChosenColour);
    if (!chosen)
        return;
    lastChosenColour = *chosen;
    model.setColour(index, reducedColour(*chosen));
    sync();
}

void ConfigEditor::sync()
{
    m_syncing = true;
    const ReaderConfig &c = model.config();
    const EditorView &v = model.view();
    wiegandType->setCurrentIndex(c.wiegandType);
    widthMode->setCurrentIndex(c.widthMode == WidthMode::User ? 1 : 0);
    width->setValue(c.wiegandWidth);
    width->setVisible(model.widthShown());
    widthNote->setText(model.note());
    widthNote->setVisible(model.noteShown());
    readMode->setCurrentIndex(int(c.readMode));
    readMode->setEnabled(v.readModeEnabled);

    if (formats->count() != int(v.formatEntries.size())
        || (formats->count() > 0 && formats->item(0)->text() != QString::fromUtf8(v.formatEntries[0].text))) {
        formats->clear();
        for (const CardFormat &f : v.formatEntries) {
            auto *item = new QListWidgetItem(QString::fromUtf8(f.text), formats);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        }
    }
    const std::vector<bool> checks = model.formatChecks();
    for (int i = 0; i < formats->count(); ++i)
        formats->item(i)->setCheckState(checks[size_t(i)] ? Qt::Checked : Qt::Unchecked);
    // The list shows the highlight the model remembers, none after a refill.
    if (formats->currentRow() != v.highlightedFormat)
        formats->setCurrentRow(v.highlightedFormat);
    if (v.highlightedFormat < 0)
        formats->clearSelection();

    conversion->setVisible(v.convGroup);
    reversed->setChecked(c.conversion == 1);
    hash->setChecked(c.conversion == 2);
    shift->setRange(0, model.shiftMax());
    shift->setValue(c.bitShift);
    significantBits->setRange(1, model.significantBitsMax());
    significantBits->setValue(c.significantBits);
    for (QWidget *w : {static_cast<QWidget *>(reversed), static_cast<QWidget *>(shift),
                       static_cast<QWidget *>(significantBits), static_cast<QWidget *>(shiftLabel),
                       static_cast<QWidget *>(bitsLabel)})
        w->setEnabled(model.conversionEnabled());

    blockPanel->setVisible(v.blockPanel);
    blockNumber->setValue(c.blockNumber);
    blockOffset->setValue(c.blockOffset);
    blockCount->setValue(c.blockCount);
    if (blockKey->text() != c.blockKey)
        blockKey->setText(c.blockKey);
    keyPanel->setVisible(v.keyPanel);
    bankPart->setVisible(v.bankPart);
    blePart->setVisible(v.blePart);
    bankDefault->setChecked(c.bankKeyMode == BankKeyMode::Default);
    bankUser->setChecked(c.bankKeyMode == BankKeyMode::User);
    bankKey->setEnabled(c.bankKeyMode == BankKeyMode::User);
    if (bankKey->text() != c.bankKey)
        bankKey->setText(c.bankKey);
    if (bleName->text() != c.bleName)
        bleName->setText(c.bleName);
    zonePanel->setVisible(v.zonePanel);
    zones->setChecks(c.zones);
    pulse->setValue(c.pulse / 10.0);
    for (size_t i = 0; i < 4; ++i)
        leds[i]->setColour(c.ledColours[i], model.ledCaption(int(i)));
    m_syncing = false;
    Q_EMIT synced();
}

} // namespace limra

#include "moc_configeditor.cpp"
