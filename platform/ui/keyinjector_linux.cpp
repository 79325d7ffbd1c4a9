// The key injector of a Linux desktop session: XTest on X11; in a Wayland
// session the desktop's remote-desktop portal, with XTest for the programs
// under XWayland where the desktop has none.
#include <QDBusConnection>

#include "platform/files.h"
#include "platform/keyinjector.h"
#include "platform/portalkeyinjector.h"
#include "platform/typingreach.h"

namespace limra {

std::unique_ptr<KeyInjector> createSystemKeyInjector()
{
    if (!waylandSession())
        return createX11KeyInjector();
    return std::make_unique<PortalKeyInjector>(QDBusConnection::sessionBus(),
                                               userDataFolder() + QStringLiteral("/desktop-typing-permission"),
                                               createX11KeyInjector());
}

} // namespace limra
