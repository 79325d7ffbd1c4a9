#pragma once
// Configuration items by tag: the reader's configuration as it travels (a
// tag byte, a length byte and the value's bytes, one item after another),
// read once into values by tag and written back as such bytes.
#include <QByteArray>
#include <utility>
#include <vector>

namespace limra {

class ConfigItems {
public:
    ConfigItems() = default;

    // Reads items from their bytes: a later item replaces an earlier one of
    // its tag; an item cut short at the end keeps the bytes there are.
    static ConfigItems parse(const QByteArray &bytes);
    // The items' bytes, in the order their tags were first set.
    QByteArray toBytes() const;

    // The item's value; empty when there is no such item.
    QByteArray value(quint8 tag) const;
    bool contains(quint8 tag) const;
    // Sets the item's value, replacing an earlier one in its place; at most
    // 255 bytes are kept.
    void set(quint8 tag, const QByteArray &value);
    bool isEmpty() const { return m_items.empty(); }

    bool operator==(const ConfigItems &other) const { return m_items == other.m_items; }
    bool operator!=(const ConfigItems &other) const { return !(*this == other); }

private:
    std::vector<std::pair<quint8, QByteArray>> m_items;
};

} // namespace limra
