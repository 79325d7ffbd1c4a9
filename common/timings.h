#pragma once
// How long the tool gives the reader, and paces its own work, in
// milliseconds. One table, handed to the link and every operation, so that
// tests and benchmarks can shorten it; every folder may read it.

namespace limra {

struct Timings {
    int reply = 2000;          // a command's reply
    int identify = 1000;       // the identification while a port is probed
    int loaderSwitch = 500;    // the reply to the switch into the firmware loader
    int loaderStart = 2000;    // the pause while the reader restarts into its loader
    int loaderBlock = 2000;    // the loader's answer to one firmware block
    // After the pause, the loader's port is tried again and again for this
    // long: a USB device may take several seconds to come back.
    int loaderReopen = 10000;
    int reopenRetry = 250;     // between two tries to open a port that comes back
    // A reader to be plugged in again by the user (a loader that answers
    // nothing, or one that took part of an image): waited for this long.
    int loaderWait = 300000;
    // After the last block, the reader restarting into its new firmware and
    // identifying itself.
    int readerReturn = 30000;
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
    // The tool's own pacing, with no reader involved (not shortened for tests).
    int updateProgress = 100;   // the firmware update tells its progress at most this often
    int progressLine = 1000;    // limra-cli writes a progress line at most this often
    int keyPause = 10;          // between two keys typed into the program in front
    int spareKeyHold = 500;     // a spare key keeps its character this long after the last key typed with it
    int cardInfoWindow = 1000;  // card information this near an identifier belongs to its card
    int cardBlink = 100;        // the card display's blink at a read
    int cardLogRefresh = 100;   // the card-log window adds the new rows this often
    int cardLogFloodRefresh = 500; // ... and this often while they come in a flood
    int debugAppend = 50;       // the debug page adds the traffic's new lines this often
    int trayStart = 10;         // a tray that is not there yet is looked for again this often
    int frameWait = 500;        // the window's frame is awaited this long before its size is fitted again
    int afterStart = 500;       // the first paint is awaited this long before the work after start-up
    // A temporary file older than this whose writer is gone was left by a
    // write that was cut off (a killed program): it may be removed.
    int staleTemporary = 60 * 1000;
    // In debug mode a card wait gives each card the longer budget.
    bool debugMode = false;

    int cardBudget() const { return debugMode ? debugCardBudgetTicks : cardBudgetTicks; }

    // Every duration divided by `factor` (at least 1 ms each), the counts
    // of ticks kept: for tests.
    Timings shortened(int factor) const
    {
        auto cut = [factor](int ms) { return ms / factor > 0 ? ms / factor : 1; };
        Timings t = *this;
        for (int *ms : {&t.reply, &t.identify, &t.loaderSwitch, &t.loaderStart, &t.loaderBlock, &t.loaderReopen,
                        &t.reopenRetry, &t.loaderWait, &t.readerReturn, &t.scan, &t.rescanAfterRemoval, &t.cardTick,
                        &t.masterReportTick, &t.assemblerHold, &t.cardLogFlush, &t.cardLogRetry, &t.shutDownLimit,
                        &t.findReaders})
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
