#include "Hyperlink.h"

#include <QBrush>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

QTextDocumentFragment Hyperlink::hyperlinkFromStringWithURL(const QString& text, const QUrl& url)
{
    if (text.isEmpty())
        return {};
    QTextCharFormat format;
    format.setAnchor(true);
    format.setAnchorHref(url.toString(QUrl::FullyEncoded));
    format.setForeground(QBrush(Qt::blue));
    format.setFontUnderline(true);

    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    cursor.insertText(text, format);
    cursor.endEditBlock();
    return QTextDocumentFragment(&document);
}
