#include "display/ui/templateeditor.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "display/idtemplate.h"
#include "link/hextext.h"

namespace limra {

TemplateEditor::TemplateEditor(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Редактор шаблона"));
    auto *layout = new QVBoxLayout(this);

    auto *sampleLabel = new QLabel(QStringLiteral("Введите исходное число (HEX):"), this);
    sample = new QLineEdit(this);
    sample->setObjectName(QStringLiteral("sample"));
    sample->setMaxLength(16);
    sample->setAlignment(Qt::AlignRight);
    sampleLabel->setBuddy(sample);
    auto *sampleRow = new QHBoxLayout;
    sampleRow->addWidget(sampleLabel);
    sampleRow->addWidget(sample, 1);
    layout->addLayout(sampleRow);

    layout->addWidget(new QLabel(QStringLiteral("Тетрады (полубайты) и байты:"), this));
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(2);
    for (int i = 0; i < 16; ++i) {
        const int byte = 8 - i / 2;
        const int half = i % 2 == 0 ? 2 : 1;
        const QString name = QStringLiteral("n%1%2").arg(byte).arg(half);
        auto *label = new QLabel(name, this);
        label->setAlignment(Qt::AlignCenter);
        auto *box = new QLineEdit(this);
        box->setReadOnly(true);
        box->setMaxLength(1);
        box->setAlignment(Qt::AlignCenter);
        box->setFixedWidth(28);
        label->setBuddy(box);
        box->setFocusPolicy(Qt::NoFocus); // shown, not edited: no Tab stop
        box->setObjectName(QStringLiteral("nibble") + name.toUpper());
        nibbles[size_t(i)] = box;
        grid->addWidget(label, 0, i);
        grid->addWidget(box, 1, i);
        if (half == 1) {
            auto *byteLabel = new QLabel(QStringLiteral("b%1").arg(byte), this);
            byteLabel->setAlignment(Qt::AlignCenter);
            grid->addWidget(byteLabel, 2, i - 1, 1, 2);
        }
    }
    layout->addLayout(grid);

    auto *templateLabel = new QLabel(QStringLiteral("Шаблон:"), this);
    templateField = new QLineEdit(kDefaultTemplate, this);
    templateField->setObjectName(QStringLiteral("templateField"));
    templateLabel->setBuddy(templateField);
    layout->addWidget(templateLabel);
    layout->addWidget(templateField);

    applyButton = new QPushButton(QStringLiteral("Применить шаблон"), this);
    applyButton->setObjectName(QStringLiteral("applyButton"));
    layout->addWidget(applyButton);
    auto *resultLabel = new QLabel(QStringLiteral("Результат:"), this);
    result = new QLineEdit(this);
    result->setObjectName(QStringLiteral("result"));
    result->setReadOnly(true);
    resultLabel->setBuddy(result);
    layout->addWidget(resultLabel);
    layout->addWidget(result);
    useButton = new QPushButton(QStringLiteral("Использовать шаблон"), this);
    useButton->setObjectName(QStringLiteral("useButton"));
    useButton->setEnabled(false);
    layout->addWidget(useButton);

    templateField->installEventFilter(this);
    connect(sample, &QLineEdit::textChanged, this, &TemplateEditor::sampleEdited);
    connect(templateField, &QLineEdit::textChanged, this, &TemplateEditor::templateEdited);
    connect(applyButton, &QPushButton::clicked, this, [this] {
        const QString r = renderTemplate(sample->text(), templateField->text());
        result->setText(r);
        if (r != kTemplateError)
            setUsable(true);
    });
    connect(useButton, &QPushButton::clicked, this, &QDialog::accept);
    refillNibbles();
    setFixedSize(sizeHint().expandedTo(QSize(620, 0)));
}

bool TemplateEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == templateField && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent *>(event)->text();
        if (!text.isEmpty() && text.at(0).unicode() >= 128)
            return true; // the key is dropped
    }
    return QDialog::eventFilter(watched, event);
}

// Once the template has given a result, Enter uses it; until then Enter applies it.
void TemplateEditor::setUsable(bool usable)
{
    useButton->setEnabled(usable);
    (usable ? useButton : applyButton)->setDefault(true);
}

void TemplateEditor::showEvent(QShowEvent *event)
{
    setUsable(false);
    templateField->setCursorPosition(0); // the template's beginning shows
    result->clear();
    QDialog::showEvent(event);
}

void TemplateEditor::setSample(const QString &text)
{
    // The template reads the identifier from its right end: so does the sample.
    sample->setText(text.right(16));
    refillNibbles();
}

QString TemplateEditor::templateText() const
{
    return templateField->text();
}

void TemplateEditor::sampleEdited()
{
    // Only hex digits pass, typed or pasted; a-f become A-F.
    const QString text = sample->text();
    const QString clean = upperHexDigitsOnly(text);
    if (clean != text) {
        const int cursor = sample->cursorPosition() - (text.size() - clean.size());
        const QSignalBlocker block(sample);
        sample->setText(clean);
        sample->setCursorPosition(std::max(0, cursor));
    }
    refillNibbles();
}

void TemplateEditor::refillNibbles()
{
    const QString n = templateNibbles(sample->text());
    for (int i = 0; i < 16; ++i)
        nibbles[size_t(i)]->setText(QString(n.at(i)));
}

void TemplateEditor::templateEdited()
{
    // Characters from code 128 up are not allowed; pasting one empties the field.
    const QString text = templateField->text();
    for (QChar c : text) {
        if (c.unicode() >= 128) {
            const QSignalBlocker block(templateField);
            templateField->clear();
            break;
        }
    }
    setUsable(false);
}

} // namespace limra

#include "moc_templateeditor.cpp"
