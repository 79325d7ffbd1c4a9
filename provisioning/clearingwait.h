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

    const QString &prompt() const { return m_prompt; }
    const QString &finishText() const { return m_finishText; }
    // The cards cleared so far.
    int cleared() const { return m_cleared; }

protected:
    void opened() override;
    void status(quint8 code) override;

private:
    QString m_prompt;
    QString m_finishText;
    int m_cleared = 0;
};

} // namespace limra
