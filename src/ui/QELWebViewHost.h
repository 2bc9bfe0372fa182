#pragma once

#include <memory>

#include <QUrl>
#include <QWidget>

#include "QELWebViewEngine.h"

class QLabel;
class QPrinter;

// A widget that shows one page of the engine module (QELWebViewEngine.h),
// loading the module with the first one made. When the module cannot be
// loaded it says so in place of the page: nothing is loaded or printed then,
// and no load or print ever finishes. The base of QELWebView and of the
// internet category's preview. Main thread.
class QELWebViewHost : public QWidget,
                       protected QELWebEngineClient {
    Q_OBJECT
public:
    ~QELWebViewHost() override;

    // Whether the engine was loaded and a page is shown.
    bool hasEngine() const { return m_engine != nullptr; }
    // The engine's view (a QWebEngineView) and its page (a QWebEnginePage),
    // for tests and tools; null without the engine.
    QWidget* engineView() const;
    QObject* enginePage() const;
    // What is shown when the engine could not be loaded; null with it.
    QLabel* unavailableMessage() const { return m_unavailable; }

    QUrl url() const;
    // Prints the page shown; printFinished() tells when the printer may go.
    void print(QPrinter* printer);
    // The same with a heading above the page on paper only (plain text).
    void print(QPrinter* printer, const QString& title, const QString& line);
    // Prints the page shown to a PDF file; pdfPrintingFinished() tells the end.
    void printToPdf(const QString& path);

signals:
    void loadStarted();
    void loadFinished(bool ok);
    void printFinished(bool ok);
    void pdfPrintingFinished(const QString& path, bool ok);

protected:
    QELWebViewHost(QELWebEngineFactory::Kind kind, QELWebEngineFactory::RequestFilter allowed,
                   QWidget* parent);
    // The page; null without the engine.
    QELWebEnginePage* engine() const { return m_engine.get(); }

    void engineLoadStarted() override { emit loadStarted(); }
    void engineLoadFinished(bool ok) override { emit loadFinished(ok); }
    void enginePrintFinished(bool ok) override { emit printFinished(ok); }
    void enginePdfPrintingFinished(const QString& path, bool ok) override
    {
        emit pdfPrintingFinished(path, ok);
    }
    bool engineEditCommand(const QString&) override { return false; }

private:
    std::unique_ptr<QELWebEnginePage> m_engine;
    QLabel* m_unavailable = nullptr;
};
