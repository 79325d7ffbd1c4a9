// limra-hostilereader: a reader that answers the tool's commands but also
// floods it with random and malformed traffic (random bytes, frames with
// lying lengths, endless lines and frames, NUL floods, large bursts, status
// frames and identifier lines in floods) and unplugs itself now and then, in
// the middle of whatever the tool is doing. Tests run it against the tool for
// a few seconds; nothing it sends may crash or freeze the tool.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTextStream>
#include <QTimer>

#include "link/hextext.h"
#include "sim/ptyhost.h"
#include "sim/readermodel.h"

using namespace limra;
using namespace limra::sim;

namespace {

constexpr int kChaosMs = 3;
constexpr int kUnplugEveryMs = 900;
constexpr int kUnpluggedMs = 120;

QByteArray randomBytes(QRandomGenerator &rng, int n)
{
    QByteArray out(n, Qt::Uninitialized);
    for (char &c : out)
        c = char(rng.bounded(256));
    return out;
}

void chaos(ReaderModel &model, QRandomGenerator &rng)
{
    auto send = [&model](const QByteArray &bytes) { Q_EMIT model.output(bytes); };
    switch (rng.bounded(9)) {
    case 0:
        send(randomBytes(rng, int(rng.bounded(1, 65))));
        break;
    case 1: // a frame whose length byte lies
        send(QByteArray("\x23") + char(rng.bounded(256)) + randomBytes(rng, int(rng.bounded(0, 12))));
        break;
    case 2: // a line that never ends
        send(QByteArray("UID: ") + QByteArray(int(rng.bounded(100, 2000)), '7'));
        break;
    case 3:
        send(QByteArray(int(rng.bounded(64, 1024)), '\0'));
        break;
    case 4: // a large burst
        send(randomBytes(rng, 64 * 1024));
        break;
    case 5:
        for (int i = 0; i < 20; ++i)
            send(hexToBytes(QStringLiteral("230800010D01") + hexByte(int(rng.bounded(256))) + QStringLiteral("24")));
        break;
    case 6:
        for (int i = 0; i < 40; ++i)
            send(QByteArray("UID: ") + QByteArray::number(rng.bounded(1u << 30), 16).toUpper() + "\r\n");
        break;
    case 7:
        model.sendCardInfo(int(rng.bounded(30)), int(rng.bounded(6)), qint32(rng.generate()), int(rng.bounded(4)));
        break;
    default: // a frame that never ends
        send(QByteArray("\x23\xFF") + randomBytes(rng, 40));
        break;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated reader that sends hostile traffic."));
    parser.addHelpOption();
    QCommandLineOption nameOpt(QStringLiteral("name"), QStringLiteral("Name of the virtual reader link."),
                               QStringLiteral("name"), QStringLiteral("hostile"));
    QCommandLineOption secondsOpt(QStringLiteral("seconds"), QStringLiteral("How long to run."),
                                  QStringLiteral("seconds"), QStringLiteral("5"));
    QCommandLineOption seedOpt(QStringLiteral("seed"), QStringLiteral("Random seed."), QStringLiteral("seed"),
                               QStringLiteral("1"));
    parser.addOptions({nameOpt, secondsOpt, seedOpt});
    parser.process(app);

    ReaderModel model;
    PtyHost host(&model, parser.value(nameOpt));
    QString error;
    if (!host.plug(&error)) {
        QTextStream(stderr) << "limra-hostilereader: " << error << "\n";
        return 1;
    }
    removeLinkOnSignal(host.linkPath());
    QRandomGenerator rng(parser.value(seedOpt).toUInt());

    QTimer chaosTimer;
    QObject::connect(&chaosTimer, &QTimer::timeout, [&] {
        if (host.plugged())
            chaos(model, rng);
    });
    chaosTimer.start(kChaosMs);
    QTimer unplugTimer;
    QObject::connect(&unplugTimer, &QTimer::timeout, [&] {
        host.unplug();
        QTimer::singleShot(kUnpluggedMs, &host, [&] { host.plug(); });
    });
    unplugTimer.start(kUnplugEveryMs);
    QTimer::singleShot(parser.value(secondsOpt).toInt() * 1000, &app, &QCoreApplication::quit);
    const int rc = app.exec();
    host.unplug();
    return rc;
}
