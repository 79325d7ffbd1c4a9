#include <QClipboard>
#include <QGuiApplication>

#include "platform/ui/qtclipboard.h"

namespace limra {

void QtClipboard::setText(const QString &text)
{
    if (QClipboard *c = QGuiApplication::clipboard())
        c->setText(text);
}

} // namespace limra
