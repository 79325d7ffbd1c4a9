#pragma once
#include "platform/clipboard.h"

namespace limra {

// The system clipboard through Qt.
class QtClipboard : public Clipboard {
public:
    void setText(const QString &text) override;
};

} // namespace limra
