#pragma once
#include <QString>

namespace limra {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString &text) = 0;
};

} // namespace limra
