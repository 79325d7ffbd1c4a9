// Round trips of the command exchange against the simulated reader on a
// pseudo-terminal, as ratios to a minimal blocking client on the same
// terminal. The two are measured alternately over several rounds and the
// median ratio is printed, so that the noise of a shared machine cancels.
// Also the CPU time a request costs while it waits out a 2 s time-out.
#include <QCoreApplication>
#include <QEventLoop>
#include <functional>

#include "bench/benchsupport.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"

using namespace limra;
using namespace limra::bench;

namespace {
// Many short rounds, each a pair measured back to back, so that both sides of
// a pair meet the same load of a shared machine.
constexpr int kRounds = 25;
constexpr int kExchanges = 100;
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SimProcess sim;
    if (!sim.start(QStringLiteral("bench%1").arg(QCoreApplication::applicationPid()))) {
        std::fprintf(stderr, "simulated reader did not start\n");
        return 1;
    }
    const QByteArray frame0A = hexToBytes(QStringLiteral("23050A0124"));
    const int reply0ALen = 4 + 5 + 6 + 3 + 1; // 23 len 0A 01, items 10, 12 and 0D, 24
    ReaderLink link;
    ReaderSession session(link, [] { return std::make_unique<QtSerialPort>(); });
    BlockingClient client;

    // N requests one after another, each sent when the one before is answered.
    auto chain = [&link](const QByteArray &payload, int count, int timeoutMs) {
        QEventLoop loop;
        int left = count;
        bool ok = true;
        std::function<void()> next = [&] {
            link.send(payload, timeoutMs, nullptr, [&](const ReaderLink::Answer &a) {
                ok = ok && a.ok();
                if (--left > 0 && ok)
                    next();
                else
                    loop.quit();
            });
        };
        next();
        loop.exec();
        return ok;
    };
    const QByteArray query = payload(command::QueryVersion, command::kVersion);

    std::vector<double> ratios;
    double lastTool = 0, lastBase = 0;
    QElapsedTimer t;
    for (int round = 0; round < kRounds; ++round) {
        session.closePort();
        if (!client.open(sim.link()))
            return 1;
        t.start();
        for (int i = 0; i < kExchanges; ++i)
            if (!client.roundTrip(frame0A, reply0ALen)) {
                std::fprintf(stderr, "baseline failed\n");
                return 1;
            }
        lastBase = double(t.nsecsElapsed()) / kExchanges;
        client.close();

        if (!session.open(sim.link()))
            return 1;
        t.restart();
        if (!chain(query, kExchanges, 2000)) {
            std::fprintf(stderr, "request failed\n");
            return 1;
        }
        lastTool = double(t.nsecsElapsed()) / kExchanges;
        ratios.push_back(lastTool / lastBase);
    }

    // CPU time of a 2 s request that times out.
    sim.say("fault silent on\n");
    const double cpu0 = cpuSeconds();
    t.restart();
    chain(payload(command::ResumeReading, command::kVersion), 1, 2000);
    const double wall = double(t.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpu0;

    std::printf("framed 0A01 round trip, median of %d alternating rounds: ratio %.2f to the blocking client "
                "(goal <= 1.05; last round: tool %.1f us, client %.1f us; rounds %.2f..%.2f)\n",
                kRounds, median(ratios), lastTool / 1000, lastBase / 1000, *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("timed-out request: %.2f s wall, %.1f ms CPU, %.2f%% of the wait (goal < 2%%)\n", wall, cpu * 1000,
                100.0 * cpu / wall);
    session.closePort();
    sim.stop();
    return 0;
}
