#pragma once
// Environment variables changed for one test and put back after it, also
// when the test stops at a failed assertion.
#include <QByteArray>
#include <QString>
#include <map>
#include <optional>

namespace limra::testing {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;
    ~ScopedEnvironment()
    {
        for (const auto &[name, value] : m_saved) {
            if (value)
                qputenv(name.constData(), *value);
            else
                qunsetenv(name.constData());
        }
    }
    // A null value removes the variable.
    void set(const char *name, const QString &value)
    {
        save(name);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }

private:
    void save(const QByteArray &name)
    {
        if (m_saved.count(name) == 0)
            m_saved[name] = qEnvironmentVariableIsSet(name.constData()) ? std::optional<QByteArray>(qgetenv(name.constData()))
                                                                       : std::nullopt;
    }
    std::map<QByteArray, std::optional<QByteArray>> m_saved;
};

} // namespace limra::testing
