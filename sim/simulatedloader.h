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

// Faults of the firmware loader. Those of a block count blocks from 0.
enum class LoaderFault {
    Reject,            // answer 00 and a code for block N (rejectBlock sets the code)
    Silent,            // no answer for block N
    LongReply,         // three bytes for block N
    // From block N on the loader answers nothing and stays a loader (no
    // return to card reading); cleared, the loader answers again.
    Stuck,
    ComeBackElsewhere, // the loader shows up under another port name
    SwitchUnanswered,  // the reader restarts into its loader without answering the switch
};

class SimulatedLoader {
public:
    static constexpr int kBlockSize = 16;

    // Faults: `block` is N for the faults of a block; the others take none.
    void injectLoaderFault(LoaderFault fault, int block = 0);
    // LoaderFault::Reject: block `block` is answered 00 and `code`.
    void rejectBlock(int block, int code = kDefaultRejectCode);
    void clearLoaderFault(LoaderFault fault);
    void clearLoaderFaults();
    bool hasLoaderFault(LoaderFault fault) const;

    // A loader that took blocks and gets no more for this long starts the
    // firmware: back to card reading. Not while stuck, nor after an upload
    // that broke off; a loader that took nothing waits for an upload.
    int loaderIdleMs() const { return m_idleMs; }
    void setLoaderIdleMs(int ms) { m_idleMs = ms; }

    // What the loader took of the upload now running, and the CRC of that
    // data as the image header has it.
    int blocksTaken() const { return int(m_data.size() / kBlockSize); }
    quint16 uploadedCrc() const;
    // The loader is stuck (LoaderFault::Stuck reached): it answers nothing.
    bool loaderStuck() const { return m_stuckBlock >= 0 && m_stuck; }
    // The blocks the loader took since it started afresh, in order. Like a
    // real loader it knows no other start of an upload: after a block it did
    // not take (rejected), or when the tool that fed it went away, the next
    // block it takes is appended; only a restart (plugged in again) or a new
    // switch empties it.
    const QByteArray &loaderData() const { return m_data; }
    // Every 16 bytes the loader received as a block since the switch, taken,
    // rejected or not answered, in order, across uploads.
    const QList<QByteArray> &loaderBlocks() const { return m_blocks; }

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
    bool firmwareWhole() const { return !loaderStuck() && !m_uploadBroken && !m_data.isEmpty(); }

private:
    static constexpr int kDefaultRejectCode = 0x07;

    // The faults: a block number, or -1 for none.
    int m_rejectBlock = -1;
    int m_rejectCode = kDefaultRejectCode;
    int m_silentBlock = -1;
    int m_longReplyBlock = -1;
    int m_stuckBlock = -1;
    bool m_comeBackElsewhere = false;
    bool m_switchUnanswered = false;

    int m_idleMs = 3000;
    QByteArray m_data;
    QList<QByteArray> m_blocks;
    bool m_stuck = false;
    bool m_uploadBroken = false; // a block was rejected or not answered: the firmware is not whole
    bool m_fresh = false;
};

} // namespace limra::sim
