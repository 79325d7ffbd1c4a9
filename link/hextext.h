#pragma once
// Hex text: every byte exchanged with the reader is held as upper-case hex
// digits, two per byte. These routines are pure functions of their arguments
// (tickms reads the clock).
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <stdexcept>

namespace limra {

// The error bintoint raises; its what() is the text the user sees.
class WrongBinaryString : public std::runtime_error {
public:
    WrongBinaryString();
};

qint64 hextoint(QStringView text);
QString swapbytes(const QString &hex);
QString hextobin(const QString &hex);
qint64 bintoint(const QString &bits);          // throws WrongBinaryString
QString bytetobin(quint8 byte);
qint64 tickms();

QString bytesToHex(const QByteArray &bytes);   // "0A", never "A"
QByteArray hexToBytes(const QString &hex);     // pairs from the start; odd tail dropped
QString hexByte(int value);                    // low 8 bits as two upper-case digits
QString hexDigits(quint64 value, int width);   // upper-case, zero-padded to width

// A frame around a payload: "23", length, payload, "24". A trailing single
// digit of the payload is not sent, so the frame stays well-formed.
QString frameText(const QString &payload);
// Only the hex digits of a text, upper case (a-f become A-F).
QString upperHexDigitsOnly(const QString &text);
bool isUpperHexDigit(QChar c);

// Value digits of the first complete TLV item with the given tag, or empty.
QString gettagvalue(quint8 tag, const QString &packet, bool with_header);

} // namespace limra
