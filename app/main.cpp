// limra-rfid: the service tool for the USB card readers.
#include <QApplication>

#include "app/ui/mainwindow.h"
#include "app/settings.h"
#include "common/texts.h"
#include "platform/keyinjector.h"
#include "platform/systemdevices.h"
#include "platform/qtserialport.h"
#include "platform/ui/qtclipboard.h"
#include "platform/ui/qtdialogs.h"
#include "platform/ui/qttray.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("limra-rfid"));
    QApplication::setApplicationDisplayName(limra::texts::kAppTitle);
    QApplication::setApplicationVersion(QStringLiteral(LIMRA_VERSION));
    QApplication::setQuitOnLastWindowClosed(false); // the window may sit in the tray

    limra::SystemPortEnumerator ports;
    limra::SystemDeviceMonitor monitor;
    limra::QtClipboard clipboard;
    const std::unique_ptr<limra::KeyInjector> keys = limra::createSystemKeyInjector();
    limra::QtTray tray(limra::MainWindow::appIcon(), limra::texts::kAppTitle);

    limra::QtDialogs dialogs;
    limra::Services services;
    services.dialogs = &dialogs;
    services.clipboard = &clipboard;
    services.keys = keys.get();
    services.tray = &tray;
    services.ports = &ports;
    services.deviceMonitor = &monitor;
    services.portFactory = [] { return std::make_unique<limra::QtSerialPort>(); };
    services.settingsPath = limra::settingsFilePath();

    limra::MainWindow window(services);
    dialogs.setParentWidget(&window);
    window.show();
    return app.exec();
}
