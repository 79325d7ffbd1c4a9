#include "display/cardpresenter.h"

#include "display/idtemplate.h"
#include "platform/clipboard.h"
#include "platform/keyinjector.h"

namespace limra {

CardPresenter::CardPresenter(Clipboard *clipboard, KeyInjector *keys, QObject *parent)
    : QObject(parent), m_clipboard(clipboard), m_typist(keys && keys->available() ? keys : nullptr)
{
}

void CardPresenter::identifierRead(const QString &raw, IdKind kind)
{
    if (raw.isEmpty())
        return;
    QString id = raw;
    if (m_view == View::Dec)
        id = decimalOfHex(raw);
    else if (m_view == View::Template)
        id = renderTemplate(raw, activeTemplate);
    m_shown = id;
    m_shownView = m_view;
    Q_EMIT identifierShown(id, kind);
    Q_EMIT identifierLogged(raw, id, kind);

    if (options.typing() && !options.toolActive())
        m_typist.type(id, m_view, options.newline());
    if (options.clipboard() && m_clipboard)
        m_clipboard->setText(id);
}

void CardPresenter::cardInfoRead(const CardInfo &info)
{
    Q_EMIT cardInfoShown(info);
}

void CardPresenter::chooseDec()
{
    if (!m_started)
        return;
    if (m_shownView == View::Hex) {
        m_shown = decimalOfHex(m_shown);
        m_shownView = View::Dec;
        Q_EMIT shownTextChanged(m_shown);
    }
    m_view = View::Dec;
}

void CardPresenter::chooseHex()
{
    if (!m_started)
        return;
    if (m_shownView == View::Dec) {
        const QString hex = hexOfDecimal(m_shown);
        if (!hex.isEmpty()) {
            m_shown = hex;
            Q_EMIT shownTextChanged(m_shown);
        }
        m_shownView = View::Hex;
    }
    m_view = View::Hex;
}

void CardPresenter::chooseTemplate()
{
    if (!m_started || m_view == View::Template)
        return;
    QString sample = QStringLiteral("1A2B3C");
    if (m_shownView == View::Hex) {
        sample = m_shown;
    } else if (m_shownView == View::Dec) {
        const QString hex = hexOfDecimal(m_shown);
        if (!hex.isEmpty())
            sample = hex;
    }
    openTemplateEditor(sample);
    m_view = activeTemplate.isEmpty() ? View::Dec : View::Template;
    Q_EMIT viewChanged(m_view);
}

} // namespace limra

#include "moc_cardpresenter.cpp"
