#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMainWindow>

#include "AppDelegateFixture.h"
#include "Orvane11AppDelegate.h"
#include "WaitUntil.h"

namespace {

using Choice = Orvane11AppDelegate::QuitDuringCopy;

class QuitDuringCopy : public AppDelegateFixture {
protected:
    void startCopy()
    {
        m_delegate->OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
            QStringLiteral("Copying photos"), QStringLiteral("IMG_0001"), 1, 3);
    }
};

TEST_F(QuitDuringCopy, ClosingDuringACopyAsksAndQuitsOnlyOnceTheCopyHasEnded)
{
    struct Case {
        const char* name;
        Choice choice;
        bool quitMenu; // the Quit menu rather than the window's close button
    };
    for (const Case& c : {Case{"finish, from the close button", Choice::FinishThenQuit, false},
                          Case{"cancel, from the Quit menu", Choice::CancelThenQuit, true}}) {
        SCOPED_TRACE(c.name);
        launch();
        m_quitQuestions = 0;
        startCopy();
        m_quitChoice = Choice::Stay;
        m_window->close();
        EXPECT_TRUE(m_window->isVisible());
        EXPECT_EQ(m_quitQuestions, 1);

        m_quitChoice = c.choice;
        if (c.quitMenu)
            m_delegate->menuQuitClicked();
        else
            m_window->close();
        EXPECT_EQ(m_quitQuestions, 2);
        // The job still cleans up: the window waits for the end of its run.
        QCoreApplication::processEvents();
        EXPECT_TRUE(m_window->isVisible());
        m_delegate->OnAllItemsCopiedEventWithType(0);
        EXPECT_TRUE(waitUntil([&] { return !m_window->isVisible(); }));
        EXPECT_EQ(m_quitQuestions, 2);
        m_delegate.reset();
        m_window.reset();
    }
}

TEST_F(QuitDuringCopy, WithNoCopyRunningTheWindowClosesWithoutAQuestion)
{
    launch();
    startCopy();
    m_delegate->OnAllItemsCopiedEventWithType(0);
    m_window->close();
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(m_quitQuestions, 0);
}

} // namespace
