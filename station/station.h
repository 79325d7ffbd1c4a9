#pragma once
// The tool's core for one reader: the link and the session that own the
// connection, discovery, the reader's operations, the kept configurations,
// the readers left in their loader and the card log. The window and the
// command-line tool each build one (the command line one per reader) and
// turn its states and results into their own output. No widgets here.
#include <QObject>
#include <functional>
#include <memory>

#include "link/operation.h"
#include "common/timings.h"
#include "platform/serialport.h"

namespace limra {

class CardLog;
class CardPresenter;
class CardWait;
class ConfigRead;
class ConfigWrite;
class DebugCommand;
class DeviceMonitor;
class FirmwareUpdate;
class KeptConfigurationStore;
class FirmwareVersionQuery;
class LoaderRegistry;
class MasterCardsClear;
class MasterCardsCreate;
class MasterConfigRead;
class MasterConfigTakeOver;
class PortEnumerator;
class ReaderDiscovery;
class ReaderLink;
class ReaderSession;
class SecureCardsRun;
class SecureModeQuery;
class SingleCardWait;

class ReaderStation : public QObject, public OperationGate {
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

    // The operations. One runs at a time: a start while another runs is refused.
    ConfigRead &configRead() { return *m_configRead; }
    ConfigWrite &configWrite() { return *m_configWrite; }
    MasterCardsCreate &masterCardsCreate() { return *m_masterCardsCreate; }
    MasterCardsClear &masterCardsClear() { return *m_masterCardsClear; }
    MasterConfigRead &masterConfigRead() { return *m_masterConfigRead; }
    MasterConfigTakeOver &masterConfigTakeOver() { return *m_masterConfigTakeOver; }
    SecureModeQuery &secureModeQuery() { return *m_secureModeQuery; }
    SecureCardsRun &secureCards() { return *m_secureCards; }
    FirmwareUpdate &firmwareUpdate() { return *m_firmwareUpdate; }
    FirmwareVersionQuery &versionQuery() { return *m_versionQuery; }
    DebugCommand &debugCommand() { return *m_debugCommand; }

    // The card feed: the identifiers and card information the reader reads
    // go to `presenter`, and what it shows goes into the card log. Ends with
    // the presenter.
    void feedCards(CardPresenter &presenter);

    // The operation running now, or none.
    ReaderOperation *current() const;
    bool busy() const override { return current() != nullptr; }
    bool run(ReaderOperation &operation, const std::function<void()> &start) override;

    // Ends the station's work before the program ends: a reader left in a
    // card operation goes back to card reading; a firmware upload is let
    // finish. `done` is called once that is over (at once when nothing runs).
    void shutDown(std::function<void()> done);

Q_SIGNALS:
    // An operation started or ended.
    void busyChanged(bool busy);
    // A card wait opened; whoever shows the station shows it.
    void cardWaitOpened(limra::CardWait *wait);
    // A reader identified itself and its configuration read started
    // (configRead() tells the outcome).
    void readingAfterConnecting();

private:
    void adopt(ReaderOperation &operation);
    void operationEnded();
    void identified();
    void runObjectCodeWait();

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
    std::unique_ptr<ConfigRead> m_configRead;
    std::unique_ptr<ConfigWrite> m_configWrite;
    std::unique_ptr<MasterCardsCreate> m_masterCardsCreate;
    std::unique_ptr<MasterCardsClear> m_masterCardsClear;
    std::unique_ptr<MasterConfigRead> m_masterConfigRead;
    std::unique_ptr<MasterConfigTakeOver> m_masterConfigTakeOver;
    std::unique_ptr<SecureModeQuery> m_secureModeQuery;
    std::unique_ptr<SecureCardsRun> m_secureCards;
    std::unique_ptr<FirmwareUpdate> m_firmwareUpdate;
    std::unique_ptr<FirmwareVersionQuery> m_versionQuery;
    std::unique_ptr<DebugCommand> m_debugCommand;
    std::unique_ptr<SingleCardWait> m_objectCodeWait;
    std::vector<ReaderOperation *> m_operations;
    bool m_wasBusy = false;
    std::function<void()> m_shutDownDone;
    bool m_shuttingDown = false;
};

} // namespace limra
