// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the read-complete event carries: success, and an error text or none.
class DeviceMediaLibraryReadCompleteArguments {
public:
    DeviceMediaLibraryReadCompleteArguments(bool readSuccesfull, const QString& errorInformation)
        : m_readSuccesfull(readSuccesfull), m_errorInformation(errorInformation) {}

    bool readSuccesfull() const { return m_readSuccesfull; }
    void setReadSuccesfull(bool value) { m_readSuccesfull = value; }
    QString errorInformation() const { return m_errorInformation; }
    void setErrorInformation(const QString& value) { m_errorInformation = value; }

private:
    bool m_readSuccesfull = false;
    QString m_errorInformation;
};
