// Firmware images built from the input: sections with plain headers (marker,
// CRC, identity, block count, each right or wrong as the input says), then
// enciphered; a few stray blocks and bytes after them. The section search
// must give what a small model of the format's walk gives: the problem, and
// the very data blocks of the matching section.
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>

#include "firmware/headercipher.h"
#include "firmware/image.h"

namespace {

using limra::FirmwareSection;

const QByteArray kWanted = QByteArray::fromHex("02A11701");
const QByteArray kOther = QByteArray::fromHex("04A11701");

// Reads the input a byte at a time; zeros once it is used up.
class Input {
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    quint8 byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    QByteArray bytes(int n)
    {
        QByteArray out;
        for (int i = 0; i < n; ++i)
            out += char(byte());
        return out;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// The section CRC as the format describes it, written apart from the tool's.
quint16 modelCrc(const QByteArray &data)
{
    static const auto table = [] {
        std::array<quint16, 256> t{};
        for (int i = 0; i < 256; ++i) {
            quint16 r = quint16(i << 8);
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x8000) ? quint16((r << 1) ^ 0x1021) : quint16(r << 1);
            t[size_t(i)] = r;
        }
        return t;
    }();
    quint16 reg = 0;
    for (const char c : data)
        reg = quint16(table[reg >> 8] ^ quint16(reg << 8) ^ quint8(c));
    return reg;
}

struct Model {
    FirmwareSection::Problem problem = FirmwareSection::Problem::None;
    QList<QByteArray> blocks;
};

// The walk: from a section's header to the next by its block count, until a
// header for this reader; its data blocks up to its count or the file's end.
// A section of another reader that runs past the file's end is a cut file.
Model walk(const QByteArray &image, const std::map<qint64, QByteArray> &plainHeaders)
{
    Model m;
    const qint64 size = image.size();
    if (size < limra::kMinImageSize || size % limra::kImageBlockSize != 0) {
        m.problem = FirmwareSection::Problem::BadSize;
        return m;
    }
    qint64 start = 0;
    for (;;) {
        const auto known = plainHeaders.find(start);
        const QByteArray plain = known != plainHeaders.end() ? known->second
                                                             : limra::decipherHeader(image.mid(start, 16));
        const quint32 count = qFromBigEndian<quint32>(plain.constData() + 8);
        if (!plain.startsWith("\xAB\xCD") || count == 0
            || start + qint64(count) * 16 > std::numeric_limits<qint32>::max()) {
            m.problem = FirmwareSection::Problem::BadHeader;
            return m;
        }
        if (plain.mid(4, 4) != kWanted) {
            if (start + qint64(count) * 16 > size) {
                m.problem = FirmwareSection::Problem::BadSize; // cut inside another reader's section
                return m;
            }
            start += qint64(count) * 16;
            if (start < size)
                continue;
            m.problem = FirmwareSection::Problem::NoSection;
            return m;
        }
        const qint64 present = (size - start) / 16 - 1;
        const qint64 taken = std::min<qint64>(qint64(count) - 1, present);
        QByteArray data;
        for (qint64 i = 0; i < taken; ++i) {
            m.blocks << image.mid(start + 16 * (i + 1), 16);
            data += m.blocks.last();
        }
        if (modelCrc(data) != qFromBigEndian<quint16>(plain.constData() + 2)) {
            m.problem = FirmwareSection::Problem::BadCrc;
            m.blocks.clear();
        }
        return m;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool crcChecked = [] {
        if (modelCrc("abc") != 0x1EE4 || modelCrc("123456789") != 0xBEEF)
            std::abort();
        return true;
    }();
    (void)crcChecked;

    Input in(data, size);
    QByteArray image;
    std::map<qint64, QByteArray> plainHeaders; // offset -> the plain header built there
    const int sections = 1 + in.byte() % 6;
    for (int s = 0; s < sections; ++s) {
        const quint8 identityChoice = in.byte() % 3;
        const QByteArray identity = identityChoice == 0 ? kWanted : identityChoice == 1 ? kOther : in.bytes(4);
        const int dataBlocks = in.byte() % 41;
        QByteArray blocksData;
        const quint8 seed = in.byte();
        for (int i = 0; i < dataBlocks * 16; ++i)
            blocksData += char(quint8(seed * 131 + i * 7));
        quint32 count = quint32(dataBlocks + 1);
        switch (in.byte() % 8) {
        case 5: count = quint32(qint64(count) + qint8(in.byte())); break; // a count that lies a little
        case 6: count = 0; break;
        case 7: count = qFromBigEndian<quint32>(in.bytes(4).constData()); break;
        default: break;
        }
        QByteArray plain(16, '\0');
        if (in.byte() % 16 != 0)
            plain.replace(0, 2, QByteArray("\xAB\xCD", 2));
        else
            plain.replace(0, 2, in.bytes(2));
        const quint16 crc = in.byte() % 8 != 0 ? modelCrc(blocksData) : qFromBigEndian<quint16>(in.bytes(2).constData());
        qToBigEndian<quint16>(crc, plain.data() + 2);
        plain.replace(4, 4, identity);
        qToBigEndian<quint32>(count, plain.data() + 8);
        plain.replace(12, 4, in.bytes(4));
        const QByteArray header = limra::encipherHeader(plain);
        if (header.size() != 16 || limra::decipherHeader(header) != plain)
            std::abort(); // the cipher does not undo itself
        plainHeaders[image.size()] = plain;
        image += header + blocksData;
    }
    const int strayBlocks = in.byte() % 4;
    image += in.bytes(16 * strayBlocks);
    if (in.byte() % 32 == 0)
        image += in.bytes(1 + in.byte() % 15); // a size that is not whole blocks

    const FirmwareSection found = limra::findSection(image, QStringLiteral("02A11701"));
    const Model expected = walk(image, plainHeaders);
    if (found.problem != expected.problem || found.blocks != expected.blocks)
        std::abort();
    return 0;
}
