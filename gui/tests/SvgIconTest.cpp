#include "WidgetTestApplication.h"

#include <keldar/gui/KeldarLogo.h>
#include <keldar/gui/OndrixLogo.h>
#include <keldar/gui/Scaling.h>
#include <keldar/gui/SvgButton.h>
#include <keldar/gui/SvgFileError.h>
#include <keldar/gui/SvgHandler.h>
#include <keldar/gui/SvgLabel.h>

#include <QDomDocument>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

#include <keldar/testing/WaitUntil.h>

using Keldar::GUI::Helpers::Svg::SvgFileError;
using Keldar::GUI::Helpers::Svg::SvgHandler;
using Keldar::GUI::Widgets::Bases::ScalableWidget;
using Keldar::GUI::Widgets::Bases::SvgWidget;
using Keldar::GUI::Widgets::Buttons::SvgButton;
using Keldar::GUI::Widgets::Displays::KeldarLogo;
using Keldar::GUI::Widgets::Displays::OndrixLogo;
using Keldar::GUI::Widgets::Displays::SvgLabel;

namespace {

const QByteArray icon = R"(<svg xmlns="http://www.w3.org/2000/svg" width="20" height="10" viewBox="0 0 20 10">
  <g id="body">
    <rect id="box" x="0" y="0" width="10" height="10" fill="#000000"/>
    <circle id="ring" cx="15" cy="5" r="4" fill="none" stroke="#000000" style="stroke-width:1"/>
  </g>
  <path id="accent" d="M0 0 L1 1" style="fill:#123456;stroke-width:2"/>
</svg>)";

// A square that covers its whole view box, for pixel checks.
const QByteArray square = R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10" viewBox="0 0 10 10">
  <rect x="0" y="0" width="10" height="10" fill="#000000"/>
</svg>)";

QDomElement elementById(const QByteArray& source, const QString& id)
{
    QDomDocument document;
    EXPECT_TRUE(document.setContent(source));
    QList<QDomElement> pending{document.documentElement()};
    while (!pending.isEmpty()) {
        const QDomElement element = pending.takeFirst();
        if (element.attribute("id") == id)
            return element;
        for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
            pending << child;
    }
    ADD_FAILURE() << "no element " << id.toStdString();
    return {};
}

QColor centrePixel(QWidget& widget)
{
    const QImage image = widget.grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

} // namespace

TEST(SvgRecolouring, DefaultFillPaintsEveryShapeButLeavesHollowShapesHollow)
{
    SvgHandler handler = SvgHandler::fromData(icon);
    const QByteArray source = handler.getSource(QColor("#ff0000"), QColor());
    EXPECT_EQ(elementById(source, "box").attribute("fill"), "#ff0000");
    EXPECT_EQ(elementById(source, "ring").attribute("fill"), "none");
    // The inline style would win over the attribute, so its fill must be gone.
    const QDomElement accent = elementById(source, "accent");
    EXPECT_EQ(accent.attribute("fill"), "#ff0000");
    EXPECT_FALSE(accent.attribute("style").contains("fill"));
    EXPECT_TRUE(accent.attribute("style").contains("stroke-width:2"));
}

TEST(SvgRecolouring, DefaultStrokeOnlyRecoloursExistingStrokes)
{
    SvgHandler handler = SvgHandler::fromData(icon);
    const QByteArray source = handler.getSource(QColor(), QColor("#0000ff"));
    EXPECT_EQ(elementById(source, "ring").attribute("stroke"), "#0000ff");
    EXPECT_FALSE(elementById(source, "box").hasAttribute("stroke"));
    EXPECT_EQ(elementById(source, "box").attribute("fill"), "#000000");
}

TEST(SvgRecolouring, ElementOverrideStaysInsideThatElement)
{
    SvgHandler handler = SvgHandler::fromData(icon);
    handler.setFillColour(QColor("#00ff00"), "body");
    const QByteArray source = handler.getSource(QColor("#ff0000"), QColor());
    EXPECT_EQ(elementById(source, "box").attribute("fill"), "#00ff00");
    EXPECT_EQ(elementById(source, "accent").attribute("fill"), "#ff0000");
}

TEST(SvgRecolouring, WholeDocumentOverrideWinsOverDefaults)
{
    SvgHandler handler = SvgHandler::fromData(icon);
    handler.setFillColour(QColor("#00ff00"));
    const QByteArray source = handler.getSource(QColor("#ff0000"), QColor());
    EXPECT_EQ(elementById(source, "box").attribute("fill"), "#00ff00");
    EXPECT_EQ(elementById(source, "accent").attribute("fill"), "#00ff00");
}

TEST(SvgRecolouring, UnknownIdChangesNothing)
{
    SvgHandler handler = SvgHandler::fromData(icon);
    const QByteArray plain = handler.getSource(QColor("#ff0000"), QColor());
    handler.setFillColour(QColor("#00ff00"), "missing");
    EXPECT_EQ(handler.getSource(QColor("#ff0000"), QColor()), plain);
}

TEST(SvgRecolouring, MalformedDocumentIsHandedBackUntouched)
{
    const QByteArray broken = "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect fill=\"#000\"";
    SvgHandler handler = SvgHandler::fromData(broken);
    handler.setFillColour(QColor("#00ff00"));
    EXPECT_EQ(handler.getSource(QColor("#ff0000"), QColor()), broken);
}

TEST(SvgRecolouring, RenderedIconTakesTheDefaultColour)
{
    SvgHandler handler = SvgHandler::fromData(square);
    QSvgRenderer renderer(handler.getSource(QColor(200, 40, 10), QColor()));
    QImage image(10, 10, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    EXPECT_EQ(image.pixelColor(5, 5), QColor(200, 40, 10));
}

TEST(SvgOpacity, ValuesAboveOneAreStoredAsOne)
{
    SvgHandler handler = SvgHandler::fromData(icon);
    handler.setOpacity(1.5);
    handler.setFillOpacity(7.0, "box");
    EXPECT_DOUBLE_EQ(handler.getOpacity(), 1.0);
    EXPECT_DOUBLE_EQ(handler.getFillOpacity("box"), 1.0);
    const QByteArray source = handler.getSource(QColor(), QColor());
    EXPECT_EQ(elementById(source, "box").attribute("fill-opacity"), "1");
}

TEST(SvgOpacity, NegativeValueRemovesTheOverride)
{
    SvgHandler handler = SvgHandler::fromData(icon);
    handler.setStrokeOpacity(0.5, "ring");
    handler.setStrokeOpacity(-3.0, "ring");
    EXPECT_LT(handler.getStrokeOpacity("ring"), 0.0);
    EXPECT_FALSE(elementById(handler.getSource(QColor(), QColor()), "ring").hasAttribute("stroke-opacity"));
}

TEST(SvgOpacity, FillOpacityReachesEveryDescendant)
{
    SvgHandler handler = SvgHandler::fromData(icon);
    handler.setFillOpacity(0.25, "body");
    const QByteArray source = handler.getSource(QColor(), QColor());
    EXPECT_EQ(elementById(source, "box").attribute("fill-opacity"), "0.25");
    EXPECT_EQ(elementById(source, "ring").attribute("fill-opacity"), "0.25");
    EXPECT_FALSE(elementById(source, "accent").hasAttribute("fill-opacity"));
}

TEST(SvgOpacity, GroupOpacityIsNotCompoundedByItsChildren)
{
    SvgHandler handler = SvgHandler::fromData(icon);
    handler.setOpacity(0.5, "body");
    const QByteArray source = handler.getSource(QColor(), QColor());
    EXPECT_EQ(elementById(source, "body").attribute("opacity"), "0.5");
    EXPECT_FALSE(elementById(source, "box").hasAttribute("opacity"));
}

TEST(SvgOpacity, WholeDocumentOpacityShowsWhenRendered)
{
    SvgHandler handler = SvgHandler::fromData(square);
    handler.setOpacity(0.5);
    QSvgRenderer renderer(handler.getSource(QColor(255, 255, 255), QColor()));
    QImage image(10, 10, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    EXPECT_NEAR(image.pixelColor(5, 5).alpha(), 128, 3);
}

TEST(SvgSourceCache, RebuildsOnlyWhenSomethingChanged)
{
    SvgHandler handler = SvgHandler::fromData(icon);
    EXPECT_TRUE(handler.sourceChanged());
    const QByteArray first = handler.getSource(QColor("#ff0000"), QColor());
    EXPECT_FALSE(handler.sourceChanged());
    handler.setFillColour(QColor(), "box");
    EXPECT_FALSE(handler.sourceChanged()) << "setting the value already held is not a change";
    handler.setFillColour(QColor("#00ff00"), "box");
    EXPECT_TRUE(handler.sourceChanged());
    EXPECT_NE(handler.getSource(QColor("#ff0000"), QColor()), first);
    // A new default colour alone must also rebuild.
    EXPECT_EQ(elementById(handler.getSource(QColor("#0000ff"), QColor()), "accent").attribute("fill"), "#0000ff");
}

TEST(SvgFiles, MissingFileRaisesSvgFileError)
{
    QFile missing("/nonexistent/keldar/icon.svg");
    try {
        SvgHandler handler(missing);
        FAIL() << "no error raised";
    } catch (const SvgFileError& error) {
        EXPECT_STREQ(error.what(), "Could not open SVG file.");
    }
}

TEST(SvgFiles, FileIsReadWhole)
{
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    QFile file(directory.filePath("icon.svg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(icon);
    file.close();
    SvgHandler handler(file);
    EXPECT_EQ(handler.getOriginalSource(), icon);
    EXPECT_FALSE(file.isOpen());
}

TEST_F(WidgetTest, SvgWidgetMissingFileRaisesSvgFileError)
{
    EXPECT_THROW(SvgButton button("/nonexistent/keldar/icon.svg"), SvgFileError);
    SvgLabel label;
    EXPECT_THROW(label.loadImage(QStringLiteral("/nonexistent/keldar/icon.svg")), SvgFileError);
}

TEST_F(WidgetTest, SvgIsFittedAndAlignedInsideItsRectangle)
{
    SvgLabel label;
    label.loadImageData(icon);
    EXPECT_EQ(label.getSvgSize(), QSizeF(20, 10));
    const QRectF area(0, 0, 100, 100);
    label.setVerticalAlignment(SvgWidget::Near);
    EXPECT_EQ(label.getSvgRect(area), QRectF(0, 0, 100, 50));
    label.setVerticalAlignment(SvgWidget::Centre);
    EXPECT_EQ(label.getSvgRect(area), QRectF(0, 25, 100, 50));
    label.setVerticalAlignment(SvgWidget::Far);
    EXPECT_EQ(label.getSvgRect(area), QRectF(0, 50, 100, 50));
    label.setHorizontalAlignment(SvgWidget::Far);
    EXPECT_EQ(label.getSvgRect(QRectF(10, 0, 200, 20)), QRectF(170, 0, 40, 20));
}

TEST_F(WidgetTest, ApplyToCopiesDocumentOverridesAndAlignment)
{
    SvgLabel source;
    source.loadImageData(icon);
    source.setFillColour(QColor("#00ff00"), "box");
    source.setHorizontalAlignment(SvgWidget::Near);
    SvgLabel copy;
    source.applyTo(copy);
    EXPECT_EQ(copy.getSvgSize(), QSizeF(20, 10));
    EXPECT_EQ(copy.getHorizontalAlignment(), SvgWidget::Near);
    EXPECT_EQ(elementById(copy.getCurrentSource(), "box").attribute("fill"), "#00ff00");
}

TEST_F(WidgetTest, CheckedButtonDrawsInAccentColourAndReturnsWhenUnchecked)
{
    SvgButton button;
    button.loadImageData(square);
    button.setCheckable(true);
    QPalette palette = button.palette();
    palette.setColor(button.foregroundRole(), QColor(20, 180, 40));
    button.setPalette(palette);
    button.setAccentForegroundColour(QColor(230, 30, 30));
    button.resize(40, 40);

    EXPECT_EQ(centrePixel(button), QColor(20, 180, 40));
    button.setChecked(true);
    EXPECT_EQ(centrePixel(button), QColor(230, 30, 30));
    button.setChecked(false);
    EXPECT_EQ(centrePixel(button), QColor(20, 180, 40));
}

TEST_F(WidgetTest, AccentColourCanComeFromAStylesheet)
{
    SvgButton button;
    button.setStyleSheet("qproperty-accentForegroundColour: #11AA22;");
    button.ensurePolished();
    EXPECT_EQ(button.getAccentForegroundColour(), QColor("#11AA22"));
    EXPECT_EQ(button.property("svg-button-accentForegroundColour").value<QColor>(), QColor("#11AA22"));
}

TEST_F(WidgetTest, FixedScalingSetsTheSizeFromTheBaseUnit)
{
    SvgButton button;
    button.setScalingMode(ScalableWidget::FixedScaling);
    button.setHorizontalScaling(2.0f);
    button.setVerticalScaling(0.5f);
    button.applyScaling();
    const float unit = Keldar::GUI::Helpers::Widgets::getBaseSize(&button);
    EXPECT_EQ(button.minimumWidth(), static_cast<int>(unit * 2.0f));
    EXPECT_EQ(button.maximumWidth(), static_cast<int>(unit * 2.0f));
    EXPECT_EQ(button.maximumHeight(), static_cast<int>(unit * 0.5f));
    EXPECT_EQ(button.getScaledWidth(), static_cast<int>(unit * 2.0f));
}

TEST_F(WidgetTest, MinimumScalingLeavesTheWidgetFreeToGrow)
{
    SvgLabel label;
    label.setHorizontalScalingMode(ScalableWidget::MinimumScaling);
    label.setHorizontalScaling(1.5f);
    label.applyScaling();
    const float unit = Keldar::GUI::Helpers::Widgets::getBaseSize(&label);
    EXPECT_EQ(label.minimumWidth(), static_cast<int>(unit * 1.5f));
    EXPECT_EQ(label.maximumWidth(), QWIDGETSIZE_MAX);
    // The unscaled axis reports the widget's own size.
    label.resize(label.width(), 33);
    EXPECT_EQ(label.getScaledHeight(), 33);
}

namespace {

// Recolours its logos and an icon every time it paints, as the viewer's window
// does to follow the theme.
class RecolouringWindow : public QWidget
{
public:
    RecolouringWindow()
    {
        maker->setGeometry(0, 0, 120, 40);
        product->setGeometry(0, 50, 120, 40);
        icon->setGeometry(0, 100, 40, 20);
        icon->loadImageData(::icon);
    }

    KeldarLogo* maker = new KeldarLogo(this);
    OndrixLogo* product = new OndrixLogo(this);
    SvgLabel* icon = new SvgLabel(this);
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        ++paints;
        maker->setColours(QColor(255, 255, 255), QColor(30, 144, 255));
        product->setColour(QColor(255, 255, 255));
        icon->setFillColour(QColor(200, 0, 0), QStringLiteral("box"));
        icon->setStrokeOpacity(0.5);
        icon->setHorizontalAlignment(SvgWidget::Far);
    }
};

int paintsAfterEventRounds(RecolouringWindow& window, int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }
    return window.paints;
}

} // namespace

// Every repaint of a logo repaints the window beneath it; when the same colour
// scheduled a repaint, the window painted for ever.
TEST_F(WidgetTest, RecolouringWithTheSameColoursSchedulesNoRepaint)
{
    RecolouringWindow window;
    window.resize(200, 150);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(Keldar::Testing::waitUntil([&] { return window.paints > 0; }));
    // The first paint sets the colours for real, and may paint once more.
    const int settled = paintsAfterEventRounds(window, 5);
    EXPECT_EQ(paintsAfterEventRounds(window, 10), settled);
}
