#include "app/ui/operationlocks.h"

#include <QTabWidget>

#include "app/ui/statusbar.h"
#include "config/ui/configpage.h"
#include "firmware/ui/firmwarepage.h"
#include "firmware/update.h"
#include "link/session.h"
#include "link/ui/debugpage.h"
#include "provisioning/ui/securecardspage.h"
#include "station/station.h"

namespace limra {

OperationLocks::OperationLocks(ReaderStation &station, const Controls &controls)
    : m_station(station), m_controls(controls)
{
    connect(&m_station, &ReaderStation::busyChanged, this, &OperationLocks::busyChanged);
}

void OperationLocks::update()
{
    const ReaderSession &session = m_station.session();
    const bool loader = session.inLoader();
    QTabWidget &tabs = *m_controls.tabs;
    // A tab disabled under the current one moves it on: not the user's
    // choice, so the secure-cards tab passed on the way asks the reader nothing.
    m_changingTabs = true;
    tabs.setTabEnabled(tabs.indexOf(m_controls.configPage), !loader);
    tabs.setTabEnabled(tabs.indexOf(m_controls.securePage), session.isConnected() && !loader);
    m_changingTabs = false;
    busyChanged(m_station.busy());
}

void OperationLocks::busyChanged(bool busy)
{
    // What talks to the reader waits for one; a reader in its loader takes
    // nothing but firmware.
    const ReaderSession &session = m_station.session();
    const bool idle = !busy && session.isConnected() && !session.inLoader();
    m_controls.configPage->setReaderActionsEnabled(idle);
    m_controls.securePage->setReaderIdle(idle);
    m_controls.firmwarePage->setReaderIdle(!busy && (session.isConnected() || session.inLoader()));
    if (m_debugPage)
        m_debugPage->setReaderIdle(idle);
    m_controls.statusBar->setLinkEnabled(!m_station.updating());
}

} // namespace limra

#include "moc_operationlocks.cpp"
