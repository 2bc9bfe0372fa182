// SPDX-License-Identifier: GPL-3.0-or-later
#include <limits>

#include <gtest/gtest.h>

#include <QTimeZone>

#include "InspectJson.h"

namespace {

TEST(InspectJson, UnknownValuesAreNullAndKnownOnesKeepTheirShape)
{
    EXPECT_TRUE(InspectJson::text(QString()).isNull());
    EXPECT_EQ(InspectJson::text(QStringLiteral("")), QJsonValue(QStringLiteral("")));
    EXPECT_TRUE(InspectJson::number(std::nullopt).isNull());
    EXPECT_EQ(InspectJson::number(0), QJsonValue(0));
    EXPECT_TRUE(InspectJson::flag(std::nullopt).isNull());
    EXPECT_EQ(InspectJson::flag(false), QJsonValue(false));
}

TEST(InspectJson, IdsAreDecimalTextWithEveryDigit)
{
    struct Case {
        std::optional<qint64> id;
        QJsonValue want;
    };
    const Case cases[] = {
        {std::nullopt, QJsonValue(QJsonValue::Null)},
        {0, QJsonValue(QStringLiteral("0"))},
        // Beyond 2^53, where a JSON number would round.
        {std::numeric_limits<qint64>::max(), QJsonValue(QStringLiteral("9223372036854775807"))},
        {std::numeric_limits<qint64>::min(), QJsonValue(QStringLiteral("-9223372036854775808"))},
        {-9000000000000000001LL, QJsonValue(QStringLiteral("-9000000000000000001"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id ? *c.id : 0);
        EXPECT_EQ(InspectJson::id(c.id), c.want);
    }
}

TEST(InspectJson, DatesAreIso8601InUtcToTheSecond)
{
    struct Case {
        const char* name;
        QDateTime date;
        QJsonValue want;
    };
    const QDate day(2024, 3, 1);
    const Case cases[] = {
        {"utc", QDateTime(day, QTime(12, 30, 5), Qt::UTC),
         QJsonValue(QStringLiteral("2024-03-01T12:30:05Z"))},
        {"offset", QDateTime(day, QTime(1, 0), QTimeZone(2 * 3600)),
         QJsonValue(QStringLiteral("2024-02-29T23:00:00Z"))},
        {"milliseconds dropped", QDateTime(day, QTime(0, 0, 0, 999), Qt::UTC),
         QJsonValue(QStringLiteral("2024-03-01T00:00:00Z"))},
        {"the 2001 epoch", QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC),
         QJsonValue(QStringLiteral("2001-01-01T00:00:00Z"))},
        {"invalid", QDateTime(), QJsonValue(QJsonValue::Null)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(InspectJson::date(c.date), c.want);
    }
}

} // namespace
