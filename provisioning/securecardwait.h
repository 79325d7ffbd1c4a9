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

    const QString &counterCaption() const { return m_counterCaption; }
    const QString &finishText() const { return m_finishText; }
    Page page() const { return m_page; }
    // The cards made (or cleared) since the master card was taken.
    int made() const { return m_made; }

protected:
    void opened() override;
    void status(quint8 code) override;

private:
    QString m_counterCaption;
    QString m_finishText;
    Page m_page = Page::MasterCard;
    int m_made = 0;
};

} // namespace limra
