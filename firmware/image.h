#pragma once
// Firmware image files (.hfw): 16-byte blocks forming sections. A section is
// a header block, enciphered, then its data blocks. The plain header holds
// the marker AB CD, the CRC-16 of the data blocks, the identity of the
// reader model the section is for, and the section's block count (header
// included). The data blocks go to the reader exactly as stored.
#include <QByteArray>
#include <QList>
#include <QString>

namespace limra {

constexpr int kImageBlockSize = 16;
constexpr int kMinImageSize = 160;
// Far more than any image; a larger file is refused before it is read.
constexpr qint64 kMaxImageSize = 16 * 1024 * 1024;

struct FirmwareSection {
    enum class Problem { None, BadSize, BadHeader, NoSection, BadCrc };
    Problem problem = Problem::None;
    QList<QByteArray> blocks;   // the data blocks, in file order
};

// The section of an image for the reader with this identity (8 hex digits:
// item FF then item FE of the identification reply, each byte-reversed).
FirmwareSection findSection(const QByteArray &image, const QString &identity);

} // namespace limra
