#include "config/configitems.h"

#include <algorithm>

namespace limra {

ConfigItems ConfigItems::parse(const QByteArray &bytes)
{
    ConfigItems items;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const auto tag = quint8(bytes.at(at));
        const int length = at + 1 < bytes.size() ? quint8(bytes.at(at + 1)) : 0;
        items.set(tag, bytes.mid(at + 2, length));
        at += 2 + length;
    }
    return items;
}

QByteArray ConfigItems::toBytes() const
{
    QByteArray out;
    for (const auto &[tag, value] : m_items)
        out.append(char(tag)).append(char(value.size())).append(value);
    return out;
}

QByteArray ConfigItems::value(quint8 tag) const
{
    const auto it = std::find_if(m_items.begin(), m_items.end(), [tag](const auto &item) { return item.first == tag; });
    return it == m_items.end() ? QByteArray() : it->second;
}

bool ConfigItems::contains(quint8 tag) const
{
    return std::any_of(m_items.begin(), m_items.end(), [tag](const auto &item) { return item.first == tag; });
}

void ConfigItems::set(quint8 tag, const QByteArray &value)
{
    const QByteArray kept = value.left(255);
    for (auto &item : m_items)
        if (item.first == tag) {
            item.second = kept;
            return;
        }
    m_items.emplace_back(tag, kept);
}

} // namespace limra
