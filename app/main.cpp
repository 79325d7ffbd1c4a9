// limra-rfid: the service tool for the USB card readers.
#include <QApplication>

#include "app/settings.h"
#include "app/ui/mainwindow.h"
#include "common/texts.h"
#include "platform/files.h"
#include "platform/instanceguard.h"
#include "platform/keyinjector.h"
#include "platform/qtserialport.h"
#include "platform/systemdevices.h"
#include "platform/ui/qtclipboard.h"
#include "platform/ui/qtdialogs.h"
#include "platform/ui/qttray.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // No application display name: Qt would add it to every window title,
    // and each title is exactly its caption.
    QApplication::setApplicationName(QStringLiteral("limra-rfid"));
    QApplication::setApplicationVersion(QStringLiteral(LIMRA_VERSION));
    QApplication::setQuitOnLastWindowClosed(false); // the window may sit in the tray
    limra::installRussianTranslation();

    // A second start in the same graphical session brings the running copy's window to the front.
    limra::InstanceGuard guard(limra::instanceSocketPath());
    if (guard.anotherCopyRuns())
        return 0;
    guard.listen();

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
    services.dataFolder = limra::userDataFolder();

    limra::MainWindow window(services);
    dialogs.setParentWidget(&window);
    QObject::connect(&guard, &limra::InstanceGuard::showRequested, &window, &limra::MainWindow::bringToFront);
    // Logging out, kill, Ctrl+C: the window closes the ordinary way and the settings are written.
    limra::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &limra::TerminationSignals::terminationRequested, &window,
                     &limra::MainWindow::closeForTermination);
    window.show();
    return app.exec();
}
