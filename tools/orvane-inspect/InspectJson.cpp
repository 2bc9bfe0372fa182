// SPDX-License-Identifier: GPL-3.0-or-later
#include "InspectJson.h"

#include <cstdio>

#include <QJsonDocument>

namespace InspectJson {

QJsonValue text(const QString& text)
{
    return text.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonValue number(const std::optional<qint64>& number)
{
    return number ? QJsonValue(static_cast<double>(*number)) : QJsonValue(QJsonValue::Null);
}

QJsonValue flag(const std::optional<bool>& flag)
{
    return flag ? QJsonValue(*flag) : QJsonValue(QJsonValue::Null);
}

QJsonValue date(const QDateTime& date)
{
    return date.isValid() ? QJsonValue(date.toUTC().toString(Qt::ISODate))
                          : QJsonValue(QJsonValue::Null);
}

QJsonValue id(const std::optional<qint64>& id)
{
    return id ? QJsonValue(QString::number(*id)) : QJsonValue(QJsonValue::Null);
}

QByteArray document(const QJsonObject& root)
{
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray document(const QJsonArray& root)
{
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

namespace {

int printBytes(const QByteArray& bytes)
{
    const bool written =
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout)
        == static_cast<size_t>(bytes.size());
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int print(const QJsonObject& root) { return printBytes(document(root)); }

int print(const QJsonArray& root) { return printBytes(document(root)); }

} // namespace InspectJson
