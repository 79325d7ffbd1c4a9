// Typing into a real X client that is not the tool, under an X server
// (Xvfb in ./test). The tool's window itself runs offscreen.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "display/cardpresenter.h"
#include "platform/keyinjector.h"
#include "tests/support/simreader.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

using namespace limra;

namespace {

class XTyping : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs an X server";
        keys = createSystemKeyInjector();
        ASSERT_TRUE(keys->available());
        presenter = std::make_unique<CardPresenter>(nullptr, keys.get());
        presenter->setStarted();
        presenter->options.typing = [] { return true; };
        presenter->options.toolActive = [this] { return active; };
        presenter->options.newline = [this] { return newline; };
        typist.start(QStringLiteral(LIMRA_XTYPIST), QStringList());
        ASSERT_TRUE(typist.waitForStarted());
        ASSERT_TRUE(limra::testing::waitUntil([this] { return received().startsWith(QStringLiteral("ready\n")); }));
        output.clear();
    }
    void TearDown() override
    {
        setCapsLock(false);
        typist.kill();
        typist.waitForFinished();
    }
    QString received()
    {
        output += QString::fromUtf8(typist.readAllStandardOutput());
        return output;
    }
    // Types the identifier and returns what the client received, waiting for
    // `expected` characters at most ten seconds. An Enter of our own follows
    // the typing: the client gets the keys in the order they were sent, so
    // once it has come every key typed before it has come too.
    QString typed(const QString &id, int expected)
    {
        presenter->identifierRead(id, IdKind::Uid);
        limra::testing::waitUntil([this] { return !presenter->typist().busy(); });
        keys->pressEnter();
        limra::testing::waitUntil(
            [&] {
                const QString text = received();
                // Ours after what was expected, or ours alone: nothing was typed before it.
                return text.endsWith(QLatin1Char('\n')) && (text.size() >= expected + 1 || text.size() == 1);
            },
            10000);
        QString text = received();
        if (text.endsWith(QLatin1Char('\n')))
            text.chop(1); // our Enter
        output.clear();
        return text;
    }
    QString typed(const QString &id, const QString &expected) { return typed(id, int(expected.size())); }
    void layout(const char *layouts)
    {
        if (QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QLatin1String(layouts)}) != 0)
            GTEST_SKIP() << "setxkbmap is not available";
    }
    static void setCapsLock(bool on)
    {
        if (Display *d = XOpenDisplay(nullptr)) {
            XkbLockModifiers(d, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
            XSync(d, False);
            XCloseDisplay(d);
        }
    }

    std::unique_ptr<KeyInjector> keys;
    std::unique_ptr<CardPresenter> presenter;
    QProcess typist;
    QString output;
    bool active = false;
    bool newline = false;
};

} // namespace

TEST_F(XTyping, DecimalIdentifier)
{
    EXPECT_EQ(typed(QStringLiteral("00FF"), 3), QStringLiteral("255"));
}

TEST_F(XTyping, HexLettersComeOutUpperCaseWithCapsLockOffAndOn)
{
    presenter->setView(CardPresenter::View::Hex);
    EXPECT_EQ(typed(QStringLiteral("0A1bF9"), 6), QStringLiteral("0A1BF9"));
    setCapsLock(true);
    EXPECT_TRUE(keys->capsLockOn());
    EXPECT_EQ(typed(QStringLiteral("0A1bF9"), 6), QStringLiteral("0A1BF9"));
}

TEST_F(XTyping, TemplateResultTypedAsItselfWithEnter)
{
    presenter->setView(CardPresenter::View::Template);
    presenter->activeTemplate = QStringLiteral("id=dec(b1); x_y-b2! Жb1");
    newline = true;
    EXPECT_EQ(typed(QStringLiteral("04A1"), QStringLiteral("id=161; x_y-04! ЖA1\n")),
              QStringLiteral("id=161; x_y-04! ЖA1\n"));
    setCapsLock(true);
    newline = false;
    presenter->activeTemplate = QStringLiteral("aB-b1");
    EXPECT_EQ(typed(QStringLiteral("04a1"), 5), QStringLiteral("aB-a1"));
}

TEST_F(XTyping, NothingTypedWhileTheToolIsActive)
{
    active = true;
    EXPECT_EQ(typed(QStringLiteral("01"), 1), QString());
}

// Layouts whose digits need Shift (French), whose Y and Z are swapped
// (German), and a second group without Latin letters (Russian).
TEST_F(XTyping, DigitsAndLettersOnEveryLayout)
{
    for (const char *layouts : {"fr", "de", "us,ru"}) {
        layout(layouts);
        for (CardPresenter::View view : {CardPresenter::View::Dec, CardPresenter::View::Hex}) {
            presenter->setView(view);
            const QString expected = view == CardPresenter::View::Dec ? QStringLiteral("11259375")
                                                                      : QStringLiteral("0ABCDEF");
            EXPECT_EQ(typed(QStringLiteral("0ABCDEF"), expected), expected) << layouts;
        }
        setCapsLock(true);
        presenter->setView(CardPresenter::View::Hex);
        EXPECT_EQ(typed(QStringLiteral("0A1B2C"), 6), QStringLiteral("0A1B2C")) << layouts;
        setCapsLock(false);
    }
    layout("us");
}

TEST_F(XTyping, HexTypedThroughTheLatinLayoutAndTheRussianOneRestored)
{
    layout("us,ru");
    Display *d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    XkbLockGroup(d, XkbUseCoreKbd, 1);
    XSync(d, False);
    presenter->setView(CardPresenter::View::Hex);
    EXPECT_EQ(typed(QStringLiteral("0A1BF"), 5), QStringLiteral("0A1BF"));
    XkbStateRec state{};
    XkbGetState(d, XkbUseCoreKbd, &state);
    EXPECT_EQ(state.locked_group, 1);
    XkbLockGroup(d, XkbUseCoreKbd, 0);
    XCloseDisplay(d);
    layout("us");
}

namespace {
// Unix sockets the process holds open.
int openSockets()
{
    int count = 0;
    const QFileInfoList fds = QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &fd : fds)
        count += fd.symLinkTarget().contains(QLatin1String("socket:")) ? 1 : 0;
    return count;
}
} // namespace

// The injector connects to the X server at the first typing, not when it is made.
TEST(XTypingStart, TheXServerIsOpenedAtTheFirstTypingOnly)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X server";
    const int before = openSockets();
    const std::unique_ptr<KeyInjector> keys = createSystemKeyInjector();
    EXPECT_TRUE(keys->available());
    EXPECT_EQ(openSockets(), before);
    keys->capsLockOn();
    EXPECT_EQ(openSockets(), before + 1);
    keys->capsLockOn();
    EXPECT_EQ(openSockets(), before + 1) << "one connection, kept";
}
