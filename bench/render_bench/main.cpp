// Frame rate of the fan display filling the screen (1920 x 1080 under
// scripts/with-display; WITH_DISPLAY_SIZE sets another, to compare with the
// viewer's full-screen window at that size) with a new 512 x 1000 image per
// frame and every overlay on, with despeckle off and at the largest kernel
// (done once per image, and for comparison by the direct per-pixel shader),
// and with the magnifier open. Run under a display, e.g. scripts/with-display
// with LIBGL_ALWAYS_SOFTWARE=1. Two reference floors (a bare OpenGL widget and
// a native window that only clear) show how much of a frame is the toolkit's
// composition; the empty frame is the fan display's own floor (a clear only).
// Besides the frame rate each case reports its fastest frame and the processor
// time per frame of this process and of the display server, which a busy
// machine disturbs far less. On a shared machine compare ratios within one
// run, over repetitions:
//   --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <keldar/core/Units.h>
#include <keldar/ondrix/OndrixImage.h>
#include <keldar/sim/SonarImageGenerator.h>
#include <keldar/visualisation/DespeckleFilter.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/FanGeometryEngine.h>
#include <keldar/visualisation/MeasuringToolBase.h>
#include <keldar/visualisation/ZoomDisplay.h>

#include "support/PaintCounter.h"

#include <QApplication>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace Keldar::Ondrix::Visualisation;
using Method = FanGeometryEngine::DespeckleMethod;
using Keldar::Bench::PaintCounter;

namespace {

// The screen's size, which the fan and the reference frames fill.
QSize frame(1920, 1080);

struct Scene
{
    QWidget window;
    FanDisplay* display = nullptr;
    ZoomDisplay* zoom = nullptr;
    Keldar::DataProcessing::Units::Distance::Metres metres;
    std::vector<Keldar::Ondrix::OndrixImage> images;
    // Without an exposed window a repaint draws nothing and the figures lie.
    bool exposed = false;

    Scene()
    {
        const Keldar::Sim::SonarImageGenerator generator(7);
        for (int i = 0; i < 8; ++i) {
            auto image = generator.generate(512, 1000, 40.0, 60.0, 0.2 * i);
            images.emplace_back(512, 1000, 40.0, 60.0, 900.0, std::move(image.bearings), std::move(image.samples));
        }
        window.resize(frame);
        display = new FanDisplay(&window);
        display->setGeometry(0, 0, frame.width(), frame.height());
        display->setDistanceUnit(&metres);
        // The magnifier sits in the same window, as the viewer's zoom panel does,
        // hidden until a case shows it.
        zoom = display->getZoomDisplay();
        zoom->setParent(&window);
        zoom->setGeometry(frame.width() - 420, frame.height() - 300, 400, 280);
        zoom->hide();
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
        display->newImageReceived(images.front());
        display->repaint();
        measure();
    }

    // A measurement on screen as well, so every overlay is drawn.
    void measure()
    {
        auto pixel = [&](QPointF ndc) {
            return QPointF((ndc.x() + 1) * frame.width() / 2, (1 - ndc.y()) * frame.height() / 2);
        };
        QMouseEvent press(QEvent::MouseButtonPress, pixel({-0.2, 0.0}), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(display, &press);
        QMouseEvent move(QEvent::MouseMove, pixel({0.3, 0.4}), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(display, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, pixel({0.3, 0.4}), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(display, &release);
    }
};

void setOverlays(FanDisplay& display, bool on)
{
    for (auto feature :
         {FanDisplayOptions::RangeLabels, FanDisplayOptions::RangeArcs, FanDisplayOptions::SectorLines}) {
        display.setOverlayFeature(feature, on);
    }
}

// Paints and presents one frame now; finishing makes the software renderer's
// work count in this frame rather than leak into the next.
void finishRendering(QOpenGLWidget& widget)
{
    widget.makeCurrent();
    QOpenGLContext::currentContext()->functions()->glFinish();
    widget.doneCurrent();
}

void presentFrame(QOpenGLWidget& widget)
{
    widget.update();
    QCoreApplication::processEvents();
    finishRendering(widget);
}

double cpuSeconds(const std::string& statPath)
{
    // Fields 14 and 15 of /proc/<pid>/stat: user and system time in ticks.
    std::ifstream stat(statPath);
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto afterName = text.rfind(')');
    if (afterName == std::string::npos) {
        return 0.0;
    }
    std::istringstream fields(text.substr(afterName + 2));
    std::string skipped;
    for (int field = 3; field < 14; ++field) {
        fields >> skipped;
    }
    long user = 0;
    long system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The display server this process talks to, found as the peer of one of its
// local sockets: the composition's last copy is its work, not ours.
std::string displayServerStat()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const int fd = std::atoi(entry.path().filename().c_str());
        ucred peer{};
        socklen_t length = sizeof(peer);
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.pid <= 0 || peer.pid == getpid()) {
            continue;
        }
        std::ifstream comm("/proc/" + std::to_string(peer.pid) + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name == "Xvfb" || name == "Xorg" || name == "Xwayland") {
            return "/proc/" + std::to_string(peer.pid) + "/stat";
        }
    }
    return {};
}

// Frame rate; the fastest frame; and the processor time a frame costs in this
// process (all its threads, the software renderer's included) and in the
// display server. Other load on a shared machine slows most frames but seldom
// all of them, so on a busy machine compare the fastest frames and the
// processor times rather than the frame rates.
class FrameMeter
{
public:
    FrameMeter()
        : server(displayServerStat())
        , processStart(cpuSeconds("/proc/self/stat"))
        , serverStart(server.empty() ? 0.0 : cpuSeconds(server))
    {
    }

    // Ends one frame.
    void lap()
    {
        const auto now = std::chrono::steady_clock::now();
        fastest = std::min(fastest, std::chrono::duration<double, std::milli>(now - lapStart).count());
        lapStart = now;
    }

    void report(benchmark::State& state) const
    {
        const auto frames = static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
        state.counters["fps"] =
            benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
        state.counters["best_ms"] = fastest;
        state.counters["cpu_ms"] = 1000.0 * (cpuSeconds("/proc/self/stat") - processStart) / frames;
        if (!server.empty()) {
            state.counters["server_cpu_ms"] = 1000.0 * (cpuSeconds(server) - serverStart) / frames;
        }
    }

private:
    std::string server;
    double processStart;
    double serverStart;
    std::chrono::steady_clock::time_point lapStart = std::chrono::steady_clock::now();
    double fastest = std::numeric_limits<double>::infinity();
};

Scene* scene = nullptr;
// The paints the display really receives, so that a run in which repaints
// were dropped reports an error instead of an impossible frame rate.
PaintCounter* paintCounter = nullptr;
PaintCounter* zoomPaintCounter = nullptr;

void checkEveryFramePainted(benchmark::State& state, int paintsBefore)
{
    const auto frames = static_cast<double>(state.iterations());
    const double painted = paintCounter->paints - paintsBefore;
    state.counters["painted"] = painted / frames;
    if (painted < 0.99 * frames) {
        state.SkipWithError("frames were not painted");
    }
}

void renderFrames(benchmark::State& state, int kernel, Method method)
{
    if (!scene->exposed) {
        state.SkipWithError("the window was not exposed");
        return;
    }
    FanDisplay& display = *scene->display;
    display.getEngine().setDespeckleMethod(method);
    display.setDespeckleLevel(kernel);
    display.setClampLevel(0.02F);
    std::size_t next = 0;
    const int paintsBefore = paintCounter->paints;
    FrameMeter meter;
    for (auto _ : state) {
        display.newImageReceived(scene->images[next++ % scene->images.size()]);
        presentFrame(display);
        if (scene->zoom->isVisible()) {
            // A new image asks both for a repaint, so both are normally
            // painted in the same pass; the passes here only make sure.
            const int zoomPaints = zoomPaintCounter->paints;
            for (int pass = 0; pass < 4 && zoomPaintCounter->paints == zoomPaints; ++pass) {
                QCoreApplication::processEvents();
            }
            finishRendering(*scene->zoom);
        }
        meter.lap();
    }
    meter.report(state);
    checkEveryFramePainted(state, paintsBefore);
    if (display.getMeasuringTool().getState() == MeasuringToolBase::Idle) {
        state.SkipWithError("the measurement overlay was lost");
    }
}

// Breakdown: the same frame without any overlay, to see what the overlays cost.
void DespeckleOffNoOverlays(benchmark::State& state)
{
    setOverlays(*scene->display, false);
    renderFrames(state, 0, Method::Prefiltered);
    setOverlays(*scene->display, true);
}

// Breakdown: the floor of the fan display itself, a frame of the same size
// that draws nothing but the clear: no fan (an image with a single beam), no
// overlay and no measurement.
void EmptyFrame(benchmark::State& state)
{
    if (!scene->exposed) {
        state.SkipWithError("the window was not exposed");
        return;
    }
    FanDisplay& display = *scene->display;
    setOverlays(display, false);
    display.getMeasuringTool().clear();
    const Keldar::Ondrix::OndrixImage single(1, 1000, 40.0, 60.0, 900.0, {0}, std::vector<std::uint8_t>(1000, 9));
    const int paintsBefore = paintCounter->paints;
    FrameMeter meter;
    for (auto _ : state) {
        display.newImageReceived(single);
        presentFrame(display);
        meter.lap();
    }
    meter.report(state);
    checkEveryFramePainted(state, paintsBefore);
    setOverlays(display, true);
    display.newImageReceived(scene->images.front());
    scene->measure();
}

// Reference floors, outside the fan display: the same full-screen frame that
// only clears, once as a bare toolkit OpenGL widget (rendered into its own
// framebuffer, then composed with the window's other widgets and presented)
// and once drawn straight into a native window. The difference is what the
// toolkit's composition costs on this renderer before any fan is drawn.
class ClearingWidget : public QOpenGLWidget
{
public:
    using QOpenGLWidget::QOpenGLWidget;
    int paints = 0;

protected:
    void paintGL() override
    {
        auto* f = context()->functions();
        f->glClearColor(0.1F, 0.1F, 0.1F, 1.0F);
        f->glClear(GL_COLOR_BUFFER_BIT);
        ++paints;
    }
};

void BareWidgetClearOnly(benchmark::State& state)
{
    QWidget window;
    window.resize(frame);
    auto* widget = new ClearingWidget(&window);
    widget->setGeometry(0, 0, frame.width(), frame.height());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        state.SkipWithError("the window was not exposed");
        return;
    }
    QCoreApplication::processEvents();
    const int paintsBefore = widget->paints;
    FrameMeter meter;
    for (auto _ : state) {
        presentFrame(*widget);
        meter.lap();
    }
    meter.report(state);
    if (widget->paints - paintsBefore < 0.99 * static_cast<double>(state.iterations())) {
        state.SkipWithError("frames were not painted");
    }
}

void NativeWindowClearOnly(benchmark::State& state)
{
    QWindow window;
    window.setSurfaceType(QSurface::OpenGLSurface);
    window.resize(frame);
    window.show();
    QOpenGLContext context;
    if (!QTest::qWaitForWindowExposed(&window) || !context.create()) {
        state.SkipWithError("no exposed window with an OpenGL context");
        return;
    }
    FrameMeter meter;
    for (auto _ : state) {
        context.makeCurrent(&window);
        auto* f = context.functions();
        f->glViewport(0, 0, frame.width(), frame.height());
        f->glClearColor(0.1F, 0.1F, 0.1F, 1.0F);
        f->glClear(GL_COLOR_BUFFER_BIT);
        context.swapBuffers(&window);
        f->glFinish();
        meter.lap();
    }
    context.doneCurrent();
    meter.report(state);
}

void DespeckleOff(benchmark::State& state)
{
    renderFrames(state, 0, Method::Prefiltered);
}

// With the magnifier open the fan is drawn twice a frame: once in the display
// and once, enlarged, in the magnifier beside it.
void DespeckleOffWithMagnifier(benchmark::State& state)
{
    ZoomDisplay& zoom = *scene->zoom;
    zoom.show();
    QCoreApplication::processEvents();
    const int zoomPaintsBefore = zoomPaintCounter->paints;
    renderFrames(state, 0, Method::Prefiltered);
    if (zoomPaintCounter->paints - zoomPaintsBefore < 0.99 * static_cast<double>(state.iterations())) {
        state.SkipWithError("the magnifier was not painted every frame");
    }
    zoom.hide();
}

// Breakdown: the fan drawn with one needle-thin triangle per beam pair.
void DespeckleOffPerBeamTriangles(benchmark::State& state)
{
    scene->display->getEngine().setMaximumWedges(0);
    renderFrames(state, 0, Method::Prefiltered);
    scene->display->getEngine().setMaximumWedges(64);
}

void DespeckleKernel15Prefiltered(benchmark::State& state)
{
    renderFrames(state, 15, Method::Prefiltered);
}

void DespeckleKernel15DirectShader(benchmark::State& state)
{
    renderFrames(state, 15, Method::Direct);
}

// The processor side of the prefiltered despeckle alone: one 512 x 1000 image.
void PrefilterOneImageKernel15(benchmark::State& state)
{
    DespeckleFilter filter;
    std::vector<std::uint16_t> out;
    const auto& samples = scene->images.front().getData();
    for (auto _ : state) {
        filter.apply(samples, 512, 1000, 15, out);
        benchmark::DoNotOptimize(out.data());
    }
}

} // namespace

BENCHMARK(PrefilterOneImageKernel15)->Unit(benchmark::kMillisecond);
BENCHMARK(BareWidgetClearOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(NativeWindowClearOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(DespeckleOffNoOverlays)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(DespeckleOff)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(DespeckleOffWithMagnifier)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(DespeckleOffPerBeamTriangles)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(DespeckleKernel15Prefiltered)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(DespeckleKernel15DirectShader)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    frame = QGuiApplication::primaryScreen()->size();
    std::printf("render_bench: frame %dx%d\n", frame.width(), frame.height());
    Scene sharedScene;
    scene = &sharedScene;
    PaintCounter counter;
    paintCounter = &counter;
    sharedScene.display->installEventFilter(&counter);
    PaintCounter zoomCounter;
    zoomPaintCounter = &zoomCounter;
    sharedScene.zoom->installEventFilter(&zoomCounter);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    scene = nullptr;
    return 0;
}
