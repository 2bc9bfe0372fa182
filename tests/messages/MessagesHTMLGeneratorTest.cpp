// SPDX-License-Identifier: GPL-3.0-or-later
// The conversation page: its frame, its names, its escaping, its encoding,
// cancelling, and what it writes when it cannot.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "LocalizedStrings.h"
#include "MessagesPageSupport.h"
#include "MessagesTestSupport.h"
#include "ProductInfo.h"
#include "QELMessagesHTMLGenerator.h"
#include "QELMessagesHTMLGeneratorDelegate.h"
#include "QtPrinters.h"

using namespace MessagesTest;

namespace {

const QString kAnn = QStringLiteral("+15550100123");

QELMessageParticipant participant(const QString& address, const QString& name)
{
    QELMessageParticipant p;
    p.setAddress(address);
    p.setName(name);
    return p;
}

QELMessagesConversation conversation(const QString& name, quint64 type = 0)
{
    QELMessagesConversation c;
    c.setParticipants({participant(kAnn, name)});
    c.setConversationType(type);
    return c;
}

QELMessageDetail message(int direction, const QDateTime& time, const QString& text,
                         std::optional<bool> iMessage = false, bool withTextPart = true)
{
    QELMessageDetail m;
    m.setDirection(direction);
    m.setTime(time);
    m.setMessage(text);
    m.setMessageAddress(kAnn);
    if (iMessage)
        m.setIsMadrid(*iMessage);
    if (withTextPart)
        m.appendMessagePiece(QELMessagePiece(QStringLiteral("text"), 0, text));
    return m;
}

class MessagesPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temporary.isValid());
        ASSERT_TRUE(m_export.isValid());
        setUpForGoldenPages(m_generator, m_temporary.path());
    }

    QString exportOne(const QELMessagesConversation& c, const QList<QELMessageDetail>& messages)
    {
        const QStringList pages =
            m_generator.generateHTMLForConversationWithMessagesUseDeviceBackupToFilePath(
                c, messages, nullptr, m_export.path());
        return pages.size() == 1 ? pages.first() : QString();
    }
    QString showOne(const QELMessagesConversation& c, const QList<QELMessageDetail>& messages)
    {
        const QStringList pages =
            m_generator.generateHTMLForConversationWithMessagesUseDeviceBackup(c, messages,
                                                                               nullptr);
        return pages.size() == 1 ? pages.first() : QString();
    }

    QTemporaryDir m_temporary;
    QTemporaryDir m_export;
    QELMessagesHTMLGenerator m_generator;
};

TEST_F(MessagesPage, ThreeMessagesOnTwoDaysGiveTheirLinesBubblesAndOneDayStamp)
{
    const QDateTime first = utc(2014, 3, 1, 9, 5);
    const QDateTime second = utc(2014, 3, 1, 9, 7);
    const QDateTime third = utc(2014, 3, 2, 10, 0);
    const QString path = showOne(conversation(QStringLiteral("Ann Lee")),
                                 {message(0, first, QStringLiteral("Hi")),
                                  message(1, second, QStringLiteral("Line1\nLine2"), true),
                                  message(1, third, QStringLiteral("Bye"), false)});
    ASSERT_FALSE(path.isEmpty());
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("Ann Lee.html"));
    EXPECT_EQ(QFileInfo(path).path(), m_temporary.path() + QStringLiteral("/message_temp"));
    const QString expected = QStringLiteral("<div class='messageinfo receive'>\r\n")
        + L("RECEIVELABEL") + QStringLiteral(" - Ann Lee - ") + messageTimeText(first)
        + QStringLiteral(" -  (SMS)</div>\r\n<div class='message receive'>\r\nHi\r\n</div>\r\n")
        + QStringLiteral("<div class='messageinfo sent'>Me - ") + messageTimeText(second)
        + QStringLiteral(" -  (iMessage)</div><div class='message sent imessage'>Line1<br/>Line2"
                         "\r\n</div>\r\n")
        + QStringLiteral("<center><div class=\"dateStamp\">3/2/14</div></center>")
        + QStringLiteral("<div class='messageinfo sent'>Me - ") + messageTimeText(third)
        + QStringLiteral(" -  (SMS)</div><div class='message sent'>Bye\r\n</div>\r\n");
    const QString page = readPage(path);
    EXPECT_EQ(bodyOf(page), expected);
    EXPECT_TRUE(page.startsWith(
        QStringLiteral("<HTML>\r\n<HEAD>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
                       "charset=utf-16\" /><STYLE type='text/css'>\r\nbody {\r\n")));
    EXPECT_TRUE(page.contains(QStringLiteral("</STYLE>\r\n</HEAD>\r\n<BODY>\r\n<H1>")
                              + L("CONVERSATIONWITH").arg(QStringLiteral("Ann Lee"))
                              + QStringLiteral("</H1>\r\n") + L("CONTAINSXMESSAGES").arg(3)
                              + QStringLiteral("\r\n<hr size=1 noshade/>")));
    EXPECT_TRUE(page.endsWith(QStringLiteral("<hr size=1 noshade/>\r\n</BODY>\r\n</HTML>")));
}

// Each message is headed by who wrote it: "Me" for the user's own, also in a
// group where its handle is another participant's; the other person of a
// one-to-one WhatsApp chat, whose messages carry no address; an unsent
// message says so in place of an empty bubble; long words wrap.
TEST_F(MessagesPage, EachMessageIsHeadedByItsRealSender)
{
    QELMessagesConversation group;
    group.setParticipants({participant(kAnn, QStringLiteral("Ann Lee")),
                           participant(QStringLiteral("+15550100999"), QStringLiteral("Bo Ek"))});
    QELMessageDetail own = message(1, utc(2020, 1, 1, 10), QStringLiteral("mine"), true);
    QELMessageDetail bos = message(0, utc(2020, 1, 1, 11), QStringLiteral("hers"), true);
    bos.setMessageAddress(QStringLiteral("+15550100999"));
    QELMessageDetail unsent = message(0, utc(2020, 1, 1, 12), QString(), true);
    unsent.setIsUnsent(true);
    const QString page = readPage(exportOne(group, {own, bos, unsent}));
    EXPECT_TRUE(page.contains(QStringLiteral("<div class='messageinfo sent'>Me - ")));
    EXPECT_FALSE(page.contains(QStringLiteral("sent'>Ann Lee")));
    EXPECT_TRUE(page.contains(L("RECEIVELABEL") + QStringLiteral(" - Bo Ek - ")));
    EXPECT_TRUE(page.contains(QStringLiteral("This message was unsent.")));
    EXPECT_TRUE(page.contains(QStringLiteral("overflow-wrap:anywhere")));

    QELMessagesConversation chat = conversation(QStringLiteral("Cleo Park"), 1);
    QELMessageDetail received = message(0, utc(2020, 1, 1, 10), QStringLiteral("hello"), false);
    received.setMessageAddress(QString());
    const QString whatsApp = readPage(exportOne(chat, {received}));
    EXPECT_TRUE(whatsApp.contains(L("RECEIVELABEL") + QStringLiteral(" - Cleo Park - ")))
        << qPrintable(bodyOf(whatsApp));
}

TEST_F(MessagesPage, ServiceLabelsFollowTheConversationTypeAndTheMessagesFlag)
{
    struct Case {
        const char* name;
        quint64 type;
        int direction;
        std::optional<bool> iMessage;
        const char* label;
        const char* bubble;
    };
    const Case cases[] = {
        {"sent SMS", 0, 1, false, " -  (SMS)</div>", "<div class='message sent'>"},
        {"sent, flag absent", 0, 1, std::nullopt, " -  (SMS)</div>", "<div class='message sent'>"},
        {"sent iMessage", 0, 1, true, " -  (iMessage)</div>",
         "<div class='message sent imessage'>"},
        {"received iMessage", 0, 0, true, " -  (iMessage)</div>\r\n",
         "<div class='message receive'>\r\n"},
        {"WhatsApp whatever its flag", 1, 1, true, " - WhatsApp</div>",
         "<div class='message sent'>"},
        {"received WhatsApp", 1, 0, false, " - WhatsApp</div>\r\n",
         "<div class='message receive'>\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString page = readPage(exportOne(
            conversation(QStringLiteral("T"), c.type),
            {message(c.direction, utc(2020, 1, 1), QStringLiteral("x"), c.iMessage, c.type == 0)}));
        EXPECT_TRUE(page.contains(QString::fromLatin1(c.label) + QString::fromLatin1(c.bubble)))
            << qPrintable(bodyOf(page));
    }
}

TEST_F(MessagesPage, AnEmptyRangeGivesTheNoticeAndNoDayStamp)
{
    m_generator.setStartDate(utc(2014, 3, 1));
    m_generator.setEndDate(utc(2014, 3, 31));
    const QString path = exportOne(conversation(QStringLiteral("Anna")), {});
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("Anna (01 Mar 2014 - 31 Mar 2014).html"));
    const QString page = readPage(path);
    EXPECT_EQ(bodyOf(page),
              QStringLiteral(" <div class=\"noMessagesInDateRange\">\r\n <strong>")
                  + L("NOMESSAGESINSELECTEDDATES") + QStringLiteral(" </strong> <p>\r\n")
                  + L("NOMESSAGESCLICKSELECTDATES")
                  + QStringLiteral(" </p>\r\n </div>\r\n<br/><br/>"));
    EXPECT_TRUE(
        page.contains(QStringLiteral("<br/>\r\n")
                      + L("SHOWINGMESSAGESBETWEENDATES")
                            .arg(QStringLiteral("01 Mar 2014"), QStringLiteral("31 Mar 2014"))
                      + QStringLiteral("\r\n<hr size=1 noshade/>")));
    EXPECT_FALSE(page.contains(QStringLiteral("dateStamp\">")));
}

TEST_F(MessagesPage, WithOnlyOneDateSetNeitherNameNorHeaderMentionTheRange)
{
    m_generator.setStartDate(utc(2014, 3, 1));
    const QString path = exportOne(conversation(QStringLiteral("Anna")), {});
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("Anna.html"));
    EXPECT_FALSE(readPage(path).contains(L("SHOWINGMESSAGESBETWEENDATES").left(10)));
}

TEST_F(MessagesPage, TheCreditLineIsOnEveryCopiedPageAndOnNoShownOne)
{
    const QList<QELMessageDetail> messages = {message(0, utc(2020, 1, 1), QStringLiteral("x"))};
    const QString copied = readPage(exportOne(conversation(QStringLiteral("T")), messages));
    const QString shown = readPage(showOne(conversation(QStringLiteral("T")), messages));
    const QString credit = QStringLiteral("<small>") + L("PRODUCEDBY")
        + QStringLiteral(" <a href=\"") + ProductInfo::makerHomePage()
        + QStringLiteral("\">Orvane</a></small>\r\n</BODY>");
    EXPECT_TRUE(copied.contains(credit));
    EXPECT_FALSE(shown.contains(QStringLiteral("<small>")));
    EXPECT_TRUE(shown.endsWith(QStringLiteral("<hr size=1 noshade/>\r\n</BODY>\r\n</HTML>")));
}

TEST_F(MessagesPage, TakenNamesGetANumberAndNoFileIsReplaced)
{
    const QELMessagesConversation t = conversation(QStringLiteral("T"));
    QStringList names;
    for (int i = 0; i < 3; ++i)
        names << QFileInfo(exportOne(t, {message(0, utc(2020, 1, 1), QString::number(i))}))
                     .fileName();
    EXPECT_EQ(names, (QStringList{"T.html", "T (1).html", "T (2).html"}));
    EXPECT_TRUE(readPage(m_export.filePath(QStringLiteral("T.html")))
                    .contains(QStringLiteral("receive'>\r\n0\r\n")));
    // With a range the numbers follow the dated name.
    m_generator.setStartDate(utc(2014, 3, 1));
    m_generator.setEndDate(utc(2014, 3, 31));
    EXPECT_EQ(QFileInfo(exportOne(t, {})).fileName(),
              QStringLiteral("T (01 Mar 2014 - 31 Mar 2014).html"));
    EXPECT_EQ(QFileInfo(exportOne(t, {})).fileName(),
              QStringLiteral("T (01 Mar 2014 - 31 Mar 2014) (1).html"));
}

TEST_F(MessagesPage, HostileTextsAreEscapedAndAHostileTitleStaysInTheFolder)
{
    struct Case {
        QString text;
        QString written;
    };
    const QList<Case> cases = {
        {QStringLiteral("<script>alert(1)</script>"),
         QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;")},
        {QStringLiteral("Fish & chips"), QStringLiteral("Fish &amp; chips")},
        {QStringLiteral("say \"hi\" <b>"), QStringLiteral("say &quot;hi&quot; &lt;b&gt;")},
    };
    QELMessagesConversation hostile;
    hostile.setParticipants({participant(kAnn, QStringLiteral("<img src=x onerror=y>"))});
    hostile.setConversationGroupName(QStringLiteral("../../x"));
    QList<QELMessageDetail> messages;
    for (const Case& c : cases) {
        messages << message(0, utc(2020, 1, 1), c.text);
        // A message without parts is written from its own text.
        messages << message(1, utc(2020, 1, 1), c.text, false, false);
        QELMessageDetail withSubject = message(0, utc(2020, 1, 1), QStringLiteral("body"));
        withSubject.setSubject(c.text);
        messages << withSubject;
    }
    const QString path = exportOne(hostile, messages);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(m_export.path()).absolutePath());
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("___.._x.html"));
    EXPECT_EQ(QDir(m_export.path()).entryList(QDir::Files),
              QStringList{QFileInfo(path).fileName()});
    const QString page = readPage(path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_FALSE(page.contains(c.text));
        EXPECT_EQ(page.count(c.written), 3);
        EXPECT_TRUE(page.contains(QStringLiteral("<B>") + c.written + QStringLiteral("</B><BR/>")));
    }
    EXPECT_FALSE(page.contains(QStringLiteral("<img src=x")));
    EXPECT_TRUE(page.contains(QStringLiteral("<H1>")
                              + L("CONVERSATIONWITH").arg(QStringLiteral("../../x"))));
}

TEST_F(MessagesPage, IsUtf16LittleEndianWithOneByteOrderMark)
{
    const QString path = exportOne(conversation(QStringLiteral("Zoë")),
                                   {message(0, utc(2020, 1, 1), QStringLiteral("Grüße 😊"))});
    const QByteArray bytes = fileBytes(path);
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE<\0H\0"));
    const QString page = readPage(path);
    EXPECT_FALSE(page.contains(QChar(0xFEFF)));
    EXPECT_TRUE(page.contains(QStringLiteral("Grüße 😊")));
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("Zoë.html"));
}

// Cancels the generation at a given message, from the generating thread,
// as a new selection does from the main thread.
class CancellingDelegate : public QELMessagesHTMLGeneratorDelegate {
public:
    QELMessagesHTMLGenerator* generator = nullptr;
    double cancelAt = 0;
    QList<std::pair<double, double>> progress;
    void OnHTMLGeneratorProgressOf(double current, double total) override
    {
        progress.append({current, total});
        if (current == cancelAt)
            generator->cancel();
    }
};

TEST_F(MessagesPage, CancellingWritesNothingAndLeavesLaterPagesWhole)
{
    CancellingDelegate delegate;
    delegate.generator = &m_generator;
    delegate.cancelAt = 2;
    m_generator.setDelegate(&delegate);
    QList<QELMessageDetail> messages;
    for (int i = 0; i < 5; ++i)
        messages << message(0, utc(2020, 1, 1, 10, i), QString::number(i));
    EXPECT_TRUE(exportOne(conversation(QStringLiteral("T")), messages).isEmpty());
    EXPECT_TRUE(QDir(m_export.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(delegate.progress.size(), 2);
    // The next generation is not affected by the cancel before it.
    delegate.progress.clear();
    delegate.cancelAt = -1;
    const QString path = exportOne(conversation(QStringLiteral("T")), messages);
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("T.html"));
    EXPECT_EQ(delegate.progress.size(), 5);
    EXPECT_EQ(delegate.progress.last(), std::make_pair(5.0, 5.0));
}

TEST_F(MessagesPage, AFolderThatCannotBeMadeGivesNoPage)
{
    const QString blocker = m_export.filePath(QStringLiteral("file"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(
        m_generator
            .generateHTMLForConversationWithMessagesUseDeviceBackupToFilePath(
                conversation(QStringLiteral("T")), {}, nullptr, blocker + QStringLiteral("/sub"))
            .isEmpty());
    EXPECT_EQ(m_generator.baseURL(),
              QUrl::fromLocalFile(m_temporary.path() + QStringLiteral("/message_temp/")));
}

TEST_F(MessagesPage, ThePageIndexLinksNumberedPages)
{
    EXPECT_EQ(QELMessagesHTMLGenerator::_generatePageIndexWithNumberOfPagesConversationName(
                  2, QStringLiteral("Ann Lee")),
              QStringLiteral("<div class='pageIndex'>") + L("PAGES")
                  + QStringLiteral(" : \r\n<a href='Ann%20Lee.html'>1</a>&nbsp;\r\n"
                                   "<a href='Ann%20Lee_2.html'>2</a>&nbsp;\r\n</div>\r\n"));
}

} // namespace
