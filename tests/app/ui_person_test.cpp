// The window as a person sees, hears and uses it: no control drawn over
// another in any tab or dialog, values read out by their values, the keys a
// user presses and what they send to the reader, and a window that stays on
// the screen.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <optional>
#include <QToolButton>

#include "app/ui/mainwindow.h"
#include "app/ui/statusbar.h"
#include "app/ui/windowplacement.h"
#include "common/texts.h"
#include "common/ui/focusstyle.h"
#include "common/ui/elidedlabel.h"
#include "common/ui/mnemonic.h"
#include "common/ui/screenfit.h"
#include "config/ui/configeditor.h"
#include "config/ui/configpage.h"
#include "config/ui/hashhelp.h"
#include "config/ui/keptwindow.h"
#include "config/ui/zonelist.h"
#include "display/ui/carddisplay.h"
#include "display/ui/cardlogwindow.h"
#include "display/ui/templateeditor.h"
#include "firmware/ui/firmwarepage.h"
#include "link/discovery.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "link/trafficlog.h"
#include "link/ui/connectiondialog.h"
#include "link/ui/debugpage.h"
#include "platform/ui/qtdialogs.h"
#include "provisioning/clearingwait.h"
#include "provisioning/mastercardwriting.h"
#include "provisioning/masterconfigwait.h"
#include "provisioning/securecardwait.h"
#include "provisioning/singlecardwait.h"
#include "provisioning/ui/cardwaitdialogs.h"
#include "provisioning/ui/securecardspage.h"
#include "tests/support/children.h"
#include "tests/support/requests.h"
#include "tests/support/shownwindow.h"
#include "tests/support/simreader.h"
#include "tests/support/toolservices.h"

using namespace limra;
using namespace limra::testing;

namespace {

// ---- what overlaps ---------------------------------------------------------------

// The widgets a person reads or operates; their insides (the line edit of a
// spin box, a view's headers) are part of them.
bool isControl(QWidget *w)
{
    if (qobject_cast<QScrollBar *>(w))
        return false;
    if (auto *label = qobject_cast<QLabel *>(w))
        return !label->text().isEmpty() || !label->pixmap().isNull();
    return qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w) || qobject_cast<QLineEdit *>(w)
           || qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QAbstractItemView *>(w)
           || qobject_cast<QProgressBar *>(w) || qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QTabBar *>(w);
}

QString describe(QWidget *w)
{
    QString text;
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        text = b->text();
    else if (auto *l = qobject_cast<QLabel *>(w))
        text = l->text();
    if (text.isEmpty())
        text = w->accessibleName();
    return QString::fromLatin1(w->metaObject()->className()) + QStringLiteral(" «") + text.left(40)
           + QStringLiteral("»");
}

// The controls of a window with the part of each that shows, in the window's
// coordinates.
QList<std::pair<QWidget *, QRect>> shownControls(QWidget *top)
{
    QList<std::pair<QWidget *, QRect>> out;
    for (QWidget *w : top->findChildren<QWidget *>()) {
        if (w->window() != top || !w->isVisible() || !isControl(w))
            continue;
        bool inner = false; // inside another control
        QRect shown(w->mapTo(top, QPoint(0, 0)), w->size());
        for (QWidget *p = w->parentWidget(); p && p != top; p = p->parentWidget()) {
            inner = inner || isControl(p);
            shown &= QRect(p->mapTo(top, QPoint(0, 0)), p->size());
        }
        shown &= top->rect();
        if (!inner && !shown.isEmpty())
            out.append({w, shown});
    }
    return out;
}

// Whether a control shows its whole text: a button, check box or label no
// smaller than its text needs (a wrapped text no taller), a combo box's
// text within its field. Labels that elide on purpose (their tooltip has the
// whole text) are not cut.
bool textCut(QWidget *w)
{
    if (qobject_cast<ElidedLabel *>(w))
        return false;
    if (auto *label = qobject_cast<QLabel *>(w)) {
        if (label->text().isEmpty() || !label->pixmap().isNull())
            return false;
        if (label->wordWrap())
            return label->heightForWidth(label->width()) > label->height();
        return label->minimumSizeHint().width() > label->width() || label->minimumSizeHint().height() > label->height();
    }
    if (auto *combo = qobject_cast<QComboBox *>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        return combo->fontMetrics().horizontalAdvance(combo->currentText()) > field.width();
    }
    if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        if (button->text().isEmpty())
            return false;
        const QSize needed = button->minimumSizeHint();
        if (button->hasHeightForWidth()) // its lines at the width it has
            return needed.width() > button->width() || button->heightForWidth(button->width()) > button->height();
        return needed.width() > button->width() || needed.height() > button->height();
    }
    return false;
}

// The available area of the screen a window is on.
QRect availableArea(QWidget *top)
{
    QScreen *screen = top->screen() ? top->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// Every pair of controls drawn over each other, every control its window
// cuts off (outside a scrolling area) or that cuts its own text, and a window
// that does not fit its screen, one line each.
QStringList overlaps(QWidget *top)
{
    QStringList found;
    if (top->isVisible() && !availableArea(top).contains(top->frameGeometry()))
        found << QStringLiteral("the window (%1,%2 %3x%4) does not fit its screen")
                     .arg(top->frameGeometry().x()).arg(top->frameGeometry().y())
                     .arg(top->frameGeometry().width()).arg(top->frameGeometry().height());
    const auto controls = shownControls(top);
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const auto &[a, ra] = controls[i];
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            const auto &[b, rb] = controls[j];
            if (ra.intersects(rb) && !a->isAncestorOf(b) && !b->isAncestorOf(a))
                found << describe(a) + QStringLiteral(" / ") + describe(b)
                             + QStringLiteral(" (%1,%2 %3x%4 / %5,%6 %7x%8)")
                                   .arg(ra.x()).arg(ra.y()).arg(ra.width()).arg(ra.height())
                                   .arg(rb.x()).arg(rb.y()).arg(rb.width()).arg(rb.height());
        }
        bool scrolled = false;
        for (QWidget *p = a->parentWidget(); p && p != top; p = p->parentWidget())
            scrolled = scrolled || qobject_cast<QAbstractScrollArea *>(p);
        const QRect whole(a->mapTo(top, QPoint(0, 0)), a->size());
        if (!scrolled && !top->rect().contains(whole))
            found << describe(a) + QStringLiteral(" cut by its window");
        if (textCut(a))
            found << describe(a)
                         + QStringLiteral(" cuts its text (%1x%2, needs %3x%4)")
                               .arg(a->width()).arg(a->height())
                               .arg(a->minimumSizeHint().width()).arg(a->minimumSizeHint().height());
    }
    return found;
}

QString accessibleName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

// The labels that label a widget for assistive technology.
QList<QWidget *> labelsOf(QWidget *w)
{
    QList<QWidget *> out;
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    if (!a)
        return out;
    for (const auto &[other, relation] : a->relations(QAccessible::Label))
        if (auto *label = qobject_cast<QWidget *>(other->object()))
            out << label;
    return out;
}

class PersonTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (window)
            window->closeForTermination();
    }
    MainWindow &open(bool debug = false)
    {
        if (debug) {
            QFile f(tool.settingsPath());
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("[usbreader]\r\ndebugmode=1\r\n");
        }
        window = std::make_unique<MainWindow>(tool.station(), tool.services());
        window->show();
        return *window;
    }
    void connectTo(SimReader &sim)
    {
        tool.ports.virtuals = {sim.port()};
        window->station().discovery().portsChanged();
        window->station().discovery().scanOnce();
        ASSERT_TRUE(waitUntil([this] { return window->station().session().isConnected(); }));
        tool.settle();
    }
    void chooseReadMode(ReadMode mode)
    {
        child<ConfigEditor>(window->configPage(), "configEditor")->model.userSetReadMode(mode);
        child<ConfigEditor>(window->configPage(), "configEditor")->sync();
        laidOut(window.get());
    }
    CardWaitDialog *openCardWait()
    {
        for (CardWaitDialog *d : window->findChildren<CardWaitDialog *>())
            if (d->isVisible())
                return d;
        return nullptr;
    }

    ToolServices tool;
    std::unique_ptr<MainWindow> window;
};

} // namespace

// ---- no control over another ---------------------------------------------------------

TEST_F(PersonTest, NoControlOverlapsAnotherInAnyTabOrReadMode)
{
    SimReader sim;
    sim.model->setConfigItems(QByteArray::fromHex("0202100003030000400601030401000501000C0800F8E00700F8E0FF"));
    MainWindow &w = open(true);
    EXPECT_EQ(overlaps(&w), QStringList()) << "searching";
    connectTo(sim);
    for (QSize size : {w.size(), w.minimumSize()}) {
        w.resize(size);
        for (int tab = 0; tab < w.tabs()->count(); ++tab) {
            w.tabs()->setCurrentIndex(tab);
            tool.settle();
            const QString where = withoutMnemonic(w.tabs()->tabText(tab));
            if (w.tabs()->currentWidget() == w.configPage()) {
                for (int mode = 0; mode < 4; ++mode) {
                    chooseReadMode(ReadMode(mode));
                    EXPECT_EQ(overlaps(&w), QStringList()) << qPrintable(where) << " read mode " << mode;
                }
            } else {
                EXPECT_EQ(overlaps(&w), QStringList()) << qPrintable(where);
            }
        }
    }
    // The secure-cards tab in a mode without zones.
    w.securePage()->showMode(secureModeView(SecureMode::Normal));
    w.tabs()->setCurrentWidget(w.securePage());
    EXPECT_EQ(overlaps(&w), QStringList()) << "normal mode";
}

TEST_F(PersonTest, NoControlOverlapsAnotherInAnyDialog)
{
    MainWindow &w = open(true);
    w.tabs()->setEnabled(true);
    auto check = [](QWidget *dialog, const char *what) {
        dialog->show();
        ASSERT_TRUE(laidOut(dialog)) << what;
        EXPECT_EQ(overlaps(dialog), QStringList()) << what;
        dialog->hide();
    };
    ConnectionDialog *connection = w.connectionDialog();
    tool.ports.system = {{QStringLiteral("/dev/ttyS0"), false, 0, 0}};
    connection->show();
    for (int method : {0, 1, 2}) {
        child<QComboBox>(connection, "methodList")->setCurrentIndex(method);
        Q_EMIT child<QComboBox>(connection, "methodList")->activated(method);
        ASSERT_TRUE(laidOut(connection));
        EXPECT_EQ(overlaps(connection), QStringList()) << "connection method " << method;
    }
    connection->hide();
    check(w.templateEditor(), "template editor");
    check(w.findChild<ZoneBitsDialog *>(), "zone bits");
    check(w.keptWindow(), "kept configurations");
    check(w.cardLogWindow(), "card log");
    check(child<DebugWindow>(w.debugPage(), "debugWindow"), "debug window");
    HashHelp help(&w);
    check(&help, "hash help");

    // Each card wait, each of its pages.
    ReaderLink link;
    Timings timings;
    auto status = [&link] { link.dispatch(hexToBytes(QStringLiteral("230800010D010024"))); };
    MasterCardWriting writing(link, timings, QStringLiteral("MifarePLUS "), true);
    writing.open();
    auto *writingDialog = static_cast<MasterCardWritingDialog *>(showCardWait(writing, tool.dialogs, &w));
    ASSERT_TRUE(laidOut(writingDialog));
    EXPECT_EQ(overlaps(writingDialog), QStringList()) << "master cards: count";
    child<QPushButton>(writingDialog, "countButton2")->click();
    writing.writingStarted();
    laidOut(writingDialog);
    EXPECT_EQ(overlaps(writingDialog), QStringList()) << "master cards: progress";
    writingDialog->reject();

    SingleCardWait single(link, timings, texts::kObjectCodeWaitCaption, texts::kObjectCodeWaitPrompt);
    single.open();
    CardWaitDialog *singleDialog = showCardWait(single, tool.dialogs, &w);
    ASSERT_TRUE(laidOut(singleDialog));
    EXPECT_EQ(overlaps(singleDialog), QStringList()) << "one card";
    singleDialog->reject();

    ClearingWait clearing(link, timings, QStringLiteral("Очистка мастер-карт"),
                          QStringLiteral("По очереди подносите мастер-карты к USB-считывателю"),
                          QStringLiteral("Закончить очистку мастер-карт"));
    clearing.open();
    CardWaitDialog *clearingDialog = showCardWait(clearing, tool.dialogs, &w);
    ASSERT_TRUE(laidOut(clearingDialog));
    EXPECT_EQ(overlaps(clearingDialog), QStringList()) << "clearing";
    clearingDialog->reject();

    SecureCardWait secure(link, timings, QStringLiteral("Создание защищенных карт"),
                          QStringLiteral("Создано защищенных карт:"), QStringLiteral("Закончить создание защищенных карт"));
    secure.open();
    CardWaitDialog *secureDialog = showCardWait(secure, tool.dialogs, &w);
    ASSERT_TRUE(laidOut(secureDialog));
    EXPECT_EQ(overlaps(secureDialog), QStringList()) << "secure cards: master card";
    status();
    laidOut(secureDialog);
    EXPECT_EQ(overlaps(secureDialog), QStringList()) << "secure cards: counter";
    secureDialog->reject();

    MasterConfigWait config(link, timings);
    config.open();
    CardWaitDialog *configDialog = showCardWait(config, tool.dialogs, &w);
    ASSERT_TRUE(laidOut(configDialog));
    EXPECT_EQ(overlaps(configDialog), QStringList()) << "master card's configuration";
    configDialog->reject();
}

// The check itself finds what it is for.
TEST(OverlapCheck, FindsControlsDrawnOverEachOtherAndCutOff)
{
    QWidget top;
    top.resize(200, 100);
    auto *a = new QPushButton(QStringLiteral("a"), &top);
    auto *b = new QPushButton(QStringLiteral("b"), &top);
    a->setGeometry(0, 0, 100, 30);
    b->setGeometry(100, 0, 100, 30); // side by side: fine
    top.show();
    EXPECT_EQ(overlaps(&top), QStringList());
    b->move(99, 0);
    EXPECT_EQ(overlaps(&top).size(), 1); // over a by one pixel
    b->move(150, 0);
    EXPECT_EQ(overlaps(&top), QStringList{QStringLiteral("QPushButton «b» cut by its window")});
    b->move(100, 0);
    // A text longer than its control: a button, a label, a combo box.
    a->setText(QStringLiteral("Считать конфигурацию из USB-считывателя"));
    EXPECT_EQ(overlaps(&top).size(), 1);
    EXPECT_TRUE(overlaps(&top).value(0).contains(QStringLiteral("cuts its text")));
    a->setText(QStringLiteral("a"));
    top.resize(400, 120);
    auto *label = new QLabel(QStringLiteral("Разрядность интерфейса Wiegand:"), &top);
    label->setGeometry(0, 40, 60, 20);
    auto *combo = new QComboBox(&top);
    combo->addItem(QStringLiteral("Wiegand c контрольной суммой CRC"));
    combo->setGeometry(0, 70, 120, 25);
    label->show();
    combo->show();
    EXPECT_EQ(overlaps(&top).size(), 2) << qPrintable(overlaps(&top).join(QLatin1Char('\n')));
    label->resize(label->minimumSizeHint());
    combo->resize(combo->sizeHint());
    EXPECT_EQ(overlaps(&top), QStringList());
}

// ---- values read out -------------------------------------------------------------------

TEST_F(PersonTest, EveryValueLabelIsReadOutAsItsValue)
{
    SimReader sim;
    sim.model->setConfigItems(QByteArray::fromHex("0202100003030000400601030401000501000C0800F8E00700F8E0FF"));
    MainWindow &w = open();
    EXPECT_EQ(accessibleName(child<ElidedLabel>(w.statusPanels(), "statusText")),
              QStringLiteral("Поиск устройства..."));
    connectTo(sim);
    EXPECT_TRUE(accessibleName(child<ElidedLabel>(w.statusPanels(), "statusText")).contains(sim.port()));

    // The identifier and the card's description, labelled by their caption.
    sim.model->presentCard(IdKind::Uid, QStringLiteral("04A1B2C3D4E5F6"));
    sim.model->sendCardInfo(9, 3, 4096, 1);
    ASSERT_TRUE(waitUntil([&] { return !child<ElidedLabel>(w.cardDisplay(), "cardType")->fullText().isEmpty(); }));
    const QString shown = child<ElidedLabel>(w.cardDisplay(), "identifier")->fullText();
    EXPECT_NE(shown, QStringLiteral("0"));
    EXPECT_EQ(accessibleName(child<ElidedLabel>(w.cardDisplay(), "identifier")), shown);
    EXPECT_TRUE(labelsOf(child<ElidedLabel>(w.cardDisplay(), "identifier"))
                    .contains(child<QLabel>(w.cardDisplay(), "identifierCaption")));
    EXPECT_EQ(accessibleName(child<ElidedLabel>(w.cardDisplay(), "cardType")),
              QStringLiteral("SmartMX с Mifare Classic"));
    // The highlighted kind is heard with the identifier.
    QAccessibleInterface *id = QAccessible::queryAccessibleInterface(child<ElidedLabel>(w.cardDisplay(), "identifier"));
    EXPECT_EQ(id->text(QAccessible::Description), QStringLiteral("UID"));
    sim.model->presentCard(IdKind::PhoneId, QStringLiteral("0A0B"));
    ASSERT_TRUE(waitUntil([&] { return id->text(QAccessible::Description) == QStringLiteral("Phone ID"); }));
    EXPECT_FALSE(accessibleName(child<ElidedLabel>(w.cardDisplay(), "cardSecurity")).isEmpty());
    EXPECT_EQ(accessibleName(child<ElidedLabel>(w.cardDisplay(), "cardSecurity")),
              child<ElidedLabel>(w.cardDisplay(), "cardSecurity")->fullText());
    EXPECT_EQ(accessibleName(child<ElidedLabel>(w.cardDisplay(), "cardMemory")),
              child<ElidedLabel>(w.cardDisplay(), "cardMemory")->fullText());

    // The mode line.
    w.tabs()->setCurrentWidget(w.securePage());
    tool.settle();
    EXPECT_EQ(accessibleName(child<QLabel>(w.securePage(), "modeText")), QStringLiteral("Зоны прохода"));
    EXPECT_EQ(labelsOf(child<QLabel>(w.securePage(), "modeText")).size(), 1);

    // The width note beside the Wiegand width.
    ConfigEditor *editor = child<ConfigEditor>(w.configPage(), "configEditor");
    w.tabs()->setCurrentWidget(w.configPage());
    editor->model.userSetWidthMode(1);
    editor->sync();
    ASSERT_TRUE(child<QLabel>(editor, "widthNote")->isVisible());
    EXPECT_EQ(accessibleName(child<QLabel>(editor, "widthNote")), child<QLabel>(editor, "widthNote")->text());

    // The seconds left and the count of cards in the card waits the buttons open.
    chooseReadMode(ReadMode::Uid);
    child<QPushButton>(w.configPage(), "readMasterButton")->click();
    ASSERT_TRUE(waitUntil([&] { return openCardWait() != nullptr; }));
    auto *configWait = static_cast<MasterConfigDialog *>(openCardWait());
    EXPECT_EQ(accessibleName(child<QLabel>(configWait, "seconds")), child<QLabel>(configWait, "seconds")->text());
    EXPECT_EQ(child<QLabel>(configWait, "seconds")->text().toInt() > 0, true);
    EXPECT_EQ(labelsOf(child<QLabel>(configWait, "seconds")).size(), 1);
    configWait->reject();
    tool.settle();
    tool.dialogs.answers.enqueue(true); // "Очистка": yes
    child<QPushButton>(w.configPage(), "clearMastersButton")->click();
    ASSERT_TRUE(waitUntil([&] { return openCardWait() != nullptr; }));
    auto *clearing = static_cast<ClearingDialog *>(openCardWait());
    EXPECT_EQ(accessibleName(child<QLabel>(clearing, "counter")), QStringLiteral("0"));
    sim.model->presentMaster(-1);
    sim.model->presentBlank();
    ASSERT_TRUE(waitUntil([&] { return child<QLabel>(clearing, "counter")->text() != QStringLiteral("0"); }));
    EXPECT_EQ(accessibleName(child<QLabel>(clearing, "counter")), child<QLabel>(clearing, "counter")->text());
    EXPECT_EQ(labelsOf(child<QLabel>(clearing, "counter")).size(), 1);
    clearing->reject();
    tool.settle();
}

// The zone lists of a mode without zones are hidden: none of their cells
// tells assistive technology that it is showing; shown, they do.
TEST_F(PersonTest, CellsOfHiddenZoneListsAreNotShowing)
{
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    auto showingCells = [](ZoneList *list) {
        QAccessibleInterface *grid = QAccessible::queryAccessibleInterface(child<QTableWidget>(list, "zoneGrid"));
        int showing = 0;
        for (int i = 0; grid && i < grid->childCount(); ++i)
            if (QAccessibleInterface *cell = grid->child(i);
                cell && cell->role() == QAccessible::Cell && !cell->state().invisible)
                ++showing;
        return showing;
    };
    ZoneList *zones = child<ZoneList>(child<ConfigEditor>(w.configPage(), "configEditor"), "zoneList");
    chooseReadMode(ReadMode::Uid);
    ASSERT_FALSE(zones->isVisible());
    EXPECT_EQ(showingCells(zones), 0);
    EXPECT_EQ(showingCells(child<ZoneList>(w.securePage(), "zoneList")), 0); // its tab not shown
    chooseReadMode(ReadMode::PassZones);
    ASSERT_TRUE(zones->isVisible());
    EXPECT_GT(showingCells(zones), 0);
}

// ---- keys a user presses, and what reaches the reader ----------------------------------

namespace {

// A window whose dialogs are Qt's own, answered by the keys a user presses.
class RealDialogsTest : public PersonTest {
protected:
    MainWindow &openWithRealDialogs()
    {
        Services services = tool.services();
        services.dialogs = &realDialogs;
        window = std::make_unique<MainWindow>(tool.station(), services);
        realDialogs.setParentWidget(window.get());
        window->show();
        return *window;
    }
    // Presses a key on the next message box to open, where its focus is;
    // records the box's title and buttons.
    void pressOnNextBox(Qt::Key key)
    {
        onNextModal<QMessageBox>([this, key](QMessageBox *box) {
            titles << box->windowTitle();
            QWidget *focus = QApplication::focusWidget();
            QTest::keyClick(focus && box->isAncestorOf(focus) ? focus : box, key);
        });
    }
    QtDialogs realDialogs;
    QStringList titles;
};

} // namespace

TEST_F(RealDialogsTest, EnterOnARiskyQuestionSendsNothingToTheReader)
{
    SimReader sim;
    MainWindow &w = openWithRealDialogs();
    pressOnNextBox(Qt::Key_Return); // "Конфигурация считана из USB-считывателя": OK
    connectTo(sim);
    ASSERT_TRUE(waitUntil([&] { return titles.size() == 1; })); // the notice came and was answered
    ConfigPage *page = w.configPage();
    struct Case {
        const char *name;
        std::function<void()> press;
    };
    const Case cases[] = {
        {"clearing master cards",
         [&] { QTest::mouseClick(child<QPushButton>(page, "clearMastersButton"), Qt::LeftButton); }},
        {"writing in the object-code mode",
         [&] {
             chooseReadMode(ReadMode::ObjectCode);
             QTest::mouseClick(child<QPushButton>(page, "writeReaderButton"), Qt::LeftButton);
         }},
    };
    for (const Case &c : cases) {
        sim.model->clearCommandsReceived();
        pressOnNextBox(Qt::Key_Return);
        c.press();
        tool.settle();
        EXPECT_EQ(sim.commands(), QStringList()) << c.name;
        EXPECT_EQ(openCardWait(), nullptr) << c.name;
    }
    EXPECT_EQ(titles.size(), 3) << qPrintable(titles.join(QStringLiteral(" | ")));

    // Closing with changes not saved anywhere: Enter keeps the window open.
    child<QCheckBox>(child<ConfigEditor>(page, "configEditor"), "hash")->click();
    ASSERT_TRUE(child<ConfigEditor>(page, "configEditor")->model.isDirty());
    const qsizetype asked = titles.size();
    pressOnNextBox(Qt::Key_Return);
    w.close();
    ASSERT_TRUE(waitUntil([&] { return titles.size() > asked; })); // the question was answered
    deliverPosted();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(sim.commands().isEmpty());
}

TEST_F(RealDialogsTest, EnterAfterDecliningTheOptionWritesNoMasterCard)
{
    SimReader sim;
    MainWindow &w = openWithRealDialogs();
    pressOnNextBox(Qt::Key_Return);
    connectTo(sim);
    chooseReadMode(ReadMode::ObjectCode); // the option shows
    QTest::mouseClick(child<QPushButton>(w.configPage(), "createMastersButton"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return openCardWait() != nullptr; }));
    auto *dialog = static_cast<MasterCardWritingDialog *>(openCardWait());
    ASSERT_TRUE(child<QCheckBox>(dialog, "secureModeOption")->isVisible());
    deliverPosted();
    const QStringList before = sim.commands();
    pressOnNextBox(Qt::Key_Return); // "Выбор опции": Enter is "Нет"
    QTest::mouseClick(child<QCheckBox>(dialog, "secureModeOption"), Qt::LeftButton);
    EXPECT_EQ(titles.value(1), QStringLiteral("Выбор опции"));
    EXPECT_FALSE(child<QCheckBox>(dialog, "secureModeOption")->isChecked());
    QWidget *focus = QApplication::focusWidget(); // the option, clicked last
    QTest::keyClick(focus && dialog->isAncestorOf(focus) ? focus : child<QCheckBox>(dialog, "secureModeOption"),
                    Qt::Key_Return);
    // A request sent after: its answer comes once the reader has taken
    // whatever the key sent before it.
    EXPECT_TRUE(await(w.station().link(), hexBytes("FF01"), 10000).ok());
    QStringList after = sim.commands();
    EXPECT_EQ(after.takeLast(), QStringLiteral("FF01"));
    EXPECT_EQ(after, before);
    EXPECT_EQ(child<QStackedWidget>(dialog, "pages")->currentIndex(), 0); // still asking how many
    dialog->reject();
    tool.settle();
}

TEST_F(RealDialogsTest, MessageBoxesShowTheirWholeTitleAndKeepHyphenatedWordsWhole)
{
    MainWindow &w = openWithRealDialogs();
    QMessageBox *seen = nullptr;
    QString text;
    int width = 0;
    auto *poll = new QTimer(&w);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); box && box->isVisible()) {
            seen = box;
            text = box->text();
            width = box->width();
            box->accept();
        }
    });
    poll->start();
    realDialogs.message(QStringLiteral("Поднесите карту к USB-считывателю"));
    ASSERT_NE(seen, nullptr);
    QFont bold = w.font();
    bold.setBold(true);
    EXPECT_GT(width, QFontMetrics(bold).horizontalAdvance(texts::kAppTitle) + 60);
    EXPECT_EQ(text, QStringLiteral("Поднесите карту к USB\u2011считывателю"));
    poll->stop();
}

// Unsaved changes and a reader that comes back twice: one question, never a
// second one opened inside the first one's wait.
TEST_F(RealDialogsTest, AReaderBackAgainUnderTheQuestionAsksNoSecondOne)
{
    // Under a name of its own, like a USB reader's link: a terminal made
    // anew may get another number, and the reader must be found again.
    SimReader sim{QStringLiteral("comesback")};
    MainWindow &w = openWithRealDialogs();
    connectTo(sim);
    if (QMessageBox *notice = realDialogs.noticeBox())
        notice->done(QMessageBox::Ok);
    child<QCheckBox>(child<ConfigEditor>(w.configPage(), "configEditor"), "hash")->click(); // a change saved nowhere
    ASSERT_TRUE(child<ConfigEditor>(w.configPage(), "configEditor")->model.isDirty());
    auto reconnect = [&] {
        sim.host->unplug();
        tool.monitor.remove(sim.port());
        sim.host->plug();
        w.station().discovery().portsChanged();
    };
    const qsizetype reads = sim.commands().count(QStringLiteral("0B01"));
    int mostQuestions = 0;
    bool again = false;
    bool answered = false;
    int settled = 0; // watcher ticks since the second read
    QElapsedTimer sinceAgain;
    bool gaveUp = false; // the second read never came: the question is answered all the same
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        QList<QMessageBox *> questions;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(top);
                box && box->isVisible() && box->text().startsWith(QStringLiteral("Считыватель подключён.")))
                questions << box;
        mostQuestions = std::max(mostQuestions, int(questions.size()));
        if (!questions.isEmpty() && !again) {
            again = true;
            sinceAgain.start();
            reconnect(); // back again while the question waits
        } else if (again && (sim.commands().count(QStringLiteral("0B01")) >= reads + 2
                             || sinceAgain.elapsed() > 8000)) {
            gaveUp = sim.commands().count(QStringLiteral("0B01")) < reads + 2;
            if (++settled > 10 || gaveUp) { // the second read has had its time to ask
                for (QMessageBox *box : questions)
                    box->done(QMessageBox::No);
                answered = answered || !questions.isEmpty();
            }
        }
    });
    watcher.start(20);
    reconnect();
    EXPECT_TRUE(waitUntil([&] { return answered && !w.station().busy(); }, 15000));
    watcher.stop();
    EXPECT_FALSE(gaveUp) << "the reader back again was not read";
    EXPECT_EQ(mostQuestions, 1);
    EXPECT_GE(sim.commands().count(QStringLiteral("0B01")), reads + 2); // both reads ran
    EXPECT_TRUE(child<ConfigEditor>(w.configPage(), "configEditor")->model.isDirty()); // "Нет": the editor as it was
}

// A checksum is shown to be read and copied: its field takes no typing, so
// that "Отмена" has nothing to undo.
TEST_F(RealDialogsTest, TheChecksumBoxShowsItsValueReadOnly)
{
    openWithRealDialogs();
    std::optional<bool> readOnly;
    QString shown;
    onNextModal<QInputDialog>([&](QInputDialog *box) {
        auto *field = box->findChild<QLineEdit *>();
        readOnly = field && field->isReadOnly();
        shown = field ? field->text() : QString();
        box->reject();
    });
    realDialogs.input(QStringLiteral("Конфигурация считана из USB-считывателя"), texts::kObjectChecksum,
                      QStringLiteral("5A3C"));
    ASSERT_TRUE(readOnly.has_value());
    EXPECT_TRUE(*readOnly);
    EXPECT_EQ(shown, QStringLiteral("5A3C"));
}

// Notices nobody clicked for: one box at a time, the same words never twice at
// once, each dismissal told; while no window of the tool is active none takes
// the focus (nor is it modal, which would be given the focus).
TEST(Notices, OneAtATimeAndNoneTakesTheFocusFromAnotherProgram)
{
    QWidget window; // another program has the focus
    QApplication::setActiveWindow(nullptr);
    QtDialogs dialogs(&window);
    int dismissed = 0;
    for (const QString &text : {QStringLiteral("Ошибка: A"), QStringLiteral("Ошибка: B"), QStringLiteral("Ошибка: A")})
        dialogs.notify(text, [&] { ++dismissed; });
    dialogs.notifyError(QStringLiteral("Ошибка: C"));
    auto shown = [] {
        QStringList texts;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
                texts << box->text();
        return texts;
    };
    QStringList order;
    ASSERT_NE(dialogs.noticeBox(), nullptr);
    EXPECT_TRUE(dialogs.noticeBox()->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(dialogs.noticeBox()->windowModality(), Qt::NonModal);
    while (QMessageBox *box = dialogs.noticeBox()) {
        ASSERT_TRUE(waitUntil([&] { return box->isVisible(); }));
        EXPECT_EQ(shown().size(), 1);
        order << box->text();
        box->done(QMessageBox::Ok);
        deliverPosted();
    }
    EXPECT_EQ(order, (QStringList{QStringLiteral("Ошибка: A"), QStringLiteral("Ошибка: B"), QStringLiteral("Ошибка: C")}));
    EXPECT_EQ(dismissed, 3);
}

TEST_F(PersonTest, AltLettersOpenTheTabsAndTheTextsStayTheirOwn)
{
    MainWindow &w = open(true);
    for (int i = 0; i < w.tabs()->count(); ++i) // as with a reader connected
        w.tabs()->setTabEnabled(i, true);
    QApplication::setActiveWindow(&w);
    const QStringList captions = {QStringLiteral("Отладка"), QStringLiteral("Конфигурация"),
                                  QStringLiteral("Защищенные карты"), QStringLiteral("Обновление микропрограммы")};
    const QList<QChar> letters = {QChar(u'О'), QChar(u'К'), QChar(u'З'), QChar(u'Б')};
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(w.tabs()->tabBar());
    ASSERT_NE(bar, nullptr);
    for (int i = captions.size() - 1; i >= 0; --i) {
        QTest::sendKeyEvent(QTest::Click, &w, Qt::Key(letters[i].unicode()), QString(letters[i].toLower()),
                            Qt::AltModifier);
        EXPECT_EQ(w.tabs()->currentIndex(), i) << qPrintable(captions[i]);
        EXPECT_EQ(withoutMnemonic(w.tabs()->tabText(i)), captions[i]); // as drawn
        EXPECT_EQ(bar->child(i)->text(QAccessible::Name), captions[i]);
    }
    // The main buttons: Alt and a letter, and their names unchanged.
    w.tabs()->setCurrentWidget(w.configPage());
    QSet<QKeySequence> keys;
    int buttons = 0;
    for (QPushButton *b : w.configPage()->findChildren<QPushButton *>()) {
        if (!b->isVisible() || b->shortcut().isEmpty())
            continue;
        ++buttons;
        EXPECT_FALSE(keys.contains(b->shortcut())) << qPrintable(b->text());
        keys.insert(b->shortcut());
        EXPECT_EQ(accessibleName(b), withoutMnemonic(b->text()));
        EXPECT_FALSE(accessibleName(b).contains(QLatin1Char('&')));
        // A letter the Russian layout types.
        const qsizetype marker = b->text().indexOf(QLatin1Char('&'));
        const QChar letter = marker >= 0 && marker + 1 < b->text().size() ? b->text().at(marker + 1) : QChar();
        EXPECT_EQ(letter.script(), QChar::Script_Cyrillic) << qPrintable(b->text());
    }
    EXPECT_GE(buttons, 10);
    for (const QKeySequence &tab : {QKeySequence(Qt::ALT | Qt::Key(0x41E)), QKeySequence(Qt::ALT | Qt::Key(0x41A)),
                                    QKeySequence(Qt::ALT | Qt::Key(0x417)), QKeySequence(Qt::ALT | Qt::Key(0x411))})
        EXPECT_FALSE(keys.contains(tab)) << qPrintable(tab.toString());
    // Ctrl+O and Ctrl+S open the configuration-file dialogs.
    tool.dialogs.shown.clear();
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(tool.dialogs.shown, (QStringList{QStringLiteral("open: Файл конфигурации|*.rcf"),
                                               QStringLiteral("save: Файл конфигурации|*.rcf")}));
}

// The focus frame shows on the control that has the focus from the start,
// not only after Tab, and as a line of 2 pixels in the highlight colour.
TEST(FocusFrame, IsDrawnClearlyWithoutAKeyPressFirst)
{
    FocusStyle style;
    QPushButton button(QStringLiteral("Отмена"));
    button.resize(120, 30);
    QStyleOptionButton option;
    option.initFrom(&button);
    option.state |= QStyle::State_HasFocus; // the focus came with the dialog, not by Tab
    option.state &= ~QStyle::State_KeyboardFocusChange;
    option.rect = button.rect();
    option.text = button.text();
    QImage image(button.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        style.drawControl(QStyle::CE_PushButton, &option, &painter, &button);
    }
    const QColor highlight = option.palette.color(QPalette::Active, QPalette::Highlight);
    int highlighted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            highlighted += QColor(image.pixel(x, y)).rgb() == highlight.rgb();
    // A frame of two pixels around most of the button.
    EXPECT_GE(highlighted, 2 * (image.width() + image.height())) << "no clear focus frame";
}

TEST_F(PersonTest, TabLeavesTheTablesOfTheLogWindows)
{
    MainWindow &w = open();
    for (QDialog *logWindow : {static_cast<QDialog *>(w.cardLogWindow()), static_cast<QDialog *>(w.keptWindow())}) {
        logWindow->show();
        QApplication::setActiveWindow(logWindow);
        QTableView *table = logWindow->findChild<QTableView *>();
        ASSERT_NE(table, nullptr);
        table->setFocus(Qt::TabFocusReason);
        QTest::keyClick(table, Qt::Key_Tab);
        QWidget *next = QApplication::focusWidget();
        EXPECT_TRUE(qobject_cast<QAbstractButton *>(next)) << (next ? next->metaObject()->className() : "none");
        logWindow->hide();
    }
}

// ---- what does not move, and what shows whole -------------------------------------

TEST_F(PersonTest, TheUnsavedMarkMovesNothing)
{
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    laidOut(&w);
    const int index = w.tabs()->indexOf(w.configPage());
    const QRect tab = w.tabs()->tabBar()->tabRect(index);
    const QRect page(w.configPage()->mapTo(&w, QPoint(0, 0)), w.configPage()->size());
    child<QCheckBox>(child<ConfigEditor>(w.configPage(), "configEditor"), "hash")->click();
    ASSERT_TRUE(child<ConfigEditor>(w.configPage(), "configEditor")->model.isDirty());
    laidOut(&w);
    EXPECT_FALSE(w.tabs()->tabToolTip(index).isEmpty());
    EXPECT_EQ(w.tabs()->tabBar()->tabRect(index), tab);
    EXPECT_EQ(QRect(w.configPage()->mapTo(&w, QPoint(0, 0)), w.configPage()->size()), page);
}

TEST_F(PersonTest, ConnectionSettingsKeepTheirRowsWhereTheyAre)
{
    MainWindow &w = open();
    ConnectionDialog *d = w.connectionDialog();
    d->show();
    QList<QRect> apply;
    for (int method : {0, 1, 2, 0}) {
        child<QComboBox>(d, "methodList")->setCurrentIndex(method);
        Q_EMIT child<QComboBox>(d, "methodList")->activated(method);
        ASSERT_TRUE(laidOut(d));
        apply << child<QPushButton>(d, "applyButton")->geometry();
    }
    EXPECT_EQ(apply.count(apply.first()), apply.size());
    // The label sits on the list it names, and the button keeps apart from the list.
    QLabel *label = d->findChild<QLabel *>();
    EXPECT_LE(child<QComboBox>(d, "methodList")->geometry().top() - label->geometry().bottom(), 12);
    EXPECT_GE(child<QPushButton>(d, "applyButton")->geometry().top() -
                  child<QComboBox>(d, "methodList")->geometry().bottom(),
              6);
    d->hide();
}

TEST_F(PersonTest, DialogsOpenReadyForWhatComesNext)
{
    MainWindow &w = open();
    // The bit string opens with the field to type in, every time.
    auto *bits = w.findChild<ZoneBitsDialog *>();
    for (int i = 0; i < 2; ++i) {
        bits->show();
        QApplication::setActiveWindow(bits);
        EXPECT_TRUE(waitUntil([&] { return child<QLineEdit>(bits, "bits")->hasFocus(); })) << i;
        bits->reject();
    }
    // The template editor: Enter applies until a result is there, then uses it.
    auto *editor = w.templateEditor();
    editor->show();
    laidOut(editor);
    EXPECT_TRUE(child<QPushButton>(editor, "applyButton")->isDefault());
    child<QPushButton>(editor, "applyButton")->click();
    ASSERT_TRUE(child<QPushButton>(editor, "useButton")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(editor, "useButton")->isDefault());
    EXPECT_FALSE(child<QPushButton>(editor, "applyButton")->isDefault());
    QTest::keyClick(child<QLineEdit>(editor, "templateField"), Qt::Key_X);
    EXPECT_TRUE(child<QPushButton>(editor, "applyButton")->isDefault());
    editor->reject();
    // The template field shows the template's beginning.
    editor->show();
    EXPECT_EQ(child<QLineEdit>(editor, "templateField")->cursorPosition(), 0);
    editor->reject();
}

TEST_F(PersonTest, TheDebugLogsShowTheTimes)
{
    MainWindow &w = open(true);
    w.tabs()->setEnabled(true);
    DebugPage *page = w.debugPage();
    TrafficLog *log = w.findChild<TrafficLog *>();
    ASSERT_NE(log, nullptr);
    const QString longLine = QStringLiteral("[12:00:00] > ") + QString(200, QLatin1Char('A'));
    QPlainTextEdit *windowText = child<QPlainTextEdit>(child<DebugWindow>(page, "debugWindow"), "debugWindowText");
    auto shownLines = [windowText, &longLine] { return windowText->toPlainText().count(longLine); };
    Q_EMIT log->lineAdded(longLine);
    ASSERT_TRUE(waitUntil([&] { return shownLines() == 1; })); // the page added it
    child<DebugWindow>(page, "debugWindow")->show();
    ASSERT_TRUE(laidOut(windowText));
    EXPECT_EQ(child<QPlainTextEdit>(child<DebugWindow>(page, "debugWindow"), "debugWindowText")
                  ->horizontalScrollBar()
                  ->value(),
              0);
    Q_EMIT log->lineAdded(longLine);
    ASSERT_TRUE(waitUntil([&] { return shownLines() == 2; }));
    deliverPosted();
    EXPECT_EQ(child<QPlainTextEdit>(child<DebugWindow>(page, "debugWindow"), "debugWindowText")
                  ->horizontalScrollBar()
                  ->value(),
              0);
    EXPECT_GT(child<QPlainTextEdit>(child<DebugWindow>(page, "debugWindow"), "debugWindowText")
                  ->horizontalScrollBar()
                  ->maximum(),
              0);
    // The tab's log wraps its lines: nothing to scroll sideways.
    w.tabs()->setCurrentWidget(page);
    laidOut(page);
    EXPECT_FALSE(child<QPlainTextEdit>(page, "trafficLog")->horizontalScrollBar()->isVisible());
    child<DebugWindow>(page, "debugWindow")->hide();
}

TEST_F(PersonTest, TheCardLogsColumnsFitTheirTexts)
{
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    sim.model->presentCard(IdKind::Uid, QStringLiteral("04A1B2C3D4E5F6"));
    ASSERT_TRUE(waitUntil([&] { return child<CardLogModel>(w.cardLogWindow(), "cardLogModel")->rowCount() > 0; }));
    w.showCardLog();
    QTableView *table = child<QTableView>(w.cardLogWindow(), "cardLogTable");
    for (int column = 0; column < 4; ++column) {
        const QString text = child<CardLogModel>(w.cardLogWindow(), "cardLogModel")->index(0, column).data().toString();
        const QString title = child<CardLogModel>(w.cardLogWindow(), "cardLogModel")
                                  ->headerData(column, Qt::Horizontal, Qt::DisplayRole)
                                  .toString();
        EXPECT_GT(table->columnWidth(column), table->fontMetrics().horizontalAdvance(text)) << qPrintable(text);
        EXPECT_GT(table->columnWidth(column), table->horizontalHeader()->fontMetrics().horizontalAdvance(title))
            << qPrintable(title);
    }
    EXPECT_FALSE(table->horizontalScrollBar()->isVisible());
    w.cardLogWindow()->hide();
}

// ---- on the screen ---------------------------------------------------------------------

namespace {
struct PlacementCase {
    const char *name;
    QRect available;
    QMargins frame;
};
class Placement : public ::testing::TestWithParam<PlacementCase> {};
} // namespace

TEST_P(Placement, TheWindowStaysOnTheScreenAndItsMinimumFitsIt)
{
    const PlacementCase &c = GetParam();
    const QSize frame(c.frame.left() + c.frame.right(), c.frame.top() + c.frame.bottom());
    const WindowPlacement p = placeWindow(QSize(926, 650), QSize(910, 655), c.frame, c.available);
    const QRect outer = p.client.marginsAdded(c.frame);
    EXPECT_TRUE(c.available.contains(outer)) << outer.x() << "," << outer.y() << " " << outer.width() << "x"
                                             << outer.height();
    EXPECT_TRUE(c.available.contains(outer.topLeft()));
    EXPECT_LE(p.minimum.width() + frame.width(), c.available.width());
    EXPECT_LE(p.minimum.height() + frame.height(), c.available.height());
    EXPECT_GE(p.client.width(), p.minimum.width());
    EXPECT_GE(p.client.height(), p.minimum.height());
    if (c.available.width() >= 926 + frame.width() && c.available.height() >= 655 + frame.height()) {
        // Where the screen has room: the window's own size, centred, and the outer minimum of 910 x 655.
        EXPECT_EQ(p.client.size(), QSize(926, std::max(650, 655 - frame.height())));
        EXPECT_EQ(p.minimum, QSize(910, 655) - frame);
        EXPECT_LE(std::abs((outer.center() - c.available.center()).x()), 1);
    }
}

// A window of the tool opens no larger than the screen's available area with
// its frame (the card log, kept configurations and Debug windows at scale 2 on
// 1280 x 1024: 640 x 512), and keeps its size where there is room.
TEST(ScreenFit, AWindowIsNoLargerThanTheAreaItOpensOn)
{
    const QMargins frame(1, 24, 1, 6);
    EXPECT_EQ(sizeOnScreen(QSize(760, 420), frame, QRect(0, 0, 640, 512)), QSize(638, 420));
    EXPECT_EQ(sizeOnScreen(QSize(721, 539), frame, QRect(0, 0, 640, 512)), QSize(638, 482));
    EXPECT_EQ(sizeOnScreen(QSize(760, 420), QMargins(), QRect(0, 0, 1280, 1024)), QSize(760, 420));
    QWidget parent;
    parent.setGeometry(QRect(QPoint(0, 0), QSize(300, 200)));
    QWidget window(&parent, Qt::Window);
    window.resize(5000, 4000);
    window.setMinimumSize(3000, 100);
    fitOnScreen(&window);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(window.width(), available.width());
    EXPECT_LE(window.height(), available.height());
    EXPECT_LE(window.minimumWidth(), available.width());
}

INSTANTIATE_TEST_SUITE_P(Screens, Placement, ::testing::Values(
    PlacementCase{"scale1_no_frame", QRect(0, 0, 1280, 1024), QMargins()},
    PlacementCase{"scale1_openbox", QRect(0, 0, 1280, 1024), QMargins(1, 24, 1, 6)},
    PlacementCase{"scale1_5", QRect(0, 0, 853, 682), QMargins()},
    PlacementCase{"scale1_5_openbox", QRect(0, 0, 853, 682), QMargins(1, 24, 1, 6)},
    PlacementCase{"scale2", QRect(0, 0, 640, 512), QMargins(1, 24, 1, 6)},
    PlacementCase{"panel_on_the_left", QRect(64, 0, 1216, 1024), QMargins(1, 24, 1, 6)},
    PlacementCase{"second_screen", QRect(1280, 0, 800, 600), QMargins()}),
    [](const auto &row) { return std::string(row.param.name); });
