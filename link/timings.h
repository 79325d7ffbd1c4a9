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
    int assemblerHold = 50;    // a piece of a message held for its rest
    int cardLogFlush = 200;    // card reads reach their file at least this often
    int cardLogRetry = 1000;   // a card-log file that cannot be written is tried again
    int shutDownLimit = 3000;  // the end of the program waits for the reader to go back to card reading
    int findReaders = 5000;    // limra-cli's time to find the readers (--timeout)
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
                        &t.rescanAfterRemoval, &t.cardTick, &t.masterReportTick, &t.assemblerHold,
                        &t.cardLogFlush, &t.cardLogRetry, &t.shutDownLimit, &t.findReaders})
            *ms = cut(*ms);
        return t;
    }
};

// The table a program starts with. The builds of the programs made for the
// tests only (never installed) are compiled with LIMRA_TEST_TIMINGS_DIVISOR
// and wait that much shorter, as the tests that run them expect.
inline Timings programTimings()
{
#ifdef LIMRA_TEST_TIMINGS_DIVISOR
    return Timings().shortened(LIMRA_TEST_TIMINGS_DIVISOR);
#else
    return Timings();
#endif
}

} // namespace limra
