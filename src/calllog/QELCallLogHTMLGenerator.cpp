// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCallLogHTMLGenerator.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>

#include "DataExtensions.h"
#include "LocaleTime.h"
#include "Log.h"
#include "TextEscaping.h"

// Outside any namespace, as Qt's resource initialiser must be.
static void initCallLogResources() { Q_INIT_RESOURCE(calllog); }

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The page up to the first call block.
QString head()
{
    return QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">")
        + kCrLf + QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\"><HEAD>") + kCrLf
        + QStringLiteral(
               "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />")
        + QStringLiteral("<style type=\"text/css\">") + kCrLf + QStringLiteral("<!--") + kCrLf
        + QStringLiteral(".footer { font-size: small; color:grey; padding-top:10px; }") + kCrLf
        + QStringLiteral(".callLogHeader { font-size: medium; font-weight: bold; "
                         "background-color: #CCC; padding: 5px; margin-bottom: 10px;}")
        + kCrLf
        + QStringLiteral( // Not floated: the engine lays out thousands of floats of one
                          // page in minutes, inline blocks in seconds.
               ".statusGraphic { width:30px; padding-right:5px; display:inline-block; "
               "vertical-align:top; }")
        + kCrLf + QStringLiteral(".faceTimeGraphic { float:right; }") + kCrLf
        + QStringLiteral(".body { font-size:14px;}") + kCrLf + QStringLiteral("-->") + kCrLf
        + QStringLiteral("</style>") + kCrLf + QStringLiteral("</HEAD>") + kCrLf
        + QStringLiteral("<BODY class=\"body\">") + kCrLf;
}

const QString kFoot = QStringLiteral("</BODY>\r\n</HTML>");

// The locale's medium date: its long date without the weekday, the month
// abbreviated ("Mar 1, 2024", "1. März 2024").
QString mediumDateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{4}[,.]?\\s*"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

} // namespace

QString QELCallLogHTMLGenerator::shownParty(const QELCallLogEntryDetail& call)
{
    // A contact's name alone would hide which of the contact's numbers
    // called, and whether the name was the right one at all.
    if (call.address().isEmpty() || call.address() == call.name())
        return call.name();
    if (call.name().isEmpty())
        return call.address();
    return call.name() + QStringLiteral(" (") + call.address() + QLatin1Char(')');
}

const QELCallLogHTMLGenerator::Images& QELCallLogHTMLGenerator::Images::bundled()
{
    static const Images images = [] {
        initCallLogResources();
        Images made;
        made.made = _stringFromImagePath(QStringLiteral(":/calllog/made.png"));
        made.received = _stringFromImagePath(QStringLiteral(":/calllog/received.png"));
        made.missed = _stringFromImagePath(QStringLiteral(":/calllog/missed.png"));
        made.unanswered = _stringFromImagePath(QStringLiteral(":/calllog/unanswered.png"));
        made.videoCamera = _stringFromImagePath(QStringLiteral(":/calllog/videocamera.png"));
        return made;
    }();
    return images;
}

QString QELCallLogHTMLGenerator::_stringFromImagePath(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcOrvane).noquote() << "Call log page: no picture at" << path;
        return {};
    }
    const QByteArray png = file.readAll();
    // Only a picture that decodes goes into the page, labelled as what it is.
    if (!png.startsWith("\x89PNG\r\n\x1a\n") || QImage::fromData(png, "PNG").isNull()) {
        qCWarning(lcOrvane).noquote() << "Call log page: not a PNG picture:" << path;
        return {};
    }
    return QStringLiteral("<img src=\"data:image/png;base64,%1\"/>")
        .arg(StringAdditions::base64StringFromDataLength(png, int(png.size())));
}

QString QELCallLogHTMLGenerator::stringForObjectValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        break;
    default:
        return QStringLiteral("Formatter error");
    }
    const qint64 n = value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float
        ? qint64(value.toDouble())
        : value.toLongLong();
    if (n <= 0)
        return QStringLiteral("00:00");
    const qint64 hours = n / 3600;
    const qint64 minutes = (n % 3600) / 60;
    const qint64 seconds = n % 60;
    auto two = [](qint64 v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    QString text;
    if (hours != 0)
        text += two(hours) + QLatin1Char(':');
    text += two(minutes) + QLatin1Char(':');
    text += two(seconds);
    return text;
}

QString QELCallLogHTMLGenerator::formattedDate(const QDateTime& date, const QLocale& locale,
                                               const std::optional<QTimeZone>& timeZone)
{
    if (!date.isValid())
        return {};
    const QDateTime shown = timeZone ? date.toTimeZone(*timeZone) : date.toLocalTime();
    return locale.toString(
        shown, mediumDateFormat(locale) + QLatin1Char(' ') + LocaleTime::shortTimeFormat(locale));
}

QString QELCallLogHTMLGenerator::generateHTMLForCallLogs(const QList<QELCallLogEntryDetail>& calls)
{
    return generateHTMLForCallLogs(calls, Options());
}

QString QELCallLogHTMLGenerator::generateHTMLForCallLogs(const QList<QELCallLogEntryDetail>& calls,
                                                         const Options& options)
{
    const Images& images = options.images;
    QString page = head();
    page.reserve(page.size() + kFoot.size()
                 + calls.size() * (200 + qMax(images.made.size(), images.missed.size())));
    for (const QELCallLogEntryDetail& call : calls) {
        const bool outgoing = call.isOutgoing();
        const bool faceTime = call.isFaceTime();
        const bool unconnected = call.duration() == 0;
        page += QStringLiteral("<div class=\"statusGraphic\">") + kCrLf;
        page += (outgoing ? (unconnected ? images.unanswered : images.made)
                          : (unconnected ? images.missed : images.received))
            + QStringLiteral("</div>") + kCrLf;
        page += outgoing ? QStringLiteral("Call made to ") : QStringLiteral("Call received from ");
        if (faceTime)
            page += QStringLiteral("<div class=\"faceTimeGraphic\">") + images.videoCamera
                + QStringLiteral("</div>");
        page += TextEscaping::htmlText(shownParty(call)) + QStringLiteral(" on ")
            + TextEscaping::htmlText(formattedDate(call.date(), options.locale, options.timeZone));
        if (faceTime)
            page += QStringLiteral(" (FaceTime)");
        page += QStringLiteral("<br/>") + kCrLf;
        if (unconnected)
            page += (outgoing ? QStringLiteral("<strong>Unanswered Call</strong>")
                              : QStringLiteral("<strong>Missed Call</strong>"))
                + kCrLf;
        else
            page += QStringLiteral("duration : ") + stringForObjectValue(call.duration())
                + QStringLiteral("<br/>") + kCrLf;
        page += QStringLiteral("<hr size=1 noshade/>") + kCrLf;
    }
    page += kFoot;
    return page;
}
