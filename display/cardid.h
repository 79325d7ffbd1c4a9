#pragma once
// A card identifier as the reader sent it, held as bytes: two upper-case hex
// digits to a byte, up to 32 digits. Anything else (lower case, other
// characters, longer) is held as it came.
#include <QString>
#include <QStringView>
#include <array>

namespace limra {

class CardId {
public:
    CardId() = default;
    explicit CardId(QStringView text);
    QString text() const;
    bool operator==(const CardId &other) const;

private:
    static constexpr int kMaxDigits = 32;
    std::array<quint8, kMaxDigits / 2> m_nibbles{};
    quint8 m_digits = 0;
    QString m_other; // what is not upper-case hex of up to 32 digits
};

} // namespace limra
