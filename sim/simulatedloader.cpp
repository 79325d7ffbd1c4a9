#include "sim/simulatedloader.h"

#include "firmware/crc16.h"

namespace limra::sim {

quint16 SimulatedLoader::uploadedCrc() const
{
    return sectionCrc(loaderData);
}

void SimulatedLoader::restartLoader(bool switched)
{
    loaderData.clear();
    if (switched)
        loaderBlocks.clear();
    m_uploadBroken = false;
    m_stuck = false;
    m_fresh = true;
}

SimulatedLoader::BlockOutcome SimulatedLoader::takeBlock(const QByteArray &block)
{
    loaderBlocks << block;
    if (loaderFaults.stuckBlock < 0)
        m_stuck = false;
    const int index = blocksTaken();
    if (loaderFaults.stuckBlock >= 0 && (m_stuck || index >= loaderFaults.stuckBlock)) {
        BlockOutcome stuck;
        if (!m_stuck)
            stuck.note = QStringLiteral("loader: stuck at block %1").arg(index);
        m_stuck = true;
        m_uploadBroken = true;
        return stuck;
    }
    if (index == loaderFaults.silentBlock) {
        loaderData += block; // taken, but the answer is lost
        m_uploadBroken = true;
        return {QByteArray(), QStringLiteral("loader: block %1 not answered").arg(index)};
    }
    if (index == loaderFaults.rejectBlock) {
        m_uploadBroken = true;
        return {QByteArray(1, '\0') + char(loaderFaults.rejectCode), QStringLiteral("loader: block %1 rejected").arg(index)};
    }
    loaderData += block;
    if (index == loaderFaults.longReplyBlock) {
        // The tool takes a reply it cannot read for a failure and sends no more:
        // the upload broke off, and the loader keeps waiting for a new one.
        m_uploadBroken = true;
        return {QByteArray("\x01\x00\x00", 3), QString()};
    }
    return {QByteArray("\x01\x00", 2), QString()};
}

} // namespace limra::sim
