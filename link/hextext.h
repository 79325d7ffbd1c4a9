#pragma once
// Hex text: bytes as upper-case hex digits, two per byte, as the traffic
// log, configuration items and files show them. These routines are pure
// functions of their arguments.
#include <QByteArray>
#include <QString>
#include <QStringView>

namespace limra {

qint64 hexToInt(QStringView text);
QString swapBytes(const QString &hex);

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

// What a packet searched for an item holds: a whole frame ("23", length,
// cmd, ver, items, "24"), or items alone.
enum class Packet { Frame, Items };
// Value digits of the first complete TLV item with the given tag, or empty.
QString tagValue(quint8 tag, const QString &packet, Packet kind);

} // namespace limra
