#include "firmware/image.h"

#include <QtEndian>
#include <limits>

#include "firmware/crc16.h"
#include "firmware/headercipher.h"

namespace limra {

namespace {
const QByteArray kMarker("\xAB\xCD", 2);
} // namespace

FirmwareSection findSection(const QByteArray &image, const QString &identity)
{
    FirmwareSection section;
    const qint64 size = image.size();
    if (size < kMinImageSize || size % kImageBlockSize != 0) {
        section.problem = FirmwareSection::Problem::BadSize;
        return section;
    }
    const QByteArray wanted = QByteArray::fromHex(identity.toLatin1());
    qint64 start = 0;     // the current section's first byte
    qint64 consumed = 0;  // bytes of the matching section taken so far
    qint64 count = 0;     // the current header's block count
    quint16 expected = 0;
    quint16 crc = 0;
    bool matched = false;
    while (start + consumed + kImageBlockSize <= size) {
        const QByteArray block = image.mid(start + consumed, kImageBlockSize);
        if (!matched) {
            const QByteArray plain = decipherHeader(block);
            count = qFromBigEndian<quint32>(plain.constData() + 8);
            const qint64 next = start + count * kImageBlockSize;
            if (!plain.startsWith(kMarker) || count == 0 || next > std::numeric_limits<qint32>::max()) {
                section.problem = FirmwareSection::Problem::BadHeader;
                return section;
            }
            if (plain.mid(4, 4) != wanted) {
                // A section that runs past the end of the file: the file was cut.
                if (next > size) {
                    section.problem = FirmwareSection::Problem::BadSize;
                    return section;
                }
                start = next;
                if (start < size)
                    continue;
                section.problem = FirmwareSection::Problem::NoSection;
                return section;
            }
            matched = true;
            section.blocks.clear();
            expected = qFromBigEndian<quint16>(plain.constData() + 2);
            crc = 0;
        } else {
            crc = sectionCrc(block, crc);
            section.blocks << block;
        }
        consumed += kImageBlockSize;
        if (section.blocks.size() == count - 1)
            break;
    }
    if (crc != expected) {
        section.problem = FirmwareSection::Problem::BadCrc;
        section.blocks.clear();
    }
    return section;
}

} // namespace limra
