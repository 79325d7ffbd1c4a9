// Settings files of any content: read, a key written, read back; the rest of
// the file stays byte for byte.
#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

#include "app/inifile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = QDir::tempPath() + QStringLiteral("/limra-fuzz-%1.ini").arg(::getpid());
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 0;
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    limra::IniFile ini(path);
    const QString before = ini.read(QStringLiteral("usbreader"), QStringLiteral("template"));
    if (ini.write(QStringLiteral("usbreader"), QStringLiteral("viewmode"), QStringLiteral("3"))) {
        if (ini.read(QStringLiteral("usbreader"), QStringLiteral("viewmode")) != QLatin1String("3"))
            std::abort();
        if (ini.read(QStringLiteral("usbreader"), QStringLiteral("template")) != before)
            std::abort();
    }
    return 0;
}
