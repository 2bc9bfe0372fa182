#pragma once

#include <QString>
#include <QUrl>
#include <QtPlugin>

class QPrinter;
class QWidget;

// The page engine behind QELWebView and the internet preview, which lives
// in a module of its own (orvane_webengine, beside the executables) loaded
// on the first web view: the engine's libraries are large, and the program
// does not pay for loading them until a page is shown. Only this header is
// shared with the module; the module links none of the program's libraries,
// so whatever it needs from the program is handed to it through these
// interfaces. Main thread.

// What an engine page tells the widget that shows it.
class QELWebEngineClient {
public:
    virtual void engineLoadStarted() = 0;
    virtual void engineLoadFinished(bool ok) = 0;
    virtual void enginePrintFinished(bool ok) = 0;
    virtual void enginePdfPrintingFinished(const QString& path, bool ok) = 0;
    // A navigation of the page's main frame or of a frame; `linkClicked`
    // when the user clicked a link. False refuses it.
    virtual bool engineAcceptNavigation(const QUrl& url, bool linkClicked) = 0;
    // An edit command of the page ("copy:", "cut:"); true when the client
    // has handled it and the page must not.
    virtual bool engineEditCommand(const QString& command) = 0;

protected:
    ~QELWebEngineClient() = default;
};

// One page and the engine's view that shows it; deleting it deletes the view.
class QELWebEnginePage {
public:
    virtual ~QELWebEnginePage() = default;
    // The engine's view (a QWebEngineView), a child of the parent it was made with.
    virtual QWidget* widget() const = 0;
    // The engine's page (a QWebEnginePage).
    virtual QObject* page() const = 0;
    virtual void setHtml(const QString& html, const QUrl& baseUrl) = 0;
    virtual void load(const QUrl& url) = 0;
    virtual QUrl url() const = 0;
    // Read-only pages: whether the user may select the text and copy it.
    virtual void setTextSelectable(bool selectable) = 0;
    // Ends with enginePrintFinished(); the printer must live until then. A
    // printer that writes a PDF file gets the page's own PDF, with its text.
    virtual void print(QPrinter* printer) = 0;
    // The same with a heading above the page on paper only (a note's title
    // and date, which the page itself does not show); plain text.
    virtual void printWithHeading(QPrinter* printer, const QString& title, const QString& line) = 0;
    // Ends with enginePdfPrintingFinished().
    virtual void printToPdf(const QString& path) = 0;
};

class QELWebEngineFactory {
public:
    enum class Kind {
        // Local generated pages (QELWebView): read-only, no selection unless
        // asked for, no drops, context menu or copy.
        ReadOnlyLocal,
        // The internet category's preview of remote web pages.
        WebPreview,
    };
    // Which requests a page's resources may make (an image, a frame, a style).
    using RequestFilter = bool (*)(const QUrl& url);

    virtual ~QELWebEngineFactory() = default;
    // Pages of one kind share one private, memory-only profile whose
    // requests go through `allowed` (the first page's filter counts).
    virtual QELWebEnginePage* createPage(Kind kind, RequestFilter allowed,
                                         QELWebEngineClient* client, QWidget* parent) = 0;
    // Told before the first page where no OpenGL context can be made: the
    // engine's view then draws its pages without OpenGL. Its OpenGL path
    // would attach a view that finds no context and crashes the program.
    virtual void drawWithoutOpenGL() = 0;
};

#define QELWebEngineFactory_iid "org.orvane.WebEngineFactory/1.1"
Q_DECLARE_INTERFACE(QELWebEngineFactory, QELWebEngineFactory_iid)
