// limra-cli's firmware commands on one reader: list, version and update.
#include "cli/readerjob.h"

#include "firmware/image.h"
#include "firmware/update.h"
#include "link/session.h"

namespace limra::cli {

namespace {

// The exit status of a firmware update that did not succeed.
int updateExit(FirmwareUpdate::Failure failure)
{
    switch (failure) {
    case FirmwareUpdate::Failure::NoPath:
    case FirmwareUpdate::Failure::CannotOpen:
    case FirmwareUpdate::Failure::BadImage:
    case FirmwareUpdate::Failure::BadHeader:
    case FirmwareUpdate::Failure::NoSection:
    case FirmwareUpdate::Failure::BadCrc:
    case FirmwareUpdate::Failure::CannotRecord: return kBadFile;
    default: return kFailed;
    }
}

} // namespace

void ReaderJob::list()
{
    if (m_station->session().inLoader()) {
        m_lines << QStringList{port(), serial(), readerWord(), QString()}.join(QLatin1Char('\t'));
        return end(kDone);
    }
    FirmwareVersionQuery &query = m_station->versionQuery();
    connect(&query, &ReaderOperation::finished, this, [this, &query] {
        m_fields[QStringLiteral("firmware")] = query.firmware();
        m_lines << QStringList{port(), serial(), readerWord(), query.firmware()}.join(QLatin1Char('\t'));
        if (query.status() != ReaderOperation::Status::Done)
            return operationFailed(query);
        end(kDone);
    });
    runOperation(query, [&query] { query.start(); });
}

void ReaderJob::version()
{
    FirmwareVersionQuery &query = m_station->versionQuery();
    connect(&query, &ReaderOperation::finished, this, [this, &query] {
        if (query.status() != ReaderOperation::Status::Done)
            return operationFailed(query);
        const Report report = query.report();
        if (report.kind != Report::Kind::Information)
            return end(kFailed, QStringLiteral("the reader did not tell its firmware version"));
        m_fields[QStringLiteral("firmware")] = query.firmware();
        m_fields[QStringLiteral("loader")] = query.loader();
        m_lines = report.text.split(QStringLiteral("\r\n"));
        end(kDone);
    });
    runOperation(query, [&query] { query.start(); });
}

void ReaderJob::update()
{
    const QString identity = m_station->session().identity().firmwareIdentity;
    if (!identity.isEmpty() && !m_setup.image.isEmpty()
        && findSection(m_setup.image, identity).problem == FirmwareSection::Problem::NoSection) {
        const QString why = QStringLiteral("no firmware for this reader (%1)").arg(identity);
        if (m_options.skipUnfit)
            return skip(why);
        return end(kFailed, why);
    }
    FirmwareUpdate &run = m_station->firmwareUpdate();
    connect(&run, &FirmwareUpdate::progress, this, &ReaderJob::progress);
    connect(&run, &FirmwareUpdate::stageChanged, this, [this, &run](FirmwareUpdate::Stage stage) {
        const QString limit = QString::number(run.waitLimitMs() / 1000.0, 'g', 4);
        switch (stage) {
        case FirmwareUpdate::Stage::Restarting:
            Q_EMIT message(QStringLiteral("the reader restarts into its firmware loader"));
            break;
        case FirmwareUpdate::Stage::LoaderSilent:
            Q_EMIT message(QStringLiteral("the reader's loader does not answer: unplug the reader and plug it in "
                                          "again, the update then starts over (waiting up to %1 s, "
                                          "--loader-wait; Ctrl+C gives up)")
                               .arg(limit));
            break;
        case FirmwareUpdate::Stage::AwaitingReplug:
            Q_EMIT message(QStringLiteral("the reader's loader took part of an image before and must start afresh: "
                                          "unplug the reader and plug it in again, the update then sends every block "
                                          "from the first (waiting up to %1 s, --loader-wait; Ctrl+C gives up)")
                               .arg(limit));
            break;
        case FirmwareUpdate::Stage::Returning:
            Q_EMIT message(QStringLiteral("every block taken; the reader restarts into its new firmware"));
            break;
        default: break;
        }
    });
    connect(&run, &ReaderOperation::finished, this, [this, &run] {
        m_fields[QStringLiteral("blocks")] = run.accepted();
        if (run.status() == ReaderOperation::Status::Done) {
            // Done: the reader is back with its new firmware, and says which.
            m_fields[QStringLiteral("firmware")] = run.version();
            m_lines << run.report().text.split(QStringLiteral("\r\n"));
            return end(kDone);
        }
        if (run.status() == ReaderOperation::Status::Failed)
            return end(updateExit(run.failure()), run.report().text);
        operationFailed(run);
    });
    const QString image = m_options.file;
    runOperation(run, [&run, image] { run.start(image); });
}

} // namespace limra::cli
