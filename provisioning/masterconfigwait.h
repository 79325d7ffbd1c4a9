#pragma once
// Waits up to 30 seconds for a master card's configuration report: a frame
// with command 01, version 03 and the configuration items.
#include "provisioning/cardwait.h"

namespace limra {

class MasterConfigWait : public CardWait {
    Q_OBJECT
public:
    MasterConfigWait(ReaderLink &link, const Timings &timings, QObject *parent = nullptr);
    Kind kind() const override { return Kind::MasterConfig; }
    void tick() override;

    int secondsLeft = 0;
    // The configuration items the card reported (hex text), empty when none came.
    QString report;
    bool timedOut = false;

protected:
    void opened() override;
    void status(quint8) override {}

private:
    QMetaObject::Connection m_frames;
};

} // namespace limra
