// limra-readersim: a simulated USB reader on a pseudo-terminal, driven from
// an interactive prompt on standard input.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

#include "link/hextext.h"
#include "sim/ptyhost.h"
#include "sim/readermodel.h"

using namespace limra;
using namespace limra::sim;

namespace {

const char kHelp[] =
    "Commands:\n"
    "  card KIND ID        present a card; KIND is uid, phone, mir, nonunique or random\n"
    "                      (for example: card uid 04A1B2C3D4E5F6)\n"
    "  info TYPE [LEVEL [MEMORY [CAP]]]\n"
    "                      send card information (type 1..23, level 1..4, memory in bytes,\n"
    "                      antenna class 1 or 2)\n"
    "  blank [ID]          present a blank card, or the card ID (a secure card, say)\n"
    "  master [N]          present master card N (default: the last one written)\n"
    "  cards               list the master cards and secure cards and what they hold\n"
    "  fault silent on|off answer no command\n"
    "  fault status HEX|off\n"
    "                      answer every command with this status code\n"
    "  fault split on|off  write every reply in two pieces\n"
    "  fault delay MS      answer MS milliseconds later (0: at once)\n"
    "  fault card HEX|off  report this error for the next card operation\n"
    "  fault refuse CMDVER HEX|off\n"
    "                      answer only this command (e.g. 0401) with this status\n"
    "  fault reject N HEX  the loader rejects block N with this code\n"
    "  fault loader-silent N\n"
    "                      the loader does not answer block N\n"
    "  fault loader-long N the loader answers block N with three bytes\n"
    "  fault elsewhere on|off\n"
    "                      the loader comes back under another port name\n"
    "  fault stuck N|off   from block N on the loader answers nothing and stays a loader\n"
    "  fault quiet-switch on|off\n"
    "                      switch to the loader without answering the switch\n"
    "  fault none          clear every fault\n"
    "  ble on|off          identify as a BLE reader or as a USB reader\n"
    "  checksum HEX|off    report item 0E (object-code checksum) with the configuration\n"
    "  state               show the reader's mode and configuration\n"
    "  loader              show what the firmware loader took (blocks and CRC) and\n"
    "                      whether it starts afresh or is half-fed\n"
    "  restart MS          on the switch to the loader the port hangs up, vanishes and\n"
    "                      comes back MS milliseconds later (now: %1 ms)\n"
    "  reading             back to card reading at once (the loader too)\n"
    "  unplug / plug       remove the reader / attach it again\n"
    "  help                this text\n"
    "  quit                end\n";

class Prompt : public QObject {
public:
    Prompt(ReaderModel *model, PtyHost *host, bool quiet) : m_model(model), m_host(host), m_quiet(quiet)
    {
        if (!m_quiet)
            connect(m_model, &ReaderModel::note, this, [this](const QString &t) { say(QStringLiteral("reader: ") + t); });
        m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &Prompt::readLine);
        prompt();
    }

private:
    void say(const QString &text)
    {
        QTextStream(stdout) << "\r" << text << "\n";
        prompt();
    }
    void prompt()
    {
        if (!m_quiet) {
            QTextStream(stdout) << "readersim> ";
            fflush(stdout);
        }
    }

    void readLine()
    {
        char buf[1024];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf - 1);
        if (n <= 0) { // end of input: keep serving until killed
            m_notifier->setEnabled(false);
            return;
        }
        m_input += QString::fromLocal8Bit(buf, int(n));
        int nl;
        while ((nl = m_input.indexOf(QLatin1Char('\n'))) >= 0) {
            const QString line = m_input.left(nl).trimmed();
            m_input.remove(0, nl + 1);
            execute(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        }
    }

    // A fault on (with its value) or off.
    void setFault(Fault fault, bool on, int value = 0)
    {
        if (on)
            m_model->injectFault(fault, value);
        else
            m_model->clearFault(fault);
    }
    void setLoaderFault(LoaderFault fault, bool on, int block = 0)
    {
        if (on)
            m_model->injectLoaderFault(fault, block);
        else
            m_model->clearLoaderFault(fault);
    }
    // A command and its version: four hex digits.
    static bool isCommand(const QString &word)
    {
        return word.size() == 4 && upperHexDigitsOnly(word) == word.toUpper();
    }

    static bool onOff(const QStringList &w, int i, bool *value)
    {
        if (w.size() <= i) return false;
        if (w[i] == QLatin1String("on")) { *value = true; return true; }
        if (w[i] == QLatin1String("off")) { *value = false; return true; }
        return false;
    }

    void execute(const QStringList &w)
    {
        if (w.isEmpty()) { prompt(); return; }
        const QString c = w[0].toLower();
        bool flag = false;
        if (c == QLatin1String("help")) {
            QTextStream(stdout) << QString::fromLatin1(kHelp).arg(m_host->restartDelayMs);
        } else if (c == QLatin1String("quit") || c == QLatin1String("exit")) {
            QCoreApplication::quit();
            return;
        } else if (c == QLatin1String("card") && w.size() == 3) {
            IdKind kind;
            if (!parseKind(w[1], &kind)) { say(QStringLiteral("unknown kind: ") + w[1]); return; }
            m_model->presentCard(kind, w[2]);
        } else if (c == QLatin1String("info") && w.size() >= 2) {
            m_model->sendCardInfo(w[1].toInt(), w.value(2, QStringLiteral("1")).toInt(),
                                w.value(3, QStringLiteral("1024")).toInt(), w.value(4, QStringLiteral("1")).toInt());
        } else if (c == QLatin1String("blank")) {
            m_model->presentBlank(w.value(1));
        } else if (c == QLatin1String("cards")) {
            const QStringList cards = m_model->describeCards();
            QTextStream(stdout) << (cards.isEmpty() ? QStringLiteral("no cards") : cards.join(QLatin1Char('\n'))) << "\n";
        } else if (c == QLatin1String("reading")) {
            m_model->setMode(ReaderModel::Mode::Reading);
        } else if (c == QLatin1String("loader")) {
            QTextStream(stdout) << "blocks taken: " << m_model->blocksTaken() << ", CRC "
                                << hexDigits(m_model->uploadedCrc(), 4) << ", blocks received: "
                                << m_model->loaderBlocks().size()
                                << (m_model->loaderStuck() ? ", stuck" : "")
                                << (m_model->mode() != ReaderModel::Mode::Loader ? ""
                                    : m_model->loaderFresh()                   ? ", fresh: the next block starts an upload"
                                                                               : ", half-fed: blocks are appended until "
                                                                                 "it is plugged in again")
                                << "\n";
        } else if (c == QLatin1String("restart") && w.size() == 2) {
            const int ms = w[1].toInt(&flag);
            if (!flag || ms < 0) { say(QStringLiteral("see help")); return; }
            m_host->restartDelayMs = ms;
        } else if (c == QLatin1String("master")) {
            m_model->presentMaster(w.size() > 1 ? w[1].toInt() : -1);
        } else if (c == QLatin1String("fault") && w.size() >= 2) {
            const QString f = w[1];
            if (f == QLatin1String("none")) {
                m_model->clearFaults();
                m_model->clearLoaderFaults();
            }
            else if (f == QLatin1String("silent") && onOff(w, 2, &flag)) setFault(Fault::Silent, flag);
            else if (f == QLatin1String("split") && onOff(w, 2, &flag)) setFault(Fault::Split, flag);
            else if (f == QLatin1String("delay") && w.size() == 3) setFault(Fault::Delay, true, w[2].toInt());
            else if (f == QLatin1String("status") && w.size() == 3)
                setFault(Fault::StatusCode, w[2] != QLatin1String("off"), int(hexToInt(w[2]) & 0xFF));
            else if (f == QLatin1String("card") && w.size() == 3)
                setFault(Fault::CardError, w[2] != QLatin1String("off"), int(hexToInt(w[2]) & 0xFF));
            else if (f == QLatin1String("refuse") && w.size() >= 3 && w[2] == QLatin1String("off"))
                m_model->clearFault(Fault::Refuse);
            else if (f == QLatin1String("refuse") && w.size() >= 3 && isCommand(w[2]))
                m_model->refuse(quint8(hexToInt(w[2].left(2))), quint8(hexToInt(w[2].mid(2))),
                                w.size() > 3 ? int(hexToInt(w[3]) & 0xFF) : 0x0F);
            else if (f == QLatin1String("reject") && w.size() == 4)
                m_model->rejectBlock(w[2].toInt(), int(hexToInt(w[3]) & 0xFF));
            else if (f == QLatin1String("loader-silent") && w.size() == 3)
                m_model->injectLoaderFault(LoaderFault::Silent, w[2].toInt());
            else if (f == QLatin1String("loader-long") && w.size() == 3)
                m_model->injectLoaderFault(LoaderFault::LongReply, w[2].toInt());
            else if (f == QLatin1String("elsewhere") && onOff(w, 2, &flag))
                setLoaderFault(LoaderFault::ComeBackElsewhere, flag);
            else if (f == QLatin1String("quiet-switch") && onOff(w, 2, &flag))
                setLoaderFault(LoaderFault::SwitchUnanswered, flag);
            else if (f == QLatin1String("stuck") && w.size() == 3)
                setLoaderFault(LoaderFault::Stuck, w[2] != QLatin1String("off"), std::max(w[2].toInt(), 0));
            else { say(QStringLiteral("see help")); return; }
        } else if (c == QLatin1String("ble") && onOff(w, 1, &flag)) {
            m_model->setReaderType(flag ? 0x04 : 0x02);
        } else if (c == QLatin1String("checksum") && w.size() == 2) {
            m_model->setObjectCodeChecksum(w[1] == QLatin1String("off") ? QByteArray() : hexToBytes(w[1].toUpper()));
        } else if (c == QLatin1String("state")) {
            QTextStream(stdout) << "mode: " << modeName(m_model->mode()) << "\nconfiguration: "
                                << bytesToHex(m_model->configItems())
                                << "\nmaster cards: " << m_model->masterCards().size()
                                << "\nport: " << (m_host->plugged()      ? m_host->portName()
                                    : m_host->restarting() ? QStringLiteral("restarting")
                                                           : QStringLiteral("unplugged"))
                                << "\n";
        } else if (c == QLatin1String("unplug")) {
            m_host->unplug();
        } else if (c == QLatin1String("plug")) {
            QString error;
            if (!m_host->plug(&error)) { say(error); return; }
            QTextStream(stdout) << "serving on " << m_host->portName() << "\n";
        } else {
            say(QStringLiteral("unknown command; type help"));
            return;
        }
        prompt();
    }

    ReaderModel *m_model;
    PtyHost *m_host;
    bool m_quiet;
    QSocketNotifier *m_notifier;
    QString m_input;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("limra-readersim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated USB card reader on a pseudo-terminal."));
    parser.addHelpOption();
    QCommandLineOption nameOpt(QStringLiteral("name"), QStringLiteral("Name of the virtual reader link."),
                               QStringLiteral("name"), QStringLiteral("sim0"));
    QCommandLineOption bleOpt(QStringLiteral("ble"), QStringLiteral("Identify as a BLE reader."));
    QCommandLineOption serialOpt(QStringLiteral("serial"), QStringLiteral("Serial number (hex)."), QStringLiteral("hex"));
    QCommandLineOption quietOpt(QStringLiteral("quiet"), QStringLiteral("No prompt."));
    parser.addOptions({nameOpt, bleOpt, serialOpt, quietOpt});
    parser.process(app);

    ReaderModel model;
    if (parser.isSet(bleOpt)) model.setReaderType(0x04);
    if (parser.isSet(serialOpt)) model.setSerial(hexToBytes(parser.value(serialOpt).toUpper()));
    PtyHost host(&model, parser.value(nameOpt));
    QString error;
    if (!host.plug(&error)) {
        QTextStream(stderr) << "limra-readersim: " << error << "\n";
        return 1;
    }
    removeLinkOnSignal(host.linkPath());
    QTextStream(stdout) << "Simulated reader on " << host.slavePath() << ", registered as " << host.portName()
                        << "\nType help for the commands.\n";
    Prompt prompt(&model, &host, parser.isSet(quietOpt));
    const int rc = app.exec();
    host.unplug();
    return rc;
}
