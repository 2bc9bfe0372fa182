#pragma once

#include <atomic>

#include <QUrl>

#include "QELWebViewHost.h"
#include "WorkerThreads.h"

// The read-only display of generated HTML pages (conversations, call logs):
// it can be scrolled and read, but accepts no drops, shows no context menu,
// refuses selection, and copy and cut leave the clipboard empty. It shows
// local content only (set HTML, files, resources); JavaScript is off and
// nothing is fetched from the network. A clicked link is reported through
// linkClicked and never opened by the view. A view that lets the user copy
// what a page says (a contact's number) keeps its text selectable. The
// engine behind it is loaded with the first view made (QELWebViewHost).
class QELWebView : public QELWebViewHost {
    Q_OBJECT
public:
    explicit QELWebView(QWidget* parent = nullptr);
    ~QELWebView() override;

    // Shows generated HTML; the page's text cannot be selected. A page
    // larger than the engine takes inline (about 2 MB: a call log of
    // thousands of calls) is written on a worker thread to a private file in
    // the program's temporary folder and loaded from there; a later setHtml()
    // wins over a page still being written.
    void setHtml(const QString& html, const QUrl& baseUrl = QUrl());
    // Shows a local page from its file, whatever its size (the engine refuses
    // inline pages over 2 MB); its text cannot be selected either. The file
    // stays the caller's. A later setHtml() or loadFile() wins.
    void loadFile(const QString& path);
    // Shows a page by its address; one that is not local is refused.
    void load(const QUrl& url);
    // The UTF-8 size from which setHtml() loads a page from a file.
    static constexpr qsizetype kLargestInlinePage = 1024 * 1024;
    // The file the shown page was loaded from; empty for an inline page.
    QString pageFilePath() const { return m_pageFile; }

    // Lets the user select the text of later pages and copy it (select all
    // and copy then do what they say); cut, drops and the context menu stay
    // off. Off by default.
    void setTextSelectable(bool selectable);
    bool textSelectable() const { return m_textSelectable; }

    // Whether the view would load `url` (local schemes only).
    static bool isLocalUrl(const QUrl& url);

    // The view's answer to an edit command: copy and cut empty the clipboard
    // and count as handled (copy is left to the page when the text is
    // selectable); every other command is left to the page.
    bool doCommandBySelector(const QString& command);

signals:
    void linkClicked(const QUrl& url);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool engineAcceptNavigation(const QUrl& url, bool linkClicked) override;
    bool engineEditCommand(const QString& command) override { return doCommandBySelector(command); }

private:
    void loadWrittenPage(quint64 generation, const QString& path);
    // Counts setHtml() calls, so that only the newest page is shown.
    std::atomic<quint64> m_generation{0};
    QString m_pageFile;
    bool m_textSelectable = false;
    // Last: joined before the members above go.
    WorkerThreads m_pageWriters{QStringLiteral("A web page write")};
};
