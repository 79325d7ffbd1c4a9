#include "link/ui/connectiondialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "common/texts.h"
#include "common/ui/arrowspinbox.h"

namespace limra {

ConnectionDialog::ConnectionDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(texts::kConnectionSettings);
    auto *layout = new QVBoxLayout(this);
    // As large as its controls need, with no gap left over.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto *methodLabel = new QLabel(QStringLiteral("Способ подключения:"), this);
    methodList = new QComboBox(this);
    methodList->setObjectName(QStringLiteral("methodList"));
    methodList->addItems({QStringLiteral("Автоподключение"), QStringLiteral("Выбор номера COM-порта из списка"),
                          QStringLiteral("Ручной ввод номера COM-порта ")});
    methodList->setMinimumWidth(300);
    methodLabel->setBuddy(methodList);
    layout->addWidget(methodLabel);
    layout->addWidget(methodList);

    // The port's row keeps its height whichever method shows what in it:
    // choosing a method moves nothing.
    auto *portRow = new QWidget(this);
    auto *portLayout = new QHBoxLayout(portRow);
    portLayout->setContentsMargins(0, 0, 0, 0);
    portList = new QComboBox(portRow);
    portList->setObjectName(QStringLiteral("portList"));
    portList->setAccessibleName(QStringLiteral("COM"));
    comLabel = new QLabel(QStringLiteral("COM"), portRow);
    comLabel->setObjectName(QStringLiteral("comLabel"));
    number = new ArrowSpinBox(portRow);
    number->setObjectName(QStringLiteral("portNumber"));
    number->setRange(1, 255);
    number->setValue(1);
    comLabel->setBuddy(number);
    portLayout->addWidget(portList, 1);
    portLayout->addWidget(comLabel);
    portLayout->addWidget(number);
    portLayout->addStretch(0);
    portRow->setFixedHeight(std::max(portList->sizeHint().height(), number->sizeHint().height()));
    layout->addWidget(portRow);
    portList->hide();
    comLabel->hide();
    number->hide();

    applyButton = new QPushButton(texts::kApply, this);
    applyButton->setObjectName(QStringLiteral("applyButton"));
    layout->addSpacing(layout->spacing() + 4);
    layout->addWidget(applyButton);
    connect(applyButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(methodList, QOverload<int>::of(&QComboBox::activated), this, &ConnectionDialog::methodChosen);
}

void ConnectionDialog::selectMode(ReaderSession::ConnectionMode mode)
{
    methodList->setCurrentIndex(int(mode));
}

ReaderSession::ConnectionMode ConnectionDialog::chosenMode() const
{
    return ReaderSession::ConnectionMode(std::max(0, methodList->currentIndex()));
}

QString ConnectionDialog::chosenPort() const
{
    return portList->currentText();
}

int ConnectionDialog::chosenNumber() const
{
    return number->value();
}

void ConnectionDialog::methodChosen(int index)
{
    portList->setVisible(index == 1);
    comLabel->setVisible(index == 2);
    number->setVisible(index == 2);
    if (index == 1) {
        portList->clear();
        portList->addItems(allPorts());
        if (portList->count() > 0)
            portList->setCurrentIndex(0);
    }
}

} // namespace limra

#include "moc_connectiondialog.cpp"
