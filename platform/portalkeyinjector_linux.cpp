#include "platform/portalkeyinjector.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/logging.h"
#include "platform/files.h"

namespace limra {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRemoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
const char *const kResponseSlot = SLOT(requestAnswered(uint, QVariantMap, QDBusMessage));
const char *const kClosedSlot = SLOT(sessionClosed(QVariantMap, QDBusMessage));

constexpr uint kKeyboard = 1;         // the device type bit of a keyboard
constexpr uint kPersistUntilRevoked = 2;
constexpr uint kPressed = 1;
constexpr uint kReleased = 0;
constexpr uint kResponseRefused = 1;  // the user said no; 2 is any other end
constexpr quint32 kReturn = 0xff0d;
constexpr quint32 kTab = 0xff09;
constexpr qint64 kMaxTokenBytes = 4096;

QString pathOf(const QVariant &value)
{
    if (value.canConvert<QDBusObjectPath>() && value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString(); // the portals send the session handle as a string
}

} // namespace

PortalKeyInjector::PortalKeyInjector(const QDBusConnection &bus, const QString &restoreTokenFile,
                                     std::unique_ptr<KeyInjector> fallback, QObject *parent)
    : QObject(parent), m_bus(bus), m_tokenFile(restoreTokenFile), m_fallback(std::move(fallback))
{
    if (!m_bus.isConnected()) {
        giveUpPortal(QStringLiteral("no session bus"));
        return;
    }
    QDBusMessage getAll = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                         QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("GetAll"));
    getAll << kRemoteDesktop;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(getAll), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        portalFound(w->reply());
    });
}

PortalKeyInjector::~PortalKeyInjector()
{
    forget();
}

void PortalKeyInjector::portalFound(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        giveUpPortal(reply.errorMessage());
        return;
    }
    const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().at(0));
    if (!properties.contains(QStringLiteral("version"))) {
        giveUpPortal(QStringLiteral("the portal has no remote-desktop interface"));
        return;
    }
    const QVariant types = properties.value(QStringLiteral("AvailableDeviceTypes"));
    if (types.isValid() && !(types.toUInt() & kKeyboard)) {
        giveUpPortal(QStringLiteral("the portal offers no keyboard"));
        return;
    }
    m_portalOwner = reply.service();
    m_portalVersion = properties.value(QStringLiteral("version")).toUInt();
    qCDebug(lcApp) << "remote-desktop portal version" << m_portalVersion << "at" << m_portalOwner;
    setPhase(Phase::Idle);
    if (m_askWhenFound || !m_waiting.empty())
        ask();
}

bool PortalKeyInjector::available()
{
    return reach() != TypingReach::Unavailable || m_phase == Phase::LookingForPortal;
}

bool PortalKeyInjector::capsLockOn()
{
    // The desktop types keysyms as themselves whatever its Caps Lock says.
    return m_phase == Phase::NoPortal && m_fallback && m_fallback->capsLockOn();
}

// Keysyms do not depend on the layout: only XTest switches it.
void PortalKeyInjector::selectLatinLayout()
{
    key({Key::Latin});
}

void PortalKeyInjector::restoreLayout()
{
    key({Key::Restore});
}

void PortalKeyInjector::pressKey(QChar k)
{
    key({Key::Press, k.unicode()});
}

void PortalKeyInjector::typeCharacter(char32_t c)
{
    key({Key::Character, c});
}

void PortalKeyInjector::pressEnter()
{
    key({Key::Enter});
}

TypingReach PortalKeyInjector::reach()
{
    switch (m_phase) {
    case Phase::LookingForPortal:
    case Phase::NoPortal:
        return m_fallback ? m_fallback->reach() : TypingReach::Unavailable;
    case Phase::Idle:
    case Phase::Asking:
    case Phase::Typing:
        return TypingReach::DesktopPortal;
    case Phase::Refused:
        return m_refusal;
    }
    return TypingReach::Unavailable;
}

void PortalKeyInjector::prepare()
{
    if (m_phase == Phase::LookingForPortal)
        m_askWhenFound = true;
    else if (m_phase == Phase::Idle || m_phase == Phase::Refused)
        ask();
}

quint32 PortalKeyInjector::keysymOf(char32_t c)
{
    if (c == U'\n' || c == U'\r')
        return kReturn;
    if (c == U'\t')
        return kTab;
    if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF))
        return quint32(c);
    return 0x01000000u | quint32(c);
}

void PortalKeyInjector::key(Key k)
{
    const bool typed = k.kind != Key::Latin && k.kind != Key::Restore;
    switch (m_phase) {
    case Phase::NoPortal:
        if (!m_fallback)
            return;
        switch (k.kind) {
        case Key::Latin: m_fallback->selectLatinLayout(); break;
        case Key::Restore: m_fallback->restoreLayout(); break;
        case Key::Press: m_fallback->pressKey(QChar(char16_t(k.c))); break;
        case Key::Character: m_fallback->typeCharacter(k.c); break;
        case Key::Enter: m_fallback->pressEnter(); break;
        }
        return;
    case Phase::Typing:
        if (k.kind == Key::Press) {
            // The digit or the upper-case Latin letter, as XTest types it.
            const QChar c(char16_t(k.c));
            send(keysymOf(c.isLetter() && c.unicode() < 0x80 ? c.toUpper().unicode() : c.unicode()));
        } else if (k.kind == Key::Character) {
            send(keysymOf(k.c));
        } else if (k.kind == Key::Enter) {
            send(kReturn);
        }
        return;
    case Phase::Refused:
        return; // the identifier stays on display; nothing is typed until the user switches typing on again
    case Phase::LookingForPortal:
    case Phase::Idle:
    case Phase::Asking:
        if (int(m_waiting.size()) >= kMaxWaitingKeys) {
            qCWarning(lcApp) << "typing waits for the desktop's permission: a key is dropped";
            return;
        }
        m_waiting.push_back(k);
        if (typed && m_phase == Phase::LookingForPortal)
            m_askWhenFound = true;
        if (typed && m_phase == Phase::Idle)
            ask();
        return;
    }
}

QString PortalKeyInjector::objectPath(const char *kind, const QString &token) const
{
    QString sender = m_bus.baseService();
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPortalPath + QLatin1Char('/') + QLatin1String(kind) + QLatin1Char('/') + sender + QLatin1Char('/') + token;
}

void PortalKeyInjector::ask()
{
    forget();
    setPhase(Phase::Asking);
    m_askWhenFound = false;
    const QString token = QStringLiteral("limra_session_%1").arg(++m_tokenCounter);
    call(Step::CreateSession, QStringLiteral("CreateSession"), {},
         {{QStringLiteral("session_handle_token"), token}});
}

// Every step answers with a request; its Response signal is the answer. The
// signal is subscribed at its predicted path before the call goes out, so
// that an answer given at once is not missed.
void PortalKeyInjector::call(Step step, const QString &method, const QVariantList &arguments,
                             const QVariantMap &options)
{
    const QString token = QStringLiteral("limra_request_%1").arg(++m_tokenCounter);
    QVariantMap withToken = options;
    withToken.insert(QStringLiteral("handle_token"), token);
    m_step = step;
    m_requestPath = objectPath("request", token);
    m_bus.connect(QString(), m_requestPath, kRequest, QStringLiteral("Response"), this, kResponseSlot);

    QDBusMessage message = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kRemoteDesktop, method);
    message.setArguments(arguments + QVariantList{withToken});
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    const QString predicted = m_requestPath;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, predicted](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (m_requestPath != predicted)
            return; // the request is over already (answered, or the session ended)
        QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError()) {
            giveUpPortal(reply.error().message());
            return;
        }
        // An older portal names its request otherwise: its answer comes there.
        const QString handle = reply.value().path();
        if (handle != m_requestPath) {
            m_bus.disconnect(QString(), m_requestPath, kRequest, QStringLiteral("Response"), this, kResponseSlot);
            m_requestPath = handle;
            m_bus.connect(QString(), m_requestPath, kRequest, QStringLiteral("Response"), this, kResponseSlot);
        }
    });
}

void PortalKeyInjector::requestAnswered(uint response, const QVariantMap &results, const QDBusMessage &message)
{
    if (!m_step || message.service() != m_portalOwner || message.path() != m_requestPath)
        return;
    m_bus.disconnect(QString(), m_requestPath, kRequest, QStringLiteral("Response"), this, kResponseSlot);
    m_requestPath.clear();
    const Step step = *m_step;
    m_step.reset();
    if (response != 0) {
        refuse(response == kResponseRefused ? TypingReach::DesktopRefused : TypingReach::DesktopCancelled);
        return;
    }
    stepAnswered(step, results);
}

void PortalKeyInjector::stepAnswered(Step step, const QVariantMap &results)
{
    switch (step) {
    case Step::CreateSession: {
        m_sessionPath = pathOf(results.value(QStringLiteral("session_handle")));
        if (m_sessionPath.isEmpty()) {
            giveUpPortal(QStringLiteral("the portal named no session"));
            return;
        }
        m_bus.connect(QString(), m_sessionPath, kSession, QStringLiteral("Closed"), this, kClosedSlot);
        QVariantMap options{{QStringLiteral("types"), kKeyboard}};
        if (m_portalVersion >= 2) {
            options.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
            const QString token = readRestoreToken();
            if (!token.isEmpty())
                options.insert(QStringLiteral("restore_token"), token);
        }
        call(Step::SelectDevices, QStringLiteral("SelectDevices"),
             {QVariant::fromValue(QDBusObjectPath(m_sessionPath))}, options);
        return;
    }
    case Step::SelectDevices:
        call(Step::Start, QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(m_sessionPath)), QString()},
             {});
        return;
    case Step::Start: {
        const QVariant devices = results.value(QStringLiteral("devices"));
        if (devices.isValid() && !(devices.toUInt() & kKeyboard)) {
            refuse(TypingReach::DesktopRefused); // the user allowed something, but not the keyboard
            return;
        }
        const QString token = results.value(QStringLiteral("restore_token")).toString();
        if (!token.isEmpty())
            keepRestoreToken(token);
        setPhase(Phase::Typing);
        const std::vector<Key> waiting = std::move(m_waiting);
        m_waiting.clear();
        for (const Key &k : waiting)
            key(k);
        return;
    }
    }
}

void PortalKeyInjector::sessionClosed(const QVariantMap &, const QDBusMessage &message)
{
    if (message.service() != m_portalOwner || message.path() != m_sessionPath)
        return;
    qCDebug(lcApp) << "the desktop closed the remote-desktop session";
    m_bus.disconnect(QString(), m_sessionPath, kSession, QStringLiteral("Closed"), this, kClosedSlot);
    m_sessionPath.clear(); // closed already: not closed again
    forget();
    m_waiting.clear();
    setPhase(Phase::Idle); // the next key asks again
}

void PortalKeyInjector::refuse(TypingReach why)
{
    qCInfo(lcApp) << "the desktop did not allow typing";
    forget();
    m_waiting.clear();
    m_refusal = why;
    setPhase(Phase::Refused);
}

void PortalKeyInjector::giveUpPortal(const QString &why)
{
    qCInfo(lcApp) << "typing without the remote-desktop portal:" << why;
    forget();
    setPhase(Phase::NoPortal);
    const std::vector<Key> waiting = std::move(m_waiting);
    m_waiting.clear();
    for (const Key &k : waiting)
        key(k);
}

void PortalKeyInjector::send(quint32 keysym)
{
    const QString session = m_sessionPath;
    for (const uint state : {kPressed, kReleased}) {
        QDBusMessage message = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kRemoteDesktop,
                                                              QStringLiteral("NotifyKeyboardKeysym"));
        message << QVariant::fromValue(QDBusObjectPath(session)) << QVariantMap() << int(keysym) << state;
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, session](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            if (!w->isError() || m_phase != Phase::Typing || m_sessionPath != session)
                return;
            // The session is gone without a word: the next key asks again.
            qCWarning(lcApp) << "the desktop took no key:" << w->error().message();
            forget();
            setPhase(Phase::Idle);
        });
    }
}

// Lets go of the request and the session in progress; the desktop is told
// that the session ends.
void PortalKeyInjector::forget()
{
    if (!m_requestPath.isEmpty())
        m_bus.disconnect(QString(), m_requestPath, kRequest, QStringLiteral("Response"), this, kResponseSlot);
    if (!m_sessionPath.isEmpty()) {
        m_bus.disconnect(QString(), m_sessionPath, kSession, QStringLiteral("Closed"), this, kClosedSlot);
        m_bus.send(QDBusMessage::createMethodCall(kPortalService, m_sessionPath, kSession, QStringLiteral("Close")));
    }
    m_requestPath.clear();
    m_sessionPath.clear();
    m_step.reset();
}

void PortalKeyInjector::setPhase(Phase phase)
{
    const TypingReach before = reach();
    m_phase = phase;
    if (reach() != before && m_reachChanged)
        m_reachChanged();
}

QString PortalKeyInjector::readRestoreToken() const
{
    if (m_tokenFile.isEmpty())
        return QString();
    const auto bytes = readSmallFile(m_tokenFile, kMaxTokenBytes);
    if (!bytes)
        return QString();
    return QString::fromUtf8(*bytes).trimmed();
}

// The token lets the tool type without asking: only its user may read it.
void PortalKeyInjector::keepRestoreToken(const QString &token) const
{
    if (m_tokenFile.isEmpty())
        return;
    QDir().mkpath(QFileInfo(m_tokenFile).absolutePath());
    const QByteArray path = QFile::encodeName(m_tokenFile);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0) {
        ::fchmod(fd, S_IRUSR | S_IWUSR); // the new file keeps these
        ::close(fd);
    }
    if (const auto kept = writeFileAtomically(m_tokenFile, token.toUtf8()); !kept)
        qCWarning(lcApp) << "cannot keep the desktop's permission to type:" << kept.error().reason;
}

} // namespace limra
#include "moc_portalkeyinjector.cpp"
