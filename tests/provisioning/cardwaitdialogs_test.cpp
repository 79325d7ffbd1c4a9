// The card-wait dialogs only show their waits and pass the user's acts on.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include "link/hextext.h"
#include "link/readerlink.h"
#include "provisioning/ui/cardwaitdialogs.h"
#include "tests/support/children.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

class DialogTest : public ::testing::Test {
protected:
    void status(const char *code)
    {
        link.dispatch(hexToBytes(QStringLiteral("230800010D01") + QLatin1String(code) + QStringLiteral("24")));
    }
    template <class Dialog>
    Dialog *show(CardWait &wait)
    {
        wait.open();
        auto *dialog = static_cast<Dialog *>(showCardWait(wait, dialogs, &window));
        EXPECT_TRUE(dialog && dialog->isVisible());
        return dialog;
    }
    ReaderLink link;
    Timings timings;
    ScriptedDialogs dialogs;
    QWidget window;
};

} // namespace

TEST_F(DialogTest, MasterCardWritingShowsItsPagesAndPassesTheCountOn)
{
    QList<int> counts;
    MasterCardWriting wait(link, timings, QStringLiteral("MifarePLUS "), false);
    QObject::connect(&wait, &MasterCardWriting::countChosen, [&](int count, bool) { counts << count; });
    auto *dialog = show<MasterCardWritingDialog>(wait);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Запись мастер-карт"));
    EXPECT_EQ(child<QLabel>(dialog, "heading")->text(),
              QStringLiteral("Подготовьте необходимое количество чистых карт MifarePLUS "));
    EXPECT_FALSE(child<QCheckBox>(dialog, "secureModeOption")->isVisible());
    child<QPushButton>(dialog, "countButton3")->click();
    EXPECT_EQ(counts, QList<int>{3});
    wait.writingStarted();
    EXPECT_EQ(child<QStackedWidget>(dialog, "pages")->currentIndex(), 1);
    EXPECT_EQ(child<QLabel>(dialog, "prompt")->text(),
              QStringLiteral("Поднесите 1 из 3 карту MifarePLUS к USB\u2011считывателю"));
    EXPECT_EQ(child<QLabel>(dialog, "seconds")->text(), QStringLiteral("15"));
    status("00");
    EXPECT_EQ(child<QLabel>(dialog, "prompt")->text(),
              QStringLiteral("Поднесите 2 из 3 карту MifarePLUS к USB\u2011считывателю"));
    QPointer<CardWaitDialog> alive(dialog);
    dialog->reject(); // the close button ends the wait
    EXPECT_FALSE(wait.isOpen());
    EXPECT_EQ(wait.result(), WaitResult::Cancel);
}

TEST_F(DialogTest, EnterStartsNoWritingOnlyTheFocusedButtonDoes)
{
    QList<int> counts;
    MasterCardWriting wait(link, timings, QString(), true);
    QObject::connect(&wait, &MasterCardWriting::countChosen, [&](int count, bool) { counts << count; });
    auto *dialog = show<MasterCardWritingDialog>(wait);
    dialogs.answers.enqueue(false);
    child<QCheckBox>(dialog, "secureModeOption")->click();                    // the option, answered "Нет"
    EXPECT_FALSE(child<QCheckBox>(dialog, "secureModeOption")->isChecked());
    child<QCheckBox>(dialog, "secureModeOption")->setFocus();
    QTest::keyClick(dialog, Qt::Key_Return);   // Enter on the check box writes nothing
    EXPECT_TRUE(counts.isEmpty());
    child<QPushButton>(dialog, "countButton2")->setFocus();
    QTest::keyClick(child<QPushButton>(dialog, "countButton2"), Qt::Key_Space);
    EXPECT_EQ(counts, QList<int>{2});
    dialog->reject();
}

TEST_F(DialogTest, TheOptionsWholeTextFits)
{
    MasterCardWriting wait(link, timings, QString(), true);
    auto *dialog = show<MasterCardWritingDialog>(wait);
    EXPECT_GE(child<QCheckBox>(dialog, "secureModeOption")->width(),
              child<QCheckBox>(dialog, "secureModeOption")->sizeHint().width());
    EXPECT_LE(child<QCheckBox>(dialog, "secureModeOption")->geometry().right(),
              child<QStackedWidget>(dialog, "pages")->width());
    dialog->reject();
}

TEST_F(DialogTest, SingleCardEndsWithYesOnSuccessAndCancelWhenClosed)
{
    SingleCardWait wait(link, timings, QStringLiteral("Чтение кода объекта"), QStringLiteral("Поднесите"));
    QPointer<CardWaitDialog> dialog = show<SingleCardDialog>(wait);
    status("00");
    EXPECT_EQ(wait.result(), WaitResult::Yes);
    QCoreApplication::processEvents();
    EXPECT_TRUE(!dialog || !dialog->isVisible());

    SingleCardWait second(link, timings, QStringLiteral("Чтение кода объекта"), QStringLiteral("Поднесите"));
    show<SingleCardDialog>(second)->reject();
    EXPECT_EQ(second.result(), WaitResult::Cancel);
}

TEST_F(DialogTest, ACardErrorIsShownWithoutHoldingTheDialogUp)
{
    ClearingWait wait(link, timings, QStringLiteral("c"), QStringLiteral("p"), QStringLiteral("f"));
    auto *dialog = show<ClearingDialog>(wait);
    status("19");
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Ошибка: Карта пустая."));
    status("00");
    EXPECT_EQ(child<QLabel>(dialog, "counter")->text(), QStringLiteral("1"));
    child<QPushButton>(dialog, "finishButton")->click();
    EXPECT_EQ(wait.result(), WaitResult::Yes);
}

TEST_F(DialogTest, SecureCardsSwitchToTheCounterAndFinish)
{
    SecureCardWait wait(link, timings, QStringLiteral("Создание защищенных карт"),
                        QStringLiteral("Создано защищенных карт:"), QStringLiteral("Закончить создание защищенных карт"));
    auto *dialog = show<SecureCardDialog>(wait);
    EXPECT_EQ(child<QStackedWidget>(dialog, "pages")->currentIndex(), 0);
    status("00");
    EXPECT_EQ(child<QStackedWidget>(dialog, "pages")->currentIndex(), 1);
    status("00");
    EXPECT_EQ(child<QLabel>(dialog, "counter")->text(), QStringLiteral("1"));
    child<QPushButton>(dialog, "finishButton")->click();
    EXPECT_EQ(wait.result(), WaitResult::Yes);
}

TEST_F(DialogTest, ValueLabelsAreReadOutAsTheirValues)
{
    SecureCardWait wait(link, timings, QStringLiteral("c"), QStringLiteral("Создано защищенных карт:"),
                        QStringLiteral("f"));
    auto *dialog = show<SecureCardDialog>(wait);
    auto name = [](QWidget *w) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        return a ? a->text(QAccessible::Name) : QString();
    };
    EXPECT_EQ(name(child<QLabel>(dialog, "seconds")), QStringLiteral("15"));
    status("00");
    status("00");
    EXPECT_EQ(name(child<QLabel>(dialog, "counter")), QStringLiteral("1"));
    dialog->reject();
}
