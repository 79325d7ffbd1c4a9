#include "display/typist.h"

#include "common/timings.h"
#include "platform/keyinjector.h"

namespace limra {

IdentifierTypist::IdentifierTypist(KeyInjector *keys, QObject *parent) : QObject(parent), m_keys(keys)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(Timings().keyPause);
    connect(&m_timer, &QTimer::timeout, this, &IdentifierTypist::step);
}

IdentifierTypist::~IdentifierTypist()
{
    stop();
}

bool IdentifierTypist::type(const QString &text, View view, bool enter)
{
    if (!m_keys || text.isEmpty())
        return false;
    if (m_current) {
        if (m_waiting.size() >= kMaxWaiting)
            return false;
        m_waiting.enqueue(Job{text, view, enter});
        return true;
    }
    begin(Job{text, view, enter});
    return true;
}

void IdentifierTypist::begin(Job job)
{
    m_current = std::move(job);
    if (m_current->view != View::Dec)
        m_keys->selectLatinLayout();
    step();
}

// One character, then a pause; after the last the layout goes back and Enter follows.
void IdentifierTypist::step()
{
    if (!m_current)
        return;
    Job &job = *m_current;
    if (job.view == View::Template) {
        const QList<uint> chars = job.text.toUcs4();
        if (job.next < chars.size()) {
            m_keys->typeCharacter(char32_t(chars[job.next++]));
            m_timer.start();
            return;
        }
    } else if (job.next < job.text.size()) {
        const QChar c = job.text.at(job.next++);
        m_keys->pressKey(c);
        m_timer.start();
        return;
    }
    end();
}

void IdentifierTypist::end()
{
    const Job job = *m_current;
    m_current.reset();
    if (job.view != View::Dec)
        m_keys->restoreLayout();
    if (job.enter)
        m_keys->pressEnter();
    if (!m_waiting.isEmpty())
        begin(m_waiting.dequeue());
    else
        Q_EMIT idle();
}

void IdentifierTypist::stop()
{
    m_timer.stop();
    m_waiting.clear();
    if (m_current) {
        if (m_current->view != View::Dec)
            m_keys->restoreLayout();
        m_current.reset();
    }
}

} // namespace limra

#include "moc_typist.cpp"
