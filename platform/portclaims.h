#pragma once
// A reader port is worked on by one program of the tool at a time, also
// while its port is closed (a reader restarting into its firmware loader,
// a loader waited for). A claim is a lock on a small file in the user's
// runtime folder, named after the port: the system lets it go with the
// process, so no claim outlives the program that made it, and root is held
// off like anyone else. Claims of one program on one port are counted: its
// session and its firmware update may both hold the port.
#include <QString>

namespace limra {

class PortClaim {
public:
    PortClaim() = default;
    ~PortClaim() { release(); }
    PortClaim(const PortClaim &) = delete;
    PortClaim &operator=(const PortClaim &) = delete;

    // Claims the port (as it is opened by); false when another program
    // holds it. A claim held on another port is let go first.
    bool claim(const QString &port);
    void release();
    bool held() const { return !m_port.isEmpty(); }
    QString port() const { return m_port; }

private:
    QString m_port;
};

// Whether another program holds a claim on the port now.
bool portClaimedElsewhere(const QString &port);

// The device behind the port as it is now: a stamp that changes when the
// device goes away and comes back (a replug, a power cycle, a restart of
// the reader), and stays while the device stays. Empty when the port is gone.
QString portInstance(const QString &port);

} // namespace limra
