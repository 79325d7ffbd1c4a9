#include "app/ui/mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "station/inifile.h"
#include "station/station.h"
#include "app/ui/connectionstatus.h"
#include "app/ui/operationlocks.h"
#include "app/ui/statusbar.h"
#include "app/ui/windowsettings.h"
#include "app/ui/windowtray.h"
#include "common/texts.h"
#include "common/ui/mnemonic.h"
#include "config/backups.h"
#include "config/ui/configpage.h"
#include "config/ui/keptwindow.h"
#include "config/ui/transfercontroller.h"
#include "config/ui/zonelist.h"
#include "display/cardlog.h"
#include "display/cardpresenter.h"
#include "display/ui/carddisplay.h"
#include "display/ui/cardlogwindow.h"
#include "display/ui/templateeditor.h"
#include "firmware/ui/firmwarepage.h"
#include "firmware/update.h"
#include "link/discovery.h"
#include "link/errors.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "link/trafficlog.h"
#include "link/ui/connectiondialog.h"
#include "link/ui/debugpage.h"
#include "platform/devicemonitor.h"
#include "platform/dialogs.h"
#include "platform/keyinjector.h"
#include "platform/tray.h"
#include "provisioning/mastercards.h"
#include "provisioning/masterconfig.h"
#include "provisioning/securecards.h"
#include "provisioning/ui/cardwaitdialogs.h"
#include "provisioning/ui/mastercontroller.h"
#include "provisioning/ui/securecardspage.h"

// Resources of a static library are registered by hand, outside any namespace.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace limra {

namespace {
// Where the window is never painted (it starts in the tray), the rest of the
// start-up follows this long after the first show.
} // namespace

QIcon MainWindow::appIcon()
{
    initResources();
    // The sizes a window or tray icon is drawn at, read once, as PNG outright:
    // finding the format would load every image plugin.
    static const QIcon icon = [] {
        QIcon sizes;
        for (int size : {16, 32, 48, 64}) {
            QImageReader reader(QStringLiteral(":/limra-%1.png").arg(size), "png");
            reader.setAutoDetectImageFormat(false);
            sizes.addPixmap(QPixmap::fromImage(reader.read()));
        }
        return sizes;
    }();
    return icon;
}

QString MainWindow::caption()
{
    return texts::kAppTitle + QLatin1Char(' ') + QStringLiteral(LIMRA_VERSION);
}

MainWindow::MainWindow(ReaderStation &station, const Services &services, QWidget *parent)
    : QMainWindow(parent), m_station(station), m_services(services), m_sizing(*this, services.windowStatePath)
{
    initResources();
    setWindowTitle(caption());
    setWindowIcon(appIcon());
    m_editorModel.readerKind = [this] { return m_station.session().kind(); };

    m_presenter = new CardPresenter(m_services.clipboard, m_services.keys, this);
    m_station.feedCards(*m_presenter);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 2, 4, 0);
    m_cardDisplay = new CardDisplay(*m_presenter, central);
    layout->addWidget(m_cardDisplay);
    m_tabs = new QTabWidget(central);
    layout->addWidget(m_tabs, 1);
    // On a screen smaller than the window's least size (a large scale) the
    // window still fits, its status bar on the screen: the contents scroll.
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(central);
    setCentralWidget(scroll);
    buildPages();

    m_statusBar = new StatusBar(this);
    statusBar()->addWidget(m_statusBar, 1);
    statusBar()->setSizeGripEnabled(false);
    m_connectionStatus = std::make_unique<ConnectionStatus>(*m_statusBar, m_station);
    connect(m_connectionStatus.get(), &ConnectionStatus::settingsRequested, this, &MainWindow::openConnectionSettings);

    m_zoneTools = new ZoneTools(*m_services.dialogs, QFileInfo(m_services.settingsPath).absolutePath(), this);
    m_configPage->useZoneTools(*m_zoneTools);
    m_securePage->useZoneTools(*m_zoneTools);
    m_zoneTools->fillNameSources();
    connectStation();

    m_presenter->options.clipboard = [this] { return m_configPage->copiesToClipboard(); };
    m_presenter->options.typing = [this] { return m_configPage->typesOnKeyboard(); };
    m_presenter->options.newline = [this] { return m_configPage->addsNewline(); };
    m_presenter->options.toolActive = [] { return QApplication::activeWindow() != nullptr; };
    if (KeyInjector *keys = m_services.keys) {
        // Where the desktop must allow typing, it is asked when the user switches typing on.
        m_configPage->showTypingReach(keys->reach());
        keys->watchReach([this] { typingReachChanged(); });
        connect(m_configPage, &ConfigPage::typingClicked, this, [keys](bool on) {
            if (on)
                keys->prepare();
        });
    }
    m_presenter->openTemplateEditor = [this](const QString &sample) {
        TemplateEditor *editor = templateEditor();
        editor->setSample(sample);
        if (editor->exec() == QDialog::Accepted)
            m_presenter->activeTemplate = editor->templateText();
    };

    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::tabChanged);
    // The usual keys for opening and saving a file, from any tab while the
    // buttons can be used.
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, m_configPage,
            &ConfigPage::readFileByShortcut);
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, m_configPage,
            &ConfigPage::writeFileByShortcut);
    m_configPage->setFileShortcuts(QKeySequence(QKeySequence::Open), QKeySequence(QKeySequence::Save));
    m_locks->update();

    m_tray = std::make_unique<WindowTray>(*this, m_services.tray);
    if (m_services.tray) {
        connect(m_services.tray, &Tray::cardLogRequested, this, &MainWindow::showCardLog);
        connect(m_services.tray, &Tray::keptConfigurationsRequested, this, &MainWindow::showKeptConfigurations);
    }

    m_sizing.placeAtStart();
    m_station.discovery().start();
}

MainWindow::~MainWindow()
{
    if (m_services.keys)
        m_services.keys->watchReach({});
    disconnect(&m_station.link(), nullptr, this, nullptr);
    disconnect(&m_station.link(), nullptr, m_presenter, nullptr);
    disconnect(&m_station, nullptr, this, nullptr);
    disconnect(&m_station.session(), nullptr, this, nullptr);
    disconnect(&m_station.discovery(), nullptr, this, nullptr);
}

// Refused by the desktop: typing is switched off, the tooltip says why, and
// the user is told once. The identifier stays on display and on the clipboard.
void MainWindow::typingReachChanged()
{
    const TypingReach reach = m_services.keys->reach();
    m_configPage->showTypingReach(reach);
    const bool refused = refusedByDesktop(reach);
    if (refused && !m_typingRefused) {
        m_configPage->setTypesOnKeyboard(false);
        m_configPage->typingToggled(false);
        const QString why = reach == TypingReach::DesktopRefused ? texts::kTypingRefused : texts::kTypingRequestCancelled;
        m_services.dialogs->notify(why + QLatin1Char('\n')
                                       + texts::kTypingSwitchedOff.arg(m_configPage->clipboardOptionText()),
                                   {});
    }
    m_typingRefused = refused;
}

void MainWindow::buildPages()
{
    UserDialogs &dialogs = *m_services.dialogs;
    m_programTabChange = true;
    m_configPage = new ConfigPage(m_editorModel, dialogs, m_tabs);
    m_tabs->addTab(m_configPage, withMnemonic(texts::kConfigurationCaption, QChar(u'К')));
    m_securePage = new SecureCardsPage(m_station, dialogs, m_tabs);
    m_tabs->addTab(m_securePage, withMnemonic(texts::kSecureCardsCaption, QChar(u'З')));
    m_firmwarePage = new FirmwarePage(m_station, dialogs, m_tabs);
    m_tabs->addTab(m_firmwarePage, withMnemonic(texts::kFirmwareCaption, QChar(u'б')));
    m_programTabChange = false;
}

void MainWindow::connectStation()
{
    UserDialogs &dialogs = *m_services.dialogs;
    m_transfer = new ConfigTransferController(*m_configPage, m_editorModel, m_station, dialogs, this);
    connect(m_transfer, &ConfigTransferController::editorChanged, m_configPage, &ConfigPage::syncEditor);
    m_masterCards = new MasterCardController(*m_configPage, m_editorModel, *m_transfer, m_station, dialogs, this);
    connect(m_masterCards, &MasterCardController::editorChanged, m_configPage, &ConfigPage::syncEditor);
    connect(&m_station, &ReaderStation::readingAfterConnecting, m_transfer,
            &ConfigTransferController::readingAfterConnecting);
    connect(&m_station, &ReaderStation::cardWaitOpened, this,
            [this](CardWait *wait) { showCardWait(*wait, *m_services.dialogs, this); });
    m_locks = std::make_unique<OperationLocks>(
        m_station, OperationLocks::Controls{m_tabs, m_configPage, m_securePage, m_firmwarePage, m_statusBar});

    connect(m_configPage, &ConfigPage::keptClicked, this, &MainWindow::showKeptConfigurations);
    connect(m_configPage, &ConfigPage::editorSynced, this, &MainWindow::updateConfigurationMark);
    updateConfigurationMark();

    // The card log.
    CardLog &cardLog = m_station.cardLog();
    // A card log file that cannot be written is told once; the reads wait in memory.
    connect(&cardLog, &CardLog::fileFailed, this,
            [this](const QString &text) { m_services.dialogs->notifyError(text); });
    connect(m_cardDisplay, &CardDisplay::cardLogRequested, this, &MainWindow::showCardLog);

    ReaderSession &session = m_station.session();
    connect(&session, &ReaderSession::connected, this, &MainWindow::readerConnected);
    connect(&session, &ReaderSession::loaderConnected, this, &MainWindow::loaderConnected);
    connect(&session, &ReaderSession::disconnected, this, [this] {
        m_firmwarePage->setInLoader(false);
        m_locks->update();
    });
    connect(&session, &ReaderSession::lineErrors, this, [this](LineErrors errors) {
        for (const QString &m : lineErrorTexts(errors))
            m_services.dialogs->notify(m, nullptr);
    });
}

void MainWindow::addDebugPage()
{
    m_station.setDebugMode(true);
    m_trafficLog = new TrafficLog(m_station.link(), this);
    m_debugPage = new DebugPage(*m_trafficLog, m_station, *m_services.dialogs, m_tabs);
    m_locks->setDebugPage(m_debugPage);
    m_programTabChange = true;
    m_tabs->insertTab(0, m_debugPage, withMnemonic(texts::kDebugCaption, QChar(u'О')));
    m_tabs->setCurrentIndex(0);
    m_programTabChange = false;
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    m_sizing.shown();
    if (m_firstShowPending)
        firstShow();
}

bool MainWindow::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    m_sizing.handled(event->type());
    return handled;
}

void MainWindow::firstShow()
{
    selectPage(m_tabs->widget(0));
    m_configPage->startUpEditor();
    readSettings();
    m_firstShowPending = false;
    m_presenter->setStarted();
    // What the first paint does not need waits until it is done.
    m_cardDisplay->installEventFilter(this);
    QTimer::singleShot(m_station.timings().afterStart, this, &MainWindow::afterFirstPaint);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_cardDisplay && event->type() == QEvent::Paint) {
        m_cardDisplay->removeEventFilter(this);
        QTimer::singleShot(0, this, &MainWindow::afterFirstPaint);
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::afterFirstPaint()
{
    if (m_startFinished)
        return;
    m_startFinished = true;
    knownPorts();
}

// The ports the system knows: the port kept in the settings counts only when
// it is one of them. Listing them takes a while, so it waits for the first paint.
const QStringList &MainWindow::knownPorts()
{
    if (!m_knownPortsListed) {
        m_knownPortsListed = true;
        m_knownPorts = m_station.discovery().allPorts();
        m_knownPorts.removeDuplicates();
        m_selectedPort = m_knownPorts.contains(m_storedPort) ? m_storedPort : m_knownPorts.value(0);
    }
    return m_knownPorts;
}

ConnectionDialog *MainWindow::connectionDialog()
{
    if (!m_connectionDialog) {
        m_connectionDialog = new ConnectionDialog(this);
        m_connectionDialog->allPorts = [this] { return m_station.discovery().allPorts(); };
    }
    return m_connectionDialog;
}

CardLogWindow *MainWindow::cardLogWindow()
{
    if (!m_cardLogWindow)
        m_cardLogWindow = new CardLogWindow(m_station.cardLog(), *m_services.dialogs, m_services.clipboard,
                                            m_station.dataFolder() + QStringLiteral("/cards.csv"), this);
    return m_cardLogWindow;
}

TemplateEditor *MainWindow::templateEditor()
{
    if (!m_templateEditor)
        m_templateEditor = new TemplateEditor(this);
    return m_templateEditor;
}

KeptConfigurationsWindow *MainWindow::keptWindow()
{
    // Kept configurations come back into the editor as files do.
    if (!m_keptWindow)
        m_keptWindow = new KeptConfigurationsWindow(
            m_station.keptConfigurations(), [this](const QString &path) { m_transfer->restoreKept(path); },
            *m_services.dialogs, this);
    return m_keptWindow;
}

void MainWindow::readSettings()
{
    const IniFile ini(m_services.settingsPath);
    // A settings file that cannot be read whole is left as it is; the user is told why.
    if (const QString problem = ini.problem(); !problem.isEmpty())
        QTimer::singleShot(0, this, [this, problem] { m_services.dialogs->notifyError(problem); });
    const WindowSettings settings = WindowSettings::read(ini);
    m_storedPort = settings.port;
    if (!settings.cardTemplate.isEmpty())
        m_presenter->activeTemplate = settings.cardTemplate;
    m_presenter->setView(settings.view);
    m_cardDisplay->showView(settings.view);
    m_configPage->setCopiesToClipboard(settings.toClipboard);
    m_configPage->setTypesOnKeyboard(settings.toKeyboard);
    m_configPage->setAddsNewline(settings.newline);
    if (settings.debugMode)
        addDebugPage();
    else
        selectPage(m_configPage);
    if (settings.cardLog)
        cardLogWindow()->setWritingFile(true);
    if (settings.startInTray) {
        m_configPage->setStartsInTray(true);
        if (m_tray->available()) // never hidden where it could not be found again
            m_tray->startInTray();
    }
    if (!m_tray->available()) {
        m_configPage->disableTrayStart(
            QStringLiteral("На этом рабочем столе нет области уведомлений: окно сворачивается как обычно."));
    }
}

void MainWindow::writeSettings()
{
    WindowSettings settings;
    settings.view = m_cardDisplay->chosenView();
    settings.cardTemplate = m_presenter->activeTemplate;
    knownPorts();
    settings.port = m_selectedPort;
    settings.toClipboard = m_configPage->copiesToClipboard();
    settings.toKeyboard = m_configPage->typesOnKeyboard();
    settings.newline = m_configPage->addsNewline();
    settings.startInTray = m_configPage->startsInTray();
    settings.cardLog = m_station.cardLog().writingFile();
    settings.write(IniFile(m_services.settingsPath));
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
    showInFront(cardLogWindow());
}

void MainWindow::showKeptConfigurations()
{
    showInFront(keptWindow());
}

// A mark on the tab while the editor holds what neither the reader nor a file has.
void MainWindow::updateConfigurationMark()
{
    const int index = m_tabs->indexOf(m_configPage);
    const bool dirty = m_editorModel.isDirty();
    auto dot = [](bool drawn) {
        QPixmap pixmap(10, 10);
        pixmap.fill(Qt::transparent);
        if (drawn) {
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setBrush(QColor(0xF0, 0x80, 0x00));
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(1, 1, 8, 8);
        }
        return QIcon(pixmap);
    };
    // The tab keeps its icon's place while there is no mark: the tabs and
    // the page under them do not move when it comes and goes.
    static const QIcon mark = dot(true);
    static const QIcon none = dot(false);
    m_tabs->setTabIcon(index, dirty ? mark : none);
    m_tabs->setTabToolTip(index, dirty ? texts::kUnsavedConfiguration : QString());
}

bool MainWindow::askBeforeClosing()
{
    UserDialogs &dialogs = *m_services.dialogs;
    if (const QPointer<FirmwareUpdate> update = m_station.updating()) {
        if (!dialogs.question(texts::kFirmwareCaption,
                              QStringLiteral("Идёт обновление микропрограммы. Если прервать его, считыватель "
                                             "останется в режиме загрузчика. Прервать обновление и закрыть программу?"),
                              UserDialogs::QuestionIcon::Warning))
            return false;
        if (update)
            update->cancel();
    }
    return !m_editorModel.isDirty()
           || dialogs.question(texts::kConfigurationCaption,
                               texts::kUnsavedConfiguration + QStringLiteral(" Закрыть программу?"));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_closing || (m_askBeforeClose && !askBeforeClosing()))
        return;
    // The reader goes back to card reading, and an upload ends, before the port closes.
    m_closing = true;
    m_station.shutDown([this] { finishClosing(); });
}

void MainWindow::finishClosing()
{
    writeSettings();
    m_sizing.keep();
    m_station.cardLog().stopFile();
    m_presenter->typist().stop();
    m_station.discovery().pause();
    m_station.session().dropConnection();
    m_tray->hideIcon();
    m_closed = true;
    close();
    QCoreApplication::quit();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_tray)
        m_tray->windowStateChanged();
}

void MainWindow::bringToFront()
{
    m_tray->restore();
}

void MainWindow::openConnectionSettings()
{
    // Not while the reader restarts or takes firmware.
    if (m_station.updating())
        return;
    ReaderDiscovery &discovery = m_station.discovery();
    discovery.pause();
    ConnectionDialog *dialog = connectionDialog();
    dialog->selectMode(m_station.discovery().connectionMode());
    if (dialog->exec() == QDialog::Accepted)
        discovery.applySettings(dialog->chosenMode(), dialog->chosenPort(), dialog->chosenNumber());
    discovery.resume();
}

void MainWindow::readerConnected()
{
    m_firmwarePage->setInLoader(false);
    m_locks->update();
    if (!m_station.updating())
        selectPage(m_configPage);
}

void MainWindow::loaderConnected()
{
    m_firmwarePage->setInLoader(true);
    m_locks->update();
    selectPage(m_firmwarePage);
}

void MainWindow::selectPage(QWidget *page)
{
    m_programTabChange = true;
    m_tabs->setCurrentWidget(page);
    m_programTabChange = false;
}

void MainWindow::tabChanged(int index)
{
    if (m_programTabChange || m_locks->changingTabs())
        return;
    if (m_tabs->widget(index) == m_securePage)
        m_securePage->queryMode();
}

} // namespace limra

#include "moc_mainwindow.cpp"
