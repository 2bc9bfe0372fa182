// SPDX-License-Identifier: GPL-3.0-or-later
// The call log page: its exact text for known calls, the length of a call,
// escaped names and its own pictures.
#include <gtest/gtest.h>

#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "CallLogTestSupport.h"
#include "QELCallLogHTMLGenerator.h"
#include "QtPrinters.h"

using namespace CallLogTest;

namespace {

// Short stand-ins for the pictures keep the expected pages readable.
QELCallLogHTMLGenerator::Options fixedOptions()
{
    QELCallLogHTMLGenerator::Options options;
    options.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    options.timeZone = QTimeZone::utc();
    options.images = {"[made]", "[received]", "[missed]", "[unanswered]", "[camera]"};
    return options;
}

QELCallLogEntryDetail call(const char* name, const QDateTime& date, qint64 duration, int flags)
{
    QELCallLogEntryDetail entry;
    entry.setName(QString::fromUtf8(name));
    entry.setDate(date);
    entry.setDuration(duration);
    entry.setFlags(flags);
    return entry;
}

const QString kHead = QStringLiteral(
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\"><HEAD>\r\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"
    "<style type=\"text/css\">\r\n"
    "<!--\r\n"
    ".footer { font-size: small; color:grey; padding-top:10px; }\r\n"
    ".callLogHeader { font-size: medium; font-weight: bold; background-color: #CCC; padding: "
    "5px; margin-bottom: 10px;}\r\n"
    ".statusGraphic { width:30px; padding-right:5px; display:inline-block; vertical-align:top; "
    "}\r\n"
    ".faceTimeGraphic { float:right; }\r\n"
    ".body { font-size:14px;}\r\n"
    "-->\r\n"
    "</style>\r\n"
    "</HEAD>\r\n"
    "<BODY class=\"body\">\r\n");
const QString kFoot = QStringLiteral("</BODY>\r\n</HTML>");

TEST(CallLogPage, AnEmptyListIsTheHeadAndTheFootOnly)
{
    EXPECT_EQ(QELCallLogHTMLGenerator::generateHTMLForCallLogs({}, fixedOptions()), kHead + kFoot);
}

TEST(CallLogPage, ACallBlockShowsDirectionNameDateAndLengthOrTheMissedNote)
{
    const QList<QELCallLogEntryDetail> calls = {
        call("Ann Lee", utc(2024, 3, 1, 14, 5), 0, 17),
        call("+44 20 7946 0018", utc(2024, 2, 29, 9, 0), 125, 0),
        call("Bo", utc(2024, 2, 28, 23, 59), 0, 0),
        call("<b>Eve</b> & \"co\"", utc(2024, 2, 27, 8, 30), 3725, 1),
    };
    const QString expected = kHead
        + QStringLiteral("<div class=\"statusGraphic\">\r\n[unanswered]</div>\r\n"
                         "Call made to <div class=\"faceTimeGraphic\">[camera]</div>"
                         "Ann Lee on Mar 1, 2024 2:05 PM (FaceTime)<br/>\r\n"
                         "<strong>Unanswered Call</strong>\r\n"
                         "<hr size=1 noshade/>\r\n"
                         "<div class=\"statusGraphic\">\r\n[received]</div>\r\n"
                         "Call received from +44 20 7946 0018 on Feb 29, 2024 9:00 AM<br/>\r\n"
                         "duration : 02:05<br/>\r\n"
                         "<hr size=1 noshade/>\r\n"
                         "<div class=\"statusGraphic\">\r\n[missed]</div>\r\n"
                         "Call received from Bo on Feb 28, 2024 11:59 PM<br/>\r\n"
                         "<strong>Missed Call</strong>\r\n"
                         "<hr size=1 noshade/>\r\n"
                         "<div class=\"statusGraphic\">\r\n[made]</div>\r\n"
                         "Call made to &lt;b&gt;Eve&lt;/b&gt; &amp; &quot;co&quot; on Feb 27, "
                         "2024 8:30 AM<br/>\r\n"
                         "duration : 01:02:05<br/>\r\n"
                         "<hr size=1 noshade/>\r\n")
        + kFoot;
    const QString page = QELCallLogHTMLGenerator::generateHTMLForCallLogs(calls, fixedOptions());
    EXPECT_EQ(page.toStdString(), expected.toStdString());
}

TEST(CallLogPage, AMissingPictureLeavesAnEmptyPlaceAndTheRestOfTheBlock)
{
    QELCallLogHTMLGenerator::Options options = fixedOptions();
    options.images.received.clear();
    const QString page = QELCallLogHTMLGenerator::generateHTMLForCallLogs(
        {call("Ann", utc(2024, 1, 1), 5, 0)}, options);
    EXPECT_TRUE(page.contains(QStringLiteral("<div class=\"statusGraphic\">\r\n</div>\r\n"
                                             "Call received from Ann on")));
    EXPECT_TRUE(page.contains(QStringLiteral("duration : 00:05<br/>")));
    QTemporaryDir dir;
    EXPECT_TRUE(
        QELCallLogHTMLGenerator::_stringFromImagePath(dir.filePath(QStringLiteral("none.png")))
            .isNull());
    // Bytes that are not a picture are refused too.
    const QString notPng = dir.filePath(QStringLiteral("fake.png"));
    QFile fake(notPng);
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("\x89PNG\r\n\x1a\n but nothing more");
    fake.close();
    EXPECT_TRUE(QELCallLogHTMLGenerator::_stringFromImagePath(notPng).isNull());
}

TEST(CallLogPage, ItsOwnFivePicturesAreInlinePngPictures)
{
    const auto& images = QELCallLogHTMLGenerator::Images::bundled();
    const QRegularExpression element(
        QStringLiteral("^<img src=\"data:image/png;base64,([A-Za-z0-9+/=]+)\"/>$"));
    for (const QString& image :
         {images.made, images.received, images.missed, images.unanswered, images.videoCamera}) {
        const QRegularExpressionMatch match = element.match(image);
        ASSERT_TRUE(match.hasMatch()) << image.left(60).toStdString();
        const QImage decoded =
            QImage::fromData(QByteArray::fromBase64(match.captured(1).toLatin1()), "PNG");
        EXPECT_EQ(decoded.size(), QSize(20, 20));
        // Small, as it is repeated on every line of a long page.
        EXPECT_LT(image.size(), 600);
    }
    QStringList distinct = {images.made, images.received, images.missed, images.unanswered,
                            images.videoCamera};
    distinct.removeDuplicates();
    EXPECT_EQ(distinct.size(), 5);
    // The default page carries them.
    const QString page =
        QELCallLogHTMLGenerator::generateHTMLForCallLogs({call("Ann", utc(2024, 1, 1), 0, 1)});
    EXPECT_TRUE(page.contains(images.unanswered));
}

TEST(CallLogPage, TheLengthOfACall)
{
    struct Case {
        QVariant value;
        const char* text;
    };
    const Case cases[] = {
        {QVariant(qint64(0)), "00:00"},
        {QVariant(-5), "00:00"},
        {QVariant(qint64(5)), "00:05"},
        {QVariant(qint64(65)), "01:05"},
        {QVariant(qint64(3600)), "01:00:00"},
        {QVariant(qint64(3725)), "01:02:05"},
        {QVariant(59.9), "00:59"},
        {QVariant(qint64(360000)), "100:00:00"},
        {QVariant(QStringLiteral("65")), "Formatter error"},
        {QVariant(), "Formatter error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(QELCallLogHTMLGenerator::stringForObjectValue(c.value),
                  QString::fromLatin1(c.text));
    }
}

TEST(CallLogPage, DatesFollowTheLocaleAndTimeZoneGiven)
{
    const QDateTime date = utc(2024, 3, 1, 14, 5);
    EXPECT_EQ(QELCallLogHTMLGenerator::formattedDate(
                  date, QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc()),
              QStringLiteral("Mar 1, 2024 2:05 PM"));
    EXPECT_EQ(QELCallLogHTMLGenerator::formattedDate(date,
                                                     QLocale(QLocale::German, QLocale::Germany),
                                                     QTimeZone(QByteArrayLiteral("Europe/Berlin"))),
              QStringLiteral("1. März 2024 15:05"));
    EXPECT_TRUE(
        QELCallLogHTMLGenerator::formattedDate(QDateTime(), QLocale::c(), std::nullopt).isEmpty());
}

} // namespace

namespace {

// The number stands beside the name a contact gave it, escaped like the name;
// a call named by its own number shows it once.
TEST(CallLogPage, ShowsTheNumberBesideTheContactsName)
{
    struct Case {
        const char* name;
        const char* address;
        const char* shown;
    };
    const Case cases[] = {
        {"Ann Lee", "+15550100111", "Ann Lee (+15550100111) on"},
        {"+15550000134", "+15550000134", " +15550000134 on"},
        {"No Caller ID", "", " No Caller ID on"},
        {"<b>Eve</b>", "<img src=x>", "&lt;b&gt;Eve&lt;/b&gt; (&lt;img src=x&gt;) on"},
        {"", "+4420", " +4420 on"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        QELCallLogEntryDetail entry = call(c.name, utc(2024, 1, 1), 5, 0);
        entry.setAddress(QString::fromUtf8(c.address));
        const QString page =
            QELCallLogHTMLGenerator::generateHTMLForCallLogs({entry}, fixedOptions());
        EXPECT_TRUE(page.contains(QString::fromUtf8(c.shown))) << page.toStdString();
        EXPECT_FALSE(page.contains(QStringLiteral("<img src=x")));
    }
}

} // namespace
