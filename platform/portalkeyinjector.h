#pragma once
// Typing in a Wayland session through the desktop's remote-desktop portal
// (org.freedesktop.portal.RemoteDesktop, over D-Bus): the tool asks for a
// keyboard once, the desktop asks the user, and every character is then sent
// as a keysym pressed and released, to whichever window has the focus.
//
// Nothing waits on the stack: each portal call answers with a request whose
// Response signal arrives later from the event loop. The portal is looked for
// at once (reading its properties asks the user nothing); the keyboard is
// asked for when typing is first needed (prepare(), or the first key). Keys
// typed meanwhile wait, a bounded number of them, and go out in their order
// once the desktop allows; where the user refuses they are dropped, and
// reach() says why. Where the desktop has no such portal every key goes to
// the fallback injector (XTest, which reaches the programs under XWayland).
//
// Where the portal offers it (version 2 on), the desktop's permission is kept
// (a restore token, in a file only the user may read) so that the user is
// asked once and not at every start.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>
#include <optional>
#include <vector>

#include "platform/keyinjector.h"

namespace limra {

class PortalKeyInjector : public QObject, public KeyInjector {
    Q_OBJECT
public:
    // Keys that wait for the desktop's answer beyond which more are dropped.
    static constexpr int kMaxWaitingKeys = 512;

    // `fallback` types where the desktop has no portal; it may be null.
    PortalKeyInjector(const QDBusConnection &bus, const QString &restoreTokenFile,
                      std::unique_ptr<KeyInjector> fallback, QObject *parent = nullptr);
    ~PortalKeyInjector() override;

    bool available() override;
    bool capsLockOn() override;
    void selectLatinLayout() override;
    void restoreLayout() override;
    void pressKey(QChar key) override;
    void typeCharacter(char32_t c) override;
    void pressEnter() override;
    TypingReach reach() override;
    void watchReach(std::function<void()> changed) override { m_reachChanged = std::move(changed); }
    void prepare() override;

    // The keysym a character is typed as (Return for a line break).
    static quint32 keysymOf(char32_t c);

private Q_SLOTS:
    void requestAnswered(uint response, const QVariantMap &results, const QDBusMessage &message);
    void sessionClosed(const QVariantMap &details, const QDBusMessage &message);

private:
    enum class Phase {
        LookingForPortal, // the portal's properties are being read
        NoPortal,         // every key goes to the fallback
        Idle,             // the portal is there; no keyboard asked for
        Asking,           // CreateSession, SelectDevices and Start in turn
        Typing,           // the desktop allowed: keys go out as they come
        Refused,          // the desktop did not allow; asked again by prepare()
    };
    enum class Step { CreateSession, SelectDevices, Start };
    // What the typist asked for, kept while the desktop's answer is awaited.
    struct Key {
        enum Kind { Latin, Restore, Press, Character, Enter } kind;
        char32_t c = 0;
    };

    void portalFound(const QDBusMessage &reply);
    void key(Key k);
    void ask();
    void call(Step step, const QString &method, const QVariantList &arguments, const QVariantMap &options);
    void stepAnswered(Step step, const QVariantMap &results);
    void refuse(TypingReach why);
    void giveUpPortal(const QString &why);
    void send(quint32 keysym);
    void forget(); // the session ends; nothing of it is used again
    QString objectPath(const char *kind, const QString &token) const;
    QString readRestoreToken() const;
    void keepRestoreToken(const QString &token) const;
    void setPhase(Phase phase);

    QDBusConnection m_bus;
    QString m_tokenFile;
    std::unique_ptr<KeyInjector> m_fallback;
    std::function<void()> m_reachChanged;
    Phase m_phase = Phase::LookingForPortal;
    TypingReach m_refusal = TypingReach::DesktopRefused;
    bool m_askWhenFound = false;
    QString m_portalOwner;  // the portal's unique bus name: only its signals count
    uint m_portalVersion = 1;
    std::optional<Step> m_step;
    QString m_requestPath;  // the request whose Response is awaited
    QString m_sessionPath;
    int m_tokenCounter = 0;
    std::vector<Key> m_waiting;
};

} // namespace limra
