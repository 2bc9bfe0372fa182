#include <cmath>

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTest>

#include "QELBezierPath.h"
#include "TSPProgressIndicator.h"

using namespace QELBezierPath;

namespace {

QImage transparentImage(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Counts pixels close to `color` (each channel within `tolerance`).
int countNear(const QImage& image, const QColor& color, int tolerance = 40)
{
    int count = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QColor c = rgb.pixelColor(x, y);
            if (c.alpha() > 100 && std::abs(c.red() - color.red()) <= tolerance
                && std::abs(c.green() - color.green()) <= tolerance
                && std::abs(c.blue() - color.blue()) <= tolerance)
                ++count;
        }
    return count;
}

} // namespace

TEST(BezierPath, RadiusIsCutToHalfTheShorterSide)
{
    const QPainterPath circle = bezierPathWithRoundedRectCornerRadius(QRectF(0, 0, 10, 10), 8);
    for (int degrees = 0; degrees < 360; degrees += 15) {
        SCOPED_TRACE(degrees);
        const qreal a = qDegreesToRadians(qreal(degrees));
        EXPECT_TRUE(circle.contains(QPointF(5 + 4.8 * std::cos(a), 5 + 4.8 * std::sin(a))));
        EXPECT_FALSE(circle.contains(QPointF(5 + 5.2 * std::cos(a), 5 + 5.2 * std::sin(a))));
    }
}

// Each corner bit rounds its own corner only; 0 gives a plain rectangle.
struct CornerCase {
    int bits;
    bool topLeft, bottomLeft, topRight, bottomRight; // corner point inside the path
};

void PrintTo(const CornerCase& c, std::ostream* os) { *os << "corners " << c.bits; }

class RoundedCorners : public ::testing::TestWithParam<CornerCase> {};

TEST_P(RoundedCorners, RoundsTheChosenCorners)
{
    const CornerCase c = GetParam();
    const QRectF rect(0, 0, 100, 40);
    const QPainterPath path = bezierPathWithRoundedRectCornerRadiusInCorners(rect, 10, c.bits);
    EXPECT_EQ(path.contains(QPointF(0.5, 0.5)), c.topLeft);
    EXPECT_EQ(path.contains(QPointF(0.5, 39.5)), c.bottomLeft);
    EXPECT_EQ(path.contains(QPointF(99.5, 0.5)), c.topRight);
    EXPECT_EQ(path.contains(QPointF(99.5, 39.5)), c.bottomRight);
    EXPECT_TRUE(path.contains(QPointF(50, 20)));
    EXPECT_EQ(path.boundingRect(), rect);
}

INSTANTIATE_TEST_SUITE_P(BezierPath, RoundedCorners,
                         ::testing::Values(CornerCase{0, true, true, true, true},
                                           CornerCase{1, false, true, true, true},
                                           CornerCase{2, true, false, true, true},
                                           CornerCase{4, true, true, false, true},
                                           CornerCase{8, true, true, true, false},
                                           CornerCase{15, false, false, false, false},
                                           CornerCase{1 | 8, false, true, true, false}));

TEST(BezierPath, StrokeInsideStaysInsideAtTwiceTheWidth)
{
    QImage image = transparentImage(40, 40);
    const QPainterPath path =
        bezierPathWithRoundedRectCornerRadiusInCorners(QRectF(10, 10, 20, 20), 0, 0);
    const QPen pen(Qt::red, 2.0);
    {
        QPainter p(&image);
        p.setPen(QPen(Qt::blue, 5));
        strokeInside(p, path, pen);
        EXPECT_EQ(p.pen().color(), QColor(Qt::blue));
        EXPECT_EQ(p.pen().widthF(), 5.0);
    }
    EXPECT_EQ(image.pixelColor(9, 20).alpha(), 0);        // outside: nothing
    EXPECT_EQ(image.pixelColor(11, 20), QColor(Qt::red)); // the inner half of a 4-wide line
    EXPECT_EQ(image.pixelColor(20, 20).alpha(), 0);       // the middle is untouched
    EXPECT_NEAR(pathWithStrokeWidth(path, 4).boundingRect().width(), 24.0, 0.01);
}

TEST(BezierPath, InnerShadowDarkensTheEdgesInside)
{
    QImage image = transparentImage(60, 60);
    const QPainterPath path = bezierPathWithRoundedRectCornerRadius(QRectF(10, 10, 40, 40), 4);
    {
        QPainter p(&image);
        fillWithInnerShadow(p, path, Shadow{Qt::black, 6, QPointF(0, 0)});
    }
    EXPECT_EQ(image.pixelColor(5, 30).alpha(), 0);
    EXPECT_GT(image.pixelColor(11, 30).alpha(), image.pixelColor(30, 30).alpha());
    EXPECT_GT(image.pixelColor(11, 30).alpha(), 60);

    QImage blurred = transparentImage(60, 60);
    {
        QPainter p(&blurred);
        drawBlurWithColorRadius(p, path, Qt::red, 6);
    }
    // The blur spills beyond the shape and softens its edge.
    EXPECT_GT(blurred.pixelColor(8, 30).alpha(), 0);
    EXPECT_LT(blurred.pixelColor(10, 30).alpha(), 255);
    EXPECT_EQ(blurred.pixelColor(30, 30).alpha(), 255);
}

// The progress bar's fill follows the value: value, maximum, width → fill width.
struct FillCase {
    double value, maximum;
    int width;
    double fill;
};

void PrintTo(const FillCase& c, std::ostream* os)
{
    *os << c.value << " of " << c.maximum << " on " << c.width;
}

class ProgressFill : public ::testing::TestWithParam<FillCase> {};

TEST_P(ProgressFill, FillWidth)
{
    TSPProgressIndicator bar;
    bar.resize(GetParam().width, 20);
    bar.setMaxValue(GetParam().maximum);
    bar.setDoubleValue(GetParam().value);
    bar.grab();
    EXPECT_DOUBLE_EQ(bar.lastFillRect().width(), GetParam().fill);
}

INSTANTIATE_TEST_SUITE_P(ProgressBar, ProgressFill,
                         ::testing::Values(FillCase{30, 100, 200, 60}, FillCase{0, 100, 200, 0},
                                           FillCase{5, 0, 200, 200}, FillCase{100, 100, 150, 150},
                                           FillCase{250, 100, 200, 200},
                                           FillCase{-5, 100, 200, 0}));

TEST(ProgressBar, DefaultsAndTextAlignment)
{
    TSPProgressIndicator bar;
    EXPECT_EQ(bar.maxValue(), 100.0);
    EXPECT_EQ(bar.cornerRadius(), 15.0);
    EXPECT_EQ(bar.fontSize(), 11.0f);
    EXPECT_EQ(bar.shadowBlur(), 4.0f);
    EXPECT_FALSE(bar.isIndeterminate());
    EXPECT_EQ(bar.progressTextAlignt(), 2);
    const QRectF rect(0, 0, 200, 20);
    EXPECT_FLOAT_EQ(bar.alignTextOnProgressFontSize(rect, QSizeF(40, 12)), 80.0f);
    bar.setProgressTextAlign(0);
    EXPECT_FLOAT_EQ(bar.alignTextOnProgressFontSize(rect, QSizeF(40, 12)), 10.0f);
    bar.setProgressTextAlign(1);
    EXPECT_FLOAT_EQ(bar.alignTextOnProgressFontSize(rect, QSizeF(40, 12)), 150.0f);
    bar.setProgressTextAlign(7);
    EXPECT_EQ(bar.progressTextAlignt(), 2);
}

// What each state draws: fill colour, text over the empty part, text over the fill.
struct DrawCase {
    const char* name;
    double value;
    bool indeterminate;
    bool fillDrawn, backText, frontText;
};

void PrintTo(const DrawCase& c, std::ostream* os) { *os << c.name; }

class ProgressDrawing : public ::testing::TestWithParam<DrawCase> {};

TEST_P(ProgressDrawing, DrawsItsLayers)
{
    const DrawCase c = GetParam();
    TSPProgressIndicator bar;
    bar.resize(240, 24);
    bar.setCornerRadius(4);
    bar.setFontSize(16);
    bar.setProgressHolderColor(QColor(230, 230, 230));
    bar.setProgressColor(QColor(0, 0, 200));
    bar.setBackgroundTextColor(QColor(255, 0, 0));
    bar.setFrontTextColor(QColor(0, 255, 0));
    bar.setProgressText(QStringLiteral("MMMMMMMMMMMMMMMM"));
    bar.setDoubleValue(c.value);
    bar.setIsIndeterminate(c.indeterminate);
    bar.makeIndeterminatePole();
    const QImage image = bar.grab().toImage();
    EXPECT_GT(countNear(image, QColor(230, 230, 230)), 50) << "the holder is drawn";
    EXPECT_EQ(countNear(image, QColor(0, 0, 200), 60) > 20, c.fillDrawn || c.indeterminate);
    EXPECT_EQ(countNear(image, QColor(255, 0, 0), 90) > 5, c.backText);
    EXPECT_EQ(countNear(image, QColor(0, 255, 0), 90) > 5, c.frontText);
}

INSTANTIATE_TEST_SUITE_P(ProgressBar, ProgressDrawing,
                         ::testing::Values(DrawCase{"empty", 0, false, false, true, false},
                                           DrawCase{"half", 50, false, true, true, true},
                                           DrawCase{"full", 100, false, true, false, true},
                                           DrawCase{"indeterminate", 50, true, false, false,
                                                    false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressBar, StripesRepeatEveryBarHeightAndStepResets)
{
    TSPProgressIndicator bar;
    bar.resize(100, 10);
    bar.setIsIndeterminate(true);
    bar.makeIndeterminatePole();
    const QImage strip = bar.stripeStrip();
    ASSERT_FALSE(strip.isNull());
    const qreal dpr = strip.devicePixelRatio();
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(strip.pixelColor(int(x * dpr), int(5 * dpr)),
                  strip.pixelColor(int((x + 10) * dpr), int(5 * dpr)));

    for (int i = 0; i < 11; ++i)
        bar.drawIndeterminate();
    EXPECT_EQ(bar.step(), 11);
    bar.grab();
    EXPECT_EQ(bar.step(), 0);
    bar.drawIndeterminate();
    bar.grab();
    EXPECT_EQ(bar.step(), 1);
    // The stripes' rectangle starts one bar height less the step to the left.
    EXPECT_DOUBLE_EQ(bar.indeterminateRect().left(), -9.0);
    EXPECT_DOUBLE_EQ(bar.indeterminateRect().width(), 110.0);
}

TEST(ProgressBar, AnimatesOnlyInAWindow)
{
    TSPProgressIndicator alone;
    alone.setIsIndeterminate(true);
    alone.startAnimation();
    EXPECT_FALSE(alone.animationStarted());

    QWidget window;
    auto* bar = new TSPProgressIndicator(&window);
    bar->resize(100, 12);
    window.show();
    bar->setIsIndeterminate(true);
    bar->startAnimation();
    EXPECT_TRUE(bar->animationStarted());
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->step() > 0; }, 2000));
    // Switching to determinate always stops the animation.
    bar->setIsIndeterminate(false);
    EXPECT_FALSE(bar->animationStarted());

    bar->setUsesThreadedAnimation(true);
    bar->setIsIndeterminate(true);
    bar->startAnimation();
    EXPECT_TRUE(bar->animationStarted());
    const int before = bar->step();
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->step() > before; }, 2000));
    bar->stopAnimation();
    EXPECT_FALSE(bar->animationStarted());
}
