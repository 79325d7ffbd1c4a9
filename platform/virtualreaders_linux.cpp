#include "platform/virtualreaders.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace limra {

QString virtualReadersDir()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QString base = !runtime.isEmpty()
        ? QString::fromLocal8Bit(runtime) + QStringLiteral("/limra-rfid")
        : QStringLiteral("/tmp/limra-rfid-%1").arg(uint(getuid()));
    return base + QStringLiteral("/readers");
}

bool ensureVirtualReadersDir()
{
    const QString dir = virtualReadersDir();
    const QString parent = QFileInfo(dir).path();
    QDir().mkpath(QFileInfo(parent).path());
    for (const QString &d : {parent, dir}) {
        const QByteArray path = QFile::encodeName(d);
        if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return QFileInfo(dir).isDir();
}

QStringList virtualReaderPorts()
{
    QDir dir(virtualReadersDir());
    QStringList out;
    const QFileInfoList entries = dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &fi : entries)
        if (fi.isSymLink())
            out << fi.absoluteFilePath();
    return out;
}

} // namespace limra
