#include "provisioning/ui/securecardspage.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/texts.h"
#include "common/ui/mnemonic.h"
#include "config/ui/zonelist.h"
#include "link/ui/showreport.h"
#include "platform/dialogs.h"
#include "provisioning/cardruns.h"

namespace limra {

SecureCardsPage::SecureCardsPage(CardRuns &runs, UserDialogs &dialogs, QWidget *parent)
    : QWidget(parent), m_runs(runs), m_dialogs(dialogs)
{
    auto *layout = new QVBoxLayout(this);
    auto *modeRow = new QHBoxLayout;
    auto *modeCaption = new QLabel(QStringLiteral("Текущая конфигурация считывателя:"), this);
    modeText = new QLabel(this);
    modeText->setObjectName(QStringLiteral("modeText"));
    QFont bold = modeText->font();
    bold.setBold(true);
    modeText->setFont(bold);
    modeCaption->setBuddy(modeText); // the caption labels the mode; the mode is what is read out
    modeRow->addWidget(modeCaption);
    modeRow->addWidget(modeText);
    modeRow->addStretch(1);
    layout->addLayout(modeRow);
    const QChar q = QLatin1Char('"');
    layout->addWidget(new QLabel(QStringLiteral("Конфигурация защищенных карт для режима ") + q
                                     + texts::kObjectCodeMode + q + QStringLiteral(" или ") + q
                                     + texts::kZonesCaption + q,
                                 this));
    auto button = [&](const QString &text) {
        auto *b = new QPushButton(text, this);
        layout->addWidget(b);
        return b;
    };
    clearOneButton = button(QStringLiteral("Очистить защищенные карты - удалить код объекта / зоны прохода"));
    clearOneButton->setObjectName(QStringLiteral("clearOneButton"));
    clearAllButton = button(QStringLiteral("Очистить защищенные карты - удалить все коды объектов / зоны прохода"));
    clearAllButton->setObjectName(QStringLiteral("clearAllButton"));
    createButton = button(QStringLiteral("Создать защищенные карты - записать код объекта / зоны прохода"));
    createButton->setObjectName(QStringLiteral("createButton"));
    setMnemonic(clearOneButton, QChar(u'у'));
    setMnemonic(clearAllButton, QChar(u'в'));
    setMnemonic(createButton, QChar(u'С'));
    zoneGroup = new QGroupBox(texts::kZonesCaption, this);
    zoneGroup->setObjectName(QStringLiteral("zoneGroup"));
    auto *zonesLayout = new QVBoxLayout(zoneGroup);
    zones = new ZoneList(ZoneList::Names::Fixed, zoneGroup);
    zones->setObjectName(QStringLiteral("zoneList"));
    zonesLayout->addWidget(zones);
    layout->addWidget(zoneGroup, 1);
    layout->addStretch(0);
    showMode(secureModeView(SecureMode::Unknown));

    connect(createButton, &QPushButton::clicked, this, [this] {
        startRun(SecureCardsRun::Kind::Create, QStringLiteral("Для создания защищенных карт потребуется ранее созданная "
                                                              "мастер-карта с заданным кодом объекта. Продолжить?"));
    });
    connect(clearOneButton, &QPushButton::clicked, this, [this] {
        startRun(SecureCardsRun::Kind::ClearOne, QStringLiteral("Для очистки защищенных карт потребуется ранее созданная "
                                                                "мастер-карта с заданным кодом объекта. Продолжить?"));
    });
    connect(clearAllButton, &QPushButton::clicked, this, [this] {
        startRun(SecureCardsRun::Kind::ClearAll,
                 QStringLiteral("Во время очистки защищенных карт будут удалены ВСЕ коды объектов. Продолжить?"));
    });
}

void SecureCardsPage::queryMode()
{
    m_runs.querySecureMode([this](SecureModeQuery &run) {
        connect(&run, &SecureModeQuery::finished, this,
                [this](const SecureModeQuery::Result &result) { showMode(secureModeView(result.mode)); });
    });
}

void SecureCardsPage::startRun(SecureCardsRun::Kind kind, const QString &question)
{
    if (m_runs.busy() || !m_dialogs.question(texts::kSecureCardsCaption, question))
        return;
    m_runs.runSecureCards(kind, m_mode, zones->checks(), [this](SecureCardsRun &run) {
        connect(&run, &SecureCardsRun::finished, this,
                [this](const SecureCardsRun::Result &result) { showReport(m_dialogs, result.report); });
    });
}

void SecureCardsPage::showMode(const SecureModeView &view)
{
    m_mode = view.mode;
    modeText->setText(view.text);
    zoneGroup->setVisible(view.zones);
    setReaderIdle(m_idle);
}

void SecureCardsPage::useZoneTools(ZoneTools &tools) { tools.add(*zones); }

void SecureCardsPage::setReaderIdle(bool idle)
{
    m_idle = idle;
    const bool usable = secureModeView(m_mode).buttons;
    for (QPushButton *b : readerButtons()) {
        b->setEnabled(usable && idle);
        // Why a button cannot be pressed.
        b->setToolTip(usable ? QString()
                             : QStringLiteral("Доступно только в режимах «%1» и «%2» считывателя.")
                                   .arg(texts::kObjectCodeMode, texts::kZonesCaption));
    }
}

} // namespace limra

#include "moc_securecardspage.cpp"
