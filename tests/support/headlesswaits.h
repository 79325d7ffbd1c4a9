#pragma once
// Plays the user's part in the card waits, without a window: tells what the
// waits showed, and runs planned acts when a wait opens and whenever it
// changes. Notices are read at once.
#include <QStringList>
#include <functional>

#include "provisioning/cardoperation.h"

namespace limra::testing {

class CardWaitUser {
public:
    // Called once a wait is open, and after each of its changes.
    std::function<void(CardWait &)> onOpen = [](CardWait &) {};
    std::function<void(CardWait &)> onChange = [](CardWait &) {};
    QStringList notices;  // what the waits told
    QStringList captions; // the captions of the waits shown

    // Shows every wait an operation (or a station) opens.
    template <class Source>
    void watch(Source &source)
    {
        QObject::connect(&source, &Source::cardWaitOpened, [this](CardWait *wait) { show(*wait); });
    }

    void show(CardWait &wait)
    {
        captions << wait.caption();
        QObject::connect(&wait, &CardWait::notice, &wait, [this, &wait](const CardWait::Notice &n) {
            notices << noticeText(n);
            wait.acknowledge();
        });
        QObject::connect(&wait, &CardWait::changed, &wait, [this, &wait] {
            if (wait.isOpen())
                onChange(wait);
        });
        onOpen(wait);
    }
};

} // namespace limra::testing
