// ui_screenshots: the main window, each tab and each dialog as a person sees
// them, saved as PNG files of the whole screen. scripts/screenshots.sh runs it
// under Xvfb at several scale factors, with and without a window manager.
//
// Usage: ui_screenshots FOLDER PREFIX
// The simulated reader runs inside this program on a pseudo-terminal; the
// window finds it as it finds any virtual reader. Every modal dialog is
// photographed as it opens and then answered as planned.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>
#include <QScreen>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTextStream>
#include <QTimer>
#include <functional>

#include "station/station.h"
#include "app/ui/mainwindow.h"
#include "common/ui/focusstyle.h"
#include "config/ui/configeditor.h"
#include "config/ui/configpage.h"
#include "config/ui/keptwindow.h"
#include "config/ui/zonelist.h"
#include "display/ui/carddisplay.h"
#include "display/ui/cardlogwindow.h"
#include "firmware/ui/firmwarepage.h"
#include "link/discovery.h"
#include "link/session.h"
#include "link/ui/connectiondialog.h"
#include "link/ui/debugpage.h"
#include "platform/qtserialport.h"
#include "platform/ui/qtdialogs.h"
#include "provisioning/ui/cardwaitdialogs.h"
#include "provisioning/ui/securecardspage.h"
#include "tests/support/fakeports.h"
#include "tests/support/faketray.h"
#include "tests/support/recordingkeys.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

// A window's control by its object name; the program stops when it is missing.
template <class W>
W *child(const QObject *parent, const QString &name)
{
    W *found = parent ? parent->findChild<W *>(name) : nullptr;
    if (!found)
        qFatal("no control named %s", qPrintable(name));
    return found;
}

template <class W>
W *child(const QObject &parent, const QString &name)
{
    return child<W>(&parent, name);
}

QString g_folder;
QString g_prefix;
QTextStream g_out(stdout);

void shot(const QString &name)
{
    spin(250); // painted, and placed by a window manager
    const QString path = QDir(g_folder).filePath(g_prefix + QLatin1Char('-') + name + QStringLiteral(".png"));
    QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    g_out << path << '\n';
    g_out.flush();
}

// The modal dialogs the steps open, answered in order: each is photographed
// under its name, then answered. One nobody planned is photographed as
// "unplanned-N" and closed the way Escape would.
class ModalAnswers : public QObject {
public:
    using Answer = std::function<void(QWidget *)>;
    ModalAnswers()
    {
        connect(&m_poll, &QTimer::timeout, this, &ModalAnswers::poll);
        m_poll.start(100);
    }
    void expect(const QString &name, Answer answer) { m_planned.enqueue({name, std::move(answer)}); }
    bool done() const { return m_planned.isEmpty(); }

    static Answer button(QMessageBox::StandardButton which)
    {
        return [which](QWidget *w) {
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->button(which))
                box->button(which)->click();
            else
                static_cast<QDialog *>(w)->accept();
        };
    }
    static void reject(QWidget *w) { static_cast<QDialog *>(w)->reject(); }
    // Notices come without a click and need not be modal: they are answered too.
    QtDialogs *notices = nullptr;

private:
    void poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w && notices && notices->noticeBox() && notices->noticeBox()->isVisible())
            w = notices->noticeBox();
        if (!w || m_busy || qobject_cast<CardWaitDialog *>(w) || !w->isVisible())
            return;
        m_busy = true;
        if (m_planned.isEmpty()) {
            shot(QStringLiteral("unplanned-%1").arg(++m_unplanned));
            reject(w);
        } else {
            const auto [name, answer] = m_planned.dequeue();
            shot(name);
            answer(w);
        }
        m_busy = false;
    }

    struct Planned {
        QString name;
        Answer answer;
    };
    QQueue<Planned> m_planned;
    QTimer m_poll;
    bool m_busy = false;
    int m_unplanned = 0;
};

CardWaitDialog *openCardWait(MainWindow &w)
{
    for (CardWaitDialog *d : w.findChildren<CardWaitDialog *>())
        if (d->isVisible())
            return d;
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        QTextStream(stderr) << "usage: ui_screenshots FOLDER PREFIX\n";
        return 2;
    }
    g_folder = QString::fromLocal8Bit(argv[1]);
    g_prefix = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(g_folder);
    installRussianTranslation();
    QApplication::setStyle(new FocusStyle);

    QTemporaryDir dir;
    {
        QFile settings(dir.filePath(QStringLiteral("settings.ini")));
        if (settings.open(QIODevice::WriteOnly))
            settings.write("[usbreader]\r\ndebugmode=1\r\n");
    }
    FakePortEnumerator ports;
    FakeDeviceMonitor monitor;
    ReaderStation::Platform platform;
    platform.ports = &ports;
    platform.deviceMonitor = &monitor;
    platform.portFactory = [] { return std::make_unique<QtSerialPort>(); };
    platform.dataFolder = dir.filePath(QStringLiteral("data"));
    ReaderStation station(platform);
    QtDialogs dialogs;
    FakeClipboard clipboard;
    RecordingKeys keys;
    FakeTray tray;
    Services services;
    services.dialogs = &dialogs;
    services.clipboard = &clipboard;
    services.keys = &keys;
    services.tray = &tray;
    services.settingsPath = dir.filePath(QStringLiteral("settings.ini"));
    ModalAnswers modal;
    modal.notices = &dialogs;

    MainWindow window(station, services);
    dialogs.setParentWidget(&window);
    window.show();
    shot(QStringLiteral("01-searching"));
    const QRect frame = window.frameGeometry();
    g_out << "window frame " << frame.x() << ',' << frame.y() << ' ' << frame.width() << 'x' << frame.height()
          << ", client " << window.width() << 'x' << window.height() << ", minimum " << window.minimumWidth() << 'x'
          << window.minimumHeight() << ", screen " << window.screen()->availableGeometry().width() << 'x'
          << window.screen()->availableGeometry().height() << '\n';

    auto settle = [&] {
        waitUntil([&] {
            return !station.busy() && modal.done() && !QApplication::activeModalWidget() && !dialogs.noticeBox();
        }, 15000);
        spin(100);
    };

    // Connected: the configuration is read and told.
    SimReader sim;
    sim.model->setConfigItems(QByteArray::fromHex("0202100003030000400601030401000501000C0800F8E00700F8E0FF"));
    modal.expect(QStringLiteral("02-message-read"), ModalAnswers::button(QMessageBox::Ok));
    ports.virtuals = {sim.port()};
    station.discovery().portsChanged();
    waitUntil([&] { return station.session().isConnected(); }, 5000);
    settle();
    window.tabs()->setCurrentWidget(window.configPage());
    shot(QStringLiteral("03-connected-configuration"));

    // A card with the longest type name.
    sim.model->presentCard(IdKind::Uid, QStringLiteral("04A1B2C3D4E5F6"));
    sim.model->sendCardInfo(9, 3, 4096, 1);
    spin(400);
    shot(QStringLiteral("04-card"));

    window.tabs()->setCurrentWidget(window.securePage()); // the reader is asked its mode
    settle();
    shot(QStringLiteral("05-tab-secure-zones"));
    window.tabs()->setCurrentWidget(window.firmwarePage());
    shot(QStringLiteral("06-tab-firmware"));
    window.tabs()->setCurrentWidget(window.debugPage());
    shot(QStringLiteral("07-tab-debug"));
    child<DebugWindow>(window.debugPage(), "debugWindow")->show();
    shot(QStringLiteral("08-debug-window"));
    child<DebugWindow>(window.debugPage(), "debugWindow")->hide();

    // The firmware version.
    window.tabs()->setCurrentWidget(window.firmwarePage());
    modal.expect(QStringLiteral("09-message-version"), ModalAnswers::button(QMessageBox::Ok));
    child<QPushButton>(window.firmwarePage(), "versionButton")->click();
    settle();

    // "Настройки подключения" with each method.
    modal.expect(QStringLiteral("10-connection-settings"), [](QWidget *w) {
        auto *d = static_cast<ConnectionDialog *>(w);
        for (int method : {1, 2}) {
            child<QComboBox>(d, "methodList")->setCurrentIndex(method);
            Q_EMIT child<QComboBox>(d, "methodList")->activated(method);
            shot(QStringLiteral("10-connection-settings-%1").arg(method));
        }
        d->reject();
    });
    window.openConnectionSettings();
    settle();

    // The configuration tab's own dialogs.
    window.tabs()->setCurrentWidget(window.configPage());
    ConfigPage *page = window.configPage();
    modal.expect(QStringLiteral("11-zone-bits"), &ModalAnswers::reject);
    child<QToolButton>(child<ZoneList>(child<ConfigEditor>(page, "configEditor"), "zoneList"), "bitsButton")->click();
    settle();
    modal.expect(QStringLiteral("12-hash-help"), &ModalAnswers::reject);
    Q_EMIT child<HelpLink>(child<ConfigEditor>(page, "configEditor"), "hashLink")->clicked();
    settle();
    modal.expect(QStringLiteral("13-template-editor"), &ModalAnswers::reject);
    child<QRadioButton>(window.cardDisplay(), "templateChoice")->click();
    settle();
    child<QRadioButton>(window.cardDisplay(), "decChoice")->click();

    // A write in the normal mode keeps the reader's configuration: the kept list.
    child<ConfigEditor>(page, "configEditor")->model.userSetReadMode(ReadMode::Uid);
    child<ConfigEditor>(page, "configEditor")->sync();
    modal.expect(QStringLiteral("14-message-written"), ModalAnswers::button(QMessageBox::Ok));
    child<QPushButton>(page, "writeReaderButton")->click();
    settle();
    window.showKeptConfigurations();
    shot(QStringLiteral("15-kept-configurations"));
    window.keptWindow()->close();
    window.showCardLog();
    shot(QStringLiteral("16-card-log"));
    window.cardLogWindow()->close();

    // The card waits. Master cards in the object-code mode: the option shows.
    child<ConfigEditor>(page, "configEditor")->model.userSetReadMode(ReadMode::ObjectCode);
    child<ConfigEditor>(page, "configEditor")->sync();
    child<QPushButton>(page, "createMastersButton")->click();
    waitUntil([&] { return openCardWait(window) != nullptr; });
    shot(QStringLiteral("17-wait-master-count"));
    if (auto *d = static_cast<MasterCardWritingDialog *>(openCardWait(window))) {
        child<QPushButton>(d, "countButton1")->click();
        spin(200);
        shot(QStringLiteral("18-wait-master-progress"));
        sim.model->presentBlank();
    }
    modal.expect(QStringLiteral("19-message-masters-written"), ModalAnswers::button(QMessageBox::Ok));
    settle();

    // The master card's configuration, with its checksum.
    child<QPushButton>(page, "readMasterButton")->click();
    waitUntil([&] { return openCardWait(window) != nullptr; });
    shot(QStringLiteral("20-wait-master-config"));
    modal.expect(QStringLiteral("21-input-master-checksum"), &ModalAnswers::reject);
    sim.model->presentMaster(0);
    settle();

    // Clearing master cards.
    modal.expect(QStringLiteral("22-question-clear"), ModalAnswers::button(QMessageBox::Yes));
    child<QPushButton>(page, "clearMastersButton")->click();
    waitUntil([&] { return openCardWait(window) != nullptr; });
    shot(QStringLiteral("23-wait-clearing"));
    if (CardWaitDialog *d = openCardWait(window))
        d->reject();
    settle();

    // A write in the object-code mode waits for the master card.
    child<ConfigEditor>(page, "configEditor")->model.userSetReadMode(ReadMode::ObjectCode);
    child<ConfigEditor>(page, "configEditor")->sync();
    modal.expect(QStringLiteral("24-question-write"), ModalAnswers::button(QMessageBox::Yes));
    child<QPushButton>(page, "writeReaderButton")->click();
    waitUntil([&] { return openCardWait(window) != nullptr; }, 5000);
    shot(QStringLiteral("25-wait-object-code"));
    // Cancelled: the configuration was sent, the object code was not taken.
    modal.expect(QStringLiteral("25-message-object-code-not-written"), ModalAnswers::button(QMessageBox::Ok));
    if (CardWaitDialog *d = openCardWait(window))
        d->reject();
    settle();

    // Secure cards.
    window.tabs()->setCurrentWidget(window.securePage());
    settle();
    modal.expect(QStringLiteral("26-question-secure"), ModalAnswers::button(QMessageBox::Yes));
    child<QPushButton>(window.securePage(), "createButton")->click();
    waitUntil([&] { return openCardWait(window) != nullptr; }, 5000);
    shot(QStringLiteral("27-wait-secure-master"));
    sim.model->presentMaster(0);
    spin(500);
    shot(QStringLiteral("28-wait-secure-cards"));
    if (CardWaitDialog *d = openCardWait(window))
        d->reject();
    settle();

    // Closing with unsaved changes asks.
    window.tabs()->setCurrentWidget(window.configPage());
    child<QCheckBox>(child<ConfigEditor>(page, "configEditor"), "hash")->click();
    shot(QStringLiteral("29-unsaved-mark"));
    modal.expect(QStringLiteral("30-question-close"), ModalAnswers::button(QMessageBox::No));
    window.close();
    settle();
    window.closeForTermination();
    waitUntil([&] { return !window.isVisible(); }, 5000);
    return 0;
}
