#include "platform/portnames.h"

namespace limra {

QString portForNumber(int n)
{
    // The reader is a CDC-ACM device: number 1 is the first such port.
    return QStringLiteral("/dev/ttyACM%1").arg(n - 1);
}

} // namespace limra
