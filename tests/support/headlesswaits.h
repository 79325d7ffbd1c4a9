#pragma once
// Card waits run without a window: a timer and an event loop drive the
// wait's state machine, and planned acts of the user come at given ticks.
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "provisioning/cardwait.h"

namespace limra::testing {

class HeadlessCardWaits : public CardWaits {
public:
    // Called once the wait is open, with the wait; a test chooses a count,
    // or plans to finish, here.
    std::function<void(CardWait &)> onOpen = [](CardWait &) {};
    // Called after every tick.
    std::function<void(CardWait &)> afterTick = [](CardWait &) {};
    int budgetTicks = CardWait::kBudgetTicks;
    // A tick every this many milliseconds (the waits' own period is 100 ms).
    int tickMs = 5;
    QStringList messages;   // what the waits showed
    QStringList captions;   // the captions of the waits run

    WaitResult run(CardWait &wait) override
    {
        captions << wait.caption;
        Host host(*this, wait);
        wait.open(host, budgetTicks);
        if (!host.finished) {
            onOpen(wait);
            if (!host.finished)
                host.loop.exec();
        }
        host.timer.stop();
        return host.result;
    }

private:
    struct Host : CardWaitHost {
        Host(HeadlessCardWaits &w, CardWait &cw) : waits(w), wait(cw)
        {
            timer.setInterval(waits.tickMs);
            QObject::connect(&timer, &QTimer::timeout, [this] {
                wait.tick();
                if (!finished)
                    waits.afterTick(wait);
            });
        }
        void startTimer() override
        {
            if (!finished)
                timer.start();
        }
        void stopTimer() override { timer.stop(); }
        void message(const QString &text) override { waits.messages << text; }
        void finish(WaitResult r) override
        {
            if (finished)
                return;
            finished = true;
            result = r;
            timer.stop();
            loop.quit();
        }
        void changed() override {}

        HeadlessCardWaits &waits;
        CardWait &wait;
        QTimer timer;
        QEventLoop loop;
        bool finished = false;
        WaitResult result = WaitResult::Cancel;
    };
};

} // namespace limra::testing
