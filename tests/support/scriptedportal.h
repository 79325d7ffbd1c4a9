#pragma once
// A private D-Bus session bus (a dbus-daemon of the test's own, with no
// service activation, so that no real portal can start on it), and a
// scripted remote-desktop portal on it: it records every call, answers each
// request with its Response signal at once, and plays the user's part
// (allow, refuse, cancel) where the desktop would ask.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "tests/support/simreader.h"

namespace limra::testing {

class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                  " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                  "<busconfig><type>session</type><listen>unix:path=%1</listen>"
                                  "<auth>EXTERNAL</auth><policy context=\"default\">"
                                  "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                                  "<allow own=\"*\"/></policy></busconfig>\n")
                       .arg(m_dir.filePath(QStringLiteral("bus")))
                       .toUtf8());
        file.close();
        m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config,
                                                      QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        waitUntil([this] {
            m_output += m_daemon.readAllStandardOutput();
            return m_output.contains('\n') || m_daemon.state() == QProcess::NotRunning;
        }, 10000);
        m_address = QString::fromUtf8(m_output).trimmed();
    }
    ~PrivateSessionBus()
    {
        for (const QString &name : m_connections)
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        waitUntil([this] { return m_daemon.state() == QProcess::NotRunning; }, 10000);
    }
    bool running() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }
    // A new connection of this process to the bus.
    QDBusConnection connect()
    {
        static int count = 0;
        const QString name = QStringLiteral("limra-test-bus-%1").arg(++count);
        m_connections << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QByteArray m_output;
    QString m_address;
    QStringList m_connections;
};

class ScriptedPortal : public QDBusVirtualObject {
public:
    static constexpr const char *kService = "org.freedesktop.portal.Desktop";
    static constexpr const char *kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char *kRemoteDesktop = "org.freedesktop.portal.RemoteDesktop";

    // What the desktop offers.
    bool remoteDesktop = true;
    uint version = 2;
    uint deviceTypes = 7; // keyboard, pointer, touch
    // The user's answer when asked: 0 allows, 1 refuses, 2 ends the question otherwise.
    uint answer = 0;

    struct Key {
        int keysym;
        uint state;
    };
    QStringList calls;             // the methods called, in order
    QList<QVariantMap> options;    // their options, in the same order
    int questions = 0;             // how often the user was asked
    QStringList issuedTokens;      // restore tokens handed out
    QList<Key> keys;               // NotifyKeyboardKeysym, in order
    QStringList closedByTool;      // sessions the tool closed
    QString session;               // the session in progress

    // Serves on `bus` under the portal's name.
    bool serve(QDBusConnection bus)
    {
        m_bus = bus;
        return bus.registerService(QLatin1String(kService))
               && bus.registerVirtualObject(QLatin1String(kPath), this, QDBusConnection::SubPath);
    }

    // The desktop ends the session (a logout of the portal, the user's stop).
    void closeSession()
    {
        QDBusMessage closed = QDBusMessage::createSignal(session, QStringLiteral("org.freedesktop.portal.Session"),
                                                         QStringLiteral("Closed"));
        closed << QVariantMap();
        m_bus.send(closed);
        session.clear();
    }

    int count(const QString &method) const { return int(calls.count(method)); }
    QVariantMap optionsOf(const QString &method, int nth = 0) const
    {
        for (int i = 0; i < calls.size(); ++i)
            if (calls[i] == method && nth-- == 0)
                return options[i];
        return {};
    }

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        QDBusConnection bus = connection;
        const QString method = message.member();
        const QVariantList args = message.arguments();
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties") && method == QLatin1String("GetAll")) {
            if (!remoteDesktop || args.value(0).toString() != QLatin1String(kRemoteDesktop)) {
                bus.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                                                  QStringLiteral("no such interface")));
                return true;
            }
            const QVariantMap properties{{QStringLiteral("version"), QVariant::fromValue(version)},
                                         {QStringLiteral("AvailableDeviceTypes"), QVariant::fromValue(deviceTypes)}};
            bus.send(message.createReply(QVariant::fromValue(properties)));
            return true;
        }
        if (message.interface() == QLatin1String("org.freedesktop.portal.Session") && method == QLatin1String("Close")) {
            closedByTool << message.path();
            if (message.path() == session)
                session.clear();
            bus.send(message.createReply());
            return true;
        }
        if (message.interface() != QLatin1String(kRemoteDesktop) || !remoteDesktop)
            return false;
        const QVariantMap opts = qdbus_cast<QVariantMap>(args.value(method == QLatin1String("Start") ? 2 : args.size() - 1));
        calls << method;
        options << (method == QLatin1String("NotifyKeyboardKeysym") ? QVariantMap() : opts);
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString request = QLatin1String(kPath) + QStringLiteral("/request/") + sender + QLatin1Char('/')
                                + opts.value(QStringLiteral("handle_token")).toString();
        if (method == QLatin1String("CreateSession")) {
            session = QLatin1String(kPath) + QStringLiteral("/session/") + sender + QLatin1Char('/')
                      + opts.value(QStringLiteral("session_handle_token")).toString();
            bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
            respond(bus, request, 0, {{QStringLiteral("session_handle"), session}});
        } else if (method == QLatin1String("SelectDevices")) {
            m_offeredToken = opts.value(QStringLiteral("restore_token")).toString();
            m_persist = opts.value(QStringLiteral("persist_mode")).toUInt();
            bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
            respond(bus, request, 0, {});
        } else if (method == QLatin1String("Start")) {
            bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
            // A token handed out before stands for the user's earlier yes; each is used once.
            const bool remembered = !m_offeredToken.isEmpty() && issuedTokens.contains(m_offeredToken);
            if (remembered)
                issuedTokens.removeAll(m_offeredToken);
            else
                ++questions;
            const uint response = remembered ? 0 : answer;
            QVariantMap results;
            if (response == 0) {
                results.insert(QStringLiteral("devices"), QVariant::fromValue(uint(1)));
                if (version >= 2 && m_persist == 2) {
                    issuedTokens << QStringLiteral("token-%1").arg(++m_tokens);
                    results.insert(QStringLiteral("restore_token"), issuedTokens.last());
                }
            } else {
                session.clear();
            }
            respond(bus, request, response, results);
        } else if (method == QLatin1String("NotifyKeyboardKeysym")) {
            if (args.value(0).value<QDBusObjectPath>().path() != session || session.isEmpty()) {
                bus.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                                                  QStringLiteral("no such session")));
                return true;
            }
            keys << Key{args.value(2).toInt(), args.value(3).toUInt()};
            bus.send(message.createReply());
        } else {
            return false;
        }
        return true;
    }

    // The keys pressed, as text (Return as a line break); each press must be
    // followed by its release, else the text says so.
    QString typedText() const
    {
        QString text;
        for (int i = 0; i < keys.size(); i += 2) {
            if (i + 1 >= keys.size() || keys[i].state != 1 || keys[i + 1].state != 0
                || keys[i + 1].keysym != keys[i].keysym)
                return text + QStringLiteral("<unpaired>");
            const int sym = keys[i].keysym;
            // Latin-1 keysyms are the characters; others are 0x01000000 and the code point.
            const char32_t c = sym == 0xff0d ? U'\n' : char32_t(sym >= 0x01000000 ? sym & 0xffffff : sym);
            text += QString::fromUcs4(&c, 1);
        }
        return text;
    }

private:
    void respond(QDBusConnection &bus, const QString &request, uint response, const QVariantMap &results)
    {
        QDBusMessage signal =
            QDBusMessage::createSignal(request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << response << results;
        bus.send(signal);
    }

    QDBusConnection m_bus{QString()};
    QString m_offeredToken;
    uint m_persist = 0;
    int m_tokens = 0;
};

} // namespace limra::testing
