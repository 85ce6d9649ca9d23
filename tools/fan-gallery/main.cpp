// Renders a simulated sonar scene through the fan display at 1920 x 1080 in
// every look a pilot can choose, one PNG per look, so that the display can be
// judged by eye.

#include <keldar/core/Units.h>
#include <keldar/ondrix/OndrixImage.h>
#include <keldar/sim/SonarImageGenerator.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/FanGeometryEngine.h>
#include <keldar/visualisation/ZoomDisplay.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMouseEvent>
#include <QTest>

#include <cstdio>
#include <functional>

using namespace Keldar::Ondrix::Visualisation;
namespace Units = Keldar::DataProcessing::Units;

namespace {

constexpr int frameWidth = 1920;
constexpr int frameHeight = 1080;

Keldar::Ondrix::OndrixImage simulatedImage(double range, double time)
{
    const Keldar::Sim::SonarImageGenerator generator(42);
    auto image = generator.generate(512, 1000, range, 60.0, time);
    return {512, 1000, range, 60.0, 900.0, std::move(image.bearings), std::move(image.samples)};
}

class Gallery
{
public:
    explicit Gallery(QString folder)
        : folder(std::move(folder))
    {
        window.resize(frameWidth, frameHeight);
        display = new FanDisplay(&window);
        display->setGeometry(0, 0, frameWidth, frameHeight);
        display->setDistanceUnit(&metres);
        display->setAreaUnit(&squareMetres);
        display->setClearColour(QColor(38, 41, 46));
        display->setTextColour(QColor(220, 220, 220));
        zoom = display->getZoomDisplay();
        zoom->setParent(&window);
        zoom->setGeometry(frameWidth - 420, frameHeight - 300, 400, 280);
        zoom->hide();
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
    }

    // Resets the look, applies `setUp`, feeds a few images (so that the clamp
    // thresholds settle) and saves the window.
    bool shot(const QString& name, const std::function<void()>& setUp)
    {
        FanDisplayOptions::DisplaySettings plain;
        plain.palette = FanDisplayOptions::StandardOne;
        plain.clearColour = QColor(38, 41, 46);
        plain.textColour = QColor(220, 220, 220);
        plain.rangeLabels = plain.rangeArcs = plain.sectorLines = true;
        plain.scaleX = plain.scaleY = plain.scaleZ = 1.F;
        display->configureFromSettings(plain);
        display->setDespeckleLevel(0);
        display->setClampLevel(0.F);
        display->setMeasurementMode(FanDisplayOptions::StraightLine);
        zoom->hide();
        setUp();
        for (int i = 0; i < 12; ++i) {
            display->newImageReceived(simulatedImage(range, 3.0 + 0.1 * i));
        }
        QApplication::processEvents();
        const QImage picture = window.grab().toImage();
        const QString path = QDir(folder).filePath(name + ".png");
        const bool saved = picture.save(path);
        std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
        return saved;
    }

    // A drag on the fan display between two points in its normalised coordinates.
    void drag(QPointF from, QPointF to)
    {
        auto pixel = [this](QPointF ndc) {
            return QPointF((ndc.x() + 1.0) * display->width() / 2.0, (1.0 - ndc.y()) * display->height() / 2.0);
        };
        QMouseEvent press(QEvent::MouseButtonPress, pixel(from), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(display, &press);
        QMouseEvent move(QEvent::MouseMove, pixel(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(display, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, pixel(to), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(display, &release);
    }

    QWidget window;
    bool exposed = false;
    FanDisplay* display = nullptr;
    ZoomDisplay* zoom = nullptr;
    double range = 30.0;

private:
    QString folder;
    Units::Distance::Metres metres;
    Units::Area::SquareMetres squareMetres;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("fan-gallery"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders simulated sonar images through the fan display."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Where to write the PNG files."));
    const QCommandLineOption expectAll(QStringLiteral("expect-all"),
                                       QStringLiteral("Fail unless every picture shows a fan."));
    parser.addOption(expectAll);
    parser.process(application);
    if (parser.positionalArguments().size() != 1) {
        parser.showHelp(2);
    }
    const QString folder = parser.positionalArguments().constFirst();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }

    Gallery gallery(folder);
    if (!gallery.exposed || !gallery.display->resourcesAreValid()) {
        std::fprintf(stderr, "no window, or the fan shader did not build\n");
        return 1;
    }
    bool ok = true;
    const char* paletteNames[] = {"grey", "amber", "blue", "green", "red", "spectrum", "fire", "aqua"};
    for (int p = 0; p < 8; ++p) {
        ok = gallery.shot(QStringLiteral("palette-%1-%2").arg(p).arg(QLatin1String(paletteNames[p])), [&] {
            gallery.display->setPalette(static_cast<FanDisplayOptions::Palette>(p));
            if (p >= 6) {
                gallery.display->setPaletteModifier(p == 6 ? 90 : 120);
            }
        }) && ok;
    }
    ok = gallery.shot(QStringLiteral("despeckle-15"), [&] {
        gallery.display->setPalette(FanDisplayOptions::StandardTwo);
        gallery.display->setDespeckleLevel(15);
    }) && ok;
    ok = gallery.shot(QStringLiteral("despeckle-5-clamp-0.05"), [&] {
        gallery.display->setPalette(FanDisplayOptions::StandardTwo);
        gallery.display->setDespeckleLevel(5);
        gallery.display->setClampLevel(0.05F);
    }) && ok;
    ok = gallery.shot(QStringLiteral("rotated-90"), [&] {
        gallery.display->setPalette(FanDisplayOptions::StandardThree);
        gallery.display->setRotation(90);
    }) && ok;
    ok = gallery.shot(QStringLiteral("rotated-180"), [&] {
        gallery.display->setPalette(FanDisplayOptions::StandardThree);
        gallery.display->setRotation(180);
    }) && ok;
    ok = gallery.shot(QStringLiteral("flipped"), [&] {
        gallery.display->setPalette(FanDisplayOptions::StandardThree);
        gallery.display->horizontalFlip();
    }) && ok;
    ok = gallery.shot(QStringLiteral("measure-distance"), [&] {
        gallery.display->setPalette(FanDisplayOptions::StandardTwo);
        gallery.display->grabFramebuffer(); // fit first, so the drag maps to the final view
        gallery.drag({-0.3, -0.2}, {0.25, 0.45});
    }) && ok;
    ok = gallery.shot(QStringLiteral("measure-rectangle"), [&] {
        gallery.display->setPalette(FanDisplayOptions::StandardFour);
        gallery.display->setMeasurementMode(FanDisplayOptions::RectangleArea);
        gallery.display->grabFramebuffer();
        gallery.drag({-0.2, 0.0}, {0.2, 0.4});
    }) && ok;
    ok = gallery.shot(QStringLiteral("measure-circle"), [&] {
        gallery.display->setPalette(FanDisplayOptions::StandardSix);
        gallery.display->setMeasurementMode(FanDisplayOptions::CircleAreaFromCentre);
        gallery.display->grabFramebuffer();
        gallery.drag({0.0, 0.1}, {0.15, 0.25});
    }) && ok;
    ok = gallery.shot(QStringLiteral("zoom-region"), [&] {
        gallery.display->setPalette(FanDisplayOptions::StandardTwo);
        gallery.zoom->show();
        gallery.zoom->reset();
        gallery.zoom->pan(-0.8F, -1.2F, false);
        gallery.zoom->zoomIn();
    }) && ok;
    ok = gallery.shot(QStringLiteral("branding"), [&] {
        gallery.display->setPalette(FanDisplayOptions::StandardTwo);
        gallery.display->setBrandingColours(QColor(230, 230, 230), QColor(30, 144, 255), QColor(230, 230, 230));
        gallery.display->setBranding(true);
    }) && ok;
    gallery.display->setBranding(false);

    if (parser.isSet(expectAll)) {
        // Every picture must have drawn a fan: its middle is not the background.
        for (const QString& name : QDir(folder).entryList({QStringLiteral("*.png")})) {
            const QImage picture(QDir(folder).filePath(name));
            const QRgb middle = picture.pixel(picture.width() / 2, picture.height() / 2);
            if (picture.size() != QSize(frameWidth, frameHeight) || middle == qRgb(38, 41, 46)) {
                std::fprintf(stderr, "%s shows no fan\n", qPrintable(name));
                ok = false;
            }
        }
    }
    return ok ? 0 : 1;
}
