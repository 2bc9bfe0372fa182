// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What an image-library read carries when it ends.
class QELDeviceImageLibraryDatabaseReadCompleteArguments {
public:
    QELDeviceImageLibraryDatabaseReadCompleteArguments(bool success, const QString& errorInformation)
        : m_success(success), m_errorInformation(errorInformation) {}
    bool success() const { return m_success; }
    QString errorInformation() const { return m_errorInformation; }

private:
    bool m_success;
    QString m_errorInformation;
};

// Receiver of an image-library read's events, sent on the reading thread.
// A progress counter or total that the event does not carry is -1.
class QELDeviceImageLibraryEventProtocol {
public:
    virtual ~QELDeviceImageLibraryEventProtocol() = default;
    virtual void OnDeviceImageLibraryDatabaseReadComplete(const QELDeviceImageLibraryDatabaseReadCompleteArguments& arguments) = 0;
    virtual void OnDeviceImageLibraryDatabaseReadProgressWithProgressCounterOf(const QString& text, qint64 counter,
                                                                              qint64 total)
    {
        (void)text;
        (void)counter;
        (void)total;
    }
};
