// SPDX-License-Identifier: GPL-3.0-or-later
// The conversation list's rules: the order of a group, what a copy takes
// from the selection, and the title half of the search.
#include <gtest/gtest.h>

#include "MessagesListRules.h"
#include "QtPrinters.h"
#include "TextMatch.h"

using namespace MessagesListRules;

namespace {

QELMessagesConversation titled(const QString& title, qint64 id = 0)
{
    QELMessagesConversation c;
    QELMessageParticipant p;
    p.setAddress(title);
    p.setName(title);
    c.setParticipants({p});
    c.setConversationId(id);
    return c;
}

QStringList titles(const QList<QELMessagesConversation>& list)
{
    QStringList result;
    for (const QELMessagesConversation& c : list)
        result << c.title();
    return result;
}

TEST(MessagesListRules, NamesComeFirstThenNumbersIgnoringCaseAndAccents)
{
    const QStringList sorted =
        titles(sortedByTitle({titled("Zoe"), titled("anna"), titled("+44 7700"), titled("0123"),
                              titled(""), titled("Émile"), titled("bob")}));
    EXPECT_EQ(sorted, (QStringList{"", "anna", "bob", "Émile", "Zoe", "+44 7700", "0123"}));
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {{"", "a", true},       {"a", "", false},      {"", "", false},
                          {"a", "1", true},      {"1", "a", false},     {"Ann +1", "Bob", false},
                          {"ann", "ANN", false}, {"ANN", "ann", false}, {"+1", "0", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " < " + c.b);
        EXPECT_EQ(titleLessThan(QString::fromUtf8(c.a), QString::fromUtf8(c.b)), c.less);
    }
}

TEST(MessagesListRules, ACopyTakesTheSelectedRowsOrEverything)
{
    const QStringList headers = {kSmsGroup, kWhatsAppGroup};
    Groups shown;
    shown[kSmsGroup] = {titled("Ann", 1), titled("Bob", 2)};
    shown[kWhatsAppGroup] = {titled("Club", 3), titled("Dee", 4)};
    struct Case {
        const char* name;
        QList<SelectedRow> selected;
        QStringList queued;
    };
    const QList<Case> cases = {
        {"nothing selected: every group in header order", {}, {"Ann", "Bob", "Club", "Dee"}},
        {"the WhatsApp header", {{1, -1}}, {"Club", "Dee"}},
        {"rows in list order, whatever the selection order", {{1, 1}, {0, 0}}, {"Ann", "Dee"}},
        {"a header and a row", {{0, -1}, {1, 0}}, {"Ann", "Bob", "Club"}},
        {"rows out of range are ignored", {{5, -1}, {0, 7}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(titles(copyQueue(headers, shown, c.selected)), c.queued);
    }
}

TEST(MessagesListRules, TitlesMatchIgnoringCaseAndAccents)
{
    const QString ann = TextMatch::fold(QStringLiteral("ann"));
    EXPECT_TRUE(titleMatches(titled("Anna"), ann));
    EXPECT_TRUE(titleMatches(titled("JOANNE"), ann));
    EXPECT_TRUE(titleMatches(titled("Ánnika"), ann));
    EXPECT_FALSE(titleMatches(titled("Bob"), ann));
}

} // namespace
