#pragma once
// The scripted services a whole main window runs on in the tests, with its
// settings and data in a temporary folder; and a probe of how long the event
// loop is held up.
#include <QTemporaryDir>

#include "station/station.h"
#include "app/ui/mainwindow.h"
#include "platform/qtserialport.h"
#include "tests/support/fakeports.h"
#include "tests/support/faketray.h"
#include "tests/support/recordingkeys.h"
#include "tests/support/responsiveness.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simreader.h"
#include "tests/support/stationplatform.h"

namespace limra::testing {

struct ToolServices {
    // The station the window shows, built at the first call.
    ReaderStation &station(SerialPortFactory factory = [] { return std::make_unique<QtSerialPort>(); })
    {
        if (!m_station) {
            m_station = std::make_unique<ReaderStation>(
                stationPlatform(ports, dir.filePath(QStringLiteral("data")), &monitor, std::move(factory)), timings);
        }
        return *m_station;
    }
    Services services()
    {
        Services s;
        s.dialogs = &dialogs;
        s.clipboard = &clipboard;
        s.keys = &keys;
        s.tray = &tray;
        s.settingsPath = settingsPath();
        s.windowStatePath = dir.filePath(QStringLiteral("state/window"));
        return s;
    }
    // The tool ends (its window gone first): the next call of station()
    // starts it again, with its data in the same folder.
    void dropStation() { m_station.reset(); }
    QString settingsPath() const { return dir.filePath(QStringLiteral("settings.ini")); }
    // Lets what the user started run to its end.
    void settle()
    {
        waitUntil([this] { return !m_station || !m_station->busy(); }, 10000);
        deliverPosted(); // its end is told from the event loop
    }

    // The window's tests go at a quarter of the real times.
    Timings timings = Timings().shortened(4);

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FakeClipboard clipboard;
    RecordingKeys keys;
    FakeTray tray;
    FakePortEnumerator ports;
    FakeDeviceMonitor monitor;

private:
    std::unique_ptr<ReaderStation> m_station;
};

} // namespace limra::testing
