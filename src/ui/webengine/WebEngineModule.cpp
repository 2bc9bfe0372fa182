#include "WebEngineModule.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QPointer>
#include <QPrinter>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

namespace {

// The program's logging category by its name; the module links none of the
// program's libraries.
const QLoggingCategory& lcEngine()
{
    static const QLoggingCategory category("orvane");
    return category;
}

using Kind = QELWebEngineFactory::Kind;
using RequestFilter = QELWebEngineFactory::RequestFilter;

// Selection of a page loaded from its file is refused by a style put in by a
// script of the view's own world: the page's own scripts stay off. (An
// inline page gets the same style from QELWebView itself.)
QWebEngineScript noSelectionScript()
{
    QWebEngineScript script;
    script.setName(QStringLiteral("orvane-no-selection"));
    script.setInjectionPoint(QWebEngineScript::DocumentReady);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(QStringLiteral(
        "(function(){var s=document.createElement('style');"
        "s.textContent='*{-webkit-user-select:none !important;user-select:none !important;}';"
        "(document.head||document.documentElement).appendChild(s);})();"));
    return script;
}

// Blocks every request of a page's resources (images, styles, frames) that
// its kind does not allow.
class FilteringInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    FilteringInterceptor(RequestFilter allowed, const char* who, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent)
        , m_allowed(allowed)
        , m_who(who)
    {
    }
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!m_allowed || !m_allowed(info.requestUrl())) {
            qCDebug(lcEngine) << m_who << "blocked a request for" << info.requestUrl().scheme();
            info.block(true);
        }
    }

private:
    RequestFilter m_allowed;
    const char* m_who;
};

// One private, memory-only profile per kind of page (off the record: no
// storage name, so cookies, cache and history go with the program). The
// application owns it, so it outlives every page.
QWebEngineProfile* profileFor(Kind kind, RequestFilter allowed)
{
    auto make = [](RequestFilter allowed, const char* who) {
        auto* p = new QWebEngineProfile(qApp);
        p->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        p->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        p->setUrlRequestInterceptor(new FilteringInterceptor(allowed, who, p));
        return p;
    };
    if (kind == Kind::WebPreview) {
        static QWebEngineProfile* preview = make(allowed, "Preview:");
        return preview;
    }
    static QWebEngineProfile* readOnly = make(allowed, "Web view:");
    return readOnly;
}

// What the page and the view of one engine page share.
struct PageState {
    Kind kind;
    QELWebEngineClient* client;
    bool textSelectable = false;
};

class EnginePage : public QWebEnginePage {
public:
    EnginePage(const PageState* state, QWebEngineProfile* profile, QObject* parent)
        : QWebEnginePage(profile, parent)
        , m_state(state)
    {
    }

    void triggerAction(WebAction action, bool checked = false) override
    {
        if (m_state->kind != Kind::ReadOnlyLocal
            || (m_state->textSelectable && (action == Copy || action == SelectAll))) {
            QWebEnginePage::triggerAction(action, checked);
            return;
        }
        switch (action) {
        case Copy:
            m_state->client->engineEditCommand(QStringLiteral("copy:"));
            return;
        case Cut:
            m_state->client->engineEditCommand(QStringLiteral("cut:"));
            return;
        case SelectAll:
        case Paste:
        case PasteAndMatchStyle:
        case CopyLinkToClipboard:
        case CopyImageToClipboard:
        case CopyImageUrlToClipboard:
        case CopyMediaUrlToClipboard:
        case DownloadLinkToDisk:
        case DownloadImageToDisk:
        case DownloadMediaToDisk:
        case OpenLinkInNewWindow:
        case OpenLinkInNewTab:
        case OpenLinkInNewBackgroundTab:
        case OpenLinkInThisWindow:
        case InspectElement:
        case SavePage:
        case ViewSource:
            return;
        default:
            QWebEnginePage::triggerAction(action, checked);
        }
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (!m_state->client->engineAcceptNavigation(url, type == NavigationTypeLinkClicked))
            return false;
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

private:
    const PageState* m_state;
};

// The engine's view. A read-only one takes no drops, shows no context menu
// and answers copy, cut and select all of the keyboard as the page does,
// also on the rendering widget the engine puts in as its focus proxy.
class EngineView : public QWebEngineView {
public:
    EngineView(const PageState* state, QWidget* parent)
        : QWebEngineView(parent)
        , m_state(state)
    {
        setContextMenuPolicy(Qt::NoContextMenu);
        if (readOnly()) {
            setAcceptDrops(false);
            watchFocusProxy();
        }
    }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (readOnly())
            event->accept();
        else
            QWebEngineView::contextMenuEvent(event);
    }
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (readOnly())
            event->ignore();
        else
            QWebEngineView::dragEnterEvent(event);
    }
    void dragMoveEvent(QDragMoveEvent* event) override
    {
        if (readOnly())
            event->ignore();
        else
            QWebEngineView::dragMoveEvent(event);
    }
    void dropEvent(QDropEvent* event) override
    {
        if (readOnly())
            event->ignore();
        else
            QWebEngineView::dropEvent(event);
    }

    bool event(QEvent* event) override
    {
        // The engine puts its rendering widget in as a child once it exists.
        if (readOnly()
            && (event->type() == QEvent::ChildPolished || event->type() == QEvent::ChildAdded))
            watchFocusProxy();
        return QWebEngineView::event(event);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_watchedProxy && filterProxyEvent(event))
            return true;
        return QWebEngineView::eventFilter(watched, event);
    }

private:
    bool readOnly() const { return m_state->kind == Kind::ReadOnlyLocal; }

    void watchFocusProxy()
    {
        QWidget* proxy = focusProxy();
        if (!proxy || proxy == m_watchedProxy)
            return;
        if (m_watchedProxy)
            m_watchedProxy->removeEventFilter(this);
        m_watchedProxy = proxy;
        proxy->setAcceptDrops(false);
        proxy->installEventFilter(this);
        connect(proxy, &QObject::destroyed, this, [this, proxy] {
            if (m_watchedProxy == proxy)
                m_watchedProxy = nullptr;
        });
    }

    // True when the event of the rendering widget is the view's, not the page's.
    bool filterProxyEvent(QEvent* event)
    {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (m_state->textSelectable
                && (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)))
                return false;
            if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut)) {
                if (event->type() == QEvent::KeyPress)
                    m_state->client->engineEditCommand(key->matches(QKeySequence::Copy)
                                                           ? QStringLiteral("copy:")
                                                           : QStringLiteral("cut:"));
                event->accept();
                return true;
            }
            if (key->matches(QKeySequence::SelectAll)) {
                event->accept();
                return true;
            }
            return false;
        }
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            event->ignore();
            return true;
        default:
            return false;
        }
    }

    const PageState* m_state;
    QWidget* m_watchedProxy = nullptr;
};

class EnginePageImpl : public QELWebEnginePage {
public:
    EnginePageImpl(Kind kind, RequestFilter allowed, QELWebEngineClient* client, QWidget* parent)
        : m_state{kind, client}
    {
        m_view = new EngineView(&m_state, parent);
        m_page = new EnginePage(&m_state, profileFor(kind, allowed), m_view);
        QWebEngineSettings* s = m_page->settings();
        s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
        if (kind == Kind::ReadOnlyLocal) {
            s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
            s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
            m_page->scripts().insert(noSelectionScript());
        } else {
            s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
            s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
        }
        m_view->setPage(m_page);
        QObject::connect(m_page, &QWebEnginePage::loadStarted, m_view,
                         [client] { client->engineLoadStarted(); });
        QObject::connect(m_page, &QWebEnginePage::loadFinished, m_view,
                         [client](bool ok) { client->engineLoadFinished(ok); });
        QObject::connect(m_view, &QWebEngineView::printFinished, m_view,
                         [client](bool ok) { client->enginePrintFinished(ok); });
        QObject::connect(m_page, &QWebEnginePage::pdfPrintingFinished, m_view,
                         [this, client](const QString& path, bool ok) {
                             if (!m_printingToFile.isEmpty() && path == m_printingToFile) {
                                 m_printingToFile.clear();
                                 client->enginePrintFinished(ok);
                                 return;
                             }
                             client->enginePdfPrintingFinished(path, ok);
                         });
    }

    ~EnginePageImpl() override
    {
        // The page goes before its view, and neither tells the client any more.
        QObject::disconnect(m_page, nullptr, m_view, nullptr);
        QObject::disconnect(m_view, nullptr, m_view, nullptr);
        m_view->setPage(nullptr);
        delete m_page;
        delete m_view;
    }

    QWidget* widget() const override { return m_view; }
    QObject* page() const override { return m_page; }
    void setHtml(const QString& html, const QUrl& baseUrl) override
    {
        m_view->setHtml(html, baseUrl);
    }
    void load(const QUrl& url) override { m_view->load(url); }
    QUrl url() const override { return m_view->url(); }

    void setTextSelectable(bool selectable) override
    {
        m_state.textSelectable = selectable;
        if (m_state.kind != Kind::ReadOnlyLocal)
            return;
        // Pages loaded from their files get the no-selection style from the
        // script; a view whose text may be selected and copied runs none.
        QWebEngineScriptCollection& scripts = m_page->scripts();
        const QList<QWebEngineScript> present = scripts.find(noSelectionScript().name());
        if (selectable) {
            for (const QWebEngineScript& script : present)
                scripts.remove(script);
        } else if (present.isEmpty()) {
            scripts.insert(noSelectionScript());
        }
    }

    void print(QPrinter* printer) override
    {
        // A print into a PDF file (the print dialog's "Print to File") is
        // the page's own PDF, its text searchable and copyable, on the
        // printer's paper and margins; the view's print would paint every
        // page as one picture.
        if (printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty()
            && m_printingToFile.isEmpty()) {
            m_printingToFile = printer->outputFileName();
            m_page->printToPdf(m_printingToFile, printer->pageLayout(), printer->pageRanges());
            return;
        }
        m_view->print(printer);
    }
    void printWithHeading(QPrinter* printer, const QString& title, const QString& line) override
    {
        // The texts go in as JSON string values and become text nodes, never
        // mark-up; the heading shows only on paper.
        const QString values = QString::fromUtf8(
            QJsonDocument(QJsonArray{title, line}).toJson(QJsonDocument::Compact));
        const QString script =
            QStringLiteral("(function(v){var old=document.getElementById('orvanePrint"
                           "Heading');if(old)old.remove();var d=document.createElement("
                           "'div');d.id='orvanePrintHeading';var h=document.createElement("
                           "'h1');h.textContent=v[0];d.appendChild(h);var p=document."
                           "createElement('p');p.textContent=v[1];d.appendChild(p);var s="
                           "document.createElement('style');s.textContent='@media screen"
                           "{#orvanePrintHeading{display:none}}';d.appendChild(s);var b="
                           "document.body||document.documentElement;b.insertBefore(d,b."
                           "firstChild);})(%1);")
                .arg(values);
        QPointer<QWebEnginePage> page(m_page);
        m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                              [this, page, printer](const QVariant&) {
                                  if (page)
                                      print(printer);
                              });
    }
    void printToPdf(const QString& path) override { m_page->printToPdf(path); }

private:
    PageState m_state;
    // The file a print into a PDF file is writing; empty when none is.
    QString m_printingToFile;
    EngineView* m_view = nullptr;
    EnginePage* m_page = nullptr;
};

} // namespace

QELWebEnginePage* WebEngineModule::createPage(Kind kind, RequestFilter allowed,
                                              QELWebEngineClient* client, QWidget* parent)
{
    return new EnginePageImpl(kind, allowed, client, parent);
}

void WebEngineModule::drawWithoutOpenGL()
{
    // The view shows its pages through a Qt Quick scene, which draws in
    // software from now on; it must be set before the first view's scene.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}
