// SPDX-License-Identifier: GPL-3.0-or-later
// The voicemail view, headless: its load over a folder of copies, the sender
// list, the selection, the playback list, the copy and the empty page.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include "CategoryRegistry.h"
#include "LocalizedStrings.h"
#include "QELCopyVoiceMails.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "QELPagedView.h"
#include "QELVoiceMailContactListModel.h"
#include "QELVoiceMailItemDurationTransformer.h"
#include "QELVoiceMailItemListModel.h"
#include "QELVoiceMailView.h"
#include "VoicemailTestSupport.h"
#include "WaitUntil.h"

using namespace VoicemailTest;
using Person = AddressBookFixture::Person;

namespace {

struct RecordingPage : QELDeviceCategoryContentViewDelegate {
    void OnProgressEventCurrentValueMaximumValue(const QString&, double, double) override {}
    void OnInformationStatusEventBottomLine(const QString& top, const QString& bottom) override
    {
        status << top + QLatin1Char('|') + bottom;
    }
    void OnMediaViewChanged() override {}
    void OnMediaSelectionPlayRequested() override { ++playRequests; }
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        const QString& title, const QString& description, int current, int maximum) override
    {
        progress << QStringLiteral("%1|%2|%3/%4").arg(title, description).arg(current).arg(maximum);
    }
    void OnClear() override {}
    void OnAllItemsCopiedEventWithType(int) override {}
    QStringList progress;
    QStringList status;
    int playRequests = 0;
};

class VoicemailViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = m_dir.filePath(QStringLiteral("copies"));
        ASSERT_TRUE(QDir().mkpath(m_folder));
    }
    // Ann Lee (two voicemails, audio for the first), Bob (one, with audio),
    // a withheld number (one, no audio).
    void writeThreeSenders()
    {
        ASSERT_TRUE(writeIndex(m_folder,
                               {
                                   {QStringLiteral("+1 555 0100"), unix(2024, 5, 1), 12},
                                   {QStringLiteral("+1 555 0199"), unix(2024, 5, 2), 30},
                                   {QStringLiteral("+1 555 0100"), unix(2024, 5, 3), 65},
                                   {QVariant(), unix(2024, 5, 4), 5},
                               }));
        AddressBookFixture book;
        book.phone(book.person(Person::named("Ann", "Lee")), QStringLiteral("+1 555 0100"));
        book.phone(book.person(Person::named("Bob", QString())), QStringLiteral("+1 555 0199"));
        ASSERT_TRUE(writeAddressBook(m_folder, book));
        ASSERT_TRUE(writeAudio(m_folder, 1));
        ASSERT_TRUE(writeAudio(m_folder, 2));
    }
    std::unique_ptr<QELVoiceMailView> loadedView()
    {
        auto view = std::make_unique<QELVoiceMailView>(QRect(0, 0, 900, 600));
        view->setDelegate(&m_page);
        view->setViewDataPath(m_folder);
        view->QWidget::resize(900, 600);
        view->loadData();
        EXPECT_TRUE(view->loadingPageView() && view->loadingPageView()->isVisibleTo(view.get()));
        EXPECT_TRUE(waitUntil([&] { return !view->loadingPageView()->parent(); }));
        return view;
    }
    // Selects the senders of these names one after the other, as clicks with
    // the command key would.
    static void select(QELVoiceMailView& view, const QStringList& names)
    {
        QItemSelectionModel* selection = view.contactsTableView()->selectionModel();
        selection->clearSelection();
        for (const QString& name : names) {
            for (int row = 0; row < view.contactsTableView()->model()->rowCount(); ++row) {
                const QModelIndex index = view.contactsTableView()->model()->index(row, 0);
                if (index.data().toString() == name)
                    selection->select(index, QItemSelectionModel::Select);
            }
        }
    }
    static QStringList shownIds(const QELVoiceMailView& view)
    {
        QStringList ids;
        for (const QELVoiceMailItem& item : view.voiceMails())
            ids << QString::number(item.id);
        return ids;
    }

    QTemporaryDir m_dir;
    QString m_folder;
    RecordingPage m_page;
};

TEST(VoicemailLists, SendersInNameOrderAndItemsWithDateAndLength)
{
    QELVoiceMailContactListModel contacts;
    QAbstractItemModelTester contactsTester(&contacts,
                                            QAbstractItemModelTester::FailureReportingMode::Fatal);
    QList<QELVoiceMailContact> list;
    for (const char* name : {"Bob", "+44 20", "alice", "123", "Émile"})
        list << QELVoiceMailContact(QString::fromUtf8(name), QString::fromUtf8(name), false);
    contacts.setContacts(list);
    QStringList shown;
    for (int row = 0; row < contacts.rowCount(); ++row)
        shown << contacts.index(row, 0).data().toString();
    EXPECT_EQ(shown, (QStringList{"alice", "Bob", "Émile", "+44 20", "123"}));

    QELVoiceMailItemListModel items;
    QAbstractItemModelTester itemsTester(&items,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    QELVoiceMailItem item;
    item.id = 4;
    item.duration = 3725;
    item.dateRecorded = QDateTime::fromSecsSinceEpoch(unix(2024, 5, 1));
    items.setItems({item});
    EXPECT_EQ(items.index(0, QELVoiceMailItemListModel::DurationColumn).data().toString(),
              QStringLiteral("01:02:05"));
    EXPECT_EQ(items.index(0, QELVoiceMailItemListModel::DurationColumn)
                  .data(QELVoiceMailItemListModel::SortRole),
              QVariant(qint64(3725)));
    EXPECT_FALSE(items.index(0, QELVoiceMailItemListModel::DateColumn).data().toString().isEmpty());
    // Not a number: shown as its text.
    EXPECT_EQ(QELVoiceMailItemDurationTransformer().transformedValue(QStringLiteral("n/a")),
              QStringLiteral("n/a"));
    EXPECT_EQ(QELVoiceMailItemDurationTransformer().transformedValue(65), QStringLiteral("01:05"));
}

TEST_F(VoicemailViewTest, ListsSendersAndShowsTheSelectedOnesInSelectionOrder)
{
    writeThreeSenders();
    auto view = loadedView();
    QStringList names;
    for (const QELVoiceMailContact& contact : view->contacts())
        names << contact.senderName();
    EXPECT_EQ(names, (QStringList{"Bob", "Lee, Ann", L("UNKNOWNSENDER")}));
    EXPECT_FALSE(view->noVoiceMailsFoundView());
    // The first sender opens selected.
    EXPECT_EQ(shownIds(*view), QStringList{"2"});

    select(*view, {QStringLiteral("Lee, Ann"), QStringLiteral("Bob")});
    EXPECT_EQ(shownIds(*view), (QStringList{"1", "3", "2"}));
    select(*view, {QStringLiteral("Bob"), QStringLiteral("Lee, Ann")});
    EXPECT_EQ(shownIds(*view), (QStringList{"2", "1", "3"}));
    // An empty selection leaves the list as it was.
    view->contactsTableView()->selectionModel()->clearSelection();
    EXPECT_EQ(shownIds(*view), (QStringList{"2", "1", "3"}));
}

TEST_F(VoicemailViewTest, PlaysTheSelectedVoicemailsElseAllThatHaveAudio)
{
    writeThreeSenders();
    auto view = loadedView();
    EXPECT_TRUE(view->hasMediaListForPlayback());
    EXPECT_TRUE(view->mediaListIsLocal());
    select(*view, {QStringLiteral("Lee, Ann"), QStringLiteral(""), L("UNKNOWNSENDER")});
    EXPECT_EQ(shownIds(*view), (QStringList{"1", "3", "4"}));

    // Nothing selected: all listed that have audio (3 and 4 have none).
    QList<TrackDetailPtr> tracks = view->mediaListForPlayback();
    ASSERT_EQ(tracks.size(), 1);
    EXPECT_TRUE(QFile::exists(tracks[0]->path));
    EXPECT_TRUE(tracks[0]->path.endsWith(QStringLiteral(".amr")));
    EXPECT_EQ(tracks[0]->trackName, L("VOICEMAILFROM"));
    EXPECT_EQ(tracks[0]->artist, QStringLiteral("Lee, Ann"));
    EXPECT_EQ(tracks[0]->duration, 12000);

    select(*view, {QStringLiteral("Bob"), QStringLiteral("Lee, Ann")});
    QTableView* table = view->voiceMailItemsTableView();
    table->selectionModel()->select(table->model()->index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->selectionModel()->select(table->model()->index(0, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    tracks = view->mediaListForPlayback();
    ASSERT_EQ(tracks.size(), 1); // row 2 is voicemail 3, without audio
    EXPECT_EQ(tracks[0]->artist, QStringLiteral("Bob"));

    view->buttonPlay()->click();
    emit table->doubleClicked(table->model()->index(0, 0));
    EXPECT_EQ(m_page.playRequests, 2);
}

TEST_F(VoicemailViewTest, CopiesTheListedVoicemailsAndReportsThoseWithoutAudio)
{
    writeThreeSenders();
    auto view = loadedView();
    const QString target = m_dir.filePath(QStringLiteral("chosen"));
    ASSERT_TRUE(QDir().mkpath(target));
    int asked = 0;
    view->setFolderChooser([&](QWidget*) {
        ++asked;
        return target;
    });
    select(*view, {QStringLiteral("Lee, Ann")});
    view->buttonCopy()->click();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(QDir(target).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(m_page.progress.size(), 2);
    EXPECT_TRUE(m_page.progress.value(0).startsWith(L("COPYINGVOICEMAIL") + "|Lee, Ann|1/2"));
    EXPECT_EQ(m_page.status, QStringList{L("ALLVOICEMAILCOPIED") + "|" + Ln("ITEMSNOTCOPIED", 1)});

    // A cancelled folder panel copies nothing.
    view->setFolderChooser([](QWidget*) { return QString(); });
    view->RequestCopy();
    view->RequestCancelCopy();
    EXPECT_EQ(m_page.status.size(), 1);
}

struct EmptyCase {
    const char* label;
    bool writeIndex;
};

class VoicemailEmptyPage : public VoicemailViewTest,
                           public ::testing::WithParamInterface<EmptyCase> {};

TEST_P(VoicemailEmptyPage, ShowsTheProvidersLink)
{
    if (GetParam().writeIndex) {
        ASSERT_TRUE(VoicemailTest::writeIndex(m_folder, {}));
    }
    auto view = loadedView();
    ASSERT_TRUE(view->noVoiceMailsFoundView());
    EXPECT_TRUE(view->noVoiceMailsFoundView()->isVisibleTo(view.get()));
    EXPECT_FALSE(view->loadFailed());
    QLabel* link = view->textFieldNoVoicemailProviders();
    ASSERT_TRUE(link);
    EXPECT_TRUE(
        link->text().contains(QStringLiteral("Click here for a list of mobile providers.")));
    QList<QUrl> opened;
    view->setUrlOpener([&](const QUrl& url) { opened << url; });
    emit link->linkActivated(QStringLiteral("https://elsewhere.example/"));
    EXPECT_EQ(opened, QList<QUrl>{QUrl(L("VOICEMAILPROVIDERSURL"))});
}

INSTANTIATE_TEST_SUITE_P(Voicemail, VoicemailEmptyPage,
                         ::testing::Values(EmptyCase{"NoIndex", false},
                                           EmptyCase{"EmptyIndex", true}),
                         [](const ::testing::TestParamInfo<EmptyCase>& info) {
                             return std::string(info.param.label);
                         });

TEST_F(VoicemailViewTest, AnUnreadableIndexSaysSoInsteadOfAnEmptyList)
{
    QFile file(indexPath(m_folder));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    auto view = loadedView();
    EXPECT_TRUE(view->loadFailed());
    EXPECT_FALSE(view->noVoiceMailsFoundView());
}

TEST(VoicemailCategory, RegistersItsRowWithPlayback)
{
    const CategoryDescriptor* row = CategoryRegistry::instance().find(8);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->titleKey, QStringLiteral("VOICEMAIL"));
    EXPECT_TRUE(row->backupDerived);
    EXPECT_TRUE(row->availability.playback);
    std::unique_ptr<QELDeviceCategoryContentView> view(row->makeView({8, QRect(0, 0, 400, 300)}));
    ASSERT_TRUE(dynamic_cast<QELVoiceMailView*>(view.get()));
    EXPECT_TRUE(view->answers(QELDeviceCategoryContentView::Copy));
}

} // namespace
