#include "app/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QScrollArea>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/inifile.h"
#include "app/settings.h"
#include "app/statusbar.h"
#include "app/texts.h"
#include "config/configeditor.h"
#include "config/transfer.h"
#include "provisioning/cardwait.h"
#include "config/zonelist.h"
#include "display/carddisplay.h"
#include "display/cstuid.h"
#include "display/templateeditor.h"
#include "link/connectiondialog.h"
#include "link/constants.h"
#include "link/errors.h"
#include "link/hextext.h"
#include "link/logging.h"

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

QDialog *shellWindow(QWidget *parent, const QString &caption)
{
    auto *d = new QDialog(parent);
    d->setWindowTitle(caption);
    return d;
}
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

MainWindow::MainWindow(const Services &s, QWidget *parent) : QMainWindow(parent), services(s)
{
    initResources();
    setWindowTitle(caption());
    setWindowIcon(appIcon());

    discovery = new ReaderDiscovery(link, *services.ports, services.portFactory, this);
    discovery->settingsDialogOpen = [this] { return form11 && form11->isVisible(); };

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 0);
    cardDisplay = new CardDisplay(services.clipboard, services.keys, central);
    layout->addWidget(cardDisplay);
    link.addSink(cardDisplay);
    tabs = new QTabWidget(central);
    layout->addWidget(tabs, 1);
    setCentralWidget(central);
    programTabChange = true;
    buildTabs();
    programTabChange = false;

    statusPanels = new StatusBar(this);
    statusBar()->addWidget(statusPanels, 1);
    statusBar()->setSizeGripEnabled(false);
    setStatusText(texts::kSearching);
    connect(statusPanels, &StatusBar::clicked, this, &MainWindow::statusBarClicked);

    hiddenPortList = new QComboBox(this);
    hiddenPortList->hide();

    tabs->setEnabled(false);
    connect(tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (!programTabChange)
            tabChangedByUser(tabs->widget(index));
    });

    trayStartTimer.setSingleShot(true);
    trayStartTimer.setInterval(kTrayStartMs);
    connect(&trayStartTimer, &QTimer::timeout, this, [this] {
        trayStartTimer.stop();
        setWindowState(windowState() | Qt::WindowMinimized);
        minimizeToTray();
    });
    if (services.tray) {
        connect(services.tray, &Tray::restoreRequested, this, &MainWindow::restoreFromTray);
        connect(services.tray, &Tray::closeRequested, this, &QWidget::close);
    }

    connect(discovery, &ReaderDiscovery::connected, this, &MainWindow::readerConnected);
    connect(discovery, &ReaderDiscovery::disconnected, this, &MainWindow::readerDisconnected);
    connect(discovery, &ReaderDiscovery::readConfigurationRequested, this, &MainWindow::readConfigurationAfterConnect);
    connect(&link, &ReaderLink::portFailed, discovery, &ReaderDiscovery::WMDEVICECHANGE);
    connect(&link, &ReaderLink::lineErrors, this, [this](const QStringList &messages) {
        for (const QString &m : messages)
            services.dialogs->message(m);
    });
    if (services.deviceMonitor)
        connect(services.deviceMonitor, &DeviceMonitor::removed, discovery, &ReaderDiscovery::WMDEVICECHANGE);

    createWindows();
    cardDisplay->options.clipboard = [this] { return toBuffer->isChecked(); };
    cardDisplay->options.typing = [this] { return toKeyboard->isChecked(); };
    cardDisplay->options.newline = [this] { return crlf->isChecked(); };
    cardDisplay->options.windowActive = [this] { return isActiveWindow(); };
    cardDisplay->openTemplateEditor = [this](const QString &sample) {
        form7->setSample(sample);
        if (form7->exec() == QDialog::Accepted)
            cardDisplay->csttemplate = form7->templateText();
    };

    resize(kClientWidth, kClientHeight);
    // The outer size may not fall below 910 x 655; the frame is known once shown.
    setMinimumSize(kMinOuterWidth, kMinOuterHeight - 30);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));

    discovery->scanTimer.start();
}

MainWindow::~MainWindow()
{
    discovery->scanTimer.stop();
    link.closePort();
}

void MainWindow::createWindows()
{
    CardWaitContext waits;
    waits.link = &link;
    waits.dialogs = services.dialogs;
    waits.debugMode = [this] { return debugtabhidden == 0; };
    form2 = new TForm2(waits, this);
    form3 = new TForm3(waits, this);
    form4 = new TForm4(waits, this);
    form5 = new TForm5(waits, this);
    form7 = new TemplateEditor(this);
    form8 = new TForm8(waits, this);
    link.addSink(form8);
    form9 = new ZoneBitsDialog(this);
    zoneTools = new ZoneTools(editor->zones, secureZoneList, form9, services.dialogs,
                              QFileInfo(services.settingsPath).absolutePath(), this);
    zoneTools->fillnamelist();
    form11 = new ConnectionDialog(this);
    form11->enumPorts = [this] { return discovery->EnumPorts(); };
    form12 = shellWindow(this, QStringLiteral("Debug"));

    transfer = new ConfigTransfer(link, *editor, *services.dialogs, *form3, this);
    connect(readFileButton, &QPushButton::clicked, transfer, &ConfigTransfer::loadFromFile);
    connect(writeFileButton, &QPushButton::clicked, transfer, &ConfigTransfer::saveToFile);
    connect(readReaderButton, &QPushButton::clicked, transfer, [this] { transfer->readFromReader(false); });
    connect(writeReaderButton, &QPushButton::clicked, transfer, &ConfigTransfer::writeToReader);
    connect(defaultConfigButton, &QPushButton::clicked, transfer, &ConfigTransfer::showDefault);
}

void MainWindow::buildTabs()
{
    debugPage = new QWidget(tabs);
    tabs->addTab(debugPage, QStringLiteral("Отладка"));
    configPage = buildConfigPage();
    tabs->addTab(configPage, QStringLiteral("Конфигурация"));
    securePage = buildSecurePage();
    tabs->addTab(securePage, QStringLiteral("Защищенные карты"));
    firmwarePage = buildFirmwarePage();
    tabs->addTab(firmwarePage, QStringLiteral("Обновление микропрограммы"));
}

QWidget *MainWindow::buildConfigPage()
{
    auto *page = new QWidget(tabs);
    auto *row = new QHBoxLayout(page);
    auto *scroll = new QScrollArea(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor = new ConfigEditor(services.dialogs, scroll);
    scroll->setWidget(editor);
    row->addWidget(scroll, 1);

    auto *column = new QVBoxLayout;
    auto button = [&](const QString &text) {
        auto *b = new QPushButton(text, page);
        column->addWidget(b);
        return b;
    };
    readFileButton = button(QStringLiteral("Считать конфигурацию из файла"));
    writeFileButton = button(QStringLiteral("Записать конфигурацию в файл"));
    readReaderButton = button(texts::kReadConfigButton);
    writeReaderButton = button(QStringLiteral("Записать конфигурацию в USB-считыватель"));
    readMasterButton = button(QStringLiteral("Считать конфигурацию с мастер-карты"));
    masterToReaderButton = button(QStringLiteral("Считать конфигурацию с мастер-карты и записать в USB-считыватель"));
    createMastersButton = button(QStringLiteral("Создать мастер-карты"));
    clearMastersButton = button(QStringLiteral("Очистить мастер-карты"));
    defaultConfigButton = button(QStringLiteral("Показать конфигурацию по умолчанию"));
    column->addSpacing(12);
    auto check = [&](const QString &text) {
        auto *c = new QCheckBox(text, page);
        column->addWidget(c);
        return c;
    };
    toBuffer = check(QStringLiteral("Помещать ID карты в буфер обмена"));
    toKeyboard = check(QStringLiteral("Имитация набора ID карты на клавиатуре "));
    crlf = check(QStringLiteral("+ перевод строки"));
    toTray = check(QStringLiteral("Сворачиваться в трей при запуске"));
    column->addStretch(1);
    row->addLayout(column);

    // Typing on enables "+ перевод строки"; off disables and clears it.
    connect(toKeyboard, &QCheckBox::clicked, this, [this](bool on) {
        crlf->setEnabled(on);
        if (!on)
            crlf->setChecked(false);
    });
    return page;
}

QWidget *MainWindow::buildSecurePage()
{
    auto *page = new QWidget(tabs);
    auto *layout = new QVBoxLayout(page);
    const QChar q = QLatin1Char('"');
    layout->addWidget(new QLabel(QStringLiteral("Конфигурация защищенных карт для режима ") + q + texts::kObjectCodeMode + q
                                     + QStringLiteral(" или ") + q + texts::kZonesCaption + q,
                                 page));
    auto *modeRow = new QHBoxLayout;
    auto *modeCaption = new QLabel(QStringLiteral("Текущая конфигурация считывателя:"), page);
    secureModeLabel = new QLabel(QStringLiteral("Неизвестно"), page);
    QFont bold = secureModeLabel->font();
    bold.setBold(true);
    secureModeLabel->setFont(bold);
    modeCaption->setBuddy(secureModeLabel);
    modeRow->addWidget(modeCaption);
    modeRow->addWidget(secureModeLabel);
    modeRow->addStretch(1);
    layout->addLayout(modeRow);
    const QString captions[3] = {QStringLiteral("Очистить защищенные карты - удалить код объекта / зоны прохода"),
                                 QStringLiteral("Очистить защищенные карты - удалить все коды объектов / зоны прохода"),
                                 QStringLiteral("Создать защищенные карты - записать код объекта / зоны прохода")};
    for (int i = 0; i < 3; ++i) {
        secureButtons[size_t(i)] = new QPushButton(captions[i], page);
        secureButtons[size_t(i)]->setEnabled(false);
        layout->addWidget(secureButtons[size_t(i)]);
    }
    secureZones = new QGroupBox(texts::kZonesCaption, page);
    auto *zonesLayout = new QVBoxLayout(secureZones);
    secureZoneList = new ZoneList(false, secureZones);
    zonesLayout->addWidget(secureZoneList);
    secureZones->hide();
    layout->addWidget(secureZones, 1);
    layout->addStretch(0);
    return page;
}

QWidget *MainWindow::buildFirmwarePage()
{
    auto *page = new QWidget(tabs);
    auto *layout = new QVBoxLayout(page);
    versionButton = new QPushButton(QStringLiteral("Узнать текущую версию микропрограммы"), page);
    layout->addWidget(versionButton);
    auto *fileLabel = new QLabel(QStringLiteral("Укажите файл микропрограммы:"), page);
    layout->addWidget(fileLabel);
    auto *fileRow = new QHBoxLayout;
    auto *path = new QLineEdit(page);
    path->setObjectName(QStringLiteral("firmwarePath"));
    fileLabel->setBuddy(path);
    browseButton = new QPushButton(QStringLiteral("Обзор..."), page);
    fileRow->addWidget(path, 1);
    fileRow->addWidget(browseButton);
    layout->addLayout(fileRow);
    auto *progress = new QProgressBar(page);
    progress->setObjectName(QStringLiteral("firmwareProgress"));
    progress->setValue(0);
    progress->setAccessibleName(QStringLiteral("Обновление микропрограммы"));
    layout->addWidget(progress);
    updateButton = new QPushButton(QStringLiteral("Начать обновление микропрограммы"), page);
    layout->addWidget(updateButton);
    layout->addStretch(1);
    return page;
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    const QSize frame = frameGeometry().size() - size();
    setMinimumSize(kMinOuterWidth - frame.width(), kMinOuterHeight - frame.height());
    if (firstshow)
        firstShow();
}

void MainWindow::firstShow()
{
    selectPage(tabs->widget(0));
    editor->startUp();
    hiddenPortList->clear();
    QStringList names = discovery->EnumPorts();
    names.removeDuplicates();
    hiddenPortList->addItems(names);
    if (hiddenPortList->count() > 0)
        hiddenPortList->setCurrentIndex(0);
    readSettings();
    firstshow = false;
    cardDisplay->firstshow = false;
}

void MainWindow::readSettings()
{
    const IniFile ini(services.settingsPath);
    auto flag = [&](const char *key) { return ini.read(kSettingsSection, QLatin1String(key), QStringLiteral("0")) == QLatin1String("1"); };

    const int port = hiddenPortList->findText(ini.read(kSettingsSection, QStringLiteral("port")));
    if (port >= 0)
        hiddenPortList->setCurrentIndex(port);
    const QString view = ini.read(kSettingsSection, QStringLiteral("viewmode"), QStringLiteral("1"));
    if (view == QLatin1String("1") || view == QLatin1String("2")) {
        cardDisplay->selectView(view.toInt());
    } else if (view == QLatin1String("3")) {
        cardDisplay->selectView(3);
        const QString tmpl = ini.read(kSettingsSection, QStringLiteral("template"));
        if (!tmpl.isEmpty()) {
            if (cstuid(QStringLiteral("FF"), tmpl) == kTemplateError)
                cardDisplay->selectView(1);
            else
                cardDisplay->csttemplate = tmpl;
        }
    }
    toBuffer->setChecked(flag("tobuffer"));
    toKeyboard->setChecked(flag("tokeyboard"));
    crlf->setChecked(flag("crlf"));
    crlf->setEnabled(true);
    const bool debug = flag("debugmode");
    debugtabhidden = debug ? 0 : 1;
    programTabChange = true;
    tabs->setTabVisible(tabs->indexOf(debugPage), debug);
    if (!debug)
        tabs->setCurrentWidget(configPage);
    programTabChange = false;
    if (flag("totray")) {
        toTray->setChecked(true);
        trayStartTimer.start();
    }
}

void MainWindow::writeSettings()
{
    const IniFile ini(services.settingsPath);
    auto flag = [](QCheckBox *c) { return c->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); };
    const int view = cardDisplay->selectedView();
    ini.write(kSettingsSection, QStringLiteral("viewmode"), QString::number(view));
    ini.write(kSettingsSection, QStringLiteral("template"), view == 3 ? cardDisplay->csttemplate : QString());
    if (hiddenPortList->currentIndex() >= 0)
        ini.write(kSettingsSection, QStringLiteral("port"), hiddenPortList->currentText());
    ini.write(kSettingsSection, QStringLiteral("tobuffer"), flag(toBuffer));
    ini.write(kSettingsSection, QStringLiteral("tokeyboard"), flag(toKeyboard));
    ini.write(kSettingsSection, QStringLiteral("crlf"), flag(crlf));
    ini.write(kSettingsSection, QStringLiteral("totray"), flag(toTray));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    writeSettings();
    discovery->scanTimer.stop();
    link.connectedport.clear();
    link.closePort();
    if (services.tray)
        services.tray->hide();
    event->accept();
    QCoreApplication::quit();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) && isVisible())
        QTimer::singleShot(0, this, &MainWindow::minimizeToTray);
}

void MainWindow::minimizeToTray()
{
    hide();
    if (services.tray)
        services.tray->show();
}

void MainWindow::restoreFromTray()
{
    if (services.tray)
        services.tray->hide();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::setStatusText(const QString &text)
{
    statusPanels->text->setText(text);
    statusPanels->text->setToolTip(text); // a long port name does not fit the panel
}

void MainWindow::statusBarClicked(int x)
{
    if (x > StatusBar::kFirstWidth && x < StatusBar::kFirstWidth + StatusBar::kMiddleWidth)
        openConnectionSettings();
}

void MainWindow::openConnectionSettings()
{
    discovery->scanTimer.stop();
    {
        const QSignalBlocker block(form11->methodList);
        form11->selectMode(discovery->connectmode);
    }
    const bool applied = form11->exec() == QDialog::Accepted;
    if (applied) {
        discovery->connectmode = form11->chosenMode();
        discovery->listPort = form11->chosenPort();
        discovery->manualNumber = form11->chosenNumber();
        if (link.port())
            discovery->disconnect();
    }
    discovery->scanTimer.start();
}

void MainWindow::readerConnected(const QString &status)
{
    setStatusText(status);
    editor->model.blereader = discovery->blereader;
    tabs->setEnabled(true);
    selectPage(configPage);
}

void MainWindow::selectPage(QWidget *page)
{
    programTabChange = true;
    tabs->setCurrentWidget(page);
    programTabChange = false;
}

void MainWindow::readerDisconnected()
{
    tabs->setEnabled(false);
    setStatusText(texts::kSearching);
}

void MainWindow::readConfigurationAfterConnect()
{
    readReaderButton->setEnabled(false);
    transfer->readFromReader(true);
    readReaderButton->setEnabled(true);
}

void MainWindow::tabChangedByUser(QWidget *page)
{
    if (page == securePage)
        secureTabOpened();
}

void MainWindow::secureTabOpened()
{
    const QString result = link.SendToComPort(QStringLiteral("0B01"), kDefaultTimeoutMs);
    QString mode;
    if (!isError(result) && result.size() > 40)
        mode = gettagvalue(0x06, result, false);
    struct Row {
        const char *item;
        const QString text;
        bool buttons;
        bool zones;
        int securemode;
    };
    static const Row rows[] = {
        {"01", texts::kObjectCodeMode, true, false, 1},
        {"03", texts::kZonesCaption, true, true, 3},
        {"00", QStringLiteral("Обычный режим"), false, false, 0},
        {"02", QStringLiteral("Код из блока"), false, false, 2},
    };
    static const Row unknown{"", QStringLiteral("Неизвестно"), false, false, 0};
    const Row *row = &unknown;
    for (const Row &r : rows)
        if (mode == QLatin1String(r.item))
            row = &r;
    secureModeLabel->setText(row->text);
    for (QPushButton *b : secureButtons)
        b->setEnabled(row->buttons);
    secureZones->setVisible(row->zones);
    securemode = row->securemode;
}

} // namespace limra
