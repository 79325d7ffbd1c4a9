#include "firmware/versionquery.h"

#include <QStringList>

#include "common/texts.h"
#include "link/hextext.h"

namespace limra {

QString FirmwareVersionQuery::firmwareVersion(const QString &item)
{
    QStringList parts;
    for (int i = 0; i + 1 < item.size(); i += 2)
        parts << QString::number(hexToInt(item.mid(i, 2)) & 0xFF);
    return parts.join(QLatin1Char('.'));
}

QString FirmwareVersionQuery::loaderVersion(const QString &item)
{
    if (item.size() != 8)
        return item;
    return firmwareVersion(swapBytes(item));
}

Report FirmwareVersionQuery::report() const
{
    if (status() != Status::Done)
        return ReaderOperation::report();
    if (m_firmware.isEmpty())
        return Report::none();
    return Report::information(texts::kFirmwareVersionLabel + m_firmware
                               + QStringLiteral("\r\nВерсия загрузчика: ") + m_loader);
}

void FirmwareVersionQuery::start()
{
    begin();
    m_firmware.clear();
    m_loader.clear();
    request(payload(command::QueryVersion, command::kVersion), [this](const ReaderLink::Answer &answer) {
        if (!answer.ok())
            return resumeAndFail(*answer.error);
        const std::optional<QByteArray> firmware = answer.reply.item(tag::FirmwareVersion);
        const std::optional<QByteArray> loader = answer.reply.item(tag::LoaderVersion);
        if (firmware && firmware->size() == 3) {
            m_firmware = firmwareVersion(bytesToHex(*firmware));
            m_loader = loaderVersion(loader ? bytesToHex(*loader) : QString());
        }
        end(Status::Done);
    });
}

} // namespace limra

#include "moc_versionquery.cpp"
