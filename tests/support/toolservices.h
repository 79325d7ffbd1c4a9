#pragma once
// The scripted services a whole main window runs on in the tests, with its
// settings and data in a temporary folder; and a probe of how long the event
// loop is held up.
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include "app/ui/mainwindow.h"
#include "platform/qtserialport.h"
#include "tests/support/fakeports.h"
#include "tests/support/faketray.h"
#include "tests/support/recordingkeys.h"
#include "tests/support/scripteddialogs.h"

namespace limra::testing {

struct ToolServices {
    Services services(SerialPortFactory factory = [] { return std::make_unique<QtSerialPort>(); })
    {
        Services s;
        s.dialogs = &dialogs;
        s.clipboard = &clipboard;
        s.keys = &keys;
        s.tray = &tray;
        s.ports = &ports;
        s.deviceMonitor = &monitor;
        s.portFactory = std::move(factory);
        s.settingsPath = settingsPath();
        s.dataFolder = dir.filePath(QStringLiteral("data"));
        return s;
    }
    QString settingsPath() const { return dir.filePath(QStringLiteral("settings.ini")); }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FakeClipboard clipboard;
    RecordingKeys keys;
    FakeTray tray;
    FakePortEnumerator ports;
    FakeDeviceMonitor monitor;
};

// A timer ticks every 20 ms; the longest gap between ticks is how long the
// window did not answer.
class ResponsivenessProbe {
public:
    ResponsivenessProbe()
    {
        QObject::connect(&m_beat, &QTimer::timeout, [this] {
            m_worst = std::max(m_worst, m_clock.elapsed() - m_last);
            m_last = m_clock.elapsed();
        });
        m_clock.start();
        m_beat.start(20);
    }
    qint64 worstGapMs() const { return m_worst; }

private:
    QElapsedTimer m_clock;
    QTimer m_beat;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

} // namespace limra::testing
