#pragma once
// The simulated reader's firmware loader: it takes an upload as raw 16-byte
// blocks, answers each with two bytes (01 00 taken, 00 and a code rejected)
// and shows the loader faults it is told to. Like a real loader it knows no
// other start of an upload than its own start: a block it takes is appended
// to what it took since.
#include <QByteArray>
#include <QList>
#include <QString>

namespace limra::sim {

// Faults of the firmware loader, by block number counted from 0.
struct LoaderFaults {
    int rejectBlock = -1;   // answer 00 and `rejectCode` for this block
    int rejectCode = 0x07;
    int silentBlock = -1;   // no answer for this block
    int longReplyBlock = -1; // three bytes for this block
    bool comeBackElsewhere = false; // the loader shows up under another port name
    // From this block on the loader answers nothing and stays a loader (no
    // return to card reading); -1 clears it, and the loader answers again.
    int stuckBlock = -1;
    bool switchUnanswered = false; // the reader restarts into its loader without answering the switch
};

class SimulatedLoader {
public:
    static constexpr int kBlockSize = 16;

    // What the loader took of the upload now running, and the CRC of that
    // data as the image header has it.
    int blocksTaken() const { return int(loaderData.size() / kBlockSize); }
    quint16 uploadedCrc() const;
    // The loader is stuck (LoaderFaults::stuckBlock reached): it answers nothing.
    bool loaderStuck() const { return loaderFaults.stuckBlock >= 0 && m_stuck; }

    LoaderFaults loaderFaults;
    // A loader that took blocks and gets no more for this long starts the
    // firmware: back to card reading. Not while stuck, nor after an upload
    // that broke off; a loader that took nothing waits for an upload.
    int loaderIdleMs = 3000;
    // The blocks the loader took since it started afresh, in order. Like a
    // real loader it knows no other start of an upload: after a block it did
    // not take (rejected), or when the tool that fed it went away, the next
    // block it takes is appended; only a restart (plugged in again) or a new
    // switch empties it.
    QByteArray loaderData;
    // Every 16 bytes the loader received as a block since the switch, taken,
    // rejected or not answered, in order, across uploads.
    QList<QByteArray> loaderBlocks;

protected:
    // What the loader does with a block: the answer it sends (none: empty),
    // and what it did for the prompt (nothing to tell: empty).
    struct BlockOutcome {
        QByteArray answer;
        QString note;
    };
    BlockOutcome takeBlock(const QByteArray &block);
    // The loader starts afresh: `switched` into (the blocks it received are
    // forgotten too), or plugged in again.
    void restartLoader(bool switched);
    // Bytes came: the loader is no longer fresh.
    void loaderReceived() { m_fresh = false; }
    bool loaderStartedAfresh() const { return m_fresh; }
    // Idle for loaderIdleMs, the loader starts the firmware it took.
    bool firmwareWhole() const { return !loaderStuck() && !m_uploadBroken && !loaderData.isEmpty(); }

private:
    bool m_stuck = false;
    bool m_uploadBroken = false; // a block was rejected or not answered: the firmware is not whole
    bool m_fresh = false;
};

} // namespace limra::sim
