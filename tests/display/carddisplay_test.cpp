// The card display end to end: cards presented at the simulated reader on a
// pseudo-terminal reach the display, the clipboard and the keyboard.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "common/texts.h"
#include "common/ui/elidedlabel.h"
#include "display/ui/carddisplay.h"
#include "display/ui/templateeditor.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "tests/support/children.h"
#include "tests/support/faketray.h"
#include "tests/support/recordingkeys.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

class CardDisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.plugged);
        ASSERT_TRUE(session.open(sim.port()));
        QObject::connect(&link, &ReaderLink::identifierRead, &presenter, &CardPresenter::identifierRead);
        QObject::connect(&link, &ReaderLink::cardInfoRead, &presenter, &CardPresenter::cardInfoRead);
        presenter.setStarted();
        presenter.options.clipboard = [this] { return toClipboard; };
        presenter.options.typing = [this] { return typing; };
        presenter.options.newline = [this] { return newline; };
        presenter.options.toolActive = [this] { return active; };
    }
    // Presents a card and waits until the display shows something new.
    void present(IdKind kind, const QString &id)
    {
        const int before = reads;
        sim.model->presentCard(kind, id);
        ASSERT_TRUE(waitUntil([&] { return reads > before; }));
    }
    QColor stripColour() const
    {
        return child<ElidedLabel>(display, "identifier")->parentWidget()->palette().color(QPalette::Window);
    }
    // The kind labels in their order: UID, Phone ID, MIR, Nonunique UID, Random UID.
    QColor kindColour(int i) const
    {
        static const char *const kKindLabels[] = {"kindLabelUID", "kindLabelPhoneID", "kindLabelMIR",
                                                  "kindLabelNonuniqueUID", "kindLabelRandomUID"};
        return child<QLabel>(display, kKindLabels[i])->palette().color(QPalette::WindowText);
    }

    SimReader sim;
    ReaderLink link;
    ReaderSession session{link, [] { return std::make_unique<QtSerialPort>(); }};
    FakeClipboard clipboard;
    RecordingKeys keys;
    CardPresenter presenter{&clipboard, &keys};
    CardDisplay display{presenter};
    int reads = 0;
    bool toClipboard = false, typing = false, newline = false, active = true;

    CardDisplayTest()
    {
        QObject::connect(&link, &ReaderLink::identifierRead, [this](const QString &, IdKind) { ++reads; });
    }
};

} // namespace

struct KindCase {
    const char *name;
    IdKind kind;
    int label; // index of the kind label
    QRgb colour;
};

class KindColours : public CardDisplayTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(KindColours, EachKindHasItsColourAndLabel)
{
    present(GetParam().kind, QStringLiteral("00FF"));
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), QStringLiteral("255"));
    EXPECT_EQ(stripColour().rgb(), GetParam().colour);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(kindColour(i), i == GetParam().label ? QColor(Qt::black) : QColor(0xC0, 0xC0, 0xC0)) << i;
}

INSTANTIATE_TEST_SUITE_P(Kinds, KindColours, ::testing::Values(
    KindCase{"uid", IdKind::Uid, 0, qRgb(0xFF, 0xFF, 0xFF)},
    KindCase{"phone", IdKind::PhoneId, 1, qRgb(0xBF, 0xFF, 0xBF)},
    KindCase{"mir", IdKind::Mir, 2, qRgb(0xD7, 0xF3, 0xFF)},
    KindCase{"nonunique", IdKind::NonuniqueUid, 3, qRgb(0xFF, 0xFF, 0xC4)},
    KindCase{"random", IdKind::RandomUid, 4, qRgb(0xFF, 0xB9, 0xB9)}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(CardDisplayTest, DecHexSwitchingAndClipboard)
{
    toClipboard = true;
    present(IdKind::Uid, QStringLiteral("00FF"));
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), QStringLiteral("255"));
    child<QRadioButton>(display, "hexChoice")->click();
    present(IdKind::Uid, QStringLiteral("00FF"));
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), QStringLiteral("00FF"));
    child<QRadioButton>(display, "decChoice")->click();
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), QStringLiteral("255"));
    child<QRadioButton>(display, "hexChoice")->click();
    // The identifier read comes back as the reader sent it, as the card log
    // has it: its leading zeros are its bytes.
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), QStringLiteral("00FF"));
    EXPECT_EQ(clipboard.texts, (QStringList{QStringLiteral("255"), QStringLiteral("00FF")}));
    present(IdKind::Uid, QStringLiteral("1122334455667788AA"));
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), QStringLiteral("1122334455667788AA"));
    child<QRadioButton>(display, "decChoice")->click();
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(),
              QStringLiteral("1234605616436508552")); // first 16 digits
    child<QRadioButton>(display, "hexChoice")->click();
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(),
              QStringLiteral("1122334455667788")); // no more than the number held
    present(IdKind::Uid, QStringLiteral("04A1B2C3D4E5F6"));
    child<QRadioButton>(display, "decChoice")->click();
    child<QRadioButton>(display, "hexChoice")->click();
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(),
              QStringLiteral("04A1B2C3D4E5F6")); // 14 digits, not 13
}

TEST_F(CardDisplayTest, CstChoiceUsesTheEditorAndKeepsTheShownText)
{
    QString sampleSeen;
    presenter.openTemplateEditor = [&](const QString &sample) {
        sampleSeen = sample;
        presenter.activeTemplate = QStringLiteral("dec(b1)-b2");
    };
    child<QRadioButton>(display, "hexChoice")->click();
    present(IdKind::Uid, QStringLiteral("04A1B2C3"));
    child<QRadioButton>(display, "templateChoice")->click();
    EXPECT_EQ(sampleSeen, QStringLiteral("04A1B2C3"));
    EXPECT_EQ(presenter.view(), CardPresenter::View::Template);
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), QStringLiteral("04A1B2C3")); // not re-rendered
    present(IdKind::Uid, QStringLiteral("04A1B2C3"));
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), QStringLiteral("195-B2"));
    child<QRadioButton>(display, "decChoice")->click();
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), QStringLiteral("195-B2")); // a CST text stays
}

TEST_F(CardDisplayTest, CstWithoutATemplateFallsBackToDec)
{
    presenter.openTemplateEditor = [](const QString &) {};
    present(IdKind::Uid, QStringLiteral("FF"));
    QString sampleSeen;
    presenter.openTemplateEditor = [&](const QString &s) { sampleSeen = s; };
    child<QRadioButton>(display, "templateChoice")->click();
    EXPECT_EQ(sampleSeen, QStringLiteral("FF")); // 255 shown in DEC, back to hex
    EXPECT_EQ(presenter.view(), CardPresenter::View::Dec);
    EXPECT_TRUE(child<QRadioButton>(display, "decChoice")->isChecked());
}

// Escape in the template editor with no template yet: the view shown before
// is checked again and the display still shows its digits.
TEST_F(CardDisplayTest, ACancelledTemplateChoiceGoesBackToTheViewShown)
{
    presenter.openTemplateEditor = [](const QString &) {};
    struct Row {
        QRadioButton *choice;
        CardPresenter::View view;
        QString shown;
    };
    for (const Row &row :
         {Row{child<QRadioButton>(display, "hexChoice"), CardPresenter::View::Hex, QStringLiteral("04A1B2C3")},
          Row{child<QRadioButton>(display, "decChoice"), CardPresenter::View::Dec, QStringLiteral("77705923")}}) {
        row.choice->click();
        present(IdKind::Uid, QStringLiteral("04A1B2C3"));
        child<QRadioButton>(display, "templateChoice")->click();
        EXPECT_EQ(presenter.view(), row.view) << qPrintable(row.shown);
        EXPECT_TRUE(row.choice->isChecked()) << qPrintable(row.shown);
        EXPECT_FALSE(child<QRadioButton>(display, "templateChoice")->isChecked());
        EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), row.shown);
    }
}

TEST_F(CardDisplayTest, CardInformationBlinks)
{
    sim.model->sendCardInfo(2, 2, 1024, 1);
    EXPECT_TRUE(waitUntil([&] { return !child<ElidedLabel>(display, "cardType")->fullText().isEmpty(); }));
    EXPECT_EQ(child<ElidedLabel>(display, "cardType")->fullText(), QStringLiteral("Mifare Classic"));
    EXPECT_EQ(child<ElidedLabel>(display, "cardSecurity")->fullText(), QStringLiteral("SL1"));
    EXPECT_EQ(child<ElidedLabel>(display, "cardMemory")->fullText(), QStringLiteral("1K 17пФ"));
    EXPECT_EQ(child<ElidedLabel>(display, "cardType")->palette().color(QPalette::WindowText), QColor(0xE9, 0xE9, 0xE9));
    EXPECT_TRUE(waitUntil(
        [&] {
            return child<ElidedLabel>(display, "cardType")->palette().color(QPalette::WindowText) ==
                   QColor(0x80, 0x80, 0x80);
        },
        500));
}

TEST_F(CardDisplayTest, IndicatorStaysLitUntil100msAfterTheLastRead)
{
    present(IdKind::Uid, QStringLiteral("01"));
    EXPECT_TRUE(display.indicatorLit());
    // Read from timers of our own: they take their turns with the display's
    // by when each falls due. The light goes by the clock, so a machine that
    // held the loop up past its time since the second read shows nothing.
    ASSERT_TRUE(waitPastTimer(60));
    present(IdKind::Uid, QStringLiteral("02"));
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    bool litThen = false; // 60 ms after the second read, 120 ms after the first
    qint64 readAt = 0;
    ASSERT_TRUE(waitPastTimer(60, [&] {
        litThen = display.indicatorLit();
        readAt = sinceSecond.elapsed();
    }));
    if (readAt < Timings().cardBlink) {
        EXPECT_TRUE(litThen); // restarted by the second read
    }
    EXPECT_TRUE(waitUntil([&] { return !display.indicatorLit(); }, 500));
}

struct TypingCase {
    const char *name;
    int view;
    const char *id;
    bool caps;
    bool newline;
    QStringList events;
};

class Typing : public CardDisplayTest, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(Typing, PressesTheKeysOfTheShownText)
{
    const TypingCase &c = GetParam();
    typing = true;
    active = false;
    newline = c.newline;
    keys.caps = c.caps;
    presenter.activeTemplate = QStringLiteral("x-b1;");
    presenter.setView(CardPresenter::View(c.view));
    present(IdKind::Uid, QString::fromLatin1(c.id));
    EXPECT_TRUE(waitUntil([&] { return !presenter.typist().busy(); }));
    EXPECT_EQ(keys.events, c.events);
}

INSTANTIATE_TEST_SUITE_P(Views, Typing, ::testing::Values(
    TypingCase{"dec_no_language_switch", 1, "1F", false, true, {"3", "1", "enter"}},
    // Caps Lock is the injector's to handle: the keys asked for are the same.
    TypingCase{"hex_caps_off", 2, "1AF", false, false, {"latin", "1", "A", "F", "restore"}},
    TypingCase{"hex_caps_on", 2, "1AF", true, false, {"latin", "1", "A", "F", "restore"}},
    TypingCase{"cst_characters_as_themselves", 3, "1AF", false, true,
               {"latin", "char x", "char -", "char A", "char F", "char ;", "restore", "enter"}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(CardDisplayTest, NothingTypedWhileTheWindowIsActiveButClipboardSet)
{
    typing = true;
    toClipboard = true;
    active = true;
    present(IdKind::Uid, QStringLiteral("01"));
    EXPECT_TRUE(keys.events.isEmpty());
    EXPECT_EQ(clipboard.texts, QStringList{QStringLiteral("1")});
    keys.present = false; // no X display: nothing typed, nothing shown
    CardPresenter withoutKeys(&clipboard, &keys);
    withoutKeys.setStarted();
    withoutKeys.options = presenter.options;
    active = false;
    withoutKeys.identifierRead(QStringLiteral("02"), IdKind::Uid);
    EXPECT_FALSE(withoutKeys.typist().busy());
    EXPECT_TRUE(keys.events.isEmpty());
}

namespace {
// The template editor's nibble fields, n82 to n11.
QList<QLineEdit *> nibbleFields(const TemplateEditor &editor)
{
    QList<QLineEdit *> fields;
    for (int byte = 8; byte >= 1; --byte)
        for (int half = 2; half >= 1; --half)
            fields << child<QLineEdit>(editor, QStringLiteral("nibbleN%1%2").arg(byte).arg(half));
    return fields;
}
} // namespace

TEST(TemplateEditorTest, SampleFillsNibblesAndUseNeedsAnAppliedTemplate)
{
    TemplateEditor editor;
    editor.show();
    editor.setSample(QStringLiteral("04A1B2C3"));
    QString nibbles;
    for (QLineEdit *n : nibbleFields(editor))
        nibbles += n->text();
    EXPECT_EQ(nibbles, QStringLiteral("0000000004A1B2C3"));
    child<QLineEdit>(editor, "sample")->setText(QStringLiteral("ab-Z1")); // pasted: filtered, upper case
    EXPECT_EQ(child<QLineEdit>(editor, "sample")->text(), QStringLiteral("AB1"));
    EXPECT_EQ(editor.templateText(), kDefaultTemplate);
    EXPECT_FALSE(child<QPushButton>(editor, "useButton")->isEnabled());
    child<QLineEdit>(editor, "templateField")->setText(QStringLiteral("dec(b1"));
    child<QPushButton>(editor, "applyButton")->click();
    EXPECT_EQ(child<QLineEdit>(editor, "result")->text(), QStringLiteral("error"));
    EXPECT_FALSE(child<QPushButton>(editor, "useButton")->isEnabled());
    child<QLineEdit>(editor, "templateField")->setText(QStringLiteral("dec(b1)"));
    child<QPushButton>(editor, "applyButton")->click();
    EXPECT_EQ(child<QLineEdit>(editor, "result")->text(), QStringLiteral("177"));
    EXPECT_TRUE(child<QPushButton>(editor, "useButton")->isEnabled());
    child<QLineEdit>(editor, "templateField")->setText(QStringLiteral("dec(b1) "));
    EXPECT_FALSE(child<QPushButton>(editor, "useButton")->isEnabled()); // changed since applied
    child<QLineEdit>(editor, "templateField")
        ->setText(QStringLiteral("ф dec(b1)")); // pasted non-ASCII empties the field
    EXPECT_TRUE(child<QLineEdit>(editor, "templateField")->text().isEmpty());
    editor.hide();
    editor.show();
    EXPECT_TRUE(child<QLineEdit>(editor, "result")->text().isEmpty());
}

TEST_F(CardDisplayTest, ReportAndIdentifierHandedOverTogetherBothArrive)
{
    // The system may hand the reader's two writes over in one read.
    Q_EMIT sim.model->output(hexToBytes(QStringLiteral("230F0001130815000400000000") + QStringLiteral("0224"))
                             + QByteArray("PhoneID: 0A\r\n"));
    ASSERT_TRUE(waitUntil([&] { return reads > 0; }));
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), QStringLiteral("10"));
    EXPECT_EQ(child<ElidedLabel>(display, "cardType")->fullText(), QStringLiteral("PHONE"));
    EXPECT_EQ(child<ElidedLabel>(display, "cardMemory")->fullText(), QStringLiteral("70пФ"));
}

TEST_F(CardDisplayTest, TheReaderVanishingWhileAnIdentifierIsTypedHarmsNothing)
{
    typing = true;
    active = false;
    QObject::connect(&session, &ReaderSession::portLost, [this] { session.dropConnection(); });
    presenter.setView(CardPresenter::View::Hex);
    present(IdKind::Uid, QStringLiteral("0102030405060708090A0B0C0D0E0F"));
    ASSERT_TRUE(presenter.typist().busy());
    sim.host->unplug(); // the port fails while keys are still being typed
    EXPECT_TRUE(waitUntil([&] { return !session.hasPort(); }));
    EXPECT_TRUE(waitUntil([&] { return !presenter.typist().busy(); }));
    EXPECT_EQ(keys.events.size(), 32); // the layout switch, 30 keys, the layout back
    EXPECT_EQ(keys.events.last(), QStringLiteral("restore"));
}

TEST(TemplateEditorSample, KeepsTheRightEndOfALongIdentifier)
{
    TemplateEditor editor;
    editor.setSample(QStringLiteral("1122334455667788AA"));
    EXPECT_EQ(child<QLineEdit>(editor, "sample")->text(), QStringLiteral("22334455667788AA"));
    for (QLineEdit *n : nibbleFields(editor))
        EXPECT_EQ(n->focusPolicy(), Qt::NoFocus); // shown, not Tab stops
}

TEST_F(CardDisplayTest, ALongIdentifierShrinksThenShowsAnEllipsisAndTheWholeTextAsTooltip)
{
    display.resize(926, 85);
    display.show();
    presenter.activeTemplate = QStringLiteral("UID = dec3(n32n31)-dec5(n22n21n12n11) = dec3(b3)-dec5(b2b1) = b4b3b2b1 = dec18(b4b3b2b1)");
    presenter.setView(CardPresenter::View::Template);
    present(IdKind::Uid, QStringLiteral("04A1B2C3"));
    const QString whole = QStringLiteral("UID = 161-45763 = 161-45763 = 04A1B2C3 = 000000000077705923");
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), whole);
    EXPECT_TRUE(child<ElidedLabel>(display, "identifier")->toolTip().startsWith(whole + QLatin1Char('\n')));
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->accessibleName(), whole);
    EXPECT_LT(child<ElidedLabel>(display, "identifier")->font().pixelSize(), 37);
    EXPECT_LE(QFontMetrics(child<ElidedLabel>(display, "identifier")->font())
                  .horizontalAdvance(child<ElidedLabel>(display, "identifier")->text()),
              child<ElidedLabel>(display, "identifier")->contentsRect().width());
    sim.model->sendCardInfo(9, 2, 1024, 1);
    EXPECT_TRUE(waitUntil([&] { return !child<ElidedLabel>(display, "cardType")->fullText().isEmpty(); }));
    EXPECT_EQ(child<ElidedLabel>(display, "cardType")->fullText(), QStringLiteral("SmartMX с Mifare Classic"));
    EXPECT_TRUE(child<ElidedLabel>(display, "cardType")->text().endsWith(QChar(0x2026)) ||
                child<ElidedLabel>(display, "cardType")->text() == child<ElidedLabel>(display, "cardType")->fullText());
    EXPECT_EQ(child<ElidedLabel>(display, "cardType")->toolTip(), QStringLiteral("SmartMX с Mifare Classic"));
}

TEST_F(CardDisplayTest, ATemplateTextShowsAsTypedNeverAsMarkup)
{
    presenter.activeTemplate = QStringLiteral("<b>b1</b><br>b2");
    presenter.setView(CardPresenter::View::Template);
    present(IdKind::Uid, QStringLiteral("04A1B2C3"));
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->fullText(), QStringLiteral("<b>C3</b><br>B2"));
    ElidedLabel oneLine;
    oneLine.setFont(child<ElidedLabel>(display, "identifier")->font());
    oneLine.setFullText(QStringLiteral("C3B2"));
    EXPECT_EQ(child<ElidedLabel>(display, "identifier")->sizeHint().height(),
              oneLine.sizeHint().height()); // no line break, no bold
}

TEST_F(CardDisplayTest, TheIdentifierCanBeSelectedWithTheMouseAlsoAfterNewCards)
{
    display.resize(926, 85);
    display.show();
    present(IdKind::Uid, QStringLiteral("04A1B2C3"));
    present(IdKind::Uid, QStringLiteral("04A1B2C4"));
    QLabel *id = child<ElidedLabel>(display, "identifier");
    const QPoint from(id->width() / 2 - 120, id->height() / 2), to(id->width() / 2 + 120, id->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, from, id->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(id, &press);
    QMouseEvent move(QEvent::MouseMove, to, id->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(id, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, id->mapToGlobal(to), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(id, &release);
    EXPECT_EQ(id->selectedText(), QStringLiteral("77705924"));
    present(IdKind::Uid, QStringLiteral("04A1B2C5"));
    EXPECT_FALSE(id->hasSelectedText()); // a new card ends the selection
}

TEST_F(CardDisplayTest, ADoubleClickOnTheIdentifierOpensTheLogAndSelectsNothing)
{
    display.resize(926, 85);
    display.show();
    present(IdKind::Uid, QStringLiteral("04A1B2C3"));
    EXPECT_TRUE(child<ElidedLabel>(display, "identifier")->toolTip().contains(texts::kCardLogHint));
    QSignalSpy opened(&display, &CardDisplay::cardLogRequested);
    QTest::mouseDClick(child<ElidedLabel>(display, "identifier"), Qt::LeftButton, {},
                       child<ElidedLabel>(display, "identifier")->rect().center());
    EXPECT_EQ(opened.size(), 1);
    EXPECT_FALSE(child<ElidedLabel>(display, "identifier")->hasSelectedText());
}

// Without a mouse and without a tray: Ctrl+L, and the identifier's context
// menu, whose entry shows the shortcut the tooltip names.
TEST_F(CardDisplayTest, TheCardLogOpensFromTheKeyboardAndFromTheIdentifiersMenu)
{
    display.resize(926, 85);
    display.show();
    QApplication::setActiveWindow(&display);
    QSignalSpy opened(&display, &CardDisplay::cardLogRequested);
    QTest::keyClick(&display, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(opened.size(), 1);
    EXPECT_TRUE(child<ElidedLabel>(display, "identifier")->toolTip().contains(QStringLiteral("Ctrl+L")));
    EXPECT_EQ(child<QAction>(display, "cardLogAction")->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
    Q_EMIT child<ElidedLabel>(display, "identifier")
        ->customContextMenuRequested(child<ElidedLabel>(display, "identifier")->rect().center());
    ASSERT_TRUE(waitUntil([&] { return child<QMenu>(display, "identifierMenu")->isVisible(); }));
    child<QMenu>(display, "identifierMenu")->actions().value(0)->trigger();
    EXPECT_EQ(opened.size(), 2);
    child<QMenu>(display, "identifierMenu")->hide();
}

TEST_F(CardDisplayTest, AScreenReaderHearsTheIdentifiersValueLabelledByItsCaption)
{
    present(IdKind::Uid, QStringLiteral("00FF"));
    QAccessibleInterface *id = QAccessible::queryAccessibleInterface(child<ElidedLabel>(display, "identifier"));
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->text(QAccessible::Name), QStringLiteral("255"));
    QStringList labels;
    for (const auto &relation : id->relations(QAccessible::Label))
        labels << relation.first->text(QAccessible::Name);
    EXPECT_EQ(labels, QStringList{QStringLiteral("ID карты")});
    sim.model->sendCardInfo(9, 2, 1024, 1);
    ASSERT_TRUE(waitUntil([&] { return !child<ElidedLabel>(display, "cardType")->fullText().isEmpty(); }));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(child<ElidedLabel>(display, "cardType"))->text(QAccessible::Name),
              QStringLiteral("SmartMX с Mifare Classic"));
}

TEST_F(CardDisplayTest, TheLongestCardTypeFitsInTheInfoColumnAndTheIdentifierStaysCentred)
{
    display.resize(926, 85);
    display.show();
    sim.model->sendCardInfo(9, 2, 1024, 1);
    ASSERT_TRUE(waitUntil([&] { return !child<ElidedLabel>(display, "cardType")->fullText().isEmpty(); }));
    EXPECT_EQ(child<ElidedLabel>(display, "cardType")->text(), QStringLiteral("SmartMX с Mifare Classic")); // not cut
    QWidget *strip = child<ElidedLabel>(display, "identifier")->parentWidget()->parentWidget();
    const QRect id = child<ElidedLabel>(display, "identifier")
                         ->geometry()
                         .translated(child<ElidedLabel>(display, "identifier")->parentWidget()->pos());
    EXPECT_EQ(id.left(), strip->width() - 1 - id.right());
}
