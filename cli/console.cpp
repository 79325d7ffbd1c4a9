#include "cli/console.h"

#include <cstdio>
#include <unistd.h>

namespace limra::cli {

namespace {
// The texts are UTF-8 whatever the locale says: the reader's texts are Russian.
// A stream that failed (its reader went away: EPIPE) is written no more.
void writeTo(FILE *stream, const QByteArray &bytes)
{
    if (std::ferror(stream))
        return;
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Back to the start of the line, and the line cleared.
const QByteArray kClearLine = QByteArrayLiteral("\r\x1b[K");
} // namespace

Console::Console()
    : m_out([](const QByteArray &b) { writeTo(stdout, b); }), m_err([](const QByteArray &b) { writeTo(stderr, b); }),
      m_terminal(::isatty(STDERR_FILENO) == 1)
{
}

Console::Console(Sink out, Sink err, bool terminal) : m_out(std::move(out)), m_err(std::move(err)), m_terminal(terminal)
{
}

void Console::result(const QString &line)
{
    clearProgress();
    m_out(line.toUtf8() + '\n');
    drawProgress();
}

void Console::raw(const QByteArray &bytes)
{
    clearProgress();
    m_out(bytes);
    drawProgress();
}

void Console::message(const QString &line)
{
    clearProgress();
    m_err(line.toUtf8() + '\n');
    drawProgress();
}

void Console::progress(const QString &line)
{
    if (!m_terminal || line == m_progress)
        return;
    const bool had = !m_progress.isEmpty();
    m_progress = line;
    if (m_progress.isEmpty()) {
        if (had)
            m_err(kClearLine);
        return;
    }
    m_err(kClearLine + m_progress.toUtf8());
}

void Console::clearProgress()
{
    if (m_terminal && !m_progress.isEmpty())
        m_err(kClearLine);
}

void Console::drawProgress()
{
    if (m_terminal && !m_progress.isEmpty())
        m_err(m_progress.toUtf8());
}

} // namespace limra::cli
