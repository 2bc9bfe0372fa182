#pragma once

#include <QUrl>
#include <QWebEngineView>

// The read-only display of generated HTML pages (conversations, call logs):
// it can be scrolled and read, but accepts no drops, shows no context menu,
// refuses selection, and copy and cut leave the clipboard empty. It shows
// local content only (set HTML, files, resources); JavaScript is off and
// nothing is fetched from the network. A clicked link is reported through
// linkClicked and never opened by the view.
class QELWebView : public QWebEngineView {
    Q_OBJECT
public:
    explicit QELWebView(QWidget* parent = nullptr);
    ~QELWebView() override;

    // Shows generated HTML; the page's text cannot be selected.
    void setHtml(const QString& html, const QUrl& baseUrl = QUrl());

    // Whether the view would load `url` (local schemes only).
    static bool isLocalUrl(const QUrl& url);

    // The view's answer to an edit command: copy and cut empty the clipboard
    // and count as handled; every other command is left to the page.
    bool doCommandBySelector(const QString& command);

signals:
    void linkClicked(const QUrl& url);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchFocusProxy();
    QWidget* m_watchedProxy = nullptr;
};
