// SPDX-License-Identifier: GPL-3.0-or-later
// The contact page and its round picture: the page's pieces in order, the
// row captions, hostile values kept as text, and the picture's pixels.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include "ContactsTestSupport.h"
#include "LocalizedStrings.h"
#include "QELAddressBookImage.h"
#include "QELContactsHTMLGenerator.h"
#include "QtPrinters.h"

namespace {

using Generator = QELContactsHTMLGenerator;

const QString kPictureToken = QStringLiteral("<PICTURE/>");

// The page with its picture element replaced by a token; the picture itself,
// decoded from the data URI, in `picture`.
QString pageWithoutPicture(const QString& page, QImage* picture = nullptr)
{
    static const QRegularExpression element(
        QStringLiteral("<img src=\"data:image/png;base64,([A-Za-z0-9+/=]*)\"/>"));
    const QRegularExpressionMatch match = element.match(page);
    EXPECT_TRUE(match.hasMatch()) << page.toStdString();
    if (!match.hasMatch())
        return page;
    const QByteArray png = QByteArray::fromBase64(match.captured(1).toLatin1());
    // The data URI names what its bytes are.
    EXPECT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n"));
    if (picture)
        *picture = QImage::fromData(png, "PNG");
    QString rest = page;
    rest.replace(match.capturedStart(), match.capturedLength(), kPictureToken);
    return rest;
}

QString header(const QString& details)
{
    return QStringLiteral("<HTML>\r\n<HEAD>\r\n") + Generator::_styles()
        + QStringLiteral("</HEAD>\r\n<BODY>\r\n<div id='header'>\r\n<div id='contactPicture'>\r\n")
        + kPictureToken + QStringLiteral("</div>\r\n<div id='headerDetails'>\r\n") + details
        + QStringLiteral("</div>\r\n</div>\r\n<div style='clear:both;'></div>\r\n"
                         "<hr size=1 noshade/>");
}

const QString kFooter = QStringLiteral("</BODY>\r\n</HTML>");

QELContactEMailPtr email(const QString& address, std::optional<qint64> location)
{
    auto e = std::make_shared<QELContactEMail>();
    e->emailAddress = address;
    e->locationType = location;
    return e;
}

QELContactTelephonePtr telephone(const QString& number, std::optional<qint64> location,
                                 qint64 cell = 0, qint64 fax = 0)
{
    auto t = std::make_shared<QELContactTelephone>();
    t->telephoneNumber = number;
    t->locationType = location;
    t->isCell = cell;
    t->isFax = fax;
    return t;
}

QELContactAddressPtr address(std::optional<qint64> location, std::optional<QString> street,
                             std::optional<QString> city, std::optional<QString> postCode,
                             std::optional<QString> country = std::nullopt)
{
    auto a = std::make_shared<QELContactAddress>();
    a->location = location;
    a->streetAddress = std::move(street);
    a->locality = std::move(city);
    a->postCode = std::move(postCode);
    a->country = std::move(country);
    // Never shown on the page.
    a->region = QStringLiteral("Region");
    a->countryCode = QStringLiteral("xx");
    a->postOfficeBox = QStringLiteral("PO 9");
    return a;
}

QByteArray pngOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TEST(ContactPage, AContactWithEverySectionGivesThePageInItsOrder)
{
    QELContactPtr ann =
        makeContact(1, QStringLiteral("Ann"), QStringLiteral("Lee"), QStringLiteral("Lee Imports"));
    ann->role = QStringLiteral("Founder");
    ann->title = QStringLiteral("Director");
    ann->emails = {email(QStringLiteral("ann@example.com"), 1),
                   email(QStringLiteral("ann@lee.example"), std::nullopt)};
    ann->telephones = {telephone(QStringLiteral("+1 555 0100"), 2, 1),
                       telephone(QStringLiteral("+1 555 0199"), 1, 0, 1)};
    ann->addresses = {address(2, QStringLiteral("1 Harbour Road"), QStringLiteral("Portland"),
                              QStringLiteral("97201"), QStringLiteral("USA"))};
    ann->url = QStringLiteral("https://www.example.com/ann");
    ann->note = QStringLiteral("Met at the fair.\nLikes tea.");

    const QString expected =
        header(QStringLiteral("<h1>Lee, Ann</h1><h2>Lee Imports</h2>\r\n<h3>Founder</h3>\r\n"
                              "<h3>Director</h3>\r\n"))
        + QStringLiteral("<table>\r\n<h3>") + L("EMAILHEADER") + QStringLiteral("</h3>\r\n")
        + QStringLiteral("<tr>\r\n<td align='right'>") + L("HOMEHEADER")
        + QStringLiteral(" :</td><td><a href='mailto:ann@example.com'>ann@example.com</a>\r\n"
                         "</td>\r\n</tr>\r\n")
        + QStringLiteral("<tr>\r\n<td align='right'></td><td><a href='mailto:ann@lee.example'>"
                         "ann@lee.example</a>\r\n</td>\r\n</tr>\r\n</table>\r\n")
        + QStringLiteral("<h3>") + L("TELEPHONEHEADER") + QStringLiteral("</h3>\r\n<table>\r\n")
        + QStringLiteral("<tr>\r\n<td align='right'>") + L("WORKHEADER") + L("MOBILELABEL")
        + QStringLiteral(" :</td><td>+1 555 0100</td>\r\n</tr>\r\n")
        + QStringLiteral("<tr>\r\n<td align='right'>") + L("HOMEHEADER") + L("FAXLABEL")
        + QStringLiteral(" :</td><td>+1 555 0199</td>\r\n</tr>\r\n</table>\r\n")
        + QStringLiteral("<h3>") + L("ADDRESSESHEADER") + QStringLiteral("</h3>\r\n<table>\r\n")
        + QStringLiteral("<tr valign='top'>\r\n<td align='right'>") + L("WORKHEADER")
        + QStringLiteral(" :</td><td>1 Harbour Road<br/>Portland<br/>USA<br/>97201<br/></td>\r\n"
                         "</tr>\r\n</table>\r\n")
        + QStringLiteral("<h3>Web</h3>\r\n<a href=\"https://www.example.com/ann\">"
                         "https://www.example.com/ann</a>\r\n")
        + QStringLiteral("<h3>") + L("NOTEHEADER")
        + QStringLiteral("</h3>\r\nMet at the fair.<br/>Likes tea.\r\n") + kFooter;
    QImage picture;
    EXPECT_EQ(pageWithoutPicture(Generator::generateHTMLForContact(*ann), &picture), expected);
    EXPECT_EQ(picture.size(), QSize(75, 75));
}

TEST(ContactPage, AnOrganisationAloneGivesAnEmptyHeadingAndAPlainGreyCircle)
{
    QELContactPtr dental = makeContact(2, QString(), QString(), QStringLiteral("Northwind Dental"));
    ASSERT_EQ(dental->FN, QString());
    QImage picture;
    EXPECT_EQ(pageWithoutPicture(Generator::generateHTMLForContact(*dental), &picture),
              header(QStringLiteral("<h1></h1><h2>Northwind Dental</h2>\r\n")) + kFooter);
    ASSERT_EQ(picture.size(), QSize(75, 75));
    // No initials: the whole circle is the one grey.
    for (int y = 10; y < 65; y += 3) {
        for (int x = 10; x < 65; x += 3) {
            if (QLineF(QPointF(x, y), QPointF(37.5, 37.5)).length() < 34) {
                ASSERT_EQ(picture.pixelColor(x, y).rgb(),
                          QELAddressBookImage::backgroundColor().rgb())
                    << x << "," << y;
            }
        }
    }
}

TEST(ContactPage, StylesHaveTheirTwelvePiecesWithTheSinglePercentSign)
{
    const QString styles = Generator::_styles();
    EXPECT_TRUE(styles.startsWith(QStringLiteral("<STYLE type='text/css'>\r\nbody {")));
    EXPECT_TRUE(styles.endsWith(QStringLiteral("table { margin-left:20px;}\r\n</STYLE>\r\n")));
    EXPECT_TRUE(styles.contains(QStringLiteral("top:50%;")));
    EXPECT_FALSE(styles.contains(QStringLiteral("%%")));
    EXPECT_EQ(styles.count(QStringLiteral("\r\n")), 7);
    // The header's element rules run on without line breaks.
    EXPECT_TRUE(styles.contains(QStringLiteral("margin:0px;              }#header h2{")));
}

TEST(ContactPage, RowCaptionsFollowLocationAndFlags)
{
    struct Case {
        const char* name;
        std::optional<qint64> location;
        qint64 cell;
        qint64 fax;
        QString expected;
    };
    const Case cases[] = {
        {"work mobile", 2, 1, 0, L("WORKHEADER") + L("MOBILELABEL") + QStringLiteral(" :")},
        {"home", 1, 0, 0, L("HOMEHEADER") + QStringLiteral(" :")},
        {"work fax", 2, 0, 1, L("WORKHEADER") + L("FAXLABEL") + QStringLiteral(" :")},
        {"mobile only", std::nullopt, 1, 0, (L("MOBILELABEL") + QStringLiteral(" :")).trimmed()},
        {"mobile fax, other location", 3, 1, 1,
         (L("MOBILELABEL") + L("FAXLABEL") + QStringLiteral(" :")).trimmed()},
        {"nothing", std::nullopt, 0, 0, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(
            Generator::telephoneLabel(*telephone(QStringLiteral("1"), c.location, c.cell, c.fax)),
            c.expected);
    }
    EXPECT_EQ(Generator::emailLabel(*email(QStringLiteral("a@b"), 2)),
              L("WORKHEADER") + QStringLiteral(" :"));
    EXPECT_EQ(Generator::emailLabel(*email(QStringLiteral("a@b"), std::nullopt)), QString());
    EXPECT_EQ(Generator::addressLabel(*address(1, std::nullopt, std::nullopt, std::nullopt)),
              L("HOMEHEADER") + QStringLiteral(" :"));
    EXPECT_EQ(
        Generator::addressLabel(*address(std::nullopt, std::nullopt, std::nullopt, std::nullopt)),
        QString());
}

TEST(ContactPage, AnAddressShowsItsSetPartsEachWithABreak)
{
    QELContactPtr contact = makeContact(3, QStringLiteral("Bo"), QStringLiteral("Ek"));
    contact->addresses = {
        address(std::nullopt, std::nullopt, QStringLiteral("Uppsala"), QStringLiteral("75220")),
        address(1, QString(), QStringLiteral("Lund"), std::nullopt)};
    const QString page = Generator::generateHTMLForContact(*contact);
    EXPECT_TRUE(page.contains(QStringLiteral("<td align='right'></td><td>Uppsala<br/>75220<br/>"
                                             "</td>")));
    // An empty street gives no empty line.
    EXPECT_TRUE(page.contains(QStringLiteral(" :</td><td>Lund<br/></td>")));
    EXPECT_FALSE(page.contains(QStringLiteral("Region")));
    EXPECT_FALSE(page.contains(QStringLiteral("PO 9")));
}

// Device text never becomes mark-up, a script link or a header of its own.
TEST(ContactPage, EveryValueIsEscapedAndOnlyWebAddressesBecomeLinks)
{
    struct Case {
        const char* name;
        std::function<void(QELContact&)> set;
        QStringList present;
        QStringList absent;
    };
    const QString script = QStringLiteral("<script>alert(1)</script>");
    const QString escapedScript = QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;");
    const std::vector<Case> cases = {
        {"name",
         [&](QELContact& c) { c.FN = script; },
         {"<h1>" + escapedScript + "</h1>"},
         {"<script>"}},
        {"organisation",
         [&](QELContact& c) { c.organisation = QStringLiteral("A & B <i>"); },
         {"<h2>A &amp; B &lt;i&gt;</h2>"},
         {"<i>"}},
        {"role and title",
         [&](QELContact& c) {
             c.role = QStringLiteral("<b>boss</b>");
             c.title = QStringLiteral("\"chief\"");
         },
         {"<h3>&lt;b&gt;boss&lt;/b&gt;</h3>", "<h3>&quot;chief&quot;</h3>"},
         {"<b>"}},
        {"note with mark-up and lines",
         [&](QELContact& c) { c.note = QStringLiteral("<img src=x onerror=y>\r\nbye\rnow"); },
         {"&lt;img src=x onerror=y&gt;<br/>bye<br/>now\r\n"},
         {"<img src=x"}},
        {"telephone",
         [&](QELContact& c) { c.telephones = {telephone(script, 1)}; },
         {"<td>" + escapedScript + "</td>"},
         {"<script>"}},
        {"address",
         [&](QELContact& c) {
             c.addresses = {address(2, QStringLiteral("1 <Main>\nFlat 2"), QStringLiteral("A&B"),
                                    std::nullopt)};
         },
         {"<td>1 &lt;Main&gt;<br/>Flat 2<br/>A&amp;B<br/></td>"},
         {"<Main>"}},
        {"e-mail with quotes and header fields",
         [&](QELContact& c) { c.emails = {email(QStringLiteral("x'@a.b?cc=z&bcc=y\"<"), 1)}; },
         {"href='mailto:x%27@a.b%3Fcc%3Dz%26bcc%3Dy%22%3C'>x'@a.b?cc=z&amp;bcc=y&quot;&lt;</a>"},
         {"bcc=y\"", "mailto:x'"}},
        {"script address",
         [&](QELContact& c) { c.url = QStringLiteral("javascript:alert('hi')"); },
         {"<h3>Web</h3>\r\njavascript:alert('hi')\r\n"},
         {"<a href=\"javascript"}},
        {"file address",
         [&](QELContact& c) { c.url = QStringLiteral("file:///etc/passwd"); },
         {"<h3>Web</h3>\r\nfile:///etc/passwd\r\n"},
         {"href=\"file"}},
        {"address without scheme",
         [&](QELContact& c) { c.url = QStringLiteral("example.com"); },
         {"<h3>Web</h3>\r\nexample.com\r\n"},
         {"<a href"}},
        {"web address with a quote",
         [&](QELContact& c) { c.url = QStringLiteral("https://example.com/a\"onclick=b<"); },
         {"<a href=\"https://example.com/a%22onclick=b%3C\">https://example.com/a&quot;onclick=b"
          "&lt;</a>"},
         {"a\"onclick"}},
        {"upper-case scheme",
         [&](QELContact& c) { c.url = QStringLiteral("HTTP://Example.com/"); },
         {"<a href=\"http://example.com/\">HTTP://Example.com/</a>"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QELContactPtr contact = makeContact(4, QStringLiteral("Ann"), QStringLiteral("Lee"));
        c.set(*contact);
        const QString page = pageWithoutPicture(Generator::generateHTMLForContact(*contact));
        for (const QString& text : c.present)
            EXPECT_TRUE(page.contains(text)) << text.toStdString() << "\n" << page.toStdString();
        for (const QString& text : c.absent)
            EXPECT_FALSE(page.contains(text)) << text.toStdString();
    }
}

TEST(ContactPicture, InitialsAreWhiteCapitalsOnAGreyCircle)
{
    const QImage picture =
        QELAddressBookImage::generateAddressBookImageWithFirstNameSecondNameContactImageSize(
            QStringLiteral("anna"), QStringLiteral("lee"), QImage(), 75.0);
    ASSERT_EQ(picture.size(), QSize(75, 75));
    EXPECT_EQ(picture.format(), QImage::Format_ARGB32_Premultiplied);
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(74, 0), QPoint(0, 74), QPoint(74, 74), QPoint(5, 5)})
        EXPECT_EQ(qAlpha(picture.pixel(corner)), 0) << corner.x() << "," << corner.y();
    EXPECT_EQ(picture.pixelColor(37, 3).rgb(), QELAddressBookImage::backgroundColor().rgb());
    EXPECT_EQ(picture.pixelColor(37, 72).rgb(), QELAddressBookImage::backgroundColor().rgb());
    // White text in the middle band, left and right of the centre (two letters).
    int whiteLeft = 0;
    int whiteRight = 0;
    int whiteOutside = 0;
    for (int y = 0; y < 75; ++y) {
        for (int x = 0; x < 75; ++x) {
            // Opaque pixels only: the circle's soft edge has no colour to speak of.
            const QColor c = picture.pixelColor(x, y);
            if (c.alpha() < 255 || c.red() < 250 || c.green() < 250 || c.blue() < 250)
                continue;
            if (y < 20 || y > 55)
                ++whiteOutside;
            else if (x < 37)
                ++whiteLeft;
            else
                ++whiteRight;
        }
    }
    EXPECT_GT(whiteLeft, 20);
    EXPECT_GT(whiteRight, 20);
    EXPECT_EQ(whiteOutside, 0);

    // The same picture for the capitals, a different one for other letters.
    EXPECT_EQ(QELAddressBookImage::generateAddressBookImageWithFirstNameSecondNameContactImageSize(
                  QStringLiteral("Anna"), QStringLiteral("Lee"), QImage(), 75.0),
              picture);
    EXPECT_NE(QELAddressBookImage::generateAddressBookImageWithFirstNameSecondNameContactImageSize(
                  QStringLiteral("Bo"), QStringLiteral("Lee"), QImage(), 75.0),
              picture);
    // Blank names give no initials.
    const QImage blank =
        QELAddressBookImage::generateAddressBookImageWithFirstNameSecondNameContactImageSize(
            QStringLiteral("   "), QString(), QImage(), 75.0);
    EXPECT_EQ(blank.pixelColor(37, 37).rgb(), QELAddressBookImage::backgroundColor().rgb());
}

TEST(ContactPicture, APortraitPhotoIsCroppedToItsCentredSquare)
{
    // Four bands of 50 rows: the centred square holds only the middle two.
    QImage portrait(100, 200, QImage::Format_RGB32);
    const QRgb bands[] = {qRgb(0, 255, 0), qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 100; ++x)
            portrait.setPixel(x, y, bands[y / 50]);
    const QImage picture =
        QELAddressBookImage::generateAddressBookImageWithFirstNameSecondNameContactImageSize(
            QStringLiteral("Ann"), QStringLiteral("Lee"), portrait, 75.0);
    ASSERT_EQ(picture.size(), QSize(75, 75));
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);
    EXPECT_EQ(picture.pixelColor(37, 5).rgb(), bands[1]);
    EXPECT_EQ(picture.pixelColor(37, 30).rgb(), bands[1]);
    EXPECT_EQ(picture.pixelColor(37, 45).rgb(), bands[2]);
    EXPECT_EQ(picture.pixelColor(37, 70).rgb(), bands[2]);
    for (int y = 2; y < 73; ++y) {
        const QRgb c = picture.pixelColor(37, y).rgb();
        EXPECT_NE(c, bands[0]) << y;
        EXPECT_NE(c, bands[3]) << y;
    }

    // A landscape photo: the centred columns.
    QImage landscape(200, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            landscape.setPixel(x, y, bands[x / 50]);
    const QImage wide =
        QELAddressBookImage::generateAddressBookImageWithFirstNameSecondNameContactImageSize(
            QString(), QString(), landscape, 75.0);
    EXPECT_EQ(wide.pixelColor(5, 37).rgb(), bands[1]);
    EXPECT_EQ(wide.pixelColor(70, 37).rgb(), bands[2]);
}

TEST(ContactPicture, ThePagesPictureIsThePhotoOrTheInitialsForBadBytes)
{
    QImage blue(40, 40, QImage::Format_RGB32);
    blue.fill(qRgb(0, 0, 255));
    struct Case {
        const char* name;
        QByteArray bytes;
        QRgb centre;
    };
    const QByteArray png = pngOf(blue);
    const Case cases[] = {
        {"png photo", png, qRgb(0, 0, 255)},
        {"no picture", QByteArray(), QELAddressBookImage::backgroundColor().rgb()},
        {"garbage", QByteArray("not an image at all"),
         QELAddressBookImage::backgroundColor().rgb()},
        {"truncated", png.left(40), QELAddressBookImage::backgroundColor().rgb()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // No names: without a photo the circle is plain grey.
        QELContactPtr contact = makeContact(5, QString(), QString(), QStringLiteral("Org"));
        contact->picture = c.bytes;
        QImage picture;
        pageWithoutPicture(Generator::generateHTMLForContact(*contact), &picture);
        ASSERT_EQ(picture.size(), QSize(75, 75));
        EXPECT_EQ(picture.pixelColor(37, 37).rgb(), c.centre);
    }
}

TEST(ContactPicture, ALargePhotoIsDecodedSmallerButStillSharp)
{
    QImage big(3000, 2000, QImage::Format_RGB32);
    big.fill(qRgb(200, 30, 30));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    big.save(&buffer, "JPEG", 80);
    const QImage decoded = QELAddressBookImage::decodePicture(jpeg, 75);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_LT(decoded.height(), 2000);
    EXPECT_GE(decoded.height(), 300);
    EXPECT_NEAR(double(decoded.width()) / decoded.height(), 1.5, 0.01);
}

} // namespace
