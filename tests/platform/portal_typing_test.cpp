// Typing in a Wayland session through the desktop's remote-desktop portal,
// against a scripted portal on a private session bus: the keyboard is asked
// for once, the identifier's keysyms arrive in order, the user's refusal and
// the desktop's end of the session are handled, and without the portal XTest
// types as before.
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFileInfo>
#include <QTemporaryDir>

#include "display/cardpresenter.h"
#include "display/idtemplate.h"
#include "platform/portalkeyinjector.h"
#include "tests/support/recordingkeys.h"
#include "tests/support/scriptedportal.h"

using namespace limra;
using namespace limra::testing;

namespace {

// XTest in a Wayland session: it reaches the programs under XWayland.
class XWaylandKeys : public RecordingKeys {
public:
    TypingReach reach() override { return TypingReach::XWaylandOnly; }
};

class PortalTyping : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!bus.running())
            GTEST_SKIP() << "dbus-daemon is not installed";
        client = bus.connect();
        ASSERT_TRUE(client.isConnected());
    }
    void servePortal()
    {
        portalBus = bus.connect();
        ASSERT_TRUE(portal.serve(portalBus));
    }
    QString tokenFile() const { return data.filePath(QStringLiteral("data/desktop-typing-permission")); }
    // A fresh start of the tool: its injector and the card presenter that types with it.
    void start(std::unique_ptr<KeyInjector> fallback = nullptr)
    {
        presenter.reset();
        injector = std::make_unique<PortalKeyInjector>(client, tokenFile(), std::move(fallback));
        injector->watchReach([this] { reachChanges << injector->reach(); });
        presenter = std::make_unique<CardPresenter>(nullptr, injector.get());
        presenter->setStarted();
        presenter->options.typing = [] { return true; };
        presenter->options.toolActive = [] { return false; };
        presenter->options.newline = [this] { return enter; };
    }
    // Waits until what the portal sent so far has reached the tool: a ping
    // to the portal is answered after it, on the same way.
    bool portalHeard()
    {
        QDBusPendingCall ping = client.asyncCall(QDBusMessage::createMethodCall(
            portalBus.baseService(), QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"),
            QStringLiteral("Ping")));
        return waitUntil([&] { return ping.isFinished(); }) && !ping.isError();
    }
    // Reads a card and waits until `expected` came out as keys.
    bool typed(const QString &raw, const QString &expected)
    {
        portal.keys.clear();
        presenter->identifierRead(raw, IdKind::Uid);
        return waitUntil([&] { return portal.typedText() == expected; }, 10000);
    }

    PrivateSessionBus bus;
    QDBusConnection client{QString()};
    QDBusConnection portalBus{QString()};
    ScriptedPortal portal;
    QTemporaryDir data;
    std::unique_ptr<PortalKeyInjector> injector;
    std::unique_ptr<CardPresenter> presenter;
    QList<TypingReach> reachChanges;
    bool enter = false;
};

// --- The identifier in every view ---------------------------------------------------

struct ViewCase {
    const char *name;
    CardPresenter::View view;
    const char *tmpl;
    bool enter;
};

class PortalTypingViews : public PortalTyping, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(PortalTypingViews, TheFirstCardAsksForTheKeyboardAndItsKeysymsArriveInOrder)
{
    const ViewCase &c = GetParam();
    servePortal();
    start();
    presenter->setView(c.view);
    presenter->activeTemplate = QString::fromUtf8(c.tmpl);
    enter = c.enter;

    presenter->identifierRead(QStringLiteral("04A1B2C3D4"), IdKind::Uid);
    const QString expected = presenter->shownText() + (c.enter ? QStringLiteral("\n") : QString());
    ASSERT_TRUE(waitUntil([&] { return portal.typedText() == expected; }, 10000))
        << portal.typedText().toStdString() << " instead of " << expected.toStdString();
    EXPECT_EQ(portal.calls.mid(0, 3), (QStringList{"CreateSession", "SelectDevices", "Start"}));
    EXPECT_EQ(portal.optionsOf(QStringLiteral("SelectDevices")).value(QStringLiteral("types")).toUInt(), 1u)
        << "a keyboard only";
    EXPECT_EQ(portal.questions, 1);
    EXPECT_EQ(injector->reach(), TypingReach::DesktopPortal);

    // The next card goes out at once, without asking again.
    portal.keys.clear();
    presenter->identifierRead(QStringLiteral("04A1B2C3D5"), IdKind::Uid);
    const QString next = presenter->shownText() + (c.enter ? QStringLiteral("\n") : QString());
    ASSERT_TRUE(waitUntil([&] { return portal.typedText() == next; }, 10000)) << portal.typedText().toStdString();
    EXPECT_EQ(portal.count(QStringLiteral("CreateSession")), 1);
    EXPECT_EQ(portal.questions, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Portal, PortalTypingViews,
    ::testing::Values(ViewCase{"Decimal", CardPresenter::View::Dec, "", false},
                      ViewCase{"HexWithLetters", CardPresenter::View::Hex, "", false},
                      ViewCase{"TemplateWithEnter", CardPresenter::View::Template, "Пропуск № b1-b2 ä", true}),
    [](const ::testing::TestParamInfo<ViewCase> &param) { return std::string(param.param.name); });

TEST_F(PortalTyping, ExactCharactersAreTheirKeysyms)
{
    EXPECT_EQ(PortalKeyInjector::keysymOf(U'7'), 0x37u);
    EXPECT_EQ(PortalKeyInjector::keysymOf(U'A'), 0x41u);
    EXPECT_EQ(PortalKeyInjector::keysymOf(U'ä'), 0xe4u);
    EXPECT_EQ(PortalKeyInjector::keysymOf(U'П'), 0x0100041fu);
    EXPECT_EQ(PortalKeyInjector::keysymOf(U'\n'), 0xff0du);
    EXPECT_EQ(PortalKeyInjector::keysymOf(U'\t'), 0xff09u);
}

TEST_F(PortalTyping, SwitchingTypingOnAsksBeforeTheFirstCard)
{
    servePortal();
    start();
    injector->prepare();
    ASSERT_TRUE(waitUntil([&] { return portal.questions == 1; }, 10000));
    EXPECT_TRUE(portal.keys.isEmpty());
    ASSERT_TRUE(typed(QStringLiteral("1A"), QStringLiteral("26")));
    EXPECT_EQ(portal.count(QStringLiteral("CreateSession")), 1);
}

// --- The user's answer ------------------------------------------------------------

struct RefusalCase {
    const char *name;
    uint response;
    TypingReach reach;
};

class PortalRefusal : public PortalTyping, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PortalRefusal, NothingIsTypedAndTheNextSwitchOnAsksAgain)
{
    const RefusalCase &c = GetParam();
    servePortal();
    portal.answer = c.response;
    start();
    presenter->identifierRead(QStringLiteral("04A1B2C3D4"), IdKind::Uid);
    ASSERT_TRUE(waitUntil([&] { return injector->reach() == c.reach; }, 10000));
    EXPECT_EQ(reachChanges.count(c.reach), 1) << "told once";
    EXPECT_EQ(presenter->shownText(), decimalOfHex(QStringLiteral("04A1B2C3D4"))) << "the identifier stays on display";
    waitUntil([&] { return !presenter->typist().busy(); });
    presenter->identifierRead(QStringLiteral("04A1B2C3D5"), IdKind::Uid);
    waitUntil([&] { return !presenter->typist().busy(); });
    EXPECT_TRUE(portal.keys.isEmpty());
    EXPECT_EQ(portal.count(QStringLiteral("CreateSession")), 1) << "a card does not ask again";

    // The user switches typing on again and allows it this time.
    portal.answer = 0;
    injector->prepare();
    ASSERT_TRUE(waitUntil([&] { return portal.questions == 2 && injector->reach() == TypingReach::DesktopPortal; },
                          10000));
    ASSERT_TRUE(typed(QStringLiteral("04A1B2C3D6"), decimalOfHex(QStringLiteral("04A1B2C3D6"))));
}

INSTANTIATE_TEST_SUITE_P(
    Portal, PortalRefusal,
    ::testing::Values(RefusalCase{"Refused", 1, TypingReach::DesktopRefused},
                      RefusalCase{"Cancelled", 2, TypingReach::DesktopCancelled}),
    [](const ::testing::TestParamInfo<RefusalCase> &param) { return std::string(param.param.name); });

// --- The permission kept ----------------------------------------------------------

TEST_F(PortalTyping, TheSecondStartUsesTheKeptPermissionWithoutAskingAgain)
{
    servePortal();
    start();
    ASSERT_TRUE(typed(QStringLiteral("1F"), QStringLiteral("31")));
    const QVariantMap first = portal.optionsOf(QStringLiteral("SelectDevices"));
    EXPECT_EQ(first.value(QStringLiteral("persist_mode")).toUInt(), 2u);
    EXPECT_FALSE(first.contains(QStringLiteral("restore_token")));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(tokenFile()); }));
    EXPECT_EQ(QFileInfo(tokenFile()).permissions() & 0x0077, QFileDevice::Permissions())
        << "the permission is the user's alone";

    // The tool ends and starts again.
    injector.reset();
    start();
    ASSERT_TRUE(typed(QStringLiteral("2F"), QStringLiteral("47")));
    EXPECT_EQ(portal.optionsOf(QStringLiteral("SelectDevices"), 1).value(QStringLiteral("restore_token")).toString(),
              QStringLiteral("token-1"));
    EXPECT_EQ(portal.questions, 1) << "the user was asked once";
    QFile kept(tokenFile());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("token-2")) << "each token is used once: the new one is kept";
}

TEST_F(PortalTyping, AnOlderPortalIsAskedWithoutKeepingThePermission)
{
    portal.version = 1;
    servePortal();
    start();
    ASSERT_TRUE(typed(QStringLiteral("1F"), QStringLiteral("31")));
    const QVariantMap options = portal.optionsOf(QStringLiteral("SelectDevices"));
    EXPECT_FALSE(options.contains(QStringLiteral("persist_mode")));
    EXPECT_FALSE(options.contains(QStringLiteral("restore_token")));
    EXPECT_FALSE(QFileInfo::exists(tokenFile()));
}

// --- The desktop ends the session -------------------------------------------------

TEST_F(PortalTyping, AfterTheDesktopClosedTheSessionTheNextCardAsksAgain)
{
    portal.version = 1; // nothing kept: the user is asked again
    servePortal();
    start();
    ASSERT_TRUE(typed(QStringLiteral("1F"), QStringLiteral("31")));
    portal.closeSession();
    ASSERT_TRUE(portalHeard()); // the desktop's word came before the next card
    ASSERT_TRUE(typed(QStringLiteral("2F"), QStringLiteral("47")));
    EXPECT_EQ(portal.count(QStringLiteral("CreateSession")), 2);
    EXPECT_EQ(portal.questions, 2);
    EXPECT_TRUE(portal.closedByTool.isEmpty()) << "a closed session is not closed again";
}

TEST_F(PortalTyping, TheToolClosesItsSessionWhenItEnds)
{
    servePortal();
    start();
    ASSERT_TRUE(typed(QStringLiteral("1F"), QStringLiteral("31")));
    const QString session = portal.session;
    presenter.reset();
    injector.reset();
    ASSERT_TRUE(waitUntil([&] { return portal.closedByTool == QStringList{session}; }));
}

// --- No portal --------------------------------------------------------------------

struct NoPortalCase {
    const char *name;
    bool service;       // the portal's name is on the bus at all
    bool remoteDesktop; // it has the remote-desktop interface
    uint deviceTypes;
};

class WithoutPortal : public PortalTyping, public ::testing::WithParamInterface<NoPortalCase> {};

TEST_P(WithoutPortal, XTestTypesForTheProgramsUnderXWayland)
{
    const NoPortalCase &c = GetParam();
    portal.remoteDesktop = c.remoteDesktop;
    portal.deviceTypes = c.deviceTypes;
    if (c.service)
        servePortal();
    auto fallback = std::make_unique<XWaylandKeys>();
    XWaylandKeys *xtest = fallback.get();
    start(std::move(fallback));
    presenter->setView(CardPresenter::View::Hex);
    presenter->identifierRead(QStringLiteral("0A1B"), IdKind::Uid);
    ASSERT_TRUE(waitUntil([&] { return !presenter->typist().busy() && xtest->events.size() == 6; }, 10000))
        << xtest->events.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(xtest->events, (QStringList{"latin", "0", "A", "1", "B", "restore"}));
    EXPECT_EQ(injector->reach(), TypingReach::XWaylandOnly);
    EXPECT_TRUE(portal.calls.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Portal, WithoutPortal,
    ::testing::Values(NoPortalCase{"NoPortalOnTheBus", false, true, 7},
                      NoPortalCase{"NoRemoteDesktopInterface", true, false, 7},
                      NoPortalCase{"NoKeyboardOffered", true, true, 2}),
    [](const ::testing::TestParamInfo<NoPortalCase> &param) { return std::string(param.param.name); });

TEST_F(PortalTyping, WithoutPortalAndWithoutXWaylandNothingCanType)
{
    start();
    ASSERT_TRUE(waitUntil([&] { return !injector->available(); }, 10000)) << "once the portal is known missing";
    EXPECT_EQ(injector->reach(), TypingReach::Unavailable);
}

} // namespace

// --- Through the desktop's own portal service -------------------------------------

// The desktop's side behind xdg-desktop-portal (a backend, as GNOME's or
// KDE's): it allows the keyboard and records the keys the portal passes on.
class ScriptedPortalBackend : public QDBusVirtualObject {
public:
    QStringList calls;
    QList<ScriptedPortal::Key> keys;
    QString session;

    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        QDBusConnection bus = connection;
        const QString method = message.member();
        const QVariantList args = message.arguments();
        if (method == QLatin1String("GetAll") || method == QLatin1String("Get")) {
            const QVariantMap properties{{QStringLiteral("AvailableDeviceTypes"), QVariant::fromValue(uint(7))},
                                         {QStringLiteral("version"), QVariant::fromValue(uint(1))}};
            if (method == QLatin1String("GetAll"))
                bus.send(message.createReply(QVariant::fromValue(properties)));
            else
                bus.send(message.createReply(
                    QVariant::fromValue(QDBusVariant(properties.value(args.value(1).toString())))));
            return true;
        }
        if (message.interface() == QLatin1String("org.freedesktop.impl.portal.Session")) {
            calls << QStringLiteral("Session.") + method;
            bus.send(message.createReply());
            return true;
        }
        if (message.interface() != QLatin1String("org.freedesktop.impl.portal.RemoteDesktop"))
            return false;
        calls << method;
        QVariantMap results;
        if (method == QLatin1String("CreateSession")) {
            session = args.value(1).value<QDBusObjectPath>().path();
        } else if (method == QLatin1String("Start")) {
            results.insert(QStringLiteral("devices"), QVariant::fromValue(uint(1)));
        } else if (method == QLatin1String("NotifyKeyboardKeysym")) {
            keys << ScriptedPortal::Key{args.value(2).toInt(), args.value(3).toUInt()};
            bus.send(message.createReply());
            return true;
        }
        bus.send(message.createReply(QVariantList{QVariant::fromValue(uint(0)), QVariant::fromValue(results)}));
        return true;
    }
    void closeSession(QDBusConnection bus)
    {
        QDBusMessage closed = QDBusMessage::createSignal(session, QStringLiteral("org.freedesktop.impl.portal.Session"),
                                                         QStringLiteral("Closed"));
        bus.send(closed);
    }
    QString typedText() const
    {
        ScriptedPortal asText;
        asText.keys = keys;
        return asText.typedText();
    }
};

// Not yet passing: the service passed the first seven keysyms on and then no more (under investigation).
TEST_F(PortalTyping, DISABLED_ThroughTheDesktopsPortalServiceTheKeysReachItsBackend)
{
    const QString service = QStringLiteral("/usr/libexec/xdg-desktop-portal");
    if (!QFileInfo(service).isExecutable())
        GTEST_SKIP() << "xdg-desktop-portal is not installed";
    // The backend the portal service finds for this (made-up) desktop.
    QTemporaryDir portals;
    QFile description(portals.filePath(QStringLiteral("limra-test.portal")));
    ASSERT_TRUE(description.open(QIODevice::WriteOnly));
    description.write("[portal]\nDBusName=org.limra.TestPortalBackend\n"
                      "Interfaces=org.freedesktop.impl.portal.RemoteDesktop\nUseIn=limra-test\n");
    description.close();
    QDBusConnection backendBus = bus.connect();
    ScriptedPortalBackend backend;
    ASSERT_TRUE(backendBus.registerService(QStringLiteral("org.limra.TestPortalBackend")));
    ASSERT_TRUE(backendBus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), &backend,
                                                 QDBusConnection::SubPath));
    QProcess portalService;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    environment.insert(QStringLiteral("XDG_DESKTOP_PORTAL_DIR"), portals.path());
    environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("limra-test"));
    environment.insert(QStringLiteral("GIO_USE_VFS"), QStringLiteral("local"));
    portalService.setProcessEnvironment(environment);
    portalService.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    portalService.start(service, {QStringLiteral("--replace")});
    ASSERT_TRUE(waitUntil([&] {
        return client.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.portal.Desktop")).value()
               || portalService.state() == QProcess::NotRunning;
    }, 20000));
    ASSERT_EQ(portalService.state(), QProcess::Running);

    start();
    presenter->setView(CardPresenter::View::Hex);
    enter = true;
    presenter->identifierRead(QStringLiteral("04A1B2C3D4"), IdKind::Uid);
    const QString expected = presenter->shownText() + QStringLiteral("\n");
    EXPECT_TRUE(waitUntil([&] { return backend.typedText() == expected; }, 20000))
        << backend.typedText().toStdString() << " instead of " << expected.toStdString() << "; "
        << backend.calls.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(backend.calls.mid(0, 3), (QStringList{"CreateSession", "SelectDevices", "Start"}));

    // The desktop ends the session: the next card asks again.
    backend.closeSession(backendBus);
    backend.keys.clear();
    presenter->identifierRead(QStringLiteral("0A"), IdKind::Uid);
    EXPECT_TRUE(waitUntil([&] { return backend.typedText() == QStringLiteral("0A\n"); }, 20000))
        << backend.typedText().toStdString() << "; " << backend.calls.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(backend.calls.count(QStringLiteral("CreateSession")), 2);

    presenter.reset();
    injector.reset();
    portalService.terminate();
    waitUntil([&] { return portalService.state() == QProcess::NotRunning; }, 10000);
    if (portalService.state() != QProcess::NotRunning)
        portalService.kill();
    waitUntil([&] { return portalService.state() == QProcess::NotRunning; }, 10000);
}
