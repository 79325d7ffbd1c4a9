#pragma once
// Port names of this operating system.
#include <QString>

namespace limra {

// The port that the number n names when the user types a port number
// ("COM" + n on Windows; the n-th CDC-ACM device on Linux).
QString portForNumber(int n);

} // namespace limra
