// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// The value conventions every subcommand's JSON follows, so a script reads one
// shape: null for what is unknown (a null text, a missing number or flag, an
// invalid date), dates as ISO 8601 in UTC, ids as decimal text (64-bit ids
// lose digits as JSON numbers).
namespace InspectJson {

QJsonValue text(const QString& text);
QJsonValue number(const std::optional<qint64>& number);
QJsonValue flag(const std::optional<bool>& flag);
// "2024-03-01T12:30:05Z": to the second, in UTC whatever the value's time spec.
QJsonValue date(const QDateTime& date);
QJsonValue id(const std::optional<qint64>& id);

// The document as the tool prints it: indented, ending in a line break.
QByteArray document(const QJsonObject& root);
QByteArray document(const QJsonArray& root);
// Writes the document to standard output; answers the exit code (0, or 1
// when standard output could not be written).
int print(const QJsonObject& root);
int print(const QJsonArray& root);

} // namespace InspectJson
