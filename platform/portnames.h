#pragma once
// Port names of this operating system.
#include <QString>

namespace limra {

// The port that the number n names when the user types a port number
// ("COM" + n on Windows; the n-th CDC-ACM device on Linux).
QString portForNumber(int n);

// Why a path named as a reader's port cannot be one, told without opening
// it: missing, a folder, a regular file, a device that is no terminal (the
// reason in Russian, as the system's reasons). Empty when it may be one.
QString portPathProblem(const QString &path);

} // namespace limra
