// SPDX-License-Identifier: GPL-3.0-or-later
// What every category view shares through its base: the copy folder it asks
// for and remembers, the end message with its folder, the page of a device
// with nothing of the category, counts in their plural forms, and device text
// that never turns into markup.
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTextDocument>

#include "LocaleTime.h"
#include "LocalizedStrings.h"
#include "PlainText.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELDeviceCategoryContentView.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELNothingFoundView.h"

namespace {

class RecordingDelegate : public QELDeviceCategoryContentViewDelegate {
public:
    void OnProgressEventCurrentValueMaximumValue(const QString&, double, double) override {}
    void OnInformationStatusEventBottomLine(const QString& top, const QString& bottom) override
    {
        lines << top + QLatin1Char('|') + bottom;
    }
    void OnCopyEndedInFolder(const QString& top, const QString& bottom,
                             const QString& folder) override
    {
        lines << top + QLatin1Char('|') + bottom + QLatin1Char('|') + folder;
    }
    void OnMediaViewChanged() override {}
    void OnMediaSelectionPlayRequested() override {}
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        const QString& title, const QString& description, int current, int maximum) override
    {
        lines << QStringLiteral("%1 %2 %3/%4").arg(title, description).arg(current).arg(maximum);
    }
    void OnClear() override {}
    void OnAllItemsCopiedEventWithType(int) override {}
    QStringList lines;
};

// Two kinds of copy, as two categories would have.
class DocumentsView : public QELDeviceCategoryContentView {
public:
    using QELDeviceCategoryContentView::chooseCopyFolder;
    using QELDeviceCategoryContentView::reportCopyEnd;
    using QELDeviceCategoryContentView::reportCopyItemBegin;

protected:
    QString copyFolderKind() const override { return QStringLiteral("DocumentsView"); }
};

class PicturesView : public QELDeviceCategoryContentView {
public:
    using QELDeviceCategoryContentView::chooseCopyFolder;

protected:
    QStandardPaths::StandardLocation copyFolderLocation() const override
    {
        return QStandardPaths::PicturesLocation;
    }
    QString copyFolderKind() const override { return QStringLiteral("PicturesView"); }
};

QString made(const QString& path)
{
    QDir().mkpath(path);
    return path;
}

} // namespace

TEST(CopyFolder, StartsInTheDesktopFolderOfTheKindThenWhereTheLastCopyOfThatKindWent)
{
    const QString home = QDir::homePath();
    // No desktop folders yet: the home folder, never a folder that is not there.
    EXPECT_EQ(QELDeviceCategoryContentView::startFolderForCopy(QStringLiteral("Kind"),
                                                              QStandardPaths::PicturesLocation),
              home);
    const QString pictures = made(home + QStringLiteral("/Pictures"));
    const QString documents = made(home + QStringLiteral("/Documents"));
    EXPECT_EQ(QELDeviceCategoryContentView::startFolderForCopy(QStringLiteral("Kind"),
                                                              QStandardPaths::PicturesLocation),
              pictures);

    DocumentsView notes;
    PicturesView photos;
    const QString exports = made(home + QStringLiteral("/exports"));
    const QString album = made(home + QStringLiteral("/album"));
    notes.setFolderChooser([&](QWidget*) { return exports; });
    photos.setFolderChooser([&](QWidget*) { return album; });
    EXPECT_EQ(notes.chooseCopyFolder(), exports);
    EXPECT_EQ(photos.chooseCopyFolder(), album);
    EXPECT_EQ(notes.lastCopyFolder(), exports);

    // Each kind keeps its own, in the settings (the next run reads them).
    QSettings().sync();
    EXPECT_EQ(QELDeviceCategoryContentView::startFolderForCopy(
                  QStringLiteral("DocumentsView"), QStandardPaths::DocumentsLocation),
              exports);
    EXPECT_EQ(QELDeviceCategoryContentView::startFolderForCopy(
                  QStringLiteral("PicturesView"), QStandardPaths::PicturesLocation),
              album);

    // Cancelled: nothing is remembered, the folder of the last copy stays.
    notes.setFolderChooser([](QWidget*) { return QString(); });
    EXPECT_TRUE(notes.chooseCopyFolder().isEmpty());
    EXPECT_EQ(notes.lastCopyFolder(), exports);

    // A remembered folder that has gone: the desktop folder of the kind again.
    ASSERT_TRUE(QDir(exports).removeRecursively());
    EXPECT_EQ(QELDeviceCategoryContentView::startFolderForCopy(
                  QStringLiteral("DocumentsView"), QStandardPaths::DocumentsLocation),
              documents);
}

TEST(CopyFolder, TheRealDialogOpensAtTheRememberedFolderAndTakesAFolder)
{
    const QString home = QDir::homePath();
    const QString album = made(home + QStringLiteral("/album"));
    const QString other = made(home + QStringLiteral("/other"));
    QELDeviceCategoryContentView::rememberFolderForCopy(QStringLiteral("PicturesView"), album);
    PicturesView photos;
    QString openedAt;
    QString title;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        openedAt = dialog->directory().absolutePath();
        title = dialog->windowTitle();
        EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
        // The folder the user went into, taken with nothing typed.
        dialog->setDirectory(other);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    EXPECT_EQ(photos.chooseCopyFolder(), other);
    EXPECT_EQ(openedAt, album);
    EXPECT_EQ(title, L("SELECTSAVEDESTINATION"));
    EXPECT_EQ(QELDeviceCategoryContentView::startFolderForCopy(QStringLiteral("PicturesView"),
                                                              QStandardPaths::PicturesLocation),
              other);
}

TEST(CopyEvents, ProgressAndTheEndMessageWithItsFolder)
{
    RecordingDelegate delegate;
    DocumentsView view;
    view.setDelegate(&delegate);
    QELCopyItemBeginEventArgs args;
    args.setItemDescription(QStringLiteral("Note 2"));
    args.setItemNumber(2);
    args.setItemCount(5);
    view.reportCopyItemBegin(QStringLiteral("Copying"), args);
    view.reportCopyEnd(QStringLiteral("Done"), 0, QStringLiteral("/home/u/Documents"));
    view.reportCopyEnd(QStringLiteral("Done"), 1, QString(), QStringLiteral("more"));
    view.reportCopyEnd(QStringLiteral("Done"), 3);
    EXPECT_EQ(delegate.lines,
              (QStringList{QStringLiteral("Copying Note 2 2/5"),
                           QStringLiteral("Done||/home/u/Documents"),
                           QStringLiteral("Done|") + Ln("ITEMSNOTCOPIED", 1) + QStringLiteral(" more"),
                           QStringLiteral("Done|") + Ln("ITEMSNOTCOPIED", 3)}));
}

// A copy that knows its sizes hands its bytes on with the counts; a receiver
// that shows no bytes still gets the counts of each start, and nothing of the
// steps inside an item, which tell it nothing new.
TEST(CopyEvents, TheBytesOfACopyGoOnWithItsCounts)
{
    class BytesDelegate : public RecordingDelegate {
    public:
        void OnCopyProgressEventWithBytes(const QString& title, const QString& description,
                                          int current, int maximum, quint64 bytesCopied,
                                          quint64 byteCount) override
        {
            lines << QStringLiteral("%1 %2 %3/%4 %5/%6")
                         .arg(title, description)
                         .arg(current)
                         .arg(maximum)
                         .arg(bytesCopied)
                         .arg(byteCount);
        }
        void OnCopyBytesProgressEvent(const QString& title, const QString& description, int current,
                                      int maximum, quint64 bytesCopied, quint64 byteCount) override
        {
            lines << QStringLiteral("step %1 %2 %3/%4 %5/%6")
                         .arg(title, description)
                         .arg(current)
                         .arg(maximum)
                         .arg(bytesCopied)
                         .arg(byteCount);
        }
    };
    QELCopyItemBeginEventArgs args;
    args.setItemDescription(QStringLiteral("movie.mov"));
    args.setItemNumber(2);
    args.setItemCount(10);
    args.setBytesCopied(3000000000ull);
    args.setByteCount(4000000000ull);
    DocumentsView view;

    BytesDelegate bytes;
    view.setDelegate(&bytes);
    QELCopyItemBeginEventArgs step = args;
    step.setProgressStep(true);
    step.setBytesCopied(3500000000ull);
    view.reportCopyItemBegin(QStringLiteral("Copying"), args);
    view.reportCopyItemBegin(QStringLiteral("Copying"), step);
    EXPECT_EQ(bytes.lines,
              (QStringList{QStringLiteral("Copying movie.mov 2/10 3000000000/4000000000"),
                           QStringLiteral("step Copying movie.mov 2/10 3500000000/4000000000")}));

    RecordingDelegate counts;
    view.setDelegate(&counts);
    view.reportCopyItemBegin(QStringLiteral("Copying"), args);
    view.reportCopyItemBegin(QStringLiteral("Copying"), step);
    EXPECT_EQ(counts.lines, QStringList{QStringLiteral("Copying movie.mov 2/10")});
}

TEST(PluralTexts, EveryCountUsesItsForm)
{
    struct Case {
        const char* key;
        qint64 n;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"ITEMSNOTCOPIED", 1, "1 item could not be copied."},
        {"ITEMSNOTCOPIED", 2, "2 items could not be copied."},
        {"ITEMSNOTCOPIED", 0, "0 items could not be copied."},
        {"DELETECONFIRM", 1, "Delete this item from the device?"},
        {"DELETECONFIRM", 4, "Delete these 4 items from the device?"},
        {"XPHOTOS", 1, "1 photo"},
        {"XPHOTOS", 12, "12 photos"},
        {"XVIDEOS", 1, "1 video"},
        {"XAPPS", 1, "1 app"},
        {"XAPPS", 3, "3 apps"},
        {"CONTAINSXMESSAGES", 1, "1 message"},
        {"FILESSKIPPED", 1, "1 item was there already and was left as it was."},
        {"BOOKSSKIPPED", 2, "2 books were there already and were left as they were."},
        {"APPSINSTALLEDALL", 1, "The app has been installed."},
        {"APPSINSTALLEDNONE", 2, "None of the 2 apps could be installed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(Ln(c.key, c.n), QString::fromUtf8(c.text));
    }
    // A singular without its number leaves the other placeholders to the caller.
    EXPECT_EQ(Ln("TRIEDAGAINAT", 1).arg(QStringLiteral("9:41")),
              QStringLiteral("Tried again at 9:41: the device gave the same answer."));
    EXPECT_EQ(Ln("TRIEDAGAINAT", 3).arg(QStringLiteral("9:41")),
              QStringLiteral("Tried again 3 times, last at 9:41: the device gave the same answer."));
    // No "1 items" anywhere in the table: each such text has its singular.
    for (const char* key : {"ITEMSNOTCOPIED", "DELETEFAILED", "FILESSKIPPED", "XPHOTOS"})
        EXPECT_FALSE(Ln(key, 1).contains(QStringLiteral("1 items"))) << key;
}

TEST(PlainText, DeviceTextInAToolTipNeverBecomesMarkup)
{
    struct Case {
        const char* text;
        bool wrapped;
    };
    const std::vector<Case> cases = {
        {"Dana Whitfield", false},
        {"<b>Party</b>", true},
        {"<img src=\"https://tracker.example/x.png\">", true},
        {"Tom & Jerry", false},
        {"a < b", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromUtf8(c.text);
        const QString tip = PlainText::toolTip(text);
        if (!c.wrapped) {
            EXPECT_EQ(tip, text);
            continue;
        }
        // Drawn as the text itself: the markup Qt sees is only our wrapper.
        QLabel shown;
        shown.setText(tip);
        EXPECT_FALSE(tip.contains(QStringLiteral("<b>")));
        EXPECT_FALSE(tip.contains(QStringLiteral("<img")));
        QTextDocument doc;
        doc.setHtml(tip);
        EXPECT_EQ(doc.toPlainText(), text);
    }
}

// Times to the minute in the locale's own way: 12-hour locales keep AM/PM,
// and C.UTF-8, whose short format has seconds, shows none.
TEST(LocaleTimes, TheShortFormatWithoutSeconds)
{
    struct Case {
        QLocale locale;
        const char* shown;
    };
    const std::vector<Case> cases = {
        {QLocale::c(), "15:05"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "3:05 PM"},
        {QLocale(QLocale::German, QLocale::Germany), "15:05"},
        {QLocale(QLocale::Finnish, QLocale::Finland), "15.05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        const QString shown = LocaleTime::shortTime(QTime(15, 5, 42), c.locale);
        EXPECT_FALSE(shown.contains(QStringLiteral("42")));
        // Locale data differ in the space before AM/PM; the digits and the day half count.
        QString simplified = shown;
        simplified.replace(QChar(0x202f), QLatin1Char(' ')).replace(QChar(0xa0), QLatin1Char(' '));
        EXPECT_EQ(simplified, QString::fromUtf8(c.shown));
    }
}

TEST(NothingFoundPage, OneCentredPlainLineAndWhatGoesBelow)
{
    QELNothingFoundView page(QStringLiteral("<b>No notes</b>"), QStringLiteral("noNotesFoundLabel"),
                             QRect(0, 0, 400, 300));
    QLabel* label = page.findChild<QLabel*>(QStringLiteral("noNotesFoundLabel"));
    ASSERT_EQ(label, page.label());
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_TRUE(label->wordWrap());
    auto* link = new QLabel(QStringLiteral("link"));
    page.addBelow(link);
    EXPECT_EQ(link->parentWidget(), label->parentWidget());
    page.QWidget::resize(400, 300);
    page.show();
    EXPECT_GT(link->geometry().top(), label->geometry().top());
}

