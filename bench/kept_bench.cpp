// "Сохранённые конфигурации" with 5,000 kept files: from showing the window
// to its first paint, against a floor measured in the same run: listing the
// folder's names and reading each file whole. Window and floor are measured
// alternately over several rounds; the median ratio and its range are printed.
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QTableView>
#include <QTemporaryDir>

#include "bench/benchsupport.h"
#include "config/backups.h"
#include "config/configfile.h"
#include "config/ui/keptwindow.h"
#include "tests/support/scripteddialogs.h"

using namespace limra;
using namespace limra::bench;

namespace {
constexpr int kRounds = 9;
constexpr int kReaders = 5;
constexpr int kFilesPerReader = 1000;

// Sets a flag at the first paint of a widget.
class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// What any listing of the kept files must do: list the names and read each file.
qint64 floorRound(const QString &folder)
{
    qint64 bytes = 0;
    QDirIterator it(folder, {QStringLiteral("*.rcf")}, QDir::Files);
    while (it.hasNext()) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly))
            bytes += f.readAll().size();
    }
    return bytes;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("configurations"));
    QDir().mkpath(folder);
    const QByteArray bytes = configFileBytes(ConfigItems::parse(QByteArray::fromHex("0202100003030000400601020401010501000C0800F8E00700F8E0FF")));
    const QDateTime start(QDate(2025, 3, 1), QTime(8, 0));
    for (int r = 0; r < kReaders; ++r) {
        for (int i = 0; i < kFilesPerReader; ++i) {
            const QString name = QStringLiteral("A102-%1_%2.rcf")
                                     .arg(r, 8, 16, QLatin1Char('0'))
                                     .arg(start.addSecs(qint64(i) * 3600 + r).toString(QStringLiteral("yyyyMMdd-HHmmss")));
            QFile f(QDir(folder).filePath(name));
            if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
                return 1;
        }
    }

    testing::ScriptedDialogs dialogs;
    const KeptConfigurationStore store(folder);
    KeptConfigurationsWindow window(store, [](const QString &) {}, dialogs);

    std::vector<double> ratios;
    double windowMs = 0, floorMs = 0;
    QElapsedTimer t;
    for (int round = 0; round < kRounds; ++round) {
        auto measureWindow = [&] {
            PaintWatch watch;
            QTableView *table = window.findChild<QTableView *>(QStringLiteral("keptTable"));
            table->viewport()->installEventFilter(&watch);
            t.start();
            window.show();
            while (!watch.painted)
                QCoreApplication::processEvents();
            windowMs = double(t.nsecsElapsed()) / 1e6;
            table->viewport()->removeEventFilter(&watch);
            window.hide();
            QCoreApplication::processEvents();
        };
        auto measureFloor = [&] {
            t.start();
            if (floorRound(folder) != qint64(kReaders) * kFilesPerReader * bytes.size())
                std::fprintf(stderr, "the floor did not read every file\n");
            floorMs = double(t.nsecsElapsed()) / 1e6;
        };
        if (round % 2) {
            measureWindow();
            measureFloor();
        } else {
            measureFloor();
            measureWindow();
        }
        ratios.push_back(windowMs / floorMs);
    }
    const auto [lo, hi] = std::minmax_element(ratios.begin(), ratios.end());
    std::printf("kept configurations, %d files: show -> first paint against listing + reading each file, "
                "median of %d alternating rounds: ratio %.2f (range %.2f-%.2f; goal <= 1.2; last round: window %.1f ms, "
                "floor %.1f ms)\n",
                kReaders * kFilesPerReader, kRounds, median(ratios), *lo, *hi, windowMs, floorMs);
    return 0;
}
