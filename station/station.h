#pragma once
// The tool's core for one reader: the link and the session that own the
// connection, discovery, the reader's operations, the kept configurations,
// the readers left in their loader and the card log. The window and the
// command-line tool each build one (the command line one per reader) and
// turn its states and results into their own output. No widgets here.
#include <QObject>
#include <functional>
#include <memory>

#include "common/timings.h"
#include "config/configruns.h"
#include "firmware/firmwareruns.h"
#include "link/discovery.h"
#include "link/operation.h"
#include "link/trafficlog.h"
#include "platform/serialport.h"
#include "provisioning/cardruns.h"

namespace limra {

class CardLog;
class CardPresenter;
class CardWait;
class DeviceMonitor;
class KeptConfigurationStore;
class LoaderRegistry;
class PortEnumerator;
class ReaderDiscovery;
class ReaderLink;
class ReaderSession;
class SingleCardWait;

// What the station's reader is now, told at each change: the status bar
// and limra-cli draw from it.
struct StationStatus {
    enum class State {
        Searching,  // no reader: `trouble` says why a port that is there cannot be used
        Connected,  // a reader runs its firmware
        InLoader,   // a reader left in its firmware loader (its serial number may be unknown)
        Replugging, // a firmware update waits for the reader to be unplugged and plugged in again
    };
    State state = State::Searching;
    PortTrouble trouble;
    // The reader's port and identity (not while searching).
    QString port;
    QString serial;
    bool ble = false;
};

class ReaderStation : public QObject, public ConfigRuns, public CardRuns, public FirmwareRuns, public DebugRuns {
    Q_OBJECT
public:
    // What the operating system provides.
    struct Platform {
        const PortEnumerator *ports = nullptr;
        DeviceMonitor *deviceMonitor = nullptr; // none: ports are listed at every scan
        SerialPortFactory portFactory;
        // Where the tool keeps its own data: kept configurations, readers
        // left in their loader, the card log.
        QString dataFolder;
        // The readers left in their loader, when several stations of one
        // program share them (it must outlive the station); none: the
        // station keeps its own list in the data folder.
        LoaderRegistry *loaders = nullptr;
    };

    explicit ReaderStation(const Platform &platform, const Timings &timings = Timings(), QObject *parent = nullptr);
    ~ReaderStation() override;

    ReaderLink &link() { return *m_link; }
    ReaderSession &session() { return *m_session; }
    ReaderDiscovery &discovery() { return *m_discovery; }
    LoaderRegistry &loaders() { return *m_loaders; }
    // The reader configurations kept before writes replaced them.
    KeptConfigurationStore &keptConfigurations() { return *m_kept; }
    CardLog &cardLog() { return *m_cardLog; }
    const Timings &timings() const { return m_timings; }
    QString dataFolder() const { return m_platform.dataFolder; }
    // Debug mode: card waits give each card 120 seconds.
    void setDebugMode(bool on) { m_timings.debugMode = on; }

    // The operations. Each start makes a new run, started at once, and hands
    // it back; `watch` gets it before it starts. One runs at a time: a start
    // while another runs is refused (nullptr), and so is anything but a
    // firmware update while the reader is in its loader. The station owns
    // the runs and deletes each after its end has been told.
    ConfigRead *readConfig(const Watch<ConfigRead> &watch = {}) override;
    ConfigWrite *writeConfig(const ConfigItems &items, bool objectCode, const Watch<ConfigWrite> &watch = {}) override;
    MasterCardsCreate *createMasterCards(const ConfigItems &items, const QString &cardType, bool optionVisible,
                                         const Watch<MasterCardsCreate> &watch = {}) override;
    MasterCardsClear *clearMasterCards(const Watch<MasterCardsClear> &watch = {}) override;
    MasterConfigRead *readMasterConfig(const Watch<MasterConfigRead> &watch = {}) override;
    MasterConfigTakeOver *takeOverMasterConfig(const Watch<MasterConfigTakeOver> &watch = {}) override;
    SecureModeQuery *querySecureMode(const Watch<SecureModeQuery> &watch = {}) override;
    SecureCardsRun *runSecureCards(SecureCardsRun::Kind kind, SecureMode mode, const std::array<bool, 64> &zones,
                                   const Watch<SecureCardsRun> &watch = {}) override;
    FirmwareUpdate *updateFirmware(const QString &path, const Watch<FirmwareUpdate> &watch = {}) override;
    FirmwareVersionQuery *queryVersion(const Watch<FirmwareVersionQuery> &watch = {}) override;
    DebugCommand *sendDebugCommand(const QByteArray &payload, const Watch<DebugCommand> &watch = {}) override;

    // The card feed: the identifiers and card information the reader reads
    // go to `presenter`, and what it shows goes into the card log. Ends with
    // the presenter.
    void feedCards(CardPresenter &presenter);

    // What the reader is now (statusChanged tells each change).
    const StationStatus &status() const { return m_status; }

    // The operation running now, or none.
    ReaderOperation *current() const;
    bool busy() const override { return current() != nullptr; }
    // The firmware update running now, or none.
    FirmwareUpdate *updating() const;

    // Ends the station's work before the program ends: a reader left in a
    // card operation goes back to card reading; a firmware upload is let
    // finish. `done` is called once that is over (at once when nothing runs).
    void shutDown(std::function<void()> done);

Q_SIGNALS:
    // An operation started or ended.
    void busyChanged(bool busy);
    // The reader was found, went, went into or out of its loader, a port
    // could not be used, or an update waits for the reader to be plugged in again.
    void statusChanged(const limra::StationStatus &status);
    // A run starts: told before its first step, after whoever started it
    // has connected to it.
    void runStarted(limra::ReaderOperation *run);
    // A card wait opened; whoever shows the station shows it.
    void cardWaitOpened(limra::CardWait *wait);
    // A reader identified itself and its configuration is read: `run` is
    // told before it starts (its finished(result) tells the outcome).
    void readingAfterConnecting(limra::ConfigRead *run);

private:
    // Starts `run` with `start` unless refused; the station owns it from now.
    template <class Run, class Start>
    Run *launch(std::unique_ptr<Run> run, const Watch<Run> &watch, Start start);
    bool mayStart(const ReaderOperation &operation) const;
    void runEnded(ReaderOperation *run);
    void identified();
    // Tells a new status; a reader's port and identity come from the session.
    void tell(StationStatus::State state, const PortTrouble &trouble = {});
    void runObjectCodeWait(ConfigWrite *write);

    // What is used is declared before its users, so it is destroyed after them.
    Platform m_platform;
    Timings m_timings;
    std::unique_ptr<ReaderLink> m_link;
    std::unique_ptr<ReaderSession> m_session;
    std::unique_ptr<LoaderRegistry> m_ownLoaders;
    LoaderRegistry *m_loaders = nullptr;
    std::unique_ptr<ReaderDiscovery> m_discovery;
    std::unique_ptr<KeptConfigurationStore> m_kept;
    CardLog *m_cardLog = nullptr;
    std::unique_ptr<SingleCardWait> m_objectCodeWait;
    // The runs whose end has not been told yet (the station's children).
    std::vector<ReaderOperation *> m_runs;
    bool m_wasBusy = false;
    StationStatus m_status;
    std::function<void()> m_shutDownDone;
    bool m_shuttingDown = false;
};

} // namespace limra
