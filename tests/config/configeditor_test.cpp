// The editor's controls, offscreen: user actions reach the rules and the
// controls show what the rules decided.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyleOptionComboBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <functional>

#include "config/ui/configeditor.h"
#include "config/ui/configpage.h"
#include "config/ui/hashhelp.h"
#include "config/ui/ledfield.h"
#include "config/ui/zonelist.h"
#include "config/zonenames.h"
#include "platform/folders.h"
#include "tests/support/children.h"
#include "tests/support/configitems.h"
#include "tests/support/environment.h"
#include "tests/support/scripteddialogs.h"

using namespace limra;
using limra::testing::child;
using limra::testing::ScopedEnvironment;
using limra::testing::withCarriedItems;
using limra::testing::ScriptedDialogs;

namespace {

// The LED colour fields in the item's order: idle, LEDG, LEDR, LEDR + LEDG.
LedField *ledField(const QObject &parent, int i)
{
    static const char *const kNames[] = {"idleLed", "greenLed", "redLed", "redGreenLed"};
    return child<LedField>(parent, QLatin1String(kNames[i]));
}

QList<LedField *> ledFields(const QObject &parent)
{
    return {ledField(parent, 0), ledField(parent, 1), ledField(parent, 2), ledField(parent, 3)};
}

class EditorTest : public ::testing::Test {
protected:
    EditorTest()
    {
        editor.startUp();
        editor.show();
    }
    void chooseReadMode(int mode)
    {
        child<QComboBox>(editor, "readMode")->setCurrentIndex(mode);
        Q_EMIT child<QComboBox>(editor, "readMode")->activated(mode);
    }
    void clickFormat(int row)
    {
        QListWidgetItem *item = child<QListWidget>(editor, "formats")->item(row);
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    QList<bool> formatChecks() const
    {
        QList<bool> out;
        for (int i = 0; i < child<QListWidget>(editor, "formats")->count(); ++i)
            out << (child<QListWidget>(editor, "formats")->item(i)->checkState() == Qt::Checked);
        return out;
    }
    ScriptedDialogs dialogs;
    EditorModel model;
    ConfigEditor editor{model, dialogs};
};

} // namespace

TEST_F(EditorTest, StartsWithOnlyTheEmptyKeyPanel)
{
    EXPECT_EQ(child<QListWidget>(editor, "formats")->count(), 7);
    EXPECT_FALSE(child<QWidget>(editor, "keyPanel")->isHidden());
    EXPECT_TRUE(child<QWidget>(editor, "bankPart")->isHidden() && child<QWidget>(editor, "blePart")->isHidden());
    EXPECT_TRUE(child<QWidget>(editor, "blockPanel")->isHidden() && child<QWidget>(editor, "zonePanel")->isHidden());
    EXPECT_EQ(child<QSpinBox>(editor, "significantBits")->value(), 64);
    EXPECT_DOUBLE_EQ(child<QDoubleSpinBox>(editor, "pulse")->value(), 0.3);
}

struct PanelCase {
    int mode;
    bool block, key, zone, conversion, bank;
    int entries;
};

class ReadModePanels : public EditorTest, public ::testing::WithParamInterface<PanelCase> {};

TEST_P(ReadModePanels, ShowTheirControls)
{
    const PanelCase &c = GetParam();
    chooseReadMode((c.mode + 1) % 4); // picking the mode already chosen changes nothing
    chooseReadMode(c.mode);
    EXPECT_EQ(!child<QWidget>(editor, "blockPanel")->isHidden(), c.block);
    EXPECT_EQ(!child<QWidget>(editor, "keyPanel")->isHidden(), c.key);
    EXPECT_EQ(!child<QWidget>(editor, "zonePanel")->isHidden(), c.zone);
    EXPECT_EQ(!child<QGroupBox>(editor, "conversion")->isHidden(), c.conversion);
    EXPECT_EQ(!child<QWidget>(editor, "bankPart")->isHidden(), c.bank);
    EXPECT_EQ(child<QListWidget>(editor, "formats")->count(), c.entries);
}

INSTANTIATE_TEST_SUITE_P(Modes, ReadModePanels, ::testing::Values(
    PanelCase{0, false, true, false, true, true, 7}, PanelCase{1, false, true, false, true, false, 2},
    PanelCase{2, true, false, false, true, false, 1}, PanelCase{3, false, false, true, false, false, 1}));

TEST_F(EditorTest, FormatClicksFollowThePairingRule)
{
    chooseReadMode(1);
    EXPECT_EQ(formatChecks(), (QList<bool>{false, true}));
    clickFormat(0);
    EXPECT_EQ(formatChecks(), (QList<bool>{true, false}));
    chooseReadMode(0);
    for (int i = 0; i < 6; ++i)
        clickFormat(i);
    EXPECT_EQ(child<QSpinBox>(editor, "shift")->maximum(), 23);
    EXPECT_EQ(child<QSpinBox>(editor, "significantBits")->value(), 24);
}

TEST_F(EditorTest, WidthShiftAndBitCountThroughTheirFields)
{
    child<QComboBox>(editor, "widthMode")->setCurrentIndex(1);
    Q_EMIT child<QComboBox>(editor, "widthMode")->activated(1);
    EXPECT_FALSE(child<QSpinBox>(editor, "width")->isHidden());
    child<QSpinBox>(editor, "significantBits")->setValue(24);
    child<QSpinBox>(editor, "shift")->setValue(8);
    child<QSpinBox>(editor, "width")->setValue(26);
    EXPECT_EQ(child<QSpinBox>(editor, "shift")->value(), 0);
    EXPECT_EQ(child<QSpinBox>(editor, "significantBits")->value(), 26);
    EXPECT_EQ(child<QLabel>(editor, "widthNote")->text(), QStringLiteral("+ CRC = 28 бит"));
    child<QComboBox>(editor, "wiegandType")->setCurrentIndex(1);
    Q_EMIT child<QComboBox>(editor, "wiegandType")->activated(1);
    EXPECT_EQ(child<QLabel>(editor, "widthNote")->text(), QStringLiteral("бит"));
}

TEST_F(EditorTest, HashGreysOutShiftAndBits)
{
    child<QCheckBox>(editor, "reversed")->click();
    child<QCheckBox>(editor, "hash")->click();
    EXPECT_FALSE(child<QCheckBox>(editor, "reversed")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(editor, "reversed")->isEnabled() || child<QSpinBox>(editor, "shift")->isEnabled() ||
                 child<QLabel>(editor, "bitsLabel")->isEnabled());
    child<QCheckBox>(editor, "hash")->click();
    EXPECT_TRUE(child<QSpinBox>(editor, "shift")->isEnabled() && child<QCheckBox>(editor, "reversed")->isEnabled());
    EXPECT_FALSE(child<QCheckBox>(editor, "reversed")->isChecked());
}

TEST_F(EditorTest, KeyFieldsFilterTypedAndPastedText)
{
    chooseReadMode(2);
    child<QLineEdit>(editor, "blockKey")->clear();
    child<QLineEdit>(editor, "blockKey")->insert(QStringLiteral("a G-1f"));
    EXPECT_EQ(child<QLineEdit>(editor, "blockKey")->text(), QStringLiteral("A1F"));
    EXPECT_EQ(editor.model.config().blockKey, QStringLiteral("A1F"));
    model.buildItems(ConfigPlace::File);
    editor.sync();
    EXPECT_EQ(child<QLineEdit>(editor, "blockKey")->text(), QString(29, QLatin1Char('0')) + QStringLiteral("A1F"));
    model.readerKind = [] { return ReaderKind::Ble; };
    chooseReadMode(0);
    child<QLineEdit>(editor, "bleName")->insert(QStringLiteral("Вход 1-A"));
    EXPECT_EQ(child<QLineEdit>(editor, "bleName")->text(), QStringLiteral("1-A"));
}

TEST_F(EditorTest, BankKeyFieldOnlyForTheUserKey)
{
    chooseReadMode(0);
    EXPECT_FALSE(child<QLineEdit>(editor, "bankKey")->isEnabled());
    child<QRadioButton>(editor, "bankUser")->click();
    EXPECT_TRUE(child<QLineEdit>(editor, "bankKey")->isEnabled());
    child<QRadioButton>(editor, "bankDefault")->click();
    EXPECT_FALSE(child<QLineEdit>(editor, "bankKey")->isEnabled());
}

// Assistive technology (AT-SPI through Qt's accessibility bridge) sets values
// without a click: a check box through its toggle action, a selector's
// index, a field's text. Each is a change of the configuration, and the
// editor holds something unsaved.
struct ValueSetRow {
    const char *name;
    int readMode;
    std::function<void(ConfigEditor &)> set;
    std::function<bool(const ReaderConfig &)> changed;
};

class ValueSetWithoutAClick : public ::testing::TestWithParam<ValueSetRow> {};

void toggleAsAssistiveTechnology(QAbstractButton *button)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
    ASSERT_TRUE(accessible && accessible->actionInterface());
    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
}

TEST_P(ValueSetWithoutAClick, ChangesTheConfigurationAndMarksItUnsaved)
{
    ScriptedDialogs dialogs;
    EditorModel model;
    ConfigEditor editor{model, dialogs};
    editor.startUp();
    child<QComboBox>(editor, "readMode")->setCurrentIndex(GetParam().readMode);
    model.markClean();
    ASSERT_FALSE(model.isDirty());
    QSignalSpy synced(&editor, &ConfigEditor::synced);
    GetParam().set(editor);
    EXPECT_TRUE(GetParam().changed(model.config())) << GetParam().name;
    EXPECT_TRUE(model.isDirty()) << GetParam().name;
    EXPECT_FALSE(synced.isEmpty()) << GetParam().name; // the window's unsaved mark follows this
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ValueSetWithoutAClick,
    ::testing::Values(
        ValueSetRow{"reversed_byte_order", 0,
                    [](ConfigEditor &e) { toggleAsAssistiveTechnology(child<QCheckBox>(e, "reversed")); },
                    [](const ReaderConfig &c) { return c.conversion == 1; }},
        ValueSetRow{"hash", 0, [](ConfigEditor &e) { toggleAsAssistiveTechnology(child<QCheckBox>(e, "hash")); },
                    [](const ReaderConfig &c) { return c.conversion == 2; }},
        ValueSetRow{"user_bank_key", 0,
                    [](ConfigEditor &e) { toggleAsAssistiveTechnology(child<QRadioButton>(e, "bankUser")); },
                    [](const ReaderConfig &c) { return c.bankKeyMode == BankKeyMode::User; }},
        ValueSetRow{"wiegand_type", 0, [](ConfigEditor &e) { child<QComboBox>(e, "wiegandType")->setCurrentIndex(1); },
                    [](const ReaderConfig &c) { return c.wiegandType == 1; }},
        ValueSetRow{"width_mode", 0, [](ConfigEditor &e) { child<QComboBox>(e, "widthMode")->setCurrentIndex(1); },
                    [](const ReaderConfig &c) { return c.widthMode == WidthMode::User; }},
        ValueSetRow{"read_mode", 0, [](ConfigEditor &e) { child<QComboBox>(e, "readMode")->setCurrentIndex(2); },
                    [](const ReaderConfig &c) { return c.readMode == ReadMode::BlockCode; }},
        ValueSetRow{"block_key_text", 2,
                    [](ConfigEditor &e) { child<QLineEdit>(e, "blockKey")->setText(QStringLiteral("abc")); },
                    [](const ReaderConfig &c) { return c.blockKey == QStringLiteral("ABC"); }},
        ValueSetRow{"significant_bits", 0, [](ConfigEditor &e) { child<QSpinBox>(e, "significantBits")->setValue(24); },
                    [](const ReaderConfig &c) { return c.significantBits == 24; }}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(EditorTest, ColourDialogStartsFromTheLastChosenColour)
{
    dialogs.colours.enqueue(QColor(18, 52, 86));
    ledField(editor, 1)->click();
    EXPECT_EQ(dialogs.lastInitialColour, QColor(Qt::black));
    EXPECT_EQ(ledField(editor, 1)->colour(), QColor(16, 52, 80));
    EXPECT_EQ(editor.model.record().ledColours[1], QColor(16, 52, 80));
    ledField(editor, 3)->click(); // cancelled: nothing changes
    EXPECT_EQ(dialogs.lastInitialColour, QColor(18, 52, 86));
    EXPECT_EQ(ledField(editor, 3)->colour(), QColor(255, 128, 0));
}

class ZoneToolsTest : public ::testing::Test {
protected:
    ZoneToolsTest()
    {
        tools.add(config);
        tools.add(secure);
        tools.fillNameSources();
    }
    // Answers the bit-string dialog with `text`.
    void answerBits(const QString &text)
    {
        QTimer::singleShot(0, [this, text] {
            child<QLineEdit>(child<ZoneBitsDialog>(window, "zoneBitsDialog"), "bits")->setText(text);
            child<ZoneBitsDialog>(window, "zoneBitsDialog")->accept();
        });
    }
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    QWidget window;
    ZoneList config{ZoneList::Names::Editable};
    ZoneList secure{ZoneList::Names::Fixed};
    ZoneTools tools{dialogs, dir.path(), &window};
};

TEST_F(ZoneToolsTest, BitStringSetsEveryZoneAndRefusesBadStrings)
{
    child<QToolButton>(config, "allButton")->click();
    answerBits(QStringLiteral(" 101 "));
    tools.editBits(&config);
    const ZoneChecks c = config.checks();
    EXPECT_TRUE(c[0] && !c[1] && c[2] && !c[3] && !c[63]);
    answerBits(QString(65, QLatin1Char('1')));
    tools.editBits(&config);
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Неверная строка."));
    EXPECT_EQ(config.checks(), c);
    answerBits(QStringLiteral("12"));
    tools.editBits(&secure);
    EXPECT_EQ(dialogs.shown.size(), 2);
}

TEST_F(ZoneToolsTest, SavedNamesAppearInBothListsAndLoadAgain)
{
    child<QTableWidget>(config, "zoneGrid")->item(0, 2)->setText(QStringLiteral("Склад"));
    dialogs.files.enqueue(dir.filePath(QStringLiteral("office.znm")));
    tools.saveNames();
    EXPECT_EQ(child<QComboBox>(config, "nameSources")->currentText(), QStringLiteral("office.znm"));
    EXPECT_EQ(child<QComboBox>(secure, "nameSources")->currentText(), QStringLiteral("office.znm"));
    child<QComboBox>(secure, "nameSources")->setCurrentIndex(1);
    Q_EMIT child<QComboBox>(secure, "nameSources")->activated(1);
    EXPECT_EQ(secure.names().first(), QStringLiteral("Склад"));
    child<QComboBox>(secure, "nameSources")->setCurrentIndex(0);
    Q_EMIT child<QComboBox>(secure, "nameSources")->activated(0);
    EXPECT_EQ(secure.names().first(), standardZoneName(1));
}

TEST_F(ZoneToolsTest, TheSaveButtonShowsTheToolsOwnPicture)
{
    const QIcon icon = child<QToolButton>(config, "saveNamesButton")->icon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
    const QImage own(QStringLiteral(":/config/save.png"));
    ASSERT_FALSE(own.isNull());
    EXPECT_EQ(icon.pixmap(QSize(16, 16), 1.0).toImage().convertToFormat(own.format()), own);
}

TEST_F(ZoneToolsTest, TheSaveDialogStartsInTheDocumentsFolderThenWhereTheUserWentLast)
{
    QTemporaryDir home, other;
    ScopedEnvironment env;
    env.set("HOME", home.path());
    env.set("XDG_CONFIG_HOME", home.filePath(QStringLiteral("none")));
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Documents")));
    rememberFileDialogChoice(home.filePath(QStringLiteral("gone/x.znm"))); // a folder that is not there
    tools.saveNames(); // cancelled
    EXPECT_EQ(dialogs.startFolder, home.filePath(QStringLiteral("Documents")));
    dialogs.files.enqueue(other.filePath(QStringLiteral("x.znm")));
    dialogs.answers.enqueue(false); // not saved there after all: not remembered
    tools.saveNames();
    tools.saveNames();
    EXPECT_EQ(dialogs.startFolder, home.filePath(QStringLiteral("Documents")));
    dialogs.files.enqueue(other.filePath(QStringLiteral("x.znm")));
    dialogs.answers.enqueue(true); // saved there
    tools.saveNames();
    tools.saveNames();
    EXPECT_EQ(dialogs.startFolder, other.path());
}

TEST_F(ZoneToolsTest, SavingElsewhereAsksAndMissingSourceFallsBack)
{
    QTemporaryDir other;
    dialogs.files.enqueue(other.filePath(QStringLiteral("x.znm")));
    dialogs.answers.enqueue(false);
    tools.saveNames();
    EXPECT_TRUE(dialogs.shown.last().startsWith(QStringLiteral("question: Предупреждение: ")));
    EXPECT_FALSE(QFile::exists(other.filePath(QStringLiteral("x.znm"))));

    QFile f(dir.filePath(QStringLiteral("gone.znm")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("A\r\nB\r\nC\r\n");
    f.close();
    tools.fillNameSources();
    child<QComboBox>(config, "nameSources")->setCurrentIndex(1);
    Q_EMIT child<QComboBox>(config, "nameSources")->activated(1);
    EXPECT_EQ(config.names().mid(0, 4),
              (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), standardZoneName(4)}));
    QFile::remove(dir.filePath(QStringLiteral("gone.znm")));
    Q_EMIT child<QComboBox>(config, "nameSources")->activated(1);
    EXPECT_EQ(child<QComboBox>(config, "nameSources")->currentIndex(), 0);
    EXPECT_EQ(config.names().first(), QStringLiteral("A")); // names stay
}

TEST_F(EditorTest, NumberFieldsMoveOneStepAndTheWheelNeedsTheFocus)
{
    chooseReadMode(2);
    child<QSpinBox>(editor, "blockNumber")->setFocus();
    QTest::keyClick(child<QSpinBox>(editor, "blockNumber"), Qt::Key_PageUp);
    EXPECT_EQ(model.config().blockNumber, 1); // not 11
    QTest::keyClick(child<QSpinBox>(editor, "blockNumber"), Qt::Key_Up);
    EXPECT_EQ(model.config().blockNumber, 2);
    child<QSpinBox>(editor, "significantBits")->clearFocus();
    QWheelEvent wheel(QPointF(5, 5), child<QSpinBox>(editor, "significantBits")->mapToGlobal(QPointF(5, 5)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(child<QSpinBox>(editor, "significantBits"), &wheel);
    EXPECT_EQ(model.config().significantBits, 64);
    const ReadMode mode = model.config().readMode;
    QWheelEvent wheelOnSelector(QPointF(5, 5), child<QComboBox>(editor, "readMode")->mapToGlobal(QPointF(5, 5)),
                                QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(child<QComboBox>(editor, "readMode"), &wheelOnSelector);
    EXPECT_EQ(model.config().readMode, mode);
}

TEST_F(EditorTest, PickingTheReadModeAlreadyChosenKeepsTheFormatChecks)
{
    chooseReadMode(0);
    clickFormat(0);
    const QList<bool> checks = formatChecks();
    EXPECT_FALSE(checks[0]);
    chooseReadMode(0);
    EXPECT_EQ(formatChecks(), checks);
}

TEST_F(EditorTest, LedCaptionsAreBlackUntilTheirColourChanges)
{
    for (LedField *led : ledFields(editor))
        EXPECT_EQ(led->caption(), QColor(Qt::black)); // the idle blue too
    dialogs.colours.enqueue(QColor(0, 0, 255));
    ledField(editor, 0)->click();
    EXPECT_EQ(ledField(editor, 0)->caption(), QColor(Qt::white));
    EXPECT_EQ(ledField(editor, 2)->caption(), QColor(Qt::black));
    ASSERT_TRUE(model.applyConfig(kDefaultConfigItems, ConfigPlace::Default));
    editor.sync();
    EXPECT_EQ(ledField(editor, 2)->caption(), QColor(Qt::white)); // red: the contrast rule
    EXPECT_EQ(ledField(editor, 1)->caption(), QColor(Qt::black)); // green
}

TEST_F(EditorTest, ARefilledFormatListShowsNoHighlight)
{
    chooseReadMode(1);
    QListWidgetItem *classic = child<QListWidget>(editor, "formats")->item(0);
    const QRect row = child<QListWidget>(editor, "formats")->visualItemRect(classic);
    // A click on the entry's text, beside its check box.
    QTest::mouseClick(child<QListWidget>(editor, "formats")->viewport(), Qt::LeftButton, {},
                      QPoint(row.right() - 10, row.center().y()));
    ASSERT_EQ(model.view().highlightedFormat, 0);
    ASSERT_TRUE(classic->isSelected());
    ASSERT_TRUE(model.applyConfig(withCarriedItems(QStringLiteral("060101") + QStringLiteral("02021000")), ConfigPlace::Reader));
    editor.sync();
    EXPECT_EQ(model.view().highlightedFormat, -1);
    EXPECT_TRUE(child<QListWidget>(editor, "formats")->selectedItems().isEmpty());
    EXPECT_EQ(child<QListWidget>(editor, "formats")->currentRow(), -1);
}

// ---- the tab as a person sees it and moves through it -------------------------

namespace {

class PageTest : public ::testing::Test {
protected:
    PageTest()
    {
        child<ConfigEditor>(page, "configEditor")->startUp();
        // The size the tab has in the main window at its minimum size.
        page.resize(894, 503);
        page.show();
        QApplication::setActiveWindow(&page);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&page));
    }
    void chooseReadMode(int mode)
    {
        child<QComboBox>(child<ConfigEditor>(page, "configEditor"), "readMode")->setCurrentIndex(mode);
        Q_EMIT child<QComboBox>(child<ConfigEditor>(page, "configEditor"), "readMode")->activated(mode);
        QApplication::sendPostedEvents();
    }
    QScrollArea *scroll() const { return page.findChild<QScrollArea *>(); }
    // The focus stops, from the Wiegand type on, as Tab presses reach them.
    QList<QWidget *> tabChain()
    {
        QWidget *first = child<QComboBox>(child<ConfigEditor>(page, "configEditor"), "wiegandType");
        first->setFocus(Qt::TabFocusReason);
        QList<QWidget *> chain{first};
        for (int i = 0; i < 200; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *now = QApplication::focusWidget();
            if (now == first)
                break;
            chain << now;
        }
        return chain;
    }
    ScriptedDialogs dialogs;
    EditorModel model;
    ConfigPage page{model, dialogs};
};

// How far from the widget's left and right edges its darkest drawing (its
// text) stays, in its middle rows.
std::pair<int, int> inkMargins(QWidget *w)
{
    const QImage image = w->grab().toImage();
    int left = image.width(), right = image.width();
    for (int y = image.height() / 3; y < 2 * image.height() / 3; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 90) {
                left = std::min(left, x);
                right = std::min(right, image.width() - 1 - x);
            }
    return {left, right};
}

} // namespace

TEST_F(PageTest, TheEditorTakesTheWidthAndShowsItsControlsWhole)
{
    chooseReadMode(0);
    EXPECT_FALSE(scroll()->horizontalScrollBar()->isVisible());
    // The Wiegand type box shows its whole text.
    QComboBox *type = child<QComboBox>(child<ConfigEditor>(page, "configEditor"), "wiegandType");
    QStyleOptionComboBox option;
    option.initFrom(type);
    option.currentText = type->currentText();
    const QRect field = type->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, type);
    EXPECT_EQ(type->currentText(), QStringLiteral("Wiegand c контрольной суммой CRC"));
    EXPECT_GE(field.width(), type->fontMetrics().horizontalAdvance(type->currentText()));
    // The LED fields and the bank-key field lie within the editor's width.
    for (QWidget *w :
         {static_cast<QWidget *>(ledField(page, 1)), static_cast<QWidget *>(ledField(page, 3)),
          static_cast<QWidget *>(child<QLineEdit>(child<ConfigEditor>(page, "configEditor"), "bankKey"))}) {
        const QRect inView(w->mapTo(scroll()->viewport(), QPoint(0, 0)), w->size());
        EXPECT_LE(inView.right(), scroll()->viewport()->width()) << w->accessibleName().toStdString();
    }
    // No button's text comes near its border.
    for (QPushButton *b : page.findChildren<QPushButton *>()) {
        if (!b->isVisible() || qobject_cast<LedField *>(b))
            continue;
        const auto [left, right] = inkMargins(b);
        EXPECT_GE(left, 6) << b->text().toStdString();
        EXPECT_GE(right, 6) << b->text().toStdString();
    }
}

TEST_F(PageTest, TabReachesEveryControlOnceInReadingOrder)
{
    chooseReadMode(0);
    const QList<QWidget *> chain = tabChain();
    EXPECT_FALSE(chain.contains(scroll()));
    EXPECT_FALSE(chain.contains(child<ConfigEditor>(page, "configEditor")));
    EXPECT_EQ(QSet<QWidget *>(chain.begin(), chain.end()).size(), chain.size()); // one press for each stop
    // The hash option, its help link, the shift: one press each.
    const int hash = int(chain.indexOf(child<QCheckBox>(child<ConfigEditor>(page, "configEditor"), "hash")));
    ASSERT_GE(hash, 0);
    EXPECT_EQ(chain.value(hash + 1), child<HelpLink>(child<ConfigEditor>(page, "configEditor"), "hashLink"));
    EXPECT_EQ(chain.value(hash + 2), child<QSpinBox>(child<ConfigEditor>(page, "configEditor"), "shift"));
    // The LED fields in the order they are read: idle and LEDG, then LEDR and LEDR + LEDG.
    const int idle = int(chain.indexOf(ledField(page, 0)));
    ASSERT_GE(idle, 0);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(chain.value(idle + i), ledField(page, i)) << i;
    QList<QPoint> at;
    for (LedField *led : ledFields(page))
        at << led->mapTo(&page, QPoint(0, 0));
    EXPECT_EQ(at[0].y(), at[1].y());
    EXPECT_LT(at[0].x(), at[1].x());
    EXPECT_LT(at[1].y(), at[2].y());
    EXPECT_EQ(at[2].y(), at[3].y());
    EXPECT_LT(at[2].x(), at[3].x());
}

TEST_F(PageTest, TheHashLinkOpensItsHelpByKeyAndIsGreyWhileDisabled)
{
    // Enter on the link opens the help.
    QTimer::singleShot(0, [] {
        if (auto *help = qobject_cast<HashHelp *>(QApplication::activeModalWidget()))
            help->reject();
    });
    bool opened = false;
    QObject::connect(child<HelpLink>(child<ConfigEditor>(page, "configEditor"), "hashLink"), &HelpLink::clicked,
                     [&opened] { opened = true; });
    child<HelpLink>(child<ConfigEditor>(page, "configEditor"), "hashLink")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(child<HelpLink>(child<ConfigEditor>(page, "configEditor"), "hashLink"), Qt::Key_Return);
    EXPECT_TRUE(opened);

    const QColor link = page.palette().color(QPalette::Link);
    auto linkPixels = [&link](QWidget *w) {
        const QImage image = w->grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += std::abs(c.red() - link.red()) + std::abs(c.green() - link.green()) + std::abs(c.blue() - link.blue()) < 60;
            }
        return n;
    };
    EXPECT_GT(linkPixels(child<HelpLink>(child<ConfigEditor>(page, "configEditor"), "hashLink")), 0);
    page.setEnabled(false); // the tab area while no reader is connected
    EXPECT_EQ(linkPixels(child<HelpLink>(child<ConfigEditor>(page, "configEditor"), "hashLink")), 0);
}

TEST_F(PageTest, TheFocusedLedFieldIsClearlyMarked)
{
    LedField *led = ledField(page, 0);
    ledField(page, 1)->setFocus(Qt::TabFocusReason);
    const QImage plain = led->grab().toImage();
    QTest::keyClick(ledField(page, 1), Qt::Key_Backtab);
    ASSERT_TRUE(led->hasFocus());
    const QImage focused = led->grab().toImage();
    ASSERT_EQ(plain.size(), focused.size());
    // A mark around the field, in a colour far from the field's own.
    int marked = 0;
    const QColor field = led->colour();
    for (int y = 0; y < focused.height(); ++y)
        for (int x = 0; x < focused.width(); ++x) {
            const QColor c = focused.pixelColor(x, y);
            if (focused.pixel(x, y) != plain.pixel(x, y)
                && std::abs(qGray(c.rgb()) - qGray(field.rgb())) > 60)
                ++marked;
        }
    EXPECT_GE(marked, focused.width() + focused.height());
    // The field still shows its colour exactly.
    EXPECT_EQ(focused.pixelColor(6, focused.height() / 2).name(), field.name());
}

// A screen reader hears each LED field by its caption and its colour.
TEST_F(EditorTest, LedFieldsAreHeardWithTheirColour)
{
    dialogs.colours.enqueue(QColor(255, 0, 0));
    ledField(editor, 0)->click();
    EXPECT_EQ(ledField(editor, 0)->accessibleName(),
              QStringLiteral("Цвет светодиодов в режиме ожидания: красный (#F80000)"));
    EXPECT_EQ(colourName(QColor(0, 0xC0, 0x10)), QStringLiteral("зелёный (#00C010)"));
    EXPECT_EQ(colourName(QColor(0, 0, 0)), QStringLiteral("чёрный (#000000)"));
}

// Each group is heard by its own title, not by the group around it.
TEST_F(EditorTest, EachGroupIsHeardByItsOwnTitle)
{
    chooseReadMode(0);
    for (QGroupBox *group : editor.findChildren<QGroupBox *>()) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(group);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(QAccessible::Name), group->title().trimmed()) << qPrintable(group->title());
    }
}
