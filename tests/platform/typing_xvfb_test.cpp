// Typing into a real X client that is not the tool, under an X server
// (Xvfb in ./test). The tool's window itself runs offscreen.
#include <gtest/gtest.h>

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
    // Types the identifier and returns what the client received.
    QString typed(const QString &id)
    {
        presenter->identifierRead(id, IdKind::Uid);
        limra::testing::waitUntil([this] { return !presenter->typist().busy(); });
        limra::testing::spin(200);
        const QString text = received();
        output.clear();
        return text;
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
    EXPECT_EQ(typed(QStringLiteral("00FF")), QStringLiteral("255"));
}

TEST_F(XTyping, HexLettersComeOutUpperCaseWithCapsLockOffAndOn)
{
    presenter->setView(CardPresenter::View::Hex);
    EXPECT_EQ(typed(QStringLiteral("0A1bF9")), QStringLiteral("0A1BF9"));
    setCapsLock(true);
    EXPECT_TRUE(keys->capsLockOn());
    EXPECT_EQ(typed(QStringLiteral("0A1bF9")), QStringLiteral("0A1BF9"));
}

TEST_F(XTyping, TemplateResultTypedAsItselfWithEnter)
{
    presenter->setView(CardPresenter::View::Template);
    presenter->activeTemplate = QStringLiteral("id=dec(b1); x_y-b2! Жb1");
    newline = true;
    EXPECT_EQ(typed(QStringLiteral("04A1")), QStringLiteral("id=161; x_y-04! ЖA1\n"));
    setCapsLock(true);
    newline = false;
    presenter->activeTemplate = QStringLiteral("aB-b1");
    EXPECT_EQ(typed(QStringLiteral("04a1")), QStringLiteral("aB-a1"));
}

TEST_F(XTyping, NothingTypedWhileTheToolIsActive)
{
    active = true;
    EXPECT_EQ(typed(QStringLiteral("01")), QString());
}

TEST_F(XTyping, HexTypedThroughTheLatinLayoutAndTheRussianOneRestored)
{
    if (QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("us,ru")}) != 0)
        GTEST_SKIP() << "setxkbmap is not available";
    Display *d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    XkbLockGroup(d, XkbUseCoreKbd, 1);
    XSync(d, False);
    presenter->setView(CardPresenter::View::Hex);
    EXPECT_EQ(typed(QStringLiteral("0A1BF")), QStringLiteral("0A1BF"));
    XkbStateRec state{};
    XkbGetState(d, XkbUseCoreKbd, &state);
    EXPECT_EQ(state.locked_group, 1);
    XkbLockGroup(d, XkbUseCoreKbd, 0);
    XCloseDisplay(d);
    QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("us")});
}
