// SPDX-License-Identifier: GPL-3.0-or-later
// The two book jobs: the copy to a folder and the transfer into the music
// library host, over a simulated device with the tests' library.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTimeZone>
#include <QUrl>

#include "BooksFixture.h"
#include "BooksTestSupport.h"
#include "FolderMediaLibraryHost.h"
#include "Plist.h"
#include "QELBookDetails.h"
#include "QELBooksReader.h"
#include "QELCopyBooks.h"
#include "QELDeviceInterface.h"
#include "QELTransferBooks.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"

using namespace BooksTest;

namespace {

// Keeps the failed count each end event carries.
class CountingDelegate : public RecordingCopyDelegate {
public:
    void OnAllItemsCopiedEventWithTypeNotCopied(int copyType, quint32 notCopied) override
    {
        failed.push_back(notCopied);
        RecordingCopyDelegate::OnAllItemsCopiedEventWithTypeNotCopied(copyType, notCopied);
    }
    std::vector<quint32> failed;
};

QELBookDetails book(const QString& name, const QString& path, std::optional<QString> extension,
                    const QString& id = QString())
{
    QELBookDetails details;
    details.setName(name);
    details.setPath(path);
    details.setExtension(extension);
    details.setPersistentID(id);
    return details;
}

QVariantList queueOf(const QList<QELBookDetails>& books)
{
    QVariantList queue;
    for (const QELBookDetails& each : books)
        queue.append(QVariant::fromValue(each));
    return queue;
}

QStringList beginsOf(const RecordingCopyDelegate& events)
{
    QStringList begins;
    for (const auto& call : events.begins())
        begins << QStringLiteral("%1 %2/%3")
                      .arg(call.itemDescription)
                      .arg(call.itemNumber)
                      .arg(call.itemCount);
    return begins;
}

class BookJobs : public ::testing::Test {
protected:
    void SetUp() override
    {
        addLibrary(m_phone.builder());
        m_phone.builder().afcFile(QStringLiteral("Books/Big.pdf"), bigBook());
        ASSERT_TRUE(m_phone.connect());
        m_target = m_phone.scratch(QStringLiteral("Chosen"));
        m_copy.setDelegate(&m_events);
        m_copy.setDeviceInteface(&m_phone.device());
        m_transfer.setDelegate(&m_events);
        m_transfer.setDeviceInteface(&m_phone.device());
        m_music = m_phone.scratch(QStringLiteral("Music"));
        // The library folder the host keeps: "iTunes" in the music folder.
        ASSERT_TRUE(QDir().mkpath(m_music + QStringLiteral("/iTunes")));
        m_host = std::make_shared<FolderMediaLibraryHost>(m_music);
        m_transfer.setMediaLibraryHost(m_host);
    }

    static QByteArray bigBook() { return QByteArray(12 * 1024 * 1024 + 5, 'b'); }

    void copy(const QList<QELBookDetails>& books, const QString& folder)
    {
        const size_t runs = m_events.allItemsCopied().size();
        m_copy.cancelCopy();
        m_copy.setItemQueue(queueOf(books));
        m_copy.setBaseCopyPath(folder);
        m_copy.startCopy();
        ASSERT_TRUE(m_events.waitForAllItemsCopied(runs + 1));
    }
    void transfer(const QList<QELBookDetails>& books)
    {
        const size_t runs = m_events.allItemsCopied().size();
        m_transfer.cancelCopy();
        m_transfer.setItemQueue(queueOf(books));
        m_transfer.startCopy();
        ASSERT_TRUE(m_events.waitForAllItemsCopied(runs + 1));
    }
    QString booksFolder() const { return m_music + QStringLiteral("/iTunes/iTunes Media/Books"); }
    // The names of the library's entries.
    QStringList libraryNames() const
    {
        QStringList names;
        const QVariantMap tracks = Plist::readFile(m_music + QStringLiteral("/Orvane Library.xml"))
                                       .toMap()
                                       .value(QStringLiteral("Tracks"))
                                       .toMap();
        for (const QVariant& track : tracks)
            names << track.toMap().value(QStringLiteral("Name")).toString();
        names.sort();
        return names;
    }

    Device m_phone;
    CountingDelegate m_events;
    QELCopyBooks m_copy;
    QELTransferBooks m_transfer;
    QString m_target;
    QString m_music;
    std::shared_ptr<FolderMediaLibraryHost> m_host;
};

TEST_F(BookJobs, TheCopyTakesPDFBooksAsFilesAndFoldersAndPassesOverEPubs)
{
    copy({book("Moby Dick", "/Books/B2.epub", QString("epub"), "B2"),
          book("Report", "/Books/Report.pdf", QString("pdf"), "A1"),
          book("Folder Book", "/Books/C3", std::nullopt, "C3")},
         m_target);
    // The ePub gets no event, yet the count counts it.
    EXPECT_EQ(beginsOf(m_events), (QStringList{"Report 2/3", "Folder Book 3/3"}));
    EXPECT_EQ(m_events.failed.back(), 0u);
    EXPECT_EQ(
        localTree(m_target),
        (QStringList{"Folder Book.pdf/", "Folder Book.pdf/Appendix/",
                     "Folder Book.pdf/Appendix/Part 2.pdf", "Folder Book.pdf/Report Part 1.pdf",
                     "Folder Book.pdf/iTunesArtwork", "Report.pdf"}));
    EXPECT_EQ(readLocalFile(m_target + "/Report.pdf"), reportPdf());
    EXPECT_EQ(m_copy.skippedItemCount(), 0u);
}

// The bar follows the PDFs' bytes, inside the 12 MiB one too, and ends full;
// a book that is a folder has no size, and the bar counts items.
TEST_F(BookJobs, TheCopyReportsTheBytesOfItsPDFs)
{
    copy({book("Report", "/Books/Report.pdf", QString("pdf"), "A1"),
          book("Big", "/Books/Big.pdf", QString("pdf"), "B9")},
         m_target);
    const quint64 total = quint64(reportPdf().size() + bigBook().size());
    EXPECT_GE(m_events.expectBytesGrowTo(total, 2, quint64(reportPdf().size()), total), 2);
    EXPECT_EQ(readLocalFile(m_target + "/Big.pdf"), bigBook());

    const size_t before = m_events.byteSteps().size();
    copy({book("Report", "/Books/Report.pdf", QString("pdf"), "A1"),
          book("Folder Book", "/Books/C3", std::nullopt, "C3")},
         m_phone.scratch(QStringLiteral("Other")));
    const auto second = m_events.byteSteps();
    ASSERT_GT(second.size(), before);
    for (size_t i = before; i < second.size(); ++i)
        EXPECT_EQ(second[i].byteCount, 0u);
}

// Without a folder, or without books, a run only reports its end.
TEST_F(BookJobs, ARunWithoutAFolderOrItemsOnlyReportsItsEnd)
{
    copy({book("Report", "/Books/Report.pdf", QString("pdf"))}, QString());
    copy({}, m_target);
    transfer({});
    EXPECT_EQ(m_events.order(), (QStringList{"all done", "all done", "all done"}));
    EXPECT_TRUE(localTree(m_target).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(booksFolder()));
}

// Every name becomes one safe file in the chosen folder, numbered within the
// run; a second run keeps every file of the first and counts its books as
// skipped.
TEST_F(BookJobs, NamesAreSafeAndNumberedAndAnEarlierRunsFilesStay)
{
    const QString pdf = QStringLiteral("/Books/F6.pdf");
    const QList<QELBookDetails> books{
        book("Report", "/Books/Report.pdf", QString("pdf"), "A1"),
        book("Report", pdf, QString("PDF"), "R2"),
        book("a/b", pdf, QString("pdf"), "D4"),
        book("..", pdf, QString("pdf"), "E5"),
        book("", pdf, std::nullopt, "F6"),
        book("", pdf, std::nullopt, ""),
        book(".hidden", pdf, std::nullopt, "H1"),
        book("../../escape", pdf, std::nullopt, "H2"),
        book("Café ünï", pdf, QString("pdf"), "G7"),
    };
    copy(books, m_target);
    EXPECT_EQ(m_events.failed.back(), 0u);
    EXPECT_EQ(localTree(m_target),
              (QStringList{"Café ünï.pdf", "E5.pdf", "F6 1.pdf", "F6.pdf", "Report 1.pdf",
                           "Report.pdf", "___.._escape.pdf", "_hidden.pdf", "a_b.pdf"}));
    EXPECT_EQ(readLocalFile(m_target + "/Report.pdf"), reportPdf());
    EXPECT_EQ(m_copy.skippedItemCount(), 0u);

    QFile mine(m_target + "/Report.pdf");
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly | QIODevice::Truncate));
    mine.write("the user's own changes");
    mine.close();
    copy(books, m_target);
    EXPECT_EQ(m_copy.skippedItemCount(), quint32(books.size()));
    EXPECT_EQ(m_events.failed.back(), 0u);
    EXPECT_EQ(readLocalFile(m_target + "/Report.pdf"), "the user's own changes");
    EXPECT_EQ(localTree(m_target).size(), 9);
}

// A book the device holds no file of, or whose file is gone, is not copied
// and counts as such.
TEST_F(BookJobs, ABookWithoutAFileOnTheDeviceCountsAsNotCopied)
{
    copy({book("Cloud Only", QString(), std::nullopt, "H8"),
          book("Gone", "/Books/Gone.pdf", QString("pdf"), "G1"),
          book("Report", "/Books/Report.pdf", QString("pdf"), "A1")},
         m_target);
    EXPECT_EQ(m_events.failed.back(), 2u);
    EXPECT_EQ(localTree(m_target), QStringList{"Report.pdf"});
}

// The transfer: a PDF stays a PDF, an ePub folder becomes "<name>.epub",
// both are added to the library; a name the library holds as a book is
// skipped, a music track of that name is no reason to skip.
TEST_F(BookJobs, TheTransferCopiesIntoTheLibraryAndSkipsBooksItHolds)
{
    const QList<QELBookDetails> books{
        book("Report", "/Books/Report.pdf", QString("pdf"), "A1"),
        book("Moby Dick", "/Books/B2.epub", QString("epub"), "B2"),
        book("Folder Book", "/Books/C3", std::nullopt, "C3"),
    };
    // A song named like a book.
    const QString song = m_music + QStringLiteral("/iTunes/iTunes Media/Music/Folder Book.mp3");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(song).path()));
    QFile(song).open(QIODevice::WriteOnly);
    ASSERT_TRUE(m_host->add(song));
    ASSERT_FALSE(m_host->holdsBookNamed(QStringLiteral("Folder Book")));

    transfer(books);
    EXPECT_EQ(beginsOf(m_events), (QStringList{"Report 1/3", "Moby Dick 2/3", "Folder Book 3/3"}));
    EXPECT_EQ(m_events.failed.back(), 0u);
    EXPECT_EQ(m_transfer.skippedItemCount(), 0u);
    const QStringList tree = localTree(booksFolder());
    EXPECT_TRUE(tree.contains("Report.pdf")) << tree.join(", ").toStdString();
    EXPECT_TRUE(tree.contains("Moby Dick.epub/OEBPS/content.opf"));
    EXPECT_TRUE(tree.contains("Folder Book.pdf/Appendix/Part 2.pdf"));
    EXPECT_FALSE(tree.contains("Report.epub"));
    EXPECT_EQ(readLocalFile(booksFolder() + "/Report.pdf"), reportPdf());
    EXPECT_EQ(libraryNames(), (QStringList{"Folder Book", "Folder Book", "Moby Dick", "Report"}));
    EXPECT_TRUE(m_host->holdsBookNamed(QStringLiteral("Report")));
    EXPECT_TRUE(m_host->holdsBookNamed(QStringLiteral("Moby Dick")));

    // Again: every book is in the library now; nothing is copied or added twice.
    QFile::remove(booksFolder() + "/Report.pdf");
    transfer(books);
    EXPECT_EQ(m_transfer.skippedItemCount(), 3u);
    EXPECT_EQ(m_events.failed.back(), 0u);
    EXPECT_FALSE(QFileInfo::exists(booksFolder() + "/Report.pdf"));
    EXPECT_EQ(libraryNames().size(), 4);
}

// Cancel stops a transfer in the middle of a long book: no part of it stays,
// nothing is added, the next book is not begun, and the end still comes.
TEST_F(BookJobs, CancelStopsATransferInTheMiddleOfALongBook)
{
    m_phone.setOnCommunicating([this](const QString& path) {
        if (path.endsWith(QLatin1String("Big.pdf")))
            m_transfer.cancelCopy();
    });
    transfer({book("Big", "/Books/Big.pdf", QString("pdf"), "Z1"),
              book("Report", "/Books/Report.pdf", QString("pdf"), "A1")});
    m_phone.setOnCommunicating({});
    EXPECT_EQ(beginsOf(m_events), QStringList{"Big 1/2"});
    EXPECT_EQ(m_events.failed.back(), 0u);
    EXPECT_TRUE(localTree(booksFolder()).isEmpty());
    EXPECT_TRUE(libraryNames().isEmpty());

    // The same for the copy to a folder.
    m_phone.setOnCommunicating([this](const QString& path) {
        if (path.endsWith(QLatin1String("Big.pdf")))
            m_copy.cancelCopy();
    });
    copy({book("Big", "/Books/Big.pdf", QString("pdf"), "Z1"),
          book("Report", "/Books/Report.pdf", QString("pdf"), "A1")},
         m_target);
    m_phone.setOnCommunicating({});
    EXPECT_TRUE(localTree(m_target).isEmpty());

    // Not cancelled, the whole book arrives.
    transfer({book("Big", "/Books/Big.pdf", QString("pdf"), "Z1")});
    EXPECT_EQ(readLocalFile(booksFolder() + "/Big.pdf"), bigBook());
}

// Lists the device writes name no kind ("Extension", "Flavor" are absent):
// the path's extension decides, as on the device. An unpacked ePub is then
// no PDF: the copy to a folder passes it over instead of copying its folder
// as "<title>.pdf", the transfer names it "<title>.epub", and the PDF beside
// it stays a PDF.
TEST_F(BookJobs, BooksOfListsWithoutKindKeysTakeTheKindOfTheirPath)
{
    const QString root = m_phone.afcRoot();
    auto put = [&root](const QString& path, const QByteArray& bytes) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(root + '/' + path).path()));
        QFile file(root + '/' + path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    for (const auto& [path, bytes] : BooksFixture::epubFolder(QStringLiteral("Heal Thyself")))
        put(QStringLiteral("Books/Purchases/Heal Thyself.epub/") + path, bytes);
    put(QStringLiteral("Books/SQL - The complete reference.pdf"), reportPdf());
    const QDateTime imported(QDate(2023, 7, 15), QTime(14, 33, 32), QTimeZone::utc());
    const QVariantMap pdfEntry{
        {QStringLiteral("Inserted-By-iBooks"), true},
        {QStringLiteral("Name"), QStringLiteral("SQL - The complete reference")},
        {QStringLiteral("Package Hash"), QStringLiteral("4BBF070DD0974E62AAD0E24F14AECEAA")},
        {QStringLiteral("Path"), QStringLiteral("SQL - The complete reference.pdf")},
        {QStringLiteral("Persistent ID"), QStringLiteral("4BBF070DD0974E62")},
        {QStringLiteral("Persistent ID Generated On Device"), false},
        {QStringLiteral("importDate"), imported},
    };
    const QVariantMap epubEntry{
        {QStringLiteral("Artist"), QStringLiteral("astolat")},
        {QStringLiteral("Inserted-By-iBooks"), true},
        {QStringLiteral("Name"), QStringLiteral("Heal Thyself")},
        {QStringLiteral("Package Hash"), QStringLiteral("018FAD7D0C8E0A9B6B0AB9058D59880D")},
        {QStringLiteral("Path"), QStringLiteral("Heal Thyself.epub")},
        {QStringLiteral("Persistent ID"), QStringLiteral("6C60A4726577FBC9")},
        {QStringLiteral("importDate"), imported},
    };
    put(QStringLiteral("Books/Books.plist"),
        Plist::serialize(QVariantMap{{QStringLiteral("Books"), QVariantList{pdfEntry}}},
                         Plist::Format::Binary));
    put(QStringLiteral("Books/Purchases/Purchases.plist"),
        Plist::serialize(QVariantMap{{QStringLiteral("Books"), QVariantList{epubEntry}}},
                         Plist::Format::Xml));

    const QList<QELBookDetails> books = QELBooksReader::readBooks(m_phone.device()).books;
    ASSERT_EQ(books.size(), 2);
    EXPECT_EQ(books.at(0).kindText(), QStringLiteral("pdf"));
    EXPECT_TRUE(books.at(0).isPDFKind());
    EXPECT_EQ(books.at(1).kindText(), QStringLiteral("epub"));
    EXPECT_FALSE(books.at(1).isPDFKind());
    EXPECT_EQ(books.at(1).path(), QStringLiteral("/Books/Purchases/Heal Thyself.epub"));
    EXPECT_EQ(books.at(1).artist(), QStringLiteral("astolat"));

    copy(books, m_target);
    EXPECT_EQ(beginsOf(m_events), QStringList{"SQL - The complete reference 1/2"});
    EXPECT_EQ(localTree(m_target), QStringList{"SQL - The complete reference.pdf"});
    EXPECT_EQ(readLocalFile(m_target + "/SQL - The complete reference.pdf"), reportPdf());

    transfer(books);
    const QStringList tree = localTree(booksFolder());
    EXPECT_TRUE(tree.contains("Heal Thyself.epub/OEBPS/content.opf"))
        << tree.join(", ").toStdString();
    EXPECT_TRUE(tree.contains("SQL - The complete reference.pdf"));
    EXPECT_FALSE(tree.contains("Heal Thyself.pdf/"));
    EXPECT_EQ(m_events.failed.back(), 0u);
}

} // namespace
