#include "sim/simulatedloader.h"

#include "firmware/crc16.h"

namespace limra::sim {

void SimulatedLoader::injectLoaderFault(LoaderFault fault, int block)
{
    switch (fault) {
    case LoaderFault::Reject: m_rejectBlock = block; break;
    case LoaderFault::Silent: m_silentBlock = block; break;
    case LoaderFault::LongReply: m_longReplyBlock = block; break;
    case LoaderFault::Stuck: m_stuckBlock = block; break;
    case LoaderFault::ComeBackElsewhere: m_comeBackElsewhere = true; break;
    case LoaderFault::SwitchUnanswered: m_switchUnanswered = true; break;
    }
}

void SimulatedLoader::rejectBlock(int block, int code)
{
    m_rejectBlock = block;
    m_rejectCode = code;
}

void SimulatedLoader::clearLoaderFault(LoaderFault fault)
{
    switch (fault) {
    case LoaderFault::Reject:
        m_rejectBlock = -1;
        m_rejectCode = kDefaultRejectCode;
        break;
    case LoaderFault::Silent: m_silentBlock = -1; break;
    case LoaderFault::LongReply: m_longReplyBlock = -1; break;
    case LoaderFault::Stuck: m_stuckBlock = -1; break;
    case LoaderFault::ComeBackElsewhere: m_comeBackElsewhere = false; break;
    case LoaderFault::SwitchUnanswered: m_switchUnanswered = false; break;
    }
}

void SimulatedLoader::clearLoaderFaults()
{
    for (LoaderFault fault : {LoaderFault::Reject, LoaderFault::Silent, LoaderFault::LongReply, LoaderFault::Stuck,
                              LoaderFault::ComeBackElsewhere, LoaderFault::SwitchUnanswered})
        clearLoaderFault(fault);
}

bool SimulatedLoader::hasLoaderFault(LoaderFault fault) const
{
    switch (fault) {
    case LoaderFault::Reject: return m_rejectBlock >= 0;
    case LoaderFault::Silent: return m_silentBlock >= 0;
    case LoaderFault::LongReply: return m_longReplyBlock >= 0;
    case LoaderFault::Stuck: return m_stuckBlock >= 0;
    case LoaderFault::ComeBackElsewhere: return m_comeBackElsewhere;
    case LoaderFault::SwitchUnanswered: return m_switchUnanswered;
    }
    return false;
}

quint16 SimulatedLoader::uploadedCrc() const
{
    return sectionCrc(m_data);
}

void SimulatedLoader::restartLoader(bool switched)
{
    m_data.clear();
    if (switched)
        m_blocks.clear();
    m_uploadBroken = false;
    m_stuck = false;
    m_fresh = true;
}

SimulatedLoader::BlockOutcome SimulatedLoader::takeBlock(const QByteArray &block)
{
    m_blocks << block;
    if (m_stuckBlock < 0)
        m_stuck = false;
    const int index = blocksTaken();
    if (m_stuckBlock >= 0 && (m_stuck || index >= m_stuckBlock)) {
        BlockOutcome stuck;
        if (!m_stuck)
            stuck.note = QStringLiteral("loader: stuck at block %1").arg(index);
        m_stuck = true;
        m_uploadBroken = true;
        return stuck;
    }
    if (index == m_silentBlock) {
        m_data += block; // taken, but the answer is lost
        m_uploadBroken = true;
        return {QByteArray(), QStringLiteral("loader: block %1 not answered").arg(index)};
    }
    if (index == m_rejectBlock) {
        m_uploadBroken = true;
        return {QByteArray(1, '\0') + char(m_rejectCode), QStringLiteral("loader: block %1 rejected").arg(index)};
    }
    m_data += block;
    if (index == m_longReplyBlock) {
        // The tool takes a reply it cannot read for a failure and sends no more:
        // the upload broke off, and the loader keeps waiting for a new one.
        m_uploadBroken = true;
        return {QByteArray("\x01\x00\x00", 3), QString()};
    }
    return {QByteArray("\x01\x00", 2), QString()};
}

} // namespace limra::sim
