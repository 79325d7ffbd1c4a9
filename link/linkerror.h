#pragma once
// Why a request to the reader ended without the reply it asked for.
#include <QtGlobal>

namespace limra {

struct LinkError {
    enum class Kind {
        TimedOut,  // no reply in time
        Refused,   // the reply's status item holds the reader's error code
        Malformed, // a reply that cannot be what was asked for
        PortLost,  // no port, or the port went away while the request waited
    };
    Kind kind = Kind::TimedOut;
    quint8 code = 0; // the reader's error code, for Refused

    static LinkError timedOut() { return {Kind::TimedOut, 0}; }
    static LinkError refused(quint8 code) { return {Kind::Refused, code}; }
    static LinkError malformed() { return {Kind::Malformed, 0}; }
    static LinkError portLost() { return {Kind::PortLost, 0}; }

    // The code the reader's error texts are looked up by: the reader's own
    // code when it refused, else 0, the code of the time-out text.
    int textCode() const { return kind == Kind::Refused ? code : 0; }
    bool operator==(const LinkError &o) const { return kind == o.kind && code == o.code; }
    bool operator!=(const LinkError &o) const { return !(*this == o); }
};

} // namespace limra
