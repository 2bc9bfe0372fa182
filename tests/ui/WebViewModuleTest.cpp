#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QLabel>
#include <QLibraryInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "QELWebView.h"
#include "QELWebViewEngine.h"
#include "QELWebViewModule.h"
#include "WaitUntil.h"

namespace {

// The module the program loads: beside the test, as beside the executables.
TEST(WebViewModule, IsFoundBesideTheProgramAndLoadedOnce)
{
    QString error;
    QELWebEngineFactory* engine = QELWebViewModule::factory(&error);
    ASSERT_NE(engine, nullptr) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(QELWebViewModule::factory(), engine);
    QELWebView first;
    QELWebView second;
    EXPECT_TRUE(first.hasEngine());
    EXPECT_TRUE(second.hasEngine());
    EXPECT_EQ(first.unavailableMessage(), nullptr);
    // The engine's view fills the widget and takes its focus.
    ASSERT_NE(first.engineView(), nullptr);
    EXPECT_EQ(first.engineView()->parentWidget(), &first);
    EXPECT_EQ(first.focusProxy(), first.engineView());
    EXPECT_FALSE(first.engineView()->acceptDrops());
    EXPECT_EQ(first.engineView()->contextMenuPolicy(), Qt::NoContextMenu);
}

// A file that is not the engine module is refused with the reason, never
// loaded blindly.
TEST(WebViewModule, AFileThatIsNotTheModuleIsRefusedWithTheReason)
{
    QTemporaryDir dir;
    QFile real(QELWebViewModule::path());
    ASSERT_TRUE(real.open(QIODevice::ReadOnly)) << real.fileName().toStdString();
    const QByteArray module = real.readAll();
    struct Case {
        const char* name;
        QByteArray bytes; // written to a file of the test's; none: the path given
        QString path;
    };
    const QString otherPlugin = QLibraryInfo::path(QLibraryInfo::PluginsPath)
        + QStringLiteral("/platforms/libqoffscreen.so");
    for (const Case& c :
         {Case{"missing", {}, dir.filePath(QStringLiteral("none.so"))},
          Case{"empty", QByteArray(""), {}}, Case{"garbage", QByteArray(4096, '\x7f'), {}},
          Case{"the module's first bytes", module.left(64), {}},
          Case{"another Qt plugin", {}, otherPlugin}}) {
        SCOPED_TRACE(c.name);
        QString path = c.path;
        if (path.isEmpty()) {
            path = dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".so"));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.bytes);
        }
        QString error;
        EXPECT_EQ(QELWebViewModule::load(path, &error), nullptr);
        EXPECT_FALSE(error.isEmpty());
    }
}

// Without its engine a web view says so where the page would be; whatever
// the views ask of it then does nothing, and no load or print ever
// finishes. The engine is loaded once per process, so this runs in a
// process of its own whose module cannot be found.
TEST(WebViewModule, WithoutTheModuleAViewSaysSoInPlaceOfThePage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            qputenv("ORVANE_WEBENGINE_MODULE", "/nonexistent/liborvane_webengine.so");
            bool ok = true;
            for (int i = 0; i < 2; ++i) {
                QELWebView view;
                QSignalSpy loaded(&view, &QELWebView::loadFinished);
                QSignalSpy printed(&view, &QELWebView::printFinished);
                QSignalSpy pdf(&view, &QELWebView::pdfPrintingFinished);
                view.resize(300, 200);
                view.show();
                view.setTextSelectable(true);
                view.setHtml(QStringLiteral("<p>Hello</p>"));
                view.loadFile(QStringLiteral("/tmp/none.html"));
                view.load(QUrl(QStringLiteral("data:text/html,hi")));
                view.print(nullptr);
                view.printToPdf(QStringLiteral("/tmp/none.pdf"));
                // Last, a page large enough to be written on a worker: once
                // it has been handed on to be loaded, whatever the calls
                // above could have queued has been delivered.
                view.setHtml(QString(QELWebView::kLargestInlinePage + 10, QLatin1Char('x')));
                ok = ok && waitUntil([&] { return !view.pageFilePath().isEmpty(); });
                QCoreApplication::processEvents();
                ok = ok && !view.hasEngine() && view.engineView() == nullptr
                    && view.enginePage() == nullptr && view.url().isEmpty()
                    && view.unavailableMessage() && view.unavailableMessage()->isVisible()
                    && view.unavailableMessage()->text().contains(QStringLiteral("cannot be shown"))
                    && loaded.isEmpty() && printed.isEmpty() && pdf.isEmpty();
            }
            _exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "page engine could not be loaded");
}

} // namespace
