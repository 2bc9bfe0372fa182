// SPDX-License-Identifier: GPL-3.0-or-later
// The books lists and covers read from a simulated device, and the lists'
// parser on damaged and hostile bytes.
#include <mutex>

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "BooksFixture.h"
#include "BooksTestSupport.h"
#include "QELBooksListParser.h"
#include "QELBooksReader.h"
#include "QELDeviceInterface.h"
#include "QtPrinters.h"

using namespace BooksTest;
using BooksFixture::Entry;

namespace {

enum class Cover { Default, Red, Green, Blue };

struct Expected {
    QString name;
    QString artist;
    QString path; // null: none
    std::optional<QString> extension;
    QString persistentID;
    Cover cover;
    bool pdfKind;
};

Cover coverKind(const QImage& cover)
{
    if (cover.cacheKey() == QELBooksReader::defaultCover().cacheKey())
        return Cover::Default;
    switch (cover.pixel(cover.width() / 2, cover.height() / 2) & 0xffffff) {
    case kRed:
        return Cover::Red;
    case kGreen:
        return Cover::Green;
    case kBlue:
        return Cover::Blue;
    default:
        return Cover::Default;
    }
}

const QList<Expected> kLibrary{
    {"Report", "Ann Author", "/Books/Report.pdf", QString("pdf"), "A1", Cover::Default, true},
    {"Moby Dick", "Herman Melville", "/Books/B2.epub", QString("epub"), "B2", Cover::Red, false},
    {"Folder Book", "", "/Books/C3", std::nullopt, "C3", Cover::Green, true},
    {"a/b", "", "/Books/D4.epub", QString("EPUB"), "D4", Cover::Default, false},
    {"..", "", "/Books/E5.epub", QString("epub"), "E5", Cover::Default, false},
    {"", "", "/Books/F6.pdf", QString("PDF"), "F6", Cover::Default, true},
    {"Café ünï", "Zoë", "/Books/G7.epub", QString("epub"), "G7", Cover::Blue, false},
    {"Bought", "Seller", "/Books/Purchases/P1.epub", QString("epub"), "4242", Cover::Default,
     false},
    {"Cloud Only", "", QString(), QString("epub"), "H8", Cover::Default, false},
};

void expectLibrary(const QList<QELBookDetails>& books)
{
    ASSERT_EQ(books.size(), kLibrary.size());
    for (qsizetype i = 0; i < books.size(); ++i) {
        const QELBookDetails& book = books.at(i);
        const Expected& want = kLibrary.at(i);
        SCOPED_TRACE(want.name.toStdString());
        EXPECT_EQ(book.name(), want.name);
        EXPECT_EQ(book.artist(), want.artist);
        EXPECT_EQ(book.path(), want.path);
        EXPECT_EQ(book.path().isNull(), want.path.isNull());
        EXPECT_EQ(book.extension(), want.extension);
        EXPECT_EQ(book.persistentID(), want.persistentID);
        EXPECT_EQ(coverKind(book.coverArt()), want.cover);
        EXPECT_FALSE(book.coverArt().isNull());
        EXPECT_EQ(book.isPDFKind(), want.pdfKind);
    }
}

class BooksReaderLists : public ::testing::TestWithParam<Plist::Format> {};

// Both lists in list order, in XML and in binary: the main list's entries
// without a path (or with one that climbs out of /Books) are left out, the
// purchase without a path is kept, "DSID" stands in for a missing ID, and a
// cover that is missing, empty or no picture gives the default cover.
TEST_P(BooksReaderLists, ReadsBothListsWithTheirCovers)
{
    Device phone;
    addLibrary(phone.builder(), GetParam());
    ASSERT_TRUE(phone.connect());
    const QELBooksReader::Result result = QELBooksReader::readBooks(phone.device());
    EXPECT_TRUE(result.booksFolderPresent);
    expectLibrary(result.books);
    // A large cover is kept small.
    const QImage blue = result.books.at(6).coverArt();
    EXPECT_LE(std::max(blue.width(), blue.height()), QELBooksReader::kMaxCoverSide);
    // The lists' local copies, named as the program names them.
    EXPECT_EQ(QFileInfo(QELBooksReader::localMainListPath()).fileName(), "Books.plist");
    EXPECT_TRUE(QFileInfo::exists(QELBooksReader::localMainListPath()));
    EXPECT_TRUE(QFileInfo::exists(QELBooksReader::localPurchasesListPath()));
}

INSTANTIATE_TEST_SUITE_P(Formats, BooksReaderLists,
                         ::testing::Values(Plist::Format::Xml, Plist::Format::Binary));

// A stale local copy of a list the device no longer holds is never read.
TEST(BooksReader, AListOnlyAnEarlierReadCopiedIsNotRead)
{
    Device phone;
    phone.builder().afcFolder(QStringLiteral("Books"));
    ASSERT_TRUE(phone.connect());
    QFile stale(QELBooksReader::localMainListPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(BooksFixture::mainList(
        {{QString("Old"), QString("Z9"), {}, {}, QString("Old.pdf"), QString("pdf"), {}}}));
    stale.close();
    const QELBooksReader::Result result = QELBooksReader::readBooks(phone.device());
    EXPECT_TRUE(result.booksFolderPresent);
    EXPECT_TRUE(result.books.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QELBooksReader::localMainListPath()));
}

// Damaged lists give no books from that list and never stop the other one.
TEST(BooksReader, ADamagedListGivesNoBooksAndTheOtherListIsStillRead)
{
    const QByteArray whole = BooksFixture::mainList(
        {{QString("Report"), QString("A1"), {}, {}, QString("Report.pdf"), QString("pdf"), {}}},
        Plist::Format::Binary);
    const QByteArray purchases = BooksFixture::purchasesList(
        {{QString("Bought"), QString("P1"), {}, {}, {}, QString("epub"), {}}});
    struct Case {
        const char* name;
        QByteArray main;
    };
    const Case cases[] = {
        {"empty", QByteArray()},
        {"truncated binary", whole.left(whole.size() / 2)},
        {"truncated xml",
         BooksFixture::mainList({{QString("Report"), {}, {}, {}, QString("R.pdf"), {}, {}}})
             .left(90)},
        {"no dictionary", Plist::serialize(QVariantList{QStringLiteral("Books")})},
        {"Books is no array",
         Plist::serialize(QVariantMap{{QStringLiteral("Books"), QStringLiteral("x")}})},
        {"garbage", QByteArray(4096, '\xff')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device phone;
        phone.builder()
            .afcFile(QStringLiteral("Books/Books.plist"), c.main)
            .afcFile(QStringLiteral("Books/Purchases/Purchases.plist"), purchases);
        ASSERT_TRUE(phone.connect());
        const QELBooksReader::Result result = QELBooksReader::readBooks(phone.device());
        EXPECT_TRUE(result.booksFolderPresent);
        ASSERT_EQ(result.books.size(), 1);
        EXPECT_EQ(result.books.constFirst().name(), QStringLiteral("Bought"));
        EXPECT_TRUE(result.books.constFirst().path().isNull());
    }
}

TEST(BooksReader, ADeviceWithoutTheBooksFolderHasNoBooks)
{
    Device phone;
    phone.builder().afcFile(QStringLiteral("Other/Books.plist"), "x");
    ASSERT_TRUE(phone.connect());
    // The device's own threads log too.
    static std::mutex mutex;
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            std::lock_guard lock(mutex);
            logged << text;
        });
    const QELBooksReader::Result result = QELBooksReader::readBooks(phone.device());
    qInstallMessageHandler(previous);
    std::lock_guard lock(mutex);
    EXPECT_FALSE(result.booksFolderPresent);
    EXPECT_TRUE(result.books.isEmpty());
    EXPECT_TRUE(logged.contains(QStringLiteral("/Books not present")))
        << logged.join("\n").toStdString();
}

// The cover is read by its size only up to the cap; a larger one is not read
// at all (the device's file is sparse, so the test writes nothing large).
TEST(BooksReader, ACoverLargerThanTheCapGivesTheDefaultCover)
{
    Device phone;
    phone.builder()
        .afcFile(QStringLiteral("Books/Big.epub/iTunesArtwork"),
                 BooksFixture::png(8, 8, kRed, kRed))
        .afcFile(QStringLiteral("Books/Small.epub/iTunesArtwork"),
                 BooksFixture::png(8, 8, kGreen, kGreen));
    ASSERT_TRUE(phone.connect());
    QFile big(phone.afcRoot() + QStringLiteral("/Books/Big.epub/iTunesArtwork"));
    ASSERT_TRUE(big.resize(QELBooksReader::kMaxCoverBytes + 1));
    EXPECT_TRUE(QELBooksReader::coverOf(phone.device(), "/Books/Big.epub").isNull());
    EXPECT_EQ(coverKind(QELBooksReader::coverOf(phone.device(), "/Books/Small.epub")),
              Cover::Green);
    EXPECT_TRUE(QELBooksReader::coverOf(phone.device(), "/Books/Missing.epub").isNull());
    EXPECT_TRUE(QELBooksReader::coverOf(phone.device(), QString()).isNull());
}

// The books-app check closes the apps connection whatever the answer.
TEST(BooksReader, TheBooksAppCheckAlwaysClosesTheAppsConnection)
{
    for (const bool installed : {true, false}) {
        SCOPED_TRACE(installed);
        Device phone(installed ? Device::WithBooksApp : Device::WithoutBooksApp);
        ASSERT_TRUE(phone.connect());
        EXPECT_EQ(QELBooksReader::isBooksAppPresent(phone.device()),
                  std::optional<bool>(installed));
        EXPECT_FALSE(phone.device().appsConnectionIsOpen());
        EXPECT_TRUE(phone.callLog().contains(QStringLiteral("Lookup")));
    }
}

// The parser alone: entries of the wrong types are passed over or read as
// text, identifiers given as numbers become decimal text.
TEST(BooksListParser, EntriesOfOtherTypesAreReadAsTextOrPassedOver)
{
    QVariantList books{
        QStringLiteral("not a dictionary"),
        QVariantMap{{QStringLiteral("Name"), qint64(7)},
                    {QStringLiteral("Persistent ID"), qint64(-1)},
                    {QStringLiteral("Path"), QStringLiteral("/Seven.pdf/")},
                    {QStringLiteral("Artist"), QVariantList{}}},
        QVariantMap{{QStringLiteral("Name"), QStringLiteral("Path is a number")},
                    {QStringLiteral("Path"), qint64(3)}},
        QVariantMap{{QStringLiteral("Name"), QStringLiteral("Empty path")},
                    {QStringLiteral("Path"), QString()}},
        QVariantMap{{QStringLiteral("Name"), QStringLiteral("Empty kind")},
                    {QStringLiteral("Path"), QStringLiteral("k.epub")},
                    {QStringLiteral("Extension"), QString()}},
    };
    const QELBooksListParser::List list = QELBooksListParser::parseMainList(
        Plist::serialize(QVariantMap{{QStringLiteral("Books"), books}}, Plist::Format::Binary));
    ASSERT_TRUE(list.readable);
    ASSERT_EQ(list.books.size(), 2);
    EXPECT_EQ(list.books.at(0).name(), QStringLiteral("7"));
    EXPECT_EQ(list.books.at(0).persistentID(), QStringLiteral("18446744073709551615"));
    EXPECT_EQ(list.books.at(0).path(), QStringLiteral("/Books/Seven.pdf"));
    EXPECT_EQ(list.books.at(0).artist(), QString());
    // An extension given as empty text is given: the book is not of the PDF kind.
    EXPECT_EQ(list.books.at(1).extension(), std::optional<QString>(QString()));
    EXPECT_FALSE(list.books.at(1).isPDFKind());

    const QELBooksListParser::List tooLarge =
        QELBooksListParser::parseMainList(QByteArray(QELBooksListParser::kMaxListBytes + 1, ' '));
    EXPECT_FALSE(tooLarge.readable);
    EXPECT_FALSE(tooLarge.error.isEmpty());
}

} // namespace
