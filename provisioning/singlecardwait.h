#pragma once
// Waits for one card operation to succeed (the master card with the object
// code, or with a configuration): Yes on success, No when the time is out.
#include "provisioning/cardwait.h"

namespace limra {

class SingleCardWait : public CardWait {
    Q_OBJECT
public:
    SingleCardWait(ReaderLink &link, const Timings &timings, const QString &caption, const QString &prompt,
                   QObject *parent = nullptr);
    Kind kind() const override { return Kind::SingleCard; }
    void tick() override;
    const QString &prompt() const { return m_prompt; }

protected:
    void opened() override;
    void status(quint8 code) override;

private:
    QString m_prompt;
};

} // namespace limra
