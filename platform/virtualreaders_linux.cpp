#include "platform/virtualreaders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "common/logging.h"

namespace limra {

namespace {

// The folder and the one above it are the user's own and nobody else may
// write into them: otherwise another user could plant links to devices.
bool isPrivateFolder(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A link is a reader port only when it leads to a terminal device.
bool leadsToTerminal(const QString &link)
{
    const QString target = QFileInfo(link).canonicalFilePath();
    if (!target.startsWith(QLatin1String("/dev/pts/")) && !target.startsWith(QLatin1String("/dev/tty")))
        return false;
    struct stat info {};
    return ::stat(QFile::encodeName(target).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

} // namespace

QString virtualReadersDir()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QString base = !runtime.isEmpty() ? QString::fromLocal8Bit(runtime) + QStringLiteral("/limra-rfid")
                                            : QStringLiteral("/tmp/limra-rfid-%1").arg(uint(::getuid()));
    return base + QStringLiteral("/readers");
}

bool virtualReadersDirTrusted()
{
    const QString dir = virtualReadersDir();
    const bool trusted = isPrivateFolder(dir) && isPrivateFolder(QFileInfo(dir).path());
    if (!trusted && QFileInfo(dir).exists()) {
        static bool told = false;
        if (!told)
            qCWarning(lcDiscovery) << "virtual readers folder" << dir
                                   << "refused: it must be the user's own and writable by nobody else";
        told = true;
    }
    return trusted;
}

bool ensureVirtualReadersDir()
{
    const QString dir = virtualReadersDir();
    // Every missing part of the path is made private to the user.
    QStringList missing;
    for (QString part = dir; !part.isEmpty() && part != QLatin1String("/") && !QFileInfo::exists(part);
         part = QFileInfo(part).path())
        missing.prepend(part);
    for (const QString &part : missing)
        if (::mkdir(QFile::encodeName(part).constData(), 0700) != 0 && errno != EEXIST)
            return false;
    return virtualReadersDirTrusted();
}

QStringList virtualReaderPorts()
{
    if (!virtualReadersDirTrusted())
        return {};
    QStringList out;
    const QFileInfoList entries =
        QDir(virtualReadersDir()).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &fi : entries)
        if (fi.isSymLink() && leadsToTerminal(fi.absoluteFilePath()))
            out << fi.absoluteFilePath();
    return out;
}

} // namespace limra
