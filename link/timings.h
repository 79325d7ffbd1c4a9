#pragma once
// How long the tool gives the reader, in milliseconds. One table, handed to
// the link and every operation, so that tests and benchmarks can shorten it.

namespace limra {

struct Timings {
    int reply = 2000;          // a command's reply
    int identify = 1000;       // the identification while a port is probed
    int loaderSwitch = 500;    // the reply to the switch into the firmware loader
    int loaderStart = 2000;    // the pause while the reader restarts into its loader
    int loaderBlock = 2000;    // the loader's answer to one firmware block
    int scan = 1000;           // between scans for a reader
    int rescanAfterRemoval = 100;
    int cardTick = 100;        // a card wait's tick
    int cardBudgetTicks = 150; // ticks a card wait gives one card (15 s)
    int debugCardBudgetTicks = 1200; // the same in debug mode (120 s)
    int masterReportTick = 1000; // a tick of the wait for a master card's configuration
    int masterReportTicks = 30;  // its ticks (30 s)
    // In debug mode a card wait gives each card the longer budget.
    bool debugMode = false;

    int cardBudget() const { return debugMode ? debugCardBudgetTicks : cardBudgetTicks; }

    // Every duration divided by `factor` (at least 1 ms each), the counts
    // of ticks kept: for tests.
    Timings shortened(int factor) const
    {
        auto cut = [factor](int ms) { return ms / factor > 0 ? ms / factor : 1; };
        Timings t = *this;
        for (int *ms : {&t.reply, &t.identify, &t.loaderSwitch, &t.loaderStart, &t.loaderBlock, &t.scan,
                        &t.rescanAfterRemoval, &t.cardTick, &t.masterReportTick})
            *ms = cut(*ms);
        return t;
    }
};

// A temporary file older than this whose writer is gone was left by a write
// that was cut off (a killed program): it may be removed.
constexpr int kStaleTemporaryMs = 60 * 1000;

} // namespace limra
