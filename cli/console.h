#pragma once
// Where limra-cli writes: results to standard output, messages to standard
// error, and on a terminal one progress line that stays at the bottom of
// standard error (it is cleared before anything else is written and drawn
// again after).
#include <QByteArray>
#include <QString>
#include <functional>

namespace limra::cli {

class Console {
public:
    using Sink = std::function<void(const QByteArray &)>;

    // Standard output and standard error of the process.
    Console();
    // Given sinks; `terminal`: standard error is a terminal.
    Console(Sink out, Sink err, bool terminal);

    // A result line (a line end is added).
    void result(const QString &line);
    // Bytes on standard output as they are (a file written to "-").
    void raw(const QByteArray &bytes);
    // A message line on standard error.
    void message(const QString &line);
    // On a terminal: the progress line, replacing the last one (empty: none).
    void progress(const QString &line);
    bool terminal() const { return m_terminal; }

private:
    void clearProgress();
    void drawProgress();

    Sink m_out;
    Sink m_err;
    bool m_terminal = false;
    QString m_progress;
};

} // namespace limra::cli
