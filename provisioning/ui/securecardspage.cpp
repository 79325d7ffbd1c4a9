#include "provisioning/ui/securecardspage.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/texts.h"
#include "config/ui/zonelist.h"

namespace limra {

SecureCardsPage::SecureCardsPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    auto *modeRow = new QHBoxLayout;
    auto *modeCaption = new QLabel(QStringLiteral("Текущая конфигурация считывателя:"), this);
    modeText = new QLabel(this);
    QFont bold = modeText->font();
    bold.setBold(true);
    modeText->setFont(bold);
    modeCaption->setBuddy(modeText);
    modeText->setAccessibleName(modeCaption->text());
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
    clearAllButton = button(QStringLiteral("Очистить защищенные карты - удалить все коды объектов / зоны прохода"));
    createButton = button(QStringLiteral("Создать защищенные карты - записать код объекта / зоны прохода"));
    zoneGroup = new QGroupBox(texts::kZonesCaption, this);
    auto *zonesLayout = new QVBoxLayout(zoneGroup);
    zones = new ZoneList(ZoneList::Names::Fixed, zoneGroup);
    zonesLayout->addWidget(zones);
    layout->addWidget(zoneGroup, 1);
    layout->addStretch(0);
    showMode(SecureCardOperations::modeView(SecureCardOperations::Mode::Unknown));
}

void SecureCardsPage::showMode(const SecureCardOperations::ModeView &view)
{
    modeText->setText(view.text);
    for (QPushButton *b : {clearOneButton, clearAllButton, createButton})
        b->setEnabled(view.buttons);
    zoneGroup->setVisible(view.zones);
}

} // namespace limra
