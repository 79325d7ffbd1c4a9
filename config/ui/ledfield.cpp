#include "config/ui/ledfield.h"

#include "config/readerconfig.h"

namespace limra {

namespace {
// The colours an LED shows, by name: a screen reader says the nearest one.
struct NamedColour {
    QColor colour;
    const char *name;
};
const NamedColour kNamedColours[] = {
    {QColor(0, 0, 0), "чёрный"},         {QColor(255, 255, 255), "белый"}, {QColor(255, 0, 0), "красный"},
    {QColor(0, 255, 0), "зелёный"},      {QColor(0, 0, 255), "синий"},     {QColor(255, 255, 0), "жёлтый"},
    {QColor(0, 255, 255), "голубой"},    {QColor(255, 0, 255), "пурпурный"}, {QColor(255, 128, 0), "оранжевый"},
    {QColor(128, 128, 128), "серый"}};

// A field drawn disabled: its colour faded towards the window's grey.
QColor faded(const QColor &colour)
{
    return QColor((colour.red() + 2 * 0xE0) / 3, (colour.green() + 2 * 0xE0) / 3, (colour.blue() + 2 * 0xE0) / 3);
}
} // namespace

QString colourName(const QColor &colour)
{
    const NamedColour *nearest = &kNamedColours[0];
    int best = -1;
    for (const NamedColour &named : kNamedColours) {
        const int dr = named.colour.red() - colour.red();
        const int dg = named.colour.green() - colour.green();
        const int db = named.colour.blue() - colour.blue();
        const int distance = dr * dr + dg * dg + db * db;
        if (best < 0 || distance < best) {
            best = distance;
            nearest = &named;
        }
    }
    return QString::fromUtf8(nearest->name) + QStringLiteral(" (") + colour.name().toUpper() + QLatin1Char(')');
}

LedField::LedField(const QString &label, QWidget *parent)
    : QPushButton(QStringLiteral("изменить"), parent), m_label(label)
{
    setAccessibleName(label);
    setFlat(true);
    setAutoFillBackground(true);
    setFixedSize(120, 24);
}

void LedField::setColour(const QColor &colour, const QColor &caption)
{
    m_colour = colour;
    m_caption = caption;
    // Heard as its caption and its colour.
    setAccessibleName(m_label + QLatin1Char(' ') + colourName(colour));
    // With the focus, a frame in the caption's colour, which stands out from
    // the field's; disabled, faded with a grey caption like any disabled control.
    setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid #808080; }"
                                 "QPushButton:focus { border: 2px dashed %2; outline: none; }"
                                 "QPushButton:disabled { background: %3; color: #A0A0A0; border: 1px dotted #A0A0A0; }")
                      .arg(colour.name(), caption.name(), faded(colour).name()));
}

} // namespace limra

#include "moc_ledfield.cpp"
