#pragma once
// Clears any number of cards: a counter and a finish button, no time limit.
#include "provisioning/cardwait.h"

namespace limra {

class ClearingWait : public CardWait {
    Q_OBJECT
public:
    ClearingWait(ReaderLink &link, const Timings &timings, const QString &caption, const QString &prompt,
                 const QString &finishText, QObject *parent = nullptr);
    Kind kind() const override { return Kind::Clearing; }
    void tick() override {}
    void finishByUser();

    QString prompt;
    QString finishText;
    int cleared = 0;

protected:
    void opened() override;
    void status(quint8 code) override;
};

} // namespace limra
