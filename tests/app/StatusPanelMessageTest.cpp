// SPDX-License-Identifier: GPL-3.0-or-later
// The status panel of the smallest window shows a long message whole: the
// end of a copy that tells what went wrong, the music library's reports, an
// error with its reason. Only a message longer than the panel can hold is cut,
// and then its whole text is the tool tip.
#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QLayout>
#include <QToolTip>

#include "AppDelegateFixture.h"
#include "ElidedLabel.h"
#include "LocalizedStrings.h"
#include "QELCopyEndMessage.h"
#include "QELCopyOutcome.h"
#include "QELHUDView.h"
#include "QELPagedView.h"
#include "TSPProgressIndicator.h"
#include "WaitUntil.h"

namespace {

class StatusPanelMessage : public AppDelegateFixture {
protected:
    // Until the message's page has slid in and covers the panel as it is now.
    void settle()
    {
        QELHUDView* hud = m_delegate->hudView();
        EXPECT_TRUE(waitUntil([hud] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            return hud->informationView()->geometry() == hud->view()->rect()
                && hud->height() >= hud->wantedHeight();
        }));
        QCoreApplication::processEvents();
    }
    ElidedLabel* top() const
    {
        return qobject_cast<ElidedLabel*>(m_delegate->hudView()->informationTopLine());
    }
    ElidedLabel* bottom() const
    {
        return qobject_cast<ElidedLabel*>(m_delegate->hudView()->informationBottomLine());
    }
};

QString endMessageDetail()
{
    QELCopyOutcome outcome;
    outcome.itemCount = 412;
    outcome.copied = 398;
    outcome.failed = 12;
    outcome.firstFailure = CopyFailure::UnsupportedName;
    outcome.passedOver = 2;
    outcome.passedOverReason = QStringLiteral("they are stored in the device's cloud library only");
    return QELCopyEndMessage::detail(outcome);
}

struct Message {
    const char* name;
    QString top;
    QString bottom;
    QString folder; // the panel offers to show it beside the second line
};

std::vector<Message> longMessages()
{
    return {
        {"copy end with its reasons", QStringLiteral("398 of 412 items copied"), endMessageDetail(),
         QStringLiteral("/home/user/Pictures")},
        {"music report", L("COPYHISTORYUNAVAILABLE"),
         L("COPYHISTORYUNAVAILABLEDETAIL")
             .arg(QStringLiteral("the database file is malformed (database disk image is "
                                 "malformed)")),
         QString()},
        {"error with its reason", QStringLiteral("The music library could not be updated"),
         QStringLiteral("Its file /home/user/Music/Orvane Library/Library.xml is read-only: "
                        "make it writable or choose another library folder"),
         QString()},
    };
}

} // namespace

TEST_F(StatusPanelMessage, ALongMessageIsLaidOutWholeInTheSmallestWindow)
{
    launch();
    for (const QSize size : {QSize(900, 600), QSize(1400, 900)}) {
        m_window->resize(size);
        for (const Message& message : longMessages()) {
            SCOPED_TRACE(std::string(message.name) + " at " + std::to_string(size.width()));
            if (message.folder.isEmpty())
                m_delegate->OnInformationStatusEventBottomLine(message.top, message.bottom);
            else
                m_delegate->OnCopyEndedInFolder(message.top, message.bottom, message.folder);
            settle();
            QELHUDView* hud = m_delegate->hudView();
            ASSERT_EQ(hud->currentPage(), hud->informationView());
            ASSERT_NE(top(), nullptr);
            ASSERT_NE(bottom(), nullptr);
            EXPECT_FALSE(top()->isElided()) << top()->shownText().toStdString();
            EXPECT_FALSE(bottom()->isElided()) << bottom()->shownText().toStdString();

            // Every word is drawn, on at most three lines, each within the
            // label, and the label has the height of its lines inside the page.
            const QStringList lines = bottom()->shownLines();
            EXPECT_LE(lines.size(), 4);
            // A line may also break after a "/" of a path.
            EXPECT_EQ(lines.join(QString()).remove(QLatin1Char(' ')),
                      QString(message.bottom).remove(QLatin1Char(' ')));
            for (const QString& line : lines)
                EXPECT_LE(bottom()->fontMetrics().horizontalAdvance(line),
                          bottom()->contentsRect().width());
            EXPECT_GE(bottom()->contentsRect().height(),
                      int(lines.size()) * bottom()->fontMetrics().lineSpacing());
            const QRect inPage(bottom()->mapTo(hud->informationView(), QPoint(0, 0)),
                               bottom()->size());
            EXPECT_TRUE(hud->informationView()->rect().contains(inPage))
                << inPage.y() << "+" << inPage.height() << " in "
                << hud->informationView()->height();
            EXPECT_FALSE(top()->geometry().intersects(bottom()->geometry()));
            if (size.width() == 900) {
                EXPECT_GE(lines.size(), 2) << "the test's messages should not fit in one line";
            }
        }
    }
}

TEST_F(StatusPanelMessage, OnlyAMessageLongerThanThePanelHoldsIsCutAndItsTipIsTheWholeText)
{
    launch();
    QString longer;
    for (int i = 0; i < 12; ++i)
        longer += endMessageDetail() + QStringLiteral(" ");
    longer = longer.trimmed();
    m_delegate->OnInformationStatusEventBottomLine(QStringLiteral("Done"), longer);
    settle();
    EXPECT_TRUE(bottom()->isElided());
    EXPECT_EQ(bottom()->shownLines().size(), 4);
    EXPECT_TRUE(bottom()->shownText().endsWith(QChar(0x2026)));
    EXPECT_EQ(bottom()->text(), longer);
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), bottom()->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(bottom(), &help);
    EXPECT_EQ(QToolTip::text(), longer);
    QToolTip::hideText();

    // A short message is one line again, where it always was.
    m_delegate->OnInformationStatusEventBottomLine(QStringLiteral("All photos have been copied."),
                                                   QString());
    settle();
    EXPECT_EQ(bottom()->shownLines().size(), 1);
    EXPECT_EQ(m_delegate->hudView()->informationView()->layout()->contentsMargins().top(), 6);
    // The panel, and the bar, are their usual height again.
    EXPECT_TRUE(waitUntil([this] { return m_delegate->hudView()->height() == 64; }));
}

// A category's copy with sizes reaches the panel's bar by bytes through the
// application; its count stays in items.
TEST_F(StatusPanelMessage, TheCopyBarOfTheWindowFollowsBytes)
{
    launch();
    const quint64 gib = 1024ull * 1024 * 1024;
    m_delegate->OnCopyProgressEventWithBytes(
        QStringLiteral("Copying files"), QStringLiteral("movie.mov"), 2, 10, 3 * gib / 2, 2 * gib);
    QELHUDView* hud = m_delegate->hudView();
    ASSERT_EQ(hud->currentPage(), hud->copyProgressView());
    TSPProgressIndicator* bar = hud->copyProgressProgressBar();
    EXPECT_NEAR(bar->doubleValue() / bar->maxValue(), 0.75, 0.001);
    EXPECT_EQ(bar->progressText(), L("XOFY").arg(2).arg(10));
    EXPECT_EQ(hud->wantedHeight(), 64);
    // The steps inside the item move it on.
    m_delegate->OnCopyBytesProgressEvent(QStringLiteral("Copying files"),
                                         QStringLiteral("movie.mov"), 2, 10, 7 * gib / 4, 2 * gib);
    EXPECT_NEAR(bar->doubleValue() / bar->maxValue(), 0.875, 0.001);
}
