// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContactsHTMLGenerator.h"

#include <QBuffer>
#include <QUrl>

#include "DataExtensions.h"
#include "LocalizedStrings.h"
#include "QELAddressBookImage.h"
#include "TextEscaping.h"

namespace {

const QLatin1String kCrLf("\r\n");

struct StylePiece {
    const char* text;
    bool lineEnd;
};

// Pieces 6 to 10 end without a line break, as the page has always had them.
const StylePiece kStylePieces[] = {
    {"<STYLE type='text/css'>", true},
    {"body {              margin: 10;              font-family: Verdana, Geneva, sans-serif;    "
     "          font-size: 12px;              text-align: left;              line-height: 20px;  "
     "            }",
     true},
    {"h2 {             font-family: Verdana, Geneva, sans-serif;             margin: 0 0 10px 0; "
     "            font-weight:600;              font-size:16px;             line-height: normal; "
     "            }",
     true},
    {"h3 {               font-family: Verdana, Geneva, sans-serif;              margin: 30px 0 "
     "10px 0;              font-weight: 600;              line-height: normal;              "
     "font-size:14px;              }",
     true},
    {"#header { margin-left:0px;              height:75px;              position:relative;      "
     "        }",
     true},
    {"#header h1{              font-family: Verdana, Geneva, sans-serif;              "
     "font-weight:600;              font-size: 18px;              margin:0px;              }",
     false},
    {"#header h2{              font-family: Verdana, Geneva, sans-serif;              "
     "padding-bottom:0px;              font-weight:300;              font-size: 16px;           "
     "   margin:0px;              }",
     false},
    {"#header h3{              font-family: Verdana, Geneva, sans-serif;              "
     "padding-bottom:0px;              font-weight:300;              font-size: 14px;           "
     "   margin:0px;              }",
     false},
    {"#header #contactPicture{             padding-right:20px;              height:75px;       "
     "       margin:0px;              float:left;              }",
     false},
    {"#header #headerDetails{             position:absolute;              top:50%;            "
     "  left:90px;              margin-top:-30px;              }",
     false},
    {"table { margin-left:20px;}", true},
    {"</STYLE>", true},
};

bool isSet(const std::optional<QString>& text) { return text && !text->isEmpty(); }

// Escaped text whose line breaks (CR LF, CR or LF) show as breaks.
QString textWithBreaks(const QString& text)
{
    QString escaped = TextEscaping::htmlText(text);
    escaped.replace(kCrLf, QLatin1String("<br/>"));
    escaped.replace(QLatin1Char('\r'), QLatin1String("<br/>"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("<br/>"));
    return escaped;
}

QString locationCaption(const std::optional<qint64>& location)
{
    if (location == 1)
        return L("HOMEHEADER");
    if (location == 2)
        return L("WORKHEADER");
    return {};
}

QString withColon(QString label)
{
    if (!label.isEmpty())
        label += QLatin1String(" :");
    return label;
}

// A mailto address with everything but the "@" (and "+", common in
// addresses) percent-encoded, so no address can end the attribute or add
// header fields of its own.
QString mailtoHref(const QString& address)
{
    return QStringLiteral("mailto:") + QString::fromLatin1(QUrl::toPercentEncoding(address, "@+"));
}

// The web address as a link for http and https only: any other scheme (a
// script, a local file) stays text.
QString webAddress(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))) {
        return QStringLiteral("<a href=\"")
            + TextEscaping::htmlAttribute(QString::fromLatin1(url.toEncoded()))
            + QStringLiteral("\">") + TextEscaping::htmlText(text) + QStringLiteral("</a>");
    }
    return TextEscaping::htmlText(text);
}

} // namespace

QString QELContactsHTMLGenerator::_styles()
{
    QString styles;
    for (const StylePiece& piece : kStylePieces) {
        styles += QLatin1String(piece.text);
        if (piece.lineEnd)
            styles += kCrLf;
    }
    return styles;
}

QString QELContactsHTMLGenerator::emailLabel(const QELContactEMail& email)
{
    return withColon(locationCaption(email.locationType)).trimmed();
}

QString QELContactsHTMLGenerator::telephoneLabel(const QELContactTelephone& telephone)
{
    QString label = locationCaption(telephone.locationType);
    if (telephone.isCell == 1)
        label += L("MOBILELABEL");
    if (telephone.isFax == 1)
        label += L("FAXLABEL");
    return withColon(label).trimmed();
}

QString QELContactsHTMLGenerator::addressLabel(const QELContactAddress& address)
{
    return withColon(locationCaption(address.location));
}

QString QELContactsHTMLGenerator::pictureElement(const QELContact& contact)
{
    const QImage photo = QELAddressBookImage::decodePicture(contact.picture, int(kPictureSize));
    const QImage picture =
        QELAddressBookImage::generateAddressBookImageWithFirstNameSecondNameContactImageSize(
            contact.givenName.value_or(QString()), contact.familyName.value_or(QString()), photo,
            kPictureSize);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return QStringLiteral("<img src=\"data:image/png;base64,")
        + StringAdditions::base64StringFromDataLength(png, int(png.size()))
        + QStringLiteral("\"/>");
}

QString QELContactsHTMLGenerator::generateHTMLForContact(const QELContact& contact)
{
    using TextEscaping::htmlText;
    QString page;
    page += QLatin1String("<HTML>") + kCrLf;
    page += QLatin1String("<HEAD>") + kCrLf + _styles() + QLatin1String("</HEAD>") + kCrLf;
    page += QLatin1String("<BODY>") + kCrLf + QLatin1String("<div id='header'>") + kCrLf
        + QLatin1String("<div id='contactPicture'>") + kCrLf + pictureElement(contact)
        + QLatin1String("</div>") + kCrLf;
    page += QLatin1String("<div id='headerDetails'>") + kCrLf + QLatin1String("<h1>")
        + htmlText(contact.FN.value_or(QString())) + QLatin1String("</h1>");
    if (isSet(contact.organisation))
        page += QLatin1String("<h2>") + htmlText(*contact.organisation) + QLatin1String("</h2>")
            + kCrLf;
    if (isSet(contact.role))
        page += QLatin1String("<h3>") + htmlText(*contact.role) + QLatin1String("</h3>") + kCrLf;
    if (isSet(contact.title))
        page += QLatin1String("<h3>") + htmlText(*contact.title) + QLatin1String("</h3>") + kCrLf;
    page += QLatin1String("</div>") + kCrLf + QLatin1String("</div>") + kCrLf
        + QLatin1String("<div style='clear:both;'></div>") + kCrLf
        + QLatin1String("<hr size=1 noshade/>");

    if (!contact.emails.empty()) {
        page += QLatin1String("<table>") + kCrLf + QLatin1String("<h3>")
            + htmlText(L("EMAILHEADER")) + QLatin1String("</h3>") + kCrLf;
        for (const QELContactEMailPtr& email : contact.emails) {
            const QString address = email->emailAddress.value_or(QString());
            page += QLatin1String("<tr>") + kCrLf + QLatin1String("<td align='right'>")
                + htmlText(emailLabel(*email)) + QLatin1String("</td><td><a href='")
                + TextEscaping::htmlAttribute(mailtoHref(address)) + QLatin1String("'>")
                + htmlText(address) + QLatin1String("</a>") + kCrLf + QLatin1String("</td>") + kCrLf
                + QLatin1String("</tr>") + kCrLf;
        }
        page += QLatin1String("</table>") + kCrLf;
    }

    if (!contact.telephones.empty()) {
        page += QLatin1String("<h3>") + htmlText(L("TELEPHONEHEADER")) + QLatin1String("</h3>")
            + kCrLf + QLatin1String("<table>") + kCrLf;
        for (const QELContactTelephonePtr& telephone : contact.telephones) {
            page += QLatin1String("<tr>") + kCrLf + QLatin1String("<td align='right'>")
                + htmlText(telephoneLabel(*telephone)) + QLatin1String("</td><td>")
                + htmlText(telephone->telephoneNumber.value_or(QString())) + QLatin1String("</td>")
                + kCrLf + QLatin1String("</tr>") + kCrLf;
        }
        page += QLatin1String("</table>") + kCrLf;
    }

    if (!contact.addresses.empty()) {
        page += QLatin1String("<h3>") + htmlText(L("ADDRESSESHEADER")) + QLatin1String("</h3>")
            + kCrLf + QLatin1String("<table>") + kCrLf;
        for (const QELContactAddressPtr& address : contact.addresses) {
            QString value;
            for (const std::optional<QString>* part :
                 {&address->streetAddress, &address->extendedAddress, &address->locality,
                  &address->country, &address->postCode}) {
                if (isSet(*part))
                    value += textWithBreaks(**part) + QLatin1String("<br/>");
            }
            page += QLatin1String("<tr valign='top'>") + kCrLf + QLatin1String("<td align='right'>")
                + htmlText(addressLabel(*address)) + QLatin1String("</td><td>") + value
                + QLatin1String("</td>") + kCrLf + QLatin1String("</tr>") + kCrLf;
        }
        page += QLatin1String("</table>") + kCrLf;
    }

    if (isSet(contact.url))
        page += QLatin1String("<h3>Web</h3>") + kCrLf + webAddress(*contact.url) + kCrLf;

    if (isSet(contact.note))
        page += QLatin1String("<h3>") + htmlText(L("NOTEHEADER")) + QLatin1String("</h3>") + kCrLf
            + textWithBreaks(*contact.note) + kCrLf;

    page += QLatin1String("</BODY>") + kCrLf + QLatin1String("</HTML>");
    return page;
}
