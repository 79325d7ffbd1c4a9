// Runs the fuzz targets over their seed corpora, for builds without libFuzzer:
// the targets stay compiled and their seeds (one for each fault found) pass.
// One program holds every target; its first argument names the one to run.
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstring>

#define LIMRA_FUZZ_TARGET(name) extern "C" int limra_fuzz_##name(const uint8_t *data, size_t size);
#include "fuzztargets.h"
#undef LIMRA_FUZZ_TARGET

namespace {

struct Target {
    const char *name;
    int (*run)(const uint8_t *, size_t);
};

const Target targets[] = {
#define LIMRA_FUZZ_TARGET(name) {#name, &limra_fuzz_##name},
#include "fuzztargets.h"
#undef LIMRA_FUZZ_TARGET
};

} // namespace

int main(int argc, char **argv)
{
    const Target *target = nullptr;
    for (const Target &t : targets)
        if (argc > 1 && std::strcmp(argv[1], t.name) == 0)
            target = &t;
    if (!target) {
        std::fprintf(stderr, "usage: %s TARGET CORPUS-FOLDER...\n", argv[0]);
        return 2;
    }
    int runs = 0;
    for (int i = 2; i < argc; ++i) {
        const QDir dir(QString::fromLocal8Bit(argv[i]));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly))
                return 1;
            const QByteArray bytes = f.readAll();
            target->run(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
            ++runs;
        }
    }
    std::printf("%d inputs\n", runs);
    return runs > 0 ? 0 : 1;
}
