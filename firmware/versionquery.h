#pragma once
// "Узнать текущую версию микропрограммы": the firmware and loader versions.
#include "link/operation.h"

namespace limra {

class FirmwareVersionQuery : public ReaderOperation {
    Q_OBJECT
public:
    struct Result : Outcome {
        QString firmware; // empty when the reply's firmware item was not 3 bytes
        QString loader;
    };

    using ReaderOperation::ReaderOperation;
    void start();
    // The versions, or the error.
    Report report() const override;

    // Empty when the reply's firmware item was not 3 bytes (nothing is shown then).
    QString firmware() const { return m_firmware; }
    QString loader() const { return m_loader; }
    Result result() const { return {outcome(), m_firmware, m_loader}; }

    // Item 10 (3 bytes) as 1.2.10; item 12 (4 bytes) last byte first as 3.0.0.1,
    // other sizes as their hex digits.
    static QString firmwareVersion(const QString &item);
    static QString loaderVersion(const QString &item);

Q_SIGNALS:
    void finished(const limra::FirmwareVersionQuery::Result &result);

protected:
    void tellFinished() override { Q_EMIT finished(result()); }

private:
    QString m_firmware;
    QString m_loader;
};

} // namespace limra
