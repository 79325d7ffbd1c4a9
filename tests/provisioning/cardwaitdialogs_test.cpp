// The card-wait dialogs only show their waits and forward the user's acts.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

#include "link/hextext.h"
#include "link/readerlink.h"
#include "provisioning/ui/cardwaitdialogs.h"
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
    ReaderLink link;
    ScriptedDialogs dialogs;
    QWidget window;
    DialogCardWaits waits{dialogs, &window, [] { return false; }};
};

} // namespace

TEST_F(DialogTest, MasterCardWritingShowsItsPagesAndForwardsTheCount)
{
    QList<int> counts;
    MasterCardWriting wait(link.cardEvents(), [&](int count, bool) { counts << count; return true; },
                           [] { return true; });
    wait.cardType = QStringLiteral("MifarePLUS ");
    wait.optionVisible = false;
    QString heading, prompt, seconds, title;
    bool optionShown = true;
    waits.opened = [&](CardWaitDialog *d) {
        auto *dialog = static_cast<MasterCardWritingDialog *>(d);
        QTimer::singleShot(0, dialog, [&, dialog] {
            title = dialog->windowTitle();
            heading = dialog->heading->text();
            optionShown = dialog->option->isVisible();
            dialog->countButtons[2]->click();
            prompt = dialog->prompt->text();
            seconds = dialog->seconds->text();
            status("00");
            QTimer::singleShot(250, dialog, [dialog] { dialog->reject(); });
        });
    };
    EXPECT_EQ(waits.run(wait), WaitResult::Cancel);
    EXPECT_EQ(title, QStringLiteral("Запись мастер-карт"));
    EXPECT_EQ(heading, QStringLiteral("Подготовьте необходимое количество чистых карт MifarePLUS "));
    EXPECT_FALSE(optionShown);
    EXPECT_EQ(counts, QList<int>{3});
    EXPECT_EQ(prompt, QStringLiteral("Поднесите 1 из 3 карту MifarePLUS к USB-считывателю"));
    EXPECT_EQ(seconds, QStringLiteral("15"));
    EXPECT_EQ(wait.written, 1); // the timer ticked and the success counted
}

TEST_F(DialogTest, SingleCardEndsWithYesOnSuccessAndCancelWhenClosed)
{
    SingleCardWait wait(link.cardEvents(), QStringLiteral("Чтение кода объекта"), QStringLiteral("Поднесите"));
    waits.opened = [this](CardWaitDialog *d) { QTimer::singleShot(50, d, [this] { status("00"); }); };
    EXPECT_EQ(waits.run(wait), WaitResult::Yes);
    link.cardEvents().consume();
    waits.opened = [](CardWaitDialog *d) { QTimer::singleShot(50, d, [d] { d->reject(); }); };
    EXPECT_EQ(waits.run(wait), WaitResult::Cancel);
}

TEST_F(DialogTest, SecureCardsSwitchToTheCounterAndFinish)
{
    SecureCardWait wait(link.cardEvents(), QStringLiteral("Создание защищенных карт"),
                        QStringLiteral("Создано защищенных карт:"), QStringLiteral("Закончить создание защищенных карт"));
    QString counter;
    waits.opened = [&](CardWaitDialog *d) {
        auto *dialog = static_cast<SecureCardDialog *>(d);
        QTimer::singleShot(20, dialog, [this] { status("00"); });
        QTimer::singleShot(150, dialog, [this] { status("00"); });
        QTimer::singleShot(300, dialog, [&counter, dialog] {
            EXPECT_EQ(dialog->pages->currentIndex(), 1);
            counter = dialog->counter->text();
            dialog->finishButton->click();
        });
    };
    EXPECT_EQ(waits.run(wait), WaitResult::Yes);
    EXPECT_EQ(counter, QStringLiteral("1"));
}
