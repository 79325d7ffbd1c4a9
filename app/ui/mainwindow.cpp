#include "app/ui/mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/inifile.h"
#include "app/settings.h"
#include "app/ui/statusbar.h"
#include "common/texts.h"
#include "config/backups.h"
#include "config/transfer.h"
#include "config/ui/keptwindow.h"
#include "display/cardlog.h"
#include "display/ui/cardlogwindow.h"
#include "config/ui/configeditor.h"
#include "config/ui/configpage.h"
#include "config/ui/zonelist.h"
#include "display/cardpresenter.h"
#include "display/idtemplate.h"
#include "display/ui/carddisplay.h"
#include "display/ui/templateeditor.h"
#include "firmware/ui/firmwarepage.h"
#include "firmware/update.h"
#include "link/discovery.h"
#include "link/session.h"
#include "link/trafficlog.h"
#include "link/ui/connectiondialog.h"
#include "link/ui/debugpage.h"
#include "platform/devicemonitor.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/tray.h"
#include "provisioning/mastercards.h"
#include "provisioning/masterconfig.h"
#include "provisioning/securecards.h"
#include "provisioning/ui/cardwaitdialogs.h"
#include "provisioning/ui/securecardspage.h"

// Resources of a static library are registered by hand, outside any namespace.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace limra {

namespace {
constexpr int kClientWidth = 926;
constexpr int kClientHeight = 650;
constexpr int kMinOuterWidth = 910;
constexpr int kMinOuterHeight = 655;
constexpr int kTrayStartMs = 10;
constexpr int kUnblockMs = 50;
const QString kUnsavedConfiguration =
    QStringLiteral("Конфигурация в редакторе изменена и не записана ни в USB-считыватель, ни в файл.");
const QString kCardLogKey = QStringLiteral("cardlog");

const QString kViewModeKey = QStringLiteral("viewmode");
const QString kTemplateKey = QStringLiteral("template");
const QString kPortKey = QStringLiteral("port");
const QString kClipboardKey = QStringLiteral("tobuffer");
const QString kKeyboardKey = QStringLiteral("tokeyboard");
const QString kNewlineKey = QStringLiteral("crlf");
const QString kDebugKey = QStringLiteral("debugmode");
const QString kTrayKey = QStringLiteral("totray");
} // namespace

QIcon MainWindow::appIcon()
{
    initResources();
    return QIcon(QStringLiteral(":/limra.svg"));
}

QString MainWindow::caption()
{
    return texts::kAppTitle + QLatin1Char(' ') + QStringLiteral(LIMRA_VERSION);
}

MainWindow::MainWindow(const Services &services, QWidget *parent) : QMainWindow(parent), m_services(services)
{
    if (m_services.dataFolder.isEmpty())
        m_services.dataFolder = userDataFolder();
    initResources();
    setWindowTitle(caption());
    setWindowIcon(appIcon());

    m_session = std::make_unique<ReaderSession>(m_link, m_services.portFactory);
    m_discovery = std::make_unique<ReaderDiscovery>(*m_session, m_link, *m_services.ports);
    m_editorModel.readerKind = [this] { return m_session->kind(); };

    m_presenter = new CardPresenter(m_services.clipboard, m_services.keys, this);
    m_link.addSink(m_presenter);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 2, 4, 0);
    m_cardDisplay = new CardDisplay(*m_presenter, central);
    layout->addWidget(m_cardDisplay);
    m_tabs = new QTabWidget(central);
    layout->addWidget(m_tabs, 1);
    setCentralWidget(central);
    buildPages();

    m_statusBar = new StatusBar(this);
    statusBar()->addWidget(m_statusBar, 1);
    statusBar()->setSizeGripEnabled(false);
    setStatusText(texts::kSearching);
    connect(m_statusBar, &StatusBar::clicked, this, &MainWindow::statusBarClicked);

    m_templateEditor = new TemplateEditor(this);
    m_connectionDialog = new ConnectionDialog(this);
    m_connectionDialog->allPorts = [this] { return m_discovery->allPorts(); };
    m_zoneTools = new ZoneTools(m_configPage->editor->zones, m_securePage->zones, *m_services.dialogs,
                                QFileInfo(m_services.settingsPath).absolutePath(), this);
    m_zoneTools->fillNameSources();
    connectOperations();

    m_presenter->options.clipboard = [this] { return m_configPage->toClipboard->isChecked(); };
    m_presenter->options.typing = [this] { return m_configPage->toKeyboard->isChecked(); };
    m_presenter->options.newline = [this] { return m_configPage->newline->isChecked(); };
    m_presenter->options.toolActive = [] { return QApplication::activeWindow() != nullptr; };
    m_presenter->openTemplateEditor = [this](const QString &sample) {
        m_templateEditor->setSample(sample);
        if (m_templateEditor->exec() == QDialog::Accepted)
            m_presenter->activeTemplate = m_templateEditor->templateText();
    };

    m_tabs->setEnabled(false);
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::tabChanged);

    m_trayStartTimer.setSingleShot(true);
    m_trayStartTimer.setInterval(kTrayStartMs);
    // Straight to the tray, without asking the window system to minimize:
    // a late notice of that could hide the window again after a restore.
    connect(&m_trayStartTimer, &QTimer::timeout, this, &MainWindow::minimizeToTray);
    m_unblockTimer.setSingleShot(true);
    m_unblockTimer.setInterval(kUnblockMs);
    connect(&m_unblockTimer, &QTimer::timeout, this, [this] {
        if (!m_inputBlocked)
            return;
        m_inputBlocked = false;
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
    });
    connect(&m_link, &ReaderLink::busyChanged, this, &MainWindow::readerBusy);
    if (m_services.tray) {
        connect(m_services.tray, &Tray::restoreRequested, this, &MainWindow::restoreFromTray);
        connect(m_services.tray, &Tray::closeRequested, this, &QWidget::close);
        connect(m_services.tray, &Tray::cardLogRequested, this, &MainWindow::showCardLog);
        connect(m_services.tray, &Tray::keptConfigurationsRequested, this, &MainWindow::showKeptConfigurations);
    }

    connect(m_session.get(), &ReaderSession::connected, this, &MainWindow::readerConnected);
    connect(m_session.get(), &ReaderSession::disconnected, this, [this] {
        updateTabsEnabled();
        setStatusText(texts::kSearching);
    });
    connect(m_session.get(), &ReaderSession::lineErrors, this, [this](const QStringList &messages) {
        for (const QString &m : messages)
            m_services.dialogs->message(m);
    });
    connect(m_discovery.get(), &ReaderDiscovery::identified, this, &MainWindow::readConfigurationAfterConnecting);
    connect(m_discovery.get(), &ReaderDiscovery::troubleChanged, this, [this](const PortTrouble &trouble) {
        if (m_session->isConnected())
            return;
        if (trouble.kind == PortTrouble::Kind::None) {
            setStatusText(texts::kSearching);
            return;
        }
        // Why the reader is not found: a few words, and the whole story as tooltip.
        setStatusText(texts::kSearching + QStringLiteral(" (") + trouble.shortText() + QLatin1Char(')'));
        m_statusBar->text->setToolTip(trouble.details());
        m_statusBar->text->setAccessibleDescription(trouble.details());
    });
    if (m_services.deviceMonitor) {
        connect(m_services.deviceMonitor, &DeviceMonitor::removed, m_discovery.get(),
                &ReaderDiscovery::deviceRemoved);
        connect(m_services.deviceMonitor, &DeviceMonitor::changed, m_discovery.get(),
                &ReaderDiscovery::portsChanged);
    }

    resize(kClientWidth, kClientHeight);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    m_discovery->start();
}

MainWindow::~MainWindow()
{
    if (m_inputBlocked) {
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
    }
    m_discovery.reset();
    m_link.removeSink(m_presenter);
    m_session.reset();
}

void MainWindow::buildPages()
{
    m_programTabChange = true;
    m_configPage = new ConfigPage(m_editorModel, *m_services.dialogs, m_tabs);
    m_tabs->addTab(m_configPage, texts::kConfigurationCaption);
    m_securePage = new SecureCardsPage(m_tabs);
    m_tabs->addTab(m_securePage, texts::kSecureCardsCaption);
    m_firmwareUpdate = new FirmwareUpdate(m_link, *m_session, *m_services.dialogs, this);
    m_versionQuery = std::make_unique<FirmwareVersionQuery>(m_link, *m_services.dialogs);
    m_firmwarePage = new FirmwarePage(*m_firmwareUpdate, *m_versionQuery, *m_services.dialogs, m_tabs);
    connect(m_firmwareUpdate, &FirmwareUpdate::lockedChanged, this, &MainWindow::setLocked);
    connect(m_firmwareUpdate, &FirmwareUpdate::waitCursor, this, [this](bool on) {
        if (on == m_firmwareCursor)
            return;
        m_firmwareCursor = on;
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    m_tabs->addTab(m_firmwarePage, texts::kFirmwareCaption);
    m_programTabChange = false;
}

void MainWindow::connectOperations()
{
    UserDialogs &dialogs = *m_services.dialogs;
    m_cardWaits = std::make_unique<DialogCardWaits>(dialogs, this, [this] { return debugMode(); });
    auto objectCodeWait = [this](const QString &waitCaption, const QString &prompt) {
        SingleCardWait wait(m_link.cardEvents(), waitCaption, prompt);
        return m_cardWaits->run(wait);
    };
    m_transfer = new ConfigTransfer(m_link, m_editorModel, dialogs, objectCodeWait, this);
    m_masterCards = new MasterCardOperations(m_link, m_editorModel, dialogs, *m_cardWaits, this);
    m_masterConfig = new MasterConfigOperations(m_link, m_editorModel, dialogs, *m_cardWaits, this);
    m_secureCards = new SecureCardOperations(m_link, dialogs, *m_cardWaits, this);

    ConfigEditor *editor = m_configPage->editor;
    connect(m_transfer, &ConfigTransfer::editorChanged, editor, &ConfigEditor::sync);
    connect(m_masterCards, &MasterCardOperations::editorChanged, editor, &ConfigEditor::sync);
    connect(m_masterConfig, &MasterConfigOperations::editorChanged, editor, &ConfigEditor::sync);

    ConfigPage *page = m_configPage;
    connect(page->readFileButton, &QPushButton::clicked, m_transfer, &ConfigTransfer::loadFromFile);
    connect(page->writeFileButton, &QPushButton::clicked, m_transfer, &ConfigTransfer::saveToFile);
    connect(page->readReaderButton, &QPushButton::clicked, m_transfer,
            [this] { m_transfer->readFromReader(ConfigTransfer::ReadStart::ByUser); });
    connect(page->writeReaderButton, &QPushButton::clicked, m_transfer, &ConfigTransfer::writeToReader);
    connect(page->defaultConfigButton, &QPushButton::clicked, m_transfer, &ConfigTransfer::showDefault);
    connect(page->readMasterButton, &QPushButton::clicked, m_masterConfig, &MasterConfigOperations::readIntoEditor);
    connect(page->masterToReaderButton, &QPushButton::clicked, m_masterConfig, &MasterConfigOperations::takeOver);
    connect(page->createMastersButton, &QPushButton::clicked, m_masterCards, &MasterCardOperations::create);
    connect(page->clearMastersButton, &QPushButton::clicked, m_masterCards, &MasterCardOperations::clear);

    // The safety net: before a write replaces the reader's configuration, it is kept.
    m_backups = std::make_unique<ConfigBackups>(m_link, *m_session, dialogs,
                                                m_services.dataFolder + QStringLiteral("/configurations"));
    m_transfer->beforeWrite = [this] { return m_backups->keepBeforeWrite(); };
    m_masterConfig->beforeWrite = [this] { return m_backups->keepBeforeWrite(); };
    m_keptWindow = new KeptConfigurationsWindow(*m_backups, *m_transfer, dialogs, this);
    connect(page->keptButton, &QPushButton::clicked, this, &MainWindow::showKeptConfigurations);
    connect(editor, &ConfigEditor::synced, this, &MainWindow::updateConfigurationMark);

    // The card log.
    m_cardLog = new CardLog(this);
    connect(m_presenter, &CardPresenter::identifierLogged, m_cardLog,
            [this](const QString &raw, const QString &shown, IdKind kind) {
                m_cardLog->add({QDateTime::currentDateTime(), kind, shown, raw, QString()});
            });
    connect(m_presenter, &CardPresenter::cardInfoShown, m_cardLog,
            [this](const CardInfo &info) { m_cardLog->cardInfo(info.type); });
    m_cardLogWindow = new CardLogWindow(*m_cardLog, dialogs, m_services.clipboard,
                                        m_services.dataFolder + QStringLiteral("/cards.csv"), this);
    connect(m_cardDisplay, &CardDisplay::identifierDoubleClicked, this, &MainWindow::showCardLog);

    SecureCardsPage *secure = m_securePage;
    connect(secure->createButton, &QPushButton::clicked, m_secureCards,
            [this] { m_secureCards->create(m_securePage->zones->checks()); });
    connect(secure->clearOneButton, &QPushButton::clicked, m_secureCards, &SecureCardOperations::clearOneObjectCode);
    connect(secure->clearAllButton, &QPushButton::clicked, m_secureCards, &SecureCardOperations::clearAllObjectCodes);
}

void MainWindow::addDebugPage()
{
    m_trafficLog = new TrafficLog(m_link, *m_services.dialogs, this);
    m_debugPage = new DebugPage(*m_trafficLog, m_tabs);
    m_programTabChange = true;
    m_tabs->insertTab(0, m_debugPage, texts::kDebugCaption);
    m_tabs->setCurrentIndex(0);
    m_programTabChange = false;
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    const QSize frame = frameGeometry().size() - size();
    setMinimumSize(kMinOuterWidth - frame.width(), kMinOuterHeight - frame.height());
    if (m_firstShowPending)
        firstShow();
}

void MainWindow::firstShow()
{
    selectPage(m_tabs->widget(0));
    m_configPage->editor->startUp();
    m_knownPorts = m_discovery->allPorts();
    m_knownPorts.removeDuplicates();
    m_selectedPort = m_knownPorts.value(0);
    readSettings();
    m_firstShowPending = false;
    m_presenter->setStarted();
}

void MainWindow::readSettings()
{
    const IniFile ini(m_services.settingsPath);
    auto flag = [&](const QString &key) {
        return ini.read(kSettingsSection, key, QStringLiteral("0")) == QLatin1String("1");
    };
    const QString port = ini.read(kSettingsSection, kPortKey);
    if (m_knownPorts.contains(port))
        m_selectedPort = port;
    const QString view = ini.read(kSettingsSection, kViewModeKey, QStringLiteral("1"));
    CardPresenter::View chosen = CardPresenter::View::Dec;
    if (view == QLatin1String("2")) {
        chosen = CardPresenter::View::Hex;
    } else if (view == QLatin1String("3")) {
        chosen = CardPresenter::View::Template;
        const QString tmpl = ini.read(kSettingsSection, kTemplateKey);
        if (!tmpl.isEmpty()) {
            if (renderTemplate(QStringLiteral("FF"), tmpl) == kTemplateError)
                chosen = CardPresenter::View::Dec;
            else
                m_presenter->activeTemplate = tmpl;
        }
    }
    m_presenter->setView(chosen);
    m_cardDisplay->showView(chosen);
    m_configPage->toClipboard->setChecked(flag(kClipboardKey));
    m_configPage->toKeyboard->setChecked(flag(kKeyboardKey));
    m_configPage->newline->setChecked(flag(kNewlineKey));
    m_configPage->newline->setEnabled(true);
    if (flag(kDebugKey))
        addDebugPage();
    else
        selectPage(m_configPage);
    if (flag(kCardLogKey))
        m_cardLogWindow->setWritingFile(true);
    if (flag(kTrayKey)) {
        m_configPage->startInTray->setChecked(true);
        if (trayAvailable()) // never hidden where it could not be found again
            m_trayStartTimer.start();
    }
    if (!trayAvailable()) {
        m_configPage->startInTray->setEnabled(false);
        m_configPage->startInTray->setToolTip(
            QStringLiteral("На этом рабочем столе нет области уведомлений: окно сворачивается как обычно."));
    }
}

void MainWindow::writeSettings()
{
    const IniFile ini(m_services.settingsPath);
    auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    const CardPresenter::View view = m_cardDisplay->chosenView();
    ini.write(kSettingsSection, kViewModeKey, QString::number(int(view)));
    ini.write(kSettingsSection, kTemplateKey,
              view == CardPresenter::View::Template ? m_presenter->activeTemplate : QString());
    if (!m_selectedPort.isEmpty())
        ini.write(kSettingsSection, kPortKey, m_selectedPort);
    ini.write(kSettingsSection, kClipboardKey, flag(m_configPage->toClipboard->isChecked()));
    ini.write(kSettingsSection, kKeyboardKey, flag(m_configPage->toKeyboard->isChecked()));
    ini.write(kSettingsSection, kNewlineKey, flag(m_configPage->newline->isChecked()));
    ini.write(kSettingsSection, kTrayKey, flag(m_configPage->startInTray->isChecked()));
    ini.write(kSettingsSection, kCardLogKey, flag(m_cardLog->writingFile()));
}

void MainWindow::closeForTermination()
{
    m_askBeforeClose = false;
    close();
}

namespace {
void showInFront(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

void MainWindow::showCardLog()
{
    showInFront(m_cardLogWindow);
}

void MainWindow::showKeptConfigurations()
{
    showInFront(m_keptWindow);
}

// A mark on the tab while the editor holds what neither the reader nor a file has.
void MainWindow::updateConfigurationMark()
{
    const int index = m_tabs->indexOf(m_configPage);
    const bool dirty = m_editorModel.isDirty();
    static const QIcon mark = [] {
        QPixmap dot(10, 10);
        dot.fill(Qt::transparent);
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(0xF0, 0x80, 0x00));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(1, 1, 8, 8);
        return QIcon(dot);
    }();
    m_tabs->setTabIcon(index, dirty ? mark : QIcon());
    m_tabs->setTabToolTip(index, dirty ? kUnsavedConfiguration : QString());
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_askBeforeClose && m_editorModel.isDirty()
        && !m_services.dialogs->question(texts::kConfigurationCaption,
                                         kUnsavedConfiguration + QStringLiteral(" Закрыть программу?"))) {
        event->ignore();
        return;
    }
    writeSettings();
    m_cardLog->stopFile();
    m_presenter->typist().stop();
    m_discovery->pause();
    m_session->dropConnection();
    if (m_services.tray)
        m_services.tray->hide();
    event->accept();
    QCoreApplication::quit();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) && isVisible()
        && trayAvailable())
        QTimer::singleShot(0, this, [this] {
            // Only while the window is still minimized: a restore may have come meanwhile.
            if ((windowState() & Qt::WindowMinimized) && isVisible())
                minimizeToTray();
        });
}

void MainWindow::readerBusy(bool busy)
{
    if (!busy) {
        m_unblockTimer.start();
        return;
    }
    m_unblockTimer.stop();
    if (m_inputBlocked)
        return;
    m_inputBlocked = true;
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (m_inputBlocked && watched->isWidgetType()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::trayAvailable() const
{
    return m_services.tray && m_services.tray->available();
}

void MainWindow::minimizeToTray()
{
    hide();
    if (m_services.tray)
        m_services.tray->show();
}

void MainWindow::restoreFromTray()
{
    if (m_services.tray)
        m_services.tray->hide();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::setStatusText(const QString &text)
{
    m_statusBar->text->setFullText(text); // a long port name may not fit the panel
}

void MainWindow::statusBarClicked(int x)
{
    if (x > StatusBar::kFirstWidth && x < StatusBar::kFirstWidth + StatusBar::kMiddleWidth)
        openConnectionSettings();
}

void MainWindow::openConnectionSettings()
{
    m_discovery->pause();
    m_connectionDialog->selectMode(m_session->mode);
    if (m_connectionDialog->exec() == QDialog::Accepted)
        m_discovery->applySettings(m_connectionDialog->chosenMode(), m_connectionDialog->chosenPort(),
                                   m_connectionDialog->chosenNumber());
    m_discovery->resume();
}

void MainWindow::readerConnected(const QString &status)
{
    setStatusText(status);
    updateTabsEnabled();
    selectPage(m_configPage);
}

void MainWindow::setLocked(bool locked)
{
    m_locked = locked;
    updateTabsEnabled();
}

void MainWindow::updateTabsEnabled()
{
    m_tabs->setEnabled(m_session->isConnected() && !m_locked);
}

void MainWindow::selectPage(QWidget *page)
{
    m_programTabChange = true;
    m_tabs->setCurrentWidget(page);
    m_programTabChange = false;
}

void MainWindow::readConfigurationAfterConnecting()
{
    m_configPage->readReaderButton->setEnabled(false);
    m_transfer->readFromReader(ConfigTransfer::ReadStart::AfterConnecting);
    m_configPage->readReaderButton->setEnabled(true);
}

void MainWindow::tabChanged(int index)
{
    if (m_programTabChange)
        return;
    if (m_tabs->widget(index) == m_securePage)
        m_securePage->showMode(m_secureCards->queryMode());
}

} // namespace limra
