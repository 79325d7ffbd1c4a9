#pragma once
#include <QString>

namespace limra {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString &text) = 0;
};

// The system clipboard through Qt.
class QtClipboard : public Clipboard {
public:
    void setText(const QString &text) override;
};

} // namespace limra
