#pragma once
// Builds firmware images for the tests: any number of sections, identities,
// block counts, markers and CRCs, the headers enciphered with the same
// cipher the tool deciphers them with.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

#include "firmware/crc16.h"
#include "firmware/headercipher.h"

namespace limra::testing {

struct SectionSpec {
    QString identity = QStringLiteral("02A11701"); // the simulated reader's
    int dataBlocks = 9;
    qint64 count = -1;              // the header's block count; -1: header + data blocks
    QByteArray marker = QByteArray("\xAB\xCD", 2);
    int crc = -1;                   // -1: the right CRC of the data blocks
    int seed = 1;                   // varies the data bytes
};

// A section for the simulated reader, and one for another reader.
inline SectionSpec forReader(int blocks = 9, int seed = 3)
{
    SectionSpec s;
    s.dataBlocks = blocks;
    s.seed = seed;
    return s;
}

inline SectionSpec forOther(int blocks = 9)
{
    SectionSpec s;
    s.identity = QStringLiteral("04A11701");
    s.dataBlocks = blocks;
    s.seed = 7;
    return s;
}

inline QByteArray dataBlock(int seed, int index)
{
    QByteArray block(16, Qt::Uninitialized);
    for (int i = 0; i < 16; ++i)
        block[i] = char((seed * 131 + index * 17 + i * 7) & 0xFF);
    return block;
}

inline QByteArray sectionData(const SectionSpec &spec)
{
    QByteArray data;
    for (int i = 0; i < spec.dataBlocks; ++i)
        data += dataBlock(spec.seed, i);
    return data;
}

inline QByteArray buildSection(const SectionSpec &spec)
{
    const QByteArray data = sectionData(spec);
    QByteArray plain(16, '\0');
    plain.replace(0, 2, spec.marker);
    qToBigEndian<quint16>(quint16(spec.crc >= 0 ? spec.crc : sectionCrc(data)), plain.data() + 2);
    plain.replace(4, 4, QByteArray::fromHex(spec.identity.toLatin1()));
    qToBigEndian<quint32>(quint32(spec.count >= 0 ? spec.count : spec.dataBlocks + 1), plain.data() + 8);
    return encipherHeader(plain) + data;
}

inline QByteArray buildImage(const QList<SectionSpec> &sections)
{
    QByteArray image;
    for (const SectionSpec &s : sections)
        image += buildSection(s);
    return image;
}

} // namespace limra::testing
