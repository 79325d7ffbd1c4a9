// Settings files of any content: read, a key written, read back; the rest of
// the file stays byte for byte; and several keys written at once leave the
// file as writing them one by one does.
#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

#include "station/inifile.h"

namespace {

bool put(const QString &path, const uint8_t *data, size_t size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(reinterpret_cast<const char *>(data), qint64(size));
    return true;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = QDir::tempPath() + QStringLiteral("/limra-fuzz-%1.ini").arg(::getpid());
    static const QString batch = QDir::tempPath() + QStringLiteral("/limra-fuzz-%1-batch.ini").arg(::getpid());
    if (!put(path, data, size) || !put(batch, data, size))
        return 0;
    limra::IniFile ini(path);
    const QString section = QStringLiteral("usbreader");
    const QString before = ini.read(section, QStringLiteral("template"));
    if (ini.write(section, QStringLiteral("viewmode"), QStringLiteral("3"))) {
        if (ini.read(section, QStringLiteral("viewmode")) != QLatin1String("3"))
            std::abort();
        if (ini.read(section, QStringLiteral("template")) != before)
            std::abort();
    }
    const limra::IniFile::KeyValues values = {{QStringLiteral("crlf"), QStringLiteral("1")},
                                              {QStringLiteral("template"), QStringLiteral(" a = b ")},
                                              {QStringLiteral("CRLF"), QStringLiteral("0")}};
    const bool one = [&] {
        for (const auto &[key, value] : values)
            if (!ini.write(section, key, value))
                return false;
        return true;
    }();
    const limra::IniFile inBatch(batch);
    if (!inBatch.write(section, QStringLiteral("viewmode"), QStringLiteral("3")))
        return 0;
    if (inBatch.write(section, values) != one || (one && contents(batch) != contents(path)))
        std::abort();
    return 0;
}
