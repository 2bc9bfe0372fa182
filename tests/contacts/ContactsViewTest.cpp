// SPDX-License-Identifier: GPL-3.0-or-later
// The contacts view, headless, over a folder of copies of an address book:
// the list and its search, the contact's page, the empty and failed pages,
// what each export takes, restart and cancel, and the end status.
#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "AddressBookHost.h"
#include "IPodFramework.h"
#include "LocalizedStrings.h"
#include "QELAddressBookImage.h"
#include "QELContactDetailToCategoryImageTransformer.h"
#include "QELContactDetailToDisplayNameTransformer.h"
#include "QELContactListModel.h"
#include "QELContactsView.h"
#include "QELCopyContacts.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "QELDeviceInterface.h"
#include "QELPagedView.h"
#include "QtPrinters.h"
#include "RecordingAddressBookHost.h"
#include "SimulatedMobileDevice.h"
#include "ThreadCheck.h"
#include "WaitUntil.h"

namespace {

using Person = AddressBookFixture::Person;

struct RecordingPage : QELDeviceCategoryContentViewDelegate {
    void OnProgressEventCurrentValueMaximumValue(const QString&, double, double) override {}
    void OnInformationStatusEventBottomLine(const QString& top, const QString& bottom) override
    {
        status << top + QLatin1Char('|') + bottom;
    }
    void OnMediaViewChanged() override {}
    void OnMediaSelectionPlayRequested() override {}
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        const QString& title, const QString& description, int current, int maximum) override
    {
        progress << QStringLiteral("%1|%2|%3/%4").arg(title, description).arg(current).arg(maximum);
    }
    void OnClear() override {}
    void OnAllItemsCopiedEventWithType(int) override {}
    void clear()
    {
        progress.clear();
        status.clear();
    }
    QStringList progress;
    QStringList status;
};

// An address book whose first addPerson waits until the test lets it go, so
// that a cancel lands while the run is in its first item.
class HeldAddressBookHost : public RecordingAddressBookHost {
public:
    QString addPerson(const AddressBookPerson& person) override
    {
        std::unique_lock lock(m_mutex);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_released; });
        lock.unlock();
        return RecordingAddressBookHost::addPerson(person);
    }
    bool entered()
    {
        std::lock_guard lock(m_mutex);
        return m_entered;
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_released = false;
};

QByteArray jpegOf(QRgb colour)
{
    QImage image(120, 90, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

// Five people: three a search for "lee" finds (by family name or by
// organisation), one found by organisation alone, and one with a photo.
AddressBookFixture fivePeople()
{
    AddressBookFixture book;
    const qint64 ann = book.person(Person::named(QStringLiteral("Ann"), QStringLiteral("Lée")));
    book.email(ann, QStringLiteral("ann@example.com"), QStringLiteral("_$!<Home>!$_"));
    book.person(Person::named(QStringLiteral("Bo"), QStringLiteral("LEE")));
    book.person(Person::named(QString(), QString(), QStringLiteral("Leeds Ltd")));
    const qint64 chidi = book.person(Person::named(
        QStringLiteral("Chidi"), QStringLiteral("Okafor"), QStringLiteral("Northwind")));
    book.phone(chidi, QStringLiteral("+1 312 555 0187"), QStringLiteral("_$!<Mobile>!$_"));
    book.person(Person::named(QStringLiteral("Dana"), QStringLiteral("Whitfield")));
    return book;
}

const QStringList kListOrder{"Lée, Ann", "LEE, Bo", "Leeds Ltd", "Okafor, Chidi",
                             "Whitfield, Dana"};
// ROWID 5 is Dana Whitfield.
constexpr qint64 kDana = 5;
const QRgb kPhotoColour = qRgb(40, 120, 220);

class ContactsViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.filePath(QStringLiteral("copies"));
        ASSERT_TRUE(QDir().mkpath(m_folder));
        m_exportFolder = m_dir.filePath(QStringLiteral("export"));
        ASSERT_TRUE(QDir().mkpath(m_exportFolder));
        m_device = std::make_unique<QELDeviceInterface>(
            std::make_shared<SimulatedMobileDevice>(),
            std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}}));
        m_device->setConnectedDeviceOperatingSystem(1);
    }
    void writeBook(const AddressBookFixture& book, bool withPhoto = true)
    {
        QString error;
        ASSERT_TRUE(book.write(m_folder + QStringLiteral("/AddressBook.sqlitedb"), &error))
            << error.toStdString();
        if (!withPhoto)
            return;
        AddressBookImagesFixture images;
        images.image(kDana, jpegOf(kPhotoColour));
        ASSERT_TRUE(images.write(m_folder + QStringLiteral("/AddressBookImages.sqlitedb"), &error))
            << error.toStdString();
    }
    std::unique_ptr<QELContactsView> makeView()
    {
        auto view = std::make_unique<QELContactsView>(QRect(0, 0, 900, 600));
        view->setDelegate(&m_page);
        view->setDeviceInterface(m_device.get());
        view->setViewDataPath(m_folder);
        view->setFolderChooser([this](QWidget*) { return m_chosenFolder; });
        view->setUrlOpener([this](const QUrl& url) { m_opened << url.toString(); });
        view->setAddressBookHost(m_host);
        view->QWidget::resize(900, 600);
        return view;
    }
    std::unique_ptr<QELContactsView> loadedView()
    {
        auto view = makeView();
        view->loadData();
        EXPECT_TRUE(view->loadingPageView() && view->loadingPageView()->isVisibleTo(view.get()));
        EXPECT_TRUE(waitUntil([&] { return !view->loadingPageView()->parent(); }));
        return view;
    }
    static QStringList names(const QList<QELContactPtr>& contacts)
    {
        QStringList list;
        for (const QELContactPtr& c : contacts)
            list << QELContactDetailToDisplayNameTransformer::transformedValue(c.get());
        return list;
    }
    static QStringList shownNames(const QELContactsView& view)
    {
        return names(view.shownContacts());
    }
    void select(QELContactsView& view, const QStringList& wanted)
    {
        QAbstractItemModel* model = view.contactsList()->model();
        QItemSelectionModel* selection = view.contactsList()->selectionModel();
        selection->clearSelection();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, 0);
            if (wanted.contains(index.data().toString()))
                selection->select(index, QItemSelectionModel::Select);
        }
    }
    QStringList exportedFiles() const
    {
        QStringList files =
            QDir(m_exportFolder).entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::NoSort);
        files.sort();
        return files;
    }
    QStringList progressNames() const
    {
        QStringList list;
        for (const QString& line : m_page.progress)
            list << line.section(QLatin1Char('|'), 1, 1);
        return list;
    }

    QTemporaryDir m_dir;
    QString m_folder;
    QString m_exportFolder;
    QString m_chosenFolder;
    QStringList m_opened;
    RecordingPage m_page;
    std::shared_ptr<RecordingAddressBookHost> m_host = std::make_shared<RecordingAddressBookHost>();
    std::unique_ptr<QELDeviceInterface> m_device;
};

TEST_F(ContactsViewTest, ListsTheContactsSortedWithTheHintPageThenShowsTheSelectedOne)
{
    writeBook(fivePeople());
    auto view = loadedView();
    EXPECT_FALSE(view->loadFailed());
    EXPECT_EQ(view->contacts().size(), 5);
    EXPECT_EQ(shownNames(*view), kListOrder);
    EXPECT_TRUE(view->clipViewContacts()->isVisibleTo(view.get()));
    EXPECT_TRUE(view->exportButton()->isVisibleTo(view.get()));
    EXPECT_EQ(view->exportButton()->text(), L("EXPORTASVCARDS"));
    EXPECT_EQ(view->addToAddressBookButton()->text(), L("ADDTOADDRESSBOOK"));
    EXPECT_FALSE(view->noContactsView());
    EXPECT_EQ(view->shownPage(),
              QStringLiteral("<HTML><BODY>") + L("SELECTACONTACT")
                  + QStringLiteral("</BODY></HTML>"));
    QAbstractItemModelTester tester(view->contactsList()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);

    // The organisation alone is a group; people are persons.
    using Image = QELContactDetailToCategoryImageTransformer;
    for (const QELContactPtr& contact : view->shownContacts()) {
        SCOPED_TRACE(QELContactDetailToDisplayNameTransformer::transformedValue(contact.get())
                         .toStdString());
        EXPECT_EQ(Image::kindOf(contact.get()),
                  contact->organisation == QStringLiteral("Leeds Ltd") ? Image::Kind::Group
                                                                       : Image::Kind::Person);
    }
    EXPECT_FALSE(view->contactsList()
                     ->model()
                     ->index(2, 0)
                     .data(Qt::DecorationRole)
                     .value<QIcon>()
                     .isNull());

    // Selecting shows the contact's page, with its photo in the circle.
    select(*view, {"Whitfield, Dana"});
    ASSERT_TRUE(waitUntil([&] { return view->shownPage().contains("<h1>Whitfield, Dana</h1>"); }));
    static const QRegularExpression data(QStringLiteral("base64,([A-Za-z0-9+/=]+)\""));
    const QRegularExpressionMatch match = data.match(view->shownPage());
    ASSERT_TRUE(match.hasMatch());
    const QImage picture = QImage::fromData(QByteArray::fromBase64(match.captured(1).toLatin1()));
    ASSERT_EQ(picture.size(), QSize(75, 75));
    const QColor centre = picture.pixelColor(37, 37);
    EXPECT_NEAR(centre.red(), qRed(kPhotoColour), 6);
    EXPECT_NEAR(centre.blue(), qBlue(kPhotoColour), 6);
    // Without a selection the page stays.
    view->contactsList()->selectionModel()->clearSelection();
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->shownPage().contains("<h1>Whitfield, Dana</h1>"));
    // Another one, with its initials.
    select(*view, {"Okafor, Chidi"});
    ASSERT_TRUE(waitUntil([&] { return view->shownPage().contains("<h1>Okafor, Chidi</h1>"); }));
    EXPECT_TRUE(view->shownPage().contains("<h2>Northwind</h2>"));
    EXPECT_TRUE(view->shownPage().contains("+1 312 555 0187"));
}

TEST_F(ContactsViewTest, SearchMatchesNameOrOrganisationWithoutCaseOrAccents)
{
    writeBook(fivePeople());
    auto view = loadedView();
    struct Case {
        const char* text;
        QStringList shown;
    };
    const Case cases[] = {
        {"lee", {"Lée, Ann", "LEE, Bo", "Leeds Ltd"}},
        {"LÉE", {"Lée, Ann", "LEE, Bo", "Leeds Ltd"}},
        {"leeds", {"Leeds Ltd"}},
        {"north", {"Okafor, Chidi"}},
        {"ann", {"Lée, Ann"}},
        {"zzz", {}},
        {"", kListOrder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        view->search(QString::fromUtf8(c.text));
        EXPECT_EQ(shownNames(*view), c.shown);
    }
    view->search(QString());
    EXPECT_EQ(shownNames(*view), kListOrder);
}

TEST_F(ContactsViewTest, ShowsTheEmptyPageForADiskModeIPodOrNoAddressBook)
{
    writeBook(fivePeople());
    m_device->setConnectedDeviceOperatingSystem(0);
    auto ipod = loadedView();
    EXPECT_TRUE(ipod->contacts().isEmpty());
    ASSERT_TRUE(ipod->noContactsView());
    EXPECT_TRUE(ipod->noContactsView()->isVisibleTo(ipod.get()));
    EXPECT_FALSE(ipod->content()->isVisibleTo(ipod.get()));
    EXPECT_FALSE(ipod->loadFailed());
    auto* label =
        ipod->noContactsView()->findChild<QLabel*>(QStringLiteral("noContactsFoundLabel"));
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), L("NOCONTACTSFOUND"));

    m_device->setConnectedDeviceOperatingSystem(1);
    ASSERT_TRUE(QFile::remove(m_folder + QStringLiteral("/AddressBook.sqlitedb")));
    auto none = loadedView();
    ASSERT_TRUE(none->noContactsView());
    EXPECT_TRUE(none->noContactsView()->isVisibleTo(none.get()));

    // An address book without people.
    writeBook(AddressBookFixture(), false);
    auto empty = loadedView();
    ASSERT_TRUE(empty->noContactsView());
    EXPECT_FALSE(empty->loadFailed());

    // A missing pictures database only means no photos.
    writeBook(fivePeople(), false);
    ASSERT_TRUE(QFile::remove(m_folder + QStringLiteral("/AddressBookImages.sqlitedb")));
    auto noPhotos = loadedView();
    EXPECT_EQ(noPhotos->contacts().size(), 5);
}

TEST_F(ContactsViewTest, SaysSoWhenTheAddressBookCannotBeRead)
{
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"garbage after the header", QByteArray("SQLite format 3\0", 16) + QByteArray(3000, 'Z')},
        {"not a database", QByteArray("hello, this is not a database at all")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile file(m_folder + QStringLiteral("/AddressBook.sqlitedb"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();
        auto view = loadedView();
        EXPECT_TRUE(view->loadFailed());
        EXPECT_TRUE(view->contacts().isEmpty());
    }
}

TEST_F(ContactsViewTest, ANewLoadShowsWhatItRead)
{
    writeBook(fivePeople());
    auto view = makeView();
    view->loadData();
    AddressBookFixture two;
    two.person(Person::named(QStringLiteral("Rosa"), QStringLiteral("Bianchi")));
    two.person(Person::named(QStringLiteral("Wen"), QStringLiteral("Li")));
    const QString second = m_dir.filePath(QStringLiteral("second"));
    ASSERT_TRUE(QDir().mkpath(second));
    ASSERT_TRUE(two.write(second + QStringLiteral("/AddressBook.sqlitedb")));
    view->setViewDataPath(second);
    view->loadData();
    ASSERT_TRUE(waitUntil([&] { return !view->loadingPageView()->parent(); }));
    // Whatever order the two reads end in, the list is the second's.
    QCoreApplication::processEvents();
    ASSERT_TRUE(waitUntil([&] { return shownNames(*view).size() == 2; }));
    EXPECT_EQ(shownNames(*view), (QStringList{"Bianchi, Rosa", "Li, Wen"}));
}

TEST_F(ContactsViewTest, ExportsTheSelectionElseEveryContactAlsoThoseTheSearchHides)
{
    writeBook(fivePeople());
    auto view = loadedView();
    m_chosenFolder = m_exportFolder;
    view->search(QStringLiteral("lee"));
    ASSERT_EQ(shownNames(*view).size(), 3);

    // Nothing selected: all five, in the order read.
    view->RequestCopy();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(m_page.progress.size(), 5);
    EXPECT_EQ(m_page.progress.constFirst(),
              L("EXPORTINGVCARDS") + "|" + names(view->contacts())[0] + "|1/5");
    EXPECT_EQ(m_page.progress.constLast().section('|', 2), QStringLiteral("5/5"));
    EXPECT_EQ(m_page.status, QStringList{L("ALLCONTACTSCOPIED") + "|"});
    EXPECT_EQ(exportedFiles(),
              (QStringList{"LEE, Bo.vcf", "Leeds Ltd.vcf", "Lée, Ann.vcf", "Okafor, Chidi.vcf",
                           "Whitfield, Dana.vcf"}));

    // Two selected under the filter: those two, in list order.
    select(*view, {"Leeds Ltd", "Lée, Ann"});
    m_page.clear();
    view->copyAsVCardsButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(m_page.progress,
              (QStringList{L("EXPORTINGVCARDS") + "|Lée, Ann|1/2",
                           L("EXPORTINGVCARDS") + "|Leeds Ltd|2/2"}));

    // The same rules for the address book, with its own title.
    m_page.clear();
    view->copySelectionToAddressBookButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(m_page.progress,
              (QStringList{L("COPYINGTOADDRESSBOOK") + "|Lée, Ann|1/2",
                           L("COPYINGTOADDRESSBOOK") + "|Leeds Ltd|2/2"}));
    EXPECT_EQ(m_page.status, QStringList{L("ALLCONTACTSCOPIED") + "|"});
    ASSERT_EQ(m_host->saved().size(), 2u);
    view->contactsList()->selectionModel()->clearSelection();
    m_page.clear();
    view->copySelectionToAddressBookButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(m_page.progress.size(), 5);
    EXPECT_EQ(m_host->saved().size(), 7u);
    EXPECT_EQ(m_host->saves(), 2);

    // A cancelled folder panel starts nothing.
    m_chosenFolder.clear();
    m_page.clear();
    view->copyAsVCardsButtonClicked();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_page.progress.isEmpty());
    EXPECT_TRUE(m_page.status.isEmpty());
}

TEST_F(ContactsViewTest, ASecondClickRestartsWithTheCurrentSelection)
{
    writeBook(fivePeople());
    auto view = loadedView();
    m_chosenFolder = m_exportFolder;
    view->copyAsVCardsButtonClicked();
    // Before any event of the first run reaches the view.
    select(*view, {"Okafor, Chidi"});
    view->copyAsVCardsButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    // Let anything left of the first run arrive: it must not show.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(m_page.progress, QStringList{L("EXPORTINGVCARDS") + "|Okafor, Chidi|1/1"});
    EXPECT_EQ(m_page.status, QStringList{L("ALLCONTACTSCOPIED") + "|"});
    EXPECT_TRUE(QFileInfo::exists(m_exportFolder + "/Okafor, Chidi.vcf"));

    m_page.clear();
    view->copySelectionToAddressBookButtonClicked();
    select(*view, {"Whitfield, Dana", "LEE, Bo"});
    view->copySelectionToAddressBookButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_page.progress,
              (QStringList{L("COPYINGTOADDRESSBOOK") + "|LEE, Bo|1/2",
                           L("COPYINGTOADDRESSBOOK") + "|Whitfield, Dana|2/2"}));
    EXPECT_EQ(m_page.status.size(), 1);
}

TEST_F(ContactsViewTest, CancelStopsTheRunningTransferAfterItsItem)
{
    writeBook(fivePeople());
    auto held = std::make_shared<HeldAddressBookHost>();
    m_host = held;
    auto view = loadedView();
    view->copySelectionToAddressBookButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return held->entered(); }));
    view->RequestCancelCopy();
    held->release();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(m_page.progress.size(), 1);
    // The person added before the cancel is kept.
    EXPECT_EQ(held->saved().size(), 1u);
    EXPECT_EQ(m_page.status, QStringList{L("ALLCONTACTSCOPIED") + "|"});
    // Cancel with no job made, and again after the end: nothing happens.
    view->RequestCancelCopy();
    auto fresh = makeView();
    fresh->RequestCancelCopy();
}

TEST_F(ContactsViewTest, TheEndStatusCountsWhatCouldNotBeCopied)
{
    writeBook(fivePeople());
    auto view = loadedView();
    // A file where the folder should be: no vCard can be written.
    m_chosenFolder = m_dir.filePath(QStringLiteral("not-a-folder"));
    QFile file(m_chosenFolder);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    view->copyAsVCardsButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(m_page.status, QStringList{L("ALLCONTACTSCOPIED") + "|" + Ln("ITEMSNOTCOPIED", 5)});

    m_page.clear();
    m_host->setSaveSucceeds(false);
    view->copySelectionToAddressBookButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(m_page.status, QStringList{L("ALLCONTACTSCOPIED") + "|" + Ln("ITEMSNOTCOPIED", 5)});
}

// The window never waits for the address book, a picture database or a file.
TEST_F(ContactsViewTest, LoadingShowingAndExportingReadNothingOnTheGuiThread)
{
    writeBook(fivePeople());
    std::mutex mutex;
    QStringList violations;
    ThreadCheck::setViolationHandler([&](const char* function) {
        std::lock_guard lock(mutex);
        violations << QString::fromLatin1(function);
    });
    ThreadCheck::setEnabled(true);
    {
        auto view = loadedView();
        EXPECT_EQ(view->contacts().size(), 5);
        select(*view, {"Whitfield, Dana"});
        EXPECT_TRUE(waitUntil([&] { return view->shownPage().contains("Whitfield, Dana"); }));
        m_chosenFolder = m_exportFolder;
        view->copyAsVCardsButtonClicked();
        EXPECT_TRUE(waitUntil([&] { return m_page.status.size() == 1; }));
        view->copySelectionToAddressBookButtonClicked();
        EXPECT_TRUE(waitUntil([&] { return m_page.status.size() == 2; }));
    }
    ThreadCheck::setEnabled(false);
    ThreadCheck::setViolationHandler({});
    std::lock_guard lock(mutex);
    EXPECT_TRUE(violations.isEmpty()) << violations.join(QLatin1Char(' ')).toStdString();
}

TEST_F(ContactsViewTest, OpensWebAndMailLinksOnly)
{
    auto view = makeView();
    struct Case {
        const char* url;
        bool opened;
    };
    const Case cases[] = {
        {"https://example.com/a", true},  {"http://example.com/", true},
        {"mailto:ann@example.com", true}, {"javascript:alert(1)", false},
        {"file:///etc/passwd", false},    {"ftp://example.com/", false},
        {"data:text/html,hi", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        m_opened.clear();
        view->openLink(QUrl(QString::fromLatin1(c.url)));
        EXPECT_EQ(m_opened.size(), c.opened ? 1 : 0);
    }
}

} // namespace
