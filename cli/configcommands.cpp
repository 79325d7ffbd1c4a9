// limra-cli's configuration commands on one reader: read-config, write-config
// and diff, over the editor as the window holds it.
#include "cli/readerjob.h"

#include <QFileInfo>
#include <QJsonArray>

#include "config/backups.h"
#include "config/configfile.h"
#include "config/editormodel.h"
#include "config/transfer.h"
#include "link/session.h"
#include "platform/files.h"

namespace limra::cli {

std::unique_ptr<EditorModel> ReaderJob::editor() const
{
    // The editor as the window holds it once the reader is connected.
    auto model = std::make_unique<EditorModel>();
    const ReaderKind kind = m_station->session().kind();
    model->readerKind = [kind] { return kind; };
    model->startUp();
    return model;
}

QString ReaderJob::outputPath() const
{
    QString path = m_options.output;
    const QString serialNumber = serial();
    path.replace(QLatin1String(kSerialField), serialNumber.isEmpty() ? QStringLiteral("reader") : serialNumber);
    path.replace(QLatin1String(kPortField), QFileInfo(port()).fileName());
    return path;
}

std::unique_ptr<EditorModel> ReaderJob::readersConfiguration()
{
    const ConfigRead::Result &read = m_connectRead;
    if (read.status != ReaderOperation::Status::Done) {
        operationFailed(read);
        return nullptr;
    }
    std::unique_ptr<EditorModel> model = editor();
    if (!model->applyConfig(read.items, ConfigPlace::Reader)) {
        end(kFailed, QStringLiteral("the reader's configuration holds values the editor does not take"));
        return nullptr;
    }
    return model;
}

void ReaderJob::readConfig()
{
    const ConfigRead::Result &read = m_connectRead;
    const std::unique_ptr<EditorModel> model = readersConfiguration();
    if (!model)
        return;
    if (m_options.output.isEmpty()) {
        m_fields[QStringLiteral("config")] = configJson(*model, read.items);
        m_lines = configText(*model, read.items);
        return end(kDone);
    }
    if (m_options.output == QLatin1String("-")) {
        m_rawOutput = configFileBytes(model->buildItems(ConfigPlace::File));
        return end(kDone);
    }
    const QString path = m_setup.claimOutput ? m_setup.claimOutput(outputPath()) : outputPath();
    if (const auto saved = saveConfiguration(*model, path); !saved) {
        m_fields[QStringLiteral("file")] = path;
        return end(kBadFile, saved.error().text + QStringLiteral(" (the configuration of %1 on %2)").arg(serial(), port()));
    }
    m_fields[QStringLiteral("file")] = path;
    if (!isWrittenThrough(path)) // standard output, say, has the configuration itself
        m_lines << path;
    end(kDone);
}

QString ReaderJob::keptCopy() const
{
    const QString reader = serial().isEmpty() ? QStringLiteral("reader") : serial();
    for (const KeptConfiguration &kept : m_station->keptConfigurations().kept())
        if (kept.reader == reader)
            return kept.path;
    return QString();
}

void ReaderJob::writeConfig()
{
    const std::unique_ptr<EditorModel> model = editor();
    // The reader's configuration is in the editor (the read after connecting),
    // the file's goes over it, and the editor's is written: as in the window.
    const ConfigRead::Result &read = m_connectRead;
    if (read.status == ReaderOperation::Status::Done)
        model->applyConfig(read.items, ConfigPlace::Reader);
    if (!fileConfig(*model))
        return;
    const ConfigItems items = model->buildItems(ConfigPlace::Reader);
    const bool objectCode = writeAwaitsObjectCode(model->config());

    m_configWritten = false;
    started(m_station->writeConfig(items, objectCode, [this](ConfigWrite &run) { follow(run); }));
}

void ReaderJob::follow(ConfigWrite &run)
{
    // Asked from the event loop, never inside the operation's own step.
    connect(&run, &ConfigWrite::decisionNeeded, &run, [&run] { run.proceed(false); }, Qt::QueuedConnection);
    connect(&run, &ConfigWrite::written, this, [this] { m_configWritten = true; });
    connect(&run, &ConfigWrite::finished, this, [this](const ConfigWrite::Result &write) {
        Q_EMIT countdown(-1);
        if (write.status == ReaderOperation::Status::Done) {
            const QString kept = keptCopy();
            if (!kept.isEmpty()) {
                m_fields[QStringLiteral("kept")] = kept;
                Q_EMIT message(QStringLiteral("the configuration the reader held is kept in ") + kept);
            }
            m_lines << write.report.text;
            return end(kDone);
        }
        if (write.failure == ConfigWrite::Failure::Declined)
            return end(kFailed,
                       QStringLiteral("the configuration the reader holds could not be kept (%1); "
                                      "nothing was written")
                           .arg(write.keepProblem));
        writeFailed(write);
    });
}

bool ReaderJob::fileConfig(EditorModel &model)
{
    const auto applied = applyConfigInput(model, m_setup.config, m_options.file);
    if (applied)
        return true;
    m_fields[QStringLiteral("file")] = m_options.file;
    end(kBadFile, applied.error().text);
    return false;
}

// The configuration may be written although the write failed afterwards
// (the object code not taken, a signal during its wait): then the reader
// holds it, and the earlier one is kept; both are said.
void ReaderJob::writeFailed(const ConfigWrite::Result &write)
{
    if (!m_configWritten)
        return operationFailed(write);
    const QString kept = keptCopy();
    m_fields[QStringLiteral("written")] = true;
    QString said = QStringLiteral("the configuration was written into the reader, without the object code");
    if (!kept.isEmpty()) {
        m_fields[QStringLiteral("kept")] = kept;
        said += QStringLiteral("; the configuration the reader held is kept in ") + kept;
    }
    Q_EMIT message(said);
    const bool interrupted = write.status == ReaderOperation::Status::Cancelled && m_interrupted;
    end(interrupted ? kInterrupted : kFailed,
        interrupted ? QStringLiteral("interrupted") : write.report.text);
}

void ReaderJob::diff()
{
    const ConfigRead::Result &read = m_connectRead;
    const std::unique_ptr<EditorModel> held = readersConfiguration();
    if (!held)
        return;
    // The file's as write-config would write it: laid over the reader's.
    const std::unique_ptr<EditorModel> wanted = editor();
    wanted->applyConfig(read.items, ConfigPlace::Reader);
    if (!fileConfig(*wanted))
        return;
    const QList<ConfigDifference> differences = configDifferences(*held, *wanted);
    QJsonArray list;
    QStringList names;
    for (const ConfigDifference &d : differences) {
        list.append(QJsonObject{{QStringLiteral("item"), d.item},
                                {QStringLiteral("reader"), d.reader},
                                {QStringLiteral("file"), d.file}});
        names << d.item;
        if (!m_options.everyReader())
            m_lines << QStringLiteral("%1: reader %2, file %3").arg(d.item, d.reader, d.file);
    }
    m_fields[QStringLiteral("equal")] = differences.isEmpty();
    m_fields[QStringLiteral("differences")] = list;
    if (m_options.everyReader())
        m_lines << (differences.isEmpty() ? QStringLiteral("equal")
                                          : QStringLiteral("differs: ") + names.join(QStringLiteral("; ")));
    else if (differences.isEmpty())
        m_lines << QStringLiteral("equal");
    if (differences.isEmpty())
        return end(kDone);
    end(kFailed, QStringLiteral("the configuration differs from %1 in %2 %3")
                     .arg(m_options.file)
                     .arg(differences.size())
                     .arg(differences.size() == 1 ? "item" : "items"));
}

} // namespace limra::cli
