#pragma once
// First the master card with the object code, with a countdown; then any
// number of cards, counted, until the user finishes.
#include "provisioning/cardwait.h"

namespace limra {

class SecureCardWait : public CardWait {
    Q_OBJECT
public:
    enum class Page { MasterCard, Cards };
    SecureCardWait(ReaderLink &link, const Timings &timings, const QString &caption, const QString &counterCaption,
                   const QString &finishText, QObject *parent = nullptr);
    Kind kind() const override { return Kind::SecureCards; }
    void tick() override;
    void finishByUser();

    QString counterCaption;
    QString finishText;
    Page page = Page::MasterCard;
    int made = 0;

protected:
    void opened() override;
    void status(quint8 code) override;
};

} // namespace limra
