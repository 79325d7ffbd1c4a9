#pragma once
// "Редактор шаблона": try a template on a sample identifier and choose it.
#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace limra {

inline const QString kDefaultTemplate =
    QStringLiteral("UID = dec3(n32n31)-dec5(n22n21n12n11) = dec3(b3)-dec5(b2b1) = b4b3b2b1 = dec18(b4b3b2b1)");

class TemplateEditor : public QDialog {
    Q_OBJECT
public:
    explicit TemplateEditor(QWidget *parent = nullptr);

    void setSample(const QString &sample);
    QString templateText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QLineEdit *sample;                     // the sample identifier
    std::array<QLineEdit *, 16> nibbles{}; // n82 ... n11
    QLineEdit *templateField;
    QLineEdit *result;
    QPushButton *applyButton;              // "Применить шаблон"
    QPushButton *useButton;                // "Использовать шаблон"

    void sampleEdited();
    void templateEdited();
    void refillNibbles();
    void setUsable(bool usable);
};

} // namespace limra
