#pragma once
// A label whose text may not fit: it shows what fits with an ellipsis, and
// the whole text as its tooltip and as its accessible name (a screen reader
// reads the whole value, never the cut one). It may first make its font
// smaller, down to a limit, before it elides. The text is plain text.
#include <QLabel>

namespace limra {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // Shows a text; the same text again costs nothing.
    void setFullText(const QString &text);
    QString fullText() const { return m_text; }
    // The smallest pixel size the font may shrink to before the text is
    // elided; 0 (the default) never shrinks it.
    void setMinimumPixelSize(int pixels) { m_minimumPixels = pixels; }
    // A line the tooltip shows under the text (what a double-click does, say).
    void setToolTipNote(const QString &note);

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void fit();
    void updateToolTip();

    QString m_text;
    QString m_note;
    int m_minimumPixels = 0;
    int m_fullPixels = 0;
};

} // namespace limra
