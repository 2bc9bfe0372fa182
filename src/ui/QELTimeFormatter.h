#pragma once

#include <QString>
#include <QVariant>

// Writes a number of milliseconds as a clock time: "MM:SS", or "H…H:MM:SS"
// with hours; " " for 0 or less; "Formatter error" for a value that is not a number.
class QELTimeFormatter {
public:
    QString stringForObjectValue(const QVariant& value) const;

    // Texts are not parsed back: answers true and leaves `object` as it is.
    bool getObjectValueForStringErrorDescription(QVariant* object, const QString& string,
                                                 QString* error) const;
};
