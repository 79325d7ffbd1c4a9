// The typing option in a Wayland session, with the desktop's remote-desktop
// portal scripted on a private session bus: switching typing on asks the
// desktop, a refusal switches it off with the reason and one message.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTabWidget>

#include "common/texts.h"
#include "config/ui/configpage.h"
#include "platform/portalkeyinjector.h"
#include "tests/support/children.h"
#include "tests/support/scriptedportal.h"
#include "tests/support/toolservices.h"

using namespace limra;
using namespace limra::testing;

namespace {

class TypingThroughPortal : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!bus.running())
            GTEST_SKIP() << "dbus-daemon is not installed";
        portalBus = bus.connect();
        ASSERT_TRUE(portal.serve(portalBus));
        keys = std::make_unique<PortalKeyInjector>(bus.connect(), tool.dir.filePath(QStringLiteral("permission")),
                                                   nullptr);
        Services services = tool.services();
        services.keys = keys.get();
        window = std::make_unique<MainWindow>(tool.station(), services);
        window->show();
        window->tabs()->setEnabled(true); // the tab waits for a reader; the option is what counts here
        page = window->configPage();
    }
    void TearDown() override
    {
        if (window)
            window->close();
        window.reset();
    }
    int messages() const { return int(tool.dialogs.shown.filter(texts::kTypingSwitchedOff.left(20)).size()); }

    PrivateSessionBus bus;
    QDBusConnection portalBus{QString()};
    ScriptedPortal portal;
    ToolServices tool;
    std::unique_ptr<PortalKeyInjector> keys;
    std::unique_ptr<MainWindow> window;
    ConfigPage *page = nullptr;
};

TEST_F(TypingThroughPortal, TheTooltipSaysThePortalReachesEveryProgram)
{
    ASSERT_TRUE(waitUntil(
        [&] { return child<QCheckBox>(page, "toKeyboard")->toolTip() == texts::kTypingThroughPortal; }, 10000))
        << child<QCheckBox>(page, "toKeyboard")->toolTip().toStdString();
    EXPECT_EQ(child<QCheckBox>(page, "toKeyboard")->accessibleDescription(), texts::kTypingThroughPortal);
    EXPECT_TRUE(child<QCheckBox>(page, "toKeyboard")->isEnabledTo(page));
    EXPECT_EQ(portal.count(QStringLiteral("CreateSession")), 0) << "nothing is asked at start-up";
}

struct AnswerCase {
    const char *name;
    uint response;
    const QString &reason;
};

class TypingRefusedInWindow : public TypingThroughPortal, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(TypingRefusedInWindow, SwitchesTypingOffWithTheReasonAndTellsOnce)
{
    const AnswerCase &c = GetParam();
    portal.answer = c.response;
    ASSERT_TRUE(waitUntil([&] { return keys->reach() == TypingReach::DesktopPortal; }, 10000));
    child<QCheckBox>(page, "toKeyboard")->click();
    child<QCheckBox>(page, "newline")->setChecked(true);
    ASSERT_TRUE(waitUntil([&] { return !child<QCheckBox>(page, "toKeyboard")->isChecked(); }, 10000));
    EXPECT_EQ(portal.questions, 1) << "switching typing on asked the desktop";
    EXPECT_FALSE(child<QCheckBox>(page, "newline")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(page, "newline")->isEnabledTo(page));
    EXPECT_TRUE(child<QCheckBox>(page, "toKeyboard")->toolTip().startsWith(c.reason))
        << child<QCheckBox>(page, "toKeyboard")->toolTip().toStdString();
    EXPECT_TRUE(child<QCheckBox>(page, "toKeyboard")->toolTip().contains(child<QCheckBox>(page, "toClipboard")->text()))
        << "the clipboard still works";
    EXPECT_EQ(child<QCheckBox>(page, "toKeyboard")->accessibleDescription(),
              child<QCheckBox>(page, "toKeyboard")->toolTip());
    EXPECT_TRUE(child<QCheckBox>(page, "toKeyboard")->isEnabledTo(page)) << "the user may switch it on again";
    ASSERT_EQ(messages(), 1) << tool.dialogs.shown.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(tool.dialogs.shown.last().contains(c.reason));

    // Switched on again, the desktop asks again; this time the user allows it.
    portal.answer = 0;
    child<QCheckBox>(page, "toKeyboard")->click();
    ASSERT_TRUE(waitUntil(
        [&] { return child<QCheckBox>(page, "toKeyboard")->toolTip() == texts::kTypingThroughPortal; }, 10000));
    ASSERT_TRUE(waitUntil([&] { return portal.count(QStringLiteral("Start")) == 2; }, 10000));
    EXPECT_TRUE(child<QCheckBox>(page, "toKeyboard")->isChecked());
    EXPECT_EQ(portal.questions, 2);
    EXPECT_EQ(messages(), 1) << "told once";
}

INSTANTIATE_TEST_SUITE_P(Program, TypingRefusedInWindow,
                         ::testing::Values(AnswerCase{"Refused", 1, texts::kTypingRefused},
                                           AnswerCase{"Cancelled", 2, texts::kTypingRequestCancelled}),
                         [](const ::testing::TestParamInfo<AnswerCase> &param) { return std::string(param.param.name); });

} // namespace
