#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QPainter>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineSettings>

#include "QELImageAndTextCell.h"
#include "QELImageView.h"
#include "QELNSDataToNSImageValueTransformer.h"
#include "QELWebView.h"
#include "WebEnginePage.h"

namespace {

QPixmap solidIcon(int w, int h, const QColor& color)
{
    QPixmap pixmap(w, h);
    pixmap.fill(color);
    return pixmap;
}

QByteArray pngBytes()
{
    QImage image(8, 6, QImage::Format_ARGB32);
    image.fill(Qt::green);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

TEST(ImageAndTextCell, ShrinksATallIconOnceAndCentresAShortOne)
{
    QImage canvas(200, 40, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    QELImageAndTextCell cell(QStringLiteral("Status"));
    EXPECT_EQ(cell.leftPadding(), 2);
    EXPECT_EQ(cell.textColor(), QColor(Qt::black));
    EXPECT_FALSE(cell.backgroundColor().isValid());

    cell.setIcon(solidIcon(32, 32, Qt::red));
    cell.drawWithFrameInView(painter, QRectF(0, 0, 120, 16), QStringLiteral("Copied"), QFont(),
                             false, Qt::white);
    EXPECT_EQ(cell.icon().height(), 14);
    EXPECT_EQ(cell.icon().width(), 14);
    EXPECT_EQ(cell.lastIconRect(), QRectF(2, 1, 14, 14));
    EXPECT_DOUBLE_EQ(cell.lastTextRect().left(), 2 + 14);
    cell.drawWithFrameInView(painter, QRectF(0, 20, 120, 16), QStringLiteral("Copied"), QFont(),
                             false, Qt::white);
    EXPECT_EQ(cell.icon().height(), 14);

    cell.setIcon(solidIcon(10, 10, Qt::blue));
    cell.setImageToTextSpacing(4);
    cell.drawWithFrameInView(painter, QRectF(10, 0, 120, 20), QStringLiteral("x"), QFont(), false,
                             Qt::white);
    EXPECT_EQ(cell.lastIconRect(), QRectF(12, 5, 10, 10));
    EXPECT_DOUBLE_EQ(cell.lastTextRect().left(), 10 + 2 + 4 + 10);
    EXPECT_DOUBLE_EQ(cell.lastTextRect().width(), 120 - 2 - 4 - 10);
}

TEST(ImageAndTextCell, BlankWidthIndentsTextWithoutIcon)
{
    QImage canvas(200, 20, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    QELImageAndTextCell cell;
    cell.setBlankImageWidth(16);
    cell.setImageToTextSpacing(3);
    cell.setBackgroundColor(QColor(255, 255, 0));
    cell.drawWithFrameInView(painter, QRectF(0, 0, 200, 20), QStringLiteral("Song"), QFont(), false,
                             Qt::white);
    EXPECT_DOUBLE_EQ(cell.lastTextRect().left(), 2 + 3 + 16);
    EXPECT_DOUBLE_EQ(cell.lastTextRect().width(), 200 - 2 - 3 - 16);
    painter.end();
    EXPECT_EQ(canvas.pixelColor(199, 19), QColor(255, 255, 0));
}

TEST(ImageAndTextCell, PaintsModelRowsInATable)
{
    QStandardItemModel model(2, 1);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("first")));
    auto* second = new QStandardItem(QStringLiteral("second"));
    second->setData(solidIcon(12, 12, Qt::red), Qt::DecorationRole);
    model.setItem(1, 0, second);
    QTableView table;
    QELImageAndTextCell cell;
    cell.setIcon(solidIcon(12, 12, Qt::blue));
    table.setItemDelegate(&cell);
    table.setModel(&model);
    table.resize(200, 100);
    table.show();
    const QImage image = table.grab().toImage();
    bool red = false, blue = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red |= c == QColor(Qt::red);
            blue |= c == QColor(Qt::blue);
        }
    EXPECT_TRUE(red) << "the row's own icon";
    EXPECT_TRUE(blue) << "the cell's icon for a row without one";
    table.setItemDelegate(nullptr);
}

TEST(ImageView, LetsClicksThrough)
{
    QELImageView view;
    EXPECT_TRUE(view.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(view.focusPolicy(), Qt::NoFocus);
}

TEST(DataToImageTransformer, DecodesOnlyRealImages)
{
    EXPECT_EQ(QELNSDataToNSImageValueTransformer::transformedValueClass(),
              QMetaType::fromType<QImage>());
    EXPECT_FALSE(QELNSDataToNSImageValueTransformer::allowsReverseTransformation());
    const QByteArray png = pngBytes();
    EXPECT_EQ(QELNSDataToNSImageValueTransformer::transformedValue(QVariant(png)).size(),
              QSize(8, 6));
    struct Case {
        const char* name;
        QVariant value;
    };
    for (const Case& c :
         {Case{"missing", QVariant()}, Case{"empty", QVariant(QByteArray())},
          Case{"garbage", QVariant(QByteArray("\x89PNG not really", 15))},
          Case{"header only", QVariant(png.left(16))}, Case{"not bytes", QVariant(42)}}) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(QELNSDataToNSImageValueTransformer::transformedValue(c.value).isNull());
    }
}

class WebView : public ::testing::Test {
protected:
    bool load(const QString& html)
    {
        QSignalSpy finished(&view, &QELWebView::loadFinished);
        view.setHtml(html);
        return finished.wait(20000) && finished.first().first().toBool();
    }
    QELWebView view;
};

TEST_F(WebView, IsReadOnly)
{
    EXPECT_FALSE(view.acceptDrops());
    EXPECT_EQ(view.contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_FALSE(
        enginePageOf(&view)->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
    view.resize(300, 200);
    view.show();
    ASSERT_TRUE(load(QStringLiteral("<html><head></head><body><p>Hello there</p></body></html>")));

    // The page's text cannot be selected.
    QString html;
    QSignalSpy dummy(&view, &QELWebView::loadFinished);
    bool done = false;
    enginePageOf(&view)->toHtml([&](const QString& result) {
        html = result;
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
    EXPECT_TRUE(html.contains(QStringLiteral("user-select:none"))) << html.toStdString();

    // Copy and cut leave the clipboard empty, through the page and the keyboard.
    QClipboard* clipboard = QApplication::clipboard();
    for (QWebEnginePage::WebAction action : {QWebEnginePage::Copy, QWebEnginePage::Cut}) {
        clipboard->setText(QStringLiteral("something else"));
        enginePageOf(&view)->triggerAction(QWebEnginePage::SelectAll);
        enginePageOf(&view)->triggerAction(action);
        EXPECT_TRUE(clipboard->text().isEmpty());
    }
    if (QWidget* proxy = engineViewOf(&view)->focusProxy()) {
        clipboard->setText(QStringLiteral("something else"));
        QTest::keyClick(proxy, Qt::Key_C, Qt::ControlModifier);
        EXPECT_TRUE(clipboard->text().isEmpty());
    }
    EXPECT_TRUE(view.doCommandBySelector(QStringLiteral("copy:")));
    EXPECT_FALSE(view.doCommandBySelector(QStringLiteral("paste:")));
}

// A view whose text stays selectable copies what is selected; it still
// takes no drops and shows no context menu.
TEST_F(WebView, SelectableTextCanBeCopied)
{
    view.setTextSelectable(true);
    view.resize(300, 200);
    view.show();
    ASSERT_TRUE(
        load(QStringLiteral("<html><head></head><body><p>Call 555 0100</p></body></html>")));
    QString html;
    bool done = false;
    enginePageOf(&view)->toHtml([&](const QString& result) {
        html = result;
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
    EXPECT_FALSE(html.contains(QStringLiteral("user-select:none"))) << html.toStdString();
    EXPECT_FALSE(view.acceptDrops());
    EXPECT_EQ(view.contextMenuPolicy(), Qt::NoContextMenu);

    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText(QStringLiteral("something else"));
    enginePageOf(&view)->triggerAction(QWebEnginePage::SelectAll);
    enginePageOf(&view)->triggerAction(QWebEnginePage::Copy);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return clipboard->text().contains(QStringLiteral("Call 555 0100")); }, 10000))
        << clipboard->text().toStdString();
    // Cut still leaves nothing: the page is not the user's to change.
    enginePageOf(&view)->triggerAction(QWebEnginePage::Cut);
    EXPECT_TRUE(clipboard->text().isEmpty());
    EXPECT_FALSE(view.doCommandBySelector(QStringLiteral("copy:")));
}

TEST_F(WebView, ShowsLocalContentOnly)
{
    struct Case {
        const char* url;
        bool local;
    };
    for (const Case& c : {Case{"data:text/html,hi", true}, Case{"file:///tmp/a.html", true},
                          Case{"qrc:/images/x.svg", true}, Case{"about:blank", true},
                          Case{"http://example.com/", false}, Case{"https://example.com/", false},
                          Case{"ftp://example.com/", false}, Case{"javascript:alert(1)", false}}) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(QELWebView::isLocalUrl(QUrl(QString::fromLatin1(c.url))), c.local);
    }

    // A page that asks for a picture from the network loads without fetching it.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString remote = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    EXPECT_TRUE(load(
        QStringLiteral("<html><body><img src=\"%1x.png\"><link rel=stylesheet href=\"%1s.css\">"
                       "</body></html>")
            .arg(remote)));
    QTest::qWait(200);
    EXPECT_FALSE(server.hasPendingConnections());

    // Loading a remote page is refused: the view stays on its local page.
    view.load(QUrl(remote));
    QTest::qWait(300);
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_NE(view.url().scheme(), QStringLiteral("http"));
}
