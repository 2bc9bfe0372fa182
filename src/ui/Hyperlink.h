#pragma once

#include <QString>
#include <QTextDocumentFragment>
#include <QUrl>

// Clickable link text for labels and text views.
namespace Hyperlink {

// The text as rich text carrying the link, in blue and underlined. The text
// is inserted as plain text, so markup in it shows as it is. An empty text
// gives an empty fragment.
QTextDocumentFragment hyperlinkFromStringWithURL(const QString& text, const QUrl& url);

} // namespace Hyperlink
