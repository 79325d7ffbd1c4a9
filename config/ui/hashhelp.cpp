#include "config/ui/hashhelp.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace limra {

namespace {
// The help text; the changing bytes of the identifiers are red.
const char kHelpHtml[] =
    "<p>Когда идентификатор карты заведомо больше разрядности Wiegand можно использовать хеш-функцию для "
    "формирования итогового кода карты.</p>"
    "<p><b><u>Пример 1</u>:</b> UID карты - 56 бит. Разрядность Wiegand - 26 бит. Если нет понимания в какой части "
    "UID карты будут происходить изменения при прикладывании следующей карты, то имеет смысл выбрать режим "
    "преобразования \"Хеш-функция\". В этом случае у вас будет посчитан хеш по всему UID карты. Эта опция дает "
    "возможность иметь различные коды на выходе считывателя для различных карт даже если у вас низкая разрядность "
    "Wiegand, т.к. изменение в любом месте UID приведет к изменению выдаваемого считывателем кода.</p>"
    "<p><b><u>Пример 2</u>:</b> Есть три карты с UID 7 байт.<br><br>"
    "1.&nbsp; 0x 01 <span style=\"color:red\">00</span> 00 00 00 <span style=\"color:red\">03 04</span><br>"
    "2.&nbsp; 0x 01 <span style=\"color:red\">00</span> 00 00 00 <span style=\"color:red\">05 06</span><br>"
    "3.&nbsp; 0x 01 <span style=\"color:red\">07</span> 00 00 00 <span style=\"color:red\">05 06</span><br><br>"
    "Красным отмечены изменяемые части UID.</p>"
    "<p>Контроллер работает в режиме Wiegand26, таким образом, считыватель мы вынуждены перевести в режим "
    "Wiegand26. В данном случае невозможно выбрать “битовый сдвиг” и “число значимых бит” так чтобы был разный "
    "код Wiegand для всех трех карт. В случае же использования хеш-функции все три карточки будут различаться "
    "автоматически.</p>";
} // namespace

HashHelp::HashHelp(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Опция “Хеш-функция” для считывателей"));
    setFixedSize(600, 400);
    auto *layout = new QVBoxLayout(this);
    auto *text = new QTextBrowser(this);
    text->setHtml(QString::fromUtf8(kHelpHtml));
    layout->addWidget(text, 1);
    auto *ok = new QPushButton(QStringLiteral("Понятно"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

HelpLink::HelpLink(const QString &text, QWidget *parent) : QAbstractButton(parent)
{
    setText(text);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
}

QSize HelpLink::sizeHint() const
{
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, this->text());
    return text + QSize(6, 4); // room for the focus mark
}

void HelpLink::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(isEnabled() ? palette().color(QPalette::Link) : palette().color(QPalette::Disabled, QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.backgroundColor = palette().color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void HelpLink::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

} // namespace limra

#include "moc_hashhelp.cpp"
