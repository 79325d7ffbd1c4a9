#pragma once
// What a window's checks wait for: the window on the screen with its layouts
// done, and a modal dialog open to be answered.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <functional>

#include "tests/support/simreader.h"

namespace limra::testing {

// Waits until the widget's window is on the screen (when it is shown at
// all), then lets its layouts and what showing it posted run.
inline bool laidOut(QWidget *widget, int ms = 10000)
{
    QWidget *window = widget->window();
    const bool exposed = !window->isVisible() || waitUntil([window] {
        return window->windowHandle() && window->windowHandle()->isExposed();
    }, ms);
    deliverPosted();
    return exposed;
}

template <class T>
struct Named {
    using Type = T;
};

// Acts on the next modal dialog of its kind as soon as it is open and shown
// (its own event loop runs meanwhile): for a test that opens one and answers
// it.
template <class Dialog = QWidget>
void onNextModal(std::function<void(typename Named<Dialog>::Type *)> act)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act = std::move(act)] {
        auto *modal = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start(5);
}

} // namespace limra::testing
