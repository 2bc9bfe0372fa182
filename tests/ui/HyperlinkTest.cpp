#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "Hyperlink.h"

namespace {

// The character format of the first character of the fragment's text.
QTextCharFormat formatOf(const QTextDocumentFragment& fragment, QTextDocument& document)
{
    QTextCursor cursor(&document);
    cursor.insertFragment(fragment);
    cursor.setPosition(1);
    return cursor.charFormat();
}

TEST(Hyperlink, CarriesTheLinkInBlueUnderlined)
{
    const QUrl url(QStringLiteral("https://example.com/help?topic=device"));
    const auto fragment =
        Hyperlink::hyperlinkFromStringWithURL(QStringLiteral("Click here for help"), url);
    EXPECT_EQ(fragment.toPlainText(), QStringLiteral("Click here for help"));
    QTextDocument document;
    const QTextCharFormat format = formatOf(fragment, document);
    EXPECT_TRUE(format.isAnchor());
    EXPECT_EQ(format.anchorHref(), url.toString());
    EXPECT_EQ(format.foreground().color(), QColor(Qt::blue));
    EXPECT_TRUE(format.fontUnderline());
}

TEST(Hyperlink, TextAndLinkNeverBecomeMarkup)
{
    const QString text = QStringLiteral("<b>bold</b> & \"quoted\"");
    const QUrl url(QStringLiteral("https://example.com/a b\"><script>x</script>"));
    const auto fragment = Hyperlink::hyperlinkFromStringWithURL(text, url);
    EXPECT_EQ(fragment.toPlainText(), text);
    const QString html = fragment.toHtml();
    EXPECT_FALSE(html.contains(QStringLiteral("<b>")));
    EXPECT_FALSE(html.contains(QStringLiteral("<script>")));
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;b&gt;")));
    QTextDocument document;
    EXPECT_FALSE(formatOf(fragment, document).anchorHref().contains(QLatin1Char('"')));
}

TEST(Hyperlink, EmptyTextGivesEmptyFragment)
{
    const auto fragment = Hyperlink::hyperlinkFromStringWithURL(
        QString(), QUrl(QStringLiteral("https://example.com")));
    EXPECT_TRUE(fragment.isEmpty());
    EXPECT_TRUE(fragment.toPlainText().isEmpty());
}

} // namespace
