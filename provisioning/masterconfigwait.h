#pragma once
// Waits up to 30 seconds for a master card's configuration report: a frame
// with command 01, version 03 and the configuration items. Done when the
// report came, No when the time ran out.
#include "provisioning/cardwait.h"

namespace limra {

class MasterConfigWait : public CardWait {
    Q_OBJECT
public:
    MasterConfigWait(ReaderLink &link, const Timings &timings, QObject *parent = nullptr);
    Kind kind() const override { return Kind::MasterConfig; }
    void tick() override;

    int secondsLeft() const { return m_secondsLeft; }
    // The configuration items the card reported (hex text), empty when none came.
    const QString &report() const { return m_report; }

protected:
    void opened() override;
    void status(quint8) override {}

private:
    int m_secondsLeft = 0;
    QString m_report;
    QMetaObject::Connection m_frames;
};

} // namespace limra
