// Frames per second of a typical overlay (10 labels, 5 strips of 512 points,
// 5 segments and one 400 x 100 image) on a 1920 x 1080 OpenGLWidget.
// Run under a display, e.g.:
//   xvfb-run -a -s "-screen 0 1920x1080x24" env LIBGL_ALWAYS_SOFTWARE=1 painter_bench
#include <keldar/gui/OpenGLWidget.h>
#include <keldar/gui/OpenGLWidgetPainter.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <chrono>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using Keldar::GUI::Widgets::Bases::OpenGLWidget;
using Keldar::GUI::Widgets::Bases::OpenGLWidgetPainter;

namespace {

class OverlayWidget : public OpenGLWidget
{
public:
    OverlayWidget()
    {
        strips.resize(5);
        for (int s = 0; s < 5; ++s) {
            for (int i = 0; i < 512; ++i) {
                const double t = i / 511.0;
                strips[static_cast<std::size_t>(s)].push_back(static_cast<float>(-0.9 + 1.8 * t));
                strips[static_cast<std::size_t>(s)].push_back(
                    static_cast<float>(-0.6 + 0.3 * s + 0.1 * std::sin(t * 20.0 + s)));
            }
        }
        image = QImage(400, 100, QImage::Format_ARGB32);
        image.fill(QColor(20, 20, 20, 180));
        QPainter painter(&image);
        painter.setPen(Qt::white);
        painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Ondrix overlay"));
    }

    void drawOverlay()
    {
        OpenGLWidgetPainter& painter = *getPainter();
        painter.setImageCacheMode(cacheImages ? OpenGLWidgetPainter::ImageCacheMode::On
                                              : OpenGLWidgetPainter::ImageCacheMode::Off);
        for (int i = 0; i < 10; ++i) {
            const std::string label = std::to_string(5 * (i + 1)) + ".0 m";
            painter.drawText(-0.8F + 0.16F * static_cast<float>(i), 0.8F, 30 * i, label,
                             OpenGLWidgetPainter::AlignHCentre | OpenGLWidgetPainter::AlignVCentre);
        }
        for (const auto& strip : strips) {
            painter.drawLines(strip, 2, QColor(255, 200, 0), false, true, false);
        }
        for (int i = 0; i < 5; ++i) {
            const float angle = static_cast<float>(i) * 0.3F - 0.6F;
            painter.drawLine(0.F, -0.9F, std::sin(angle), -0.9F + std::cos(angle), 1, Qt::white);
        }
        painter.drawImage(0.4F, -0.7F, image);
    }

    bool cacheImages = true;
    bool withOverlay = true;
    // Counts real paints: a repaint request that paints nothing must not pass
    // for an impossibly fast frame.
    int paints = 0;

protected:
    void initialise() override { scale(1.F, 1.F, 1.F, true); }
    void paintGL() override
    {
        ++paints;
        auto* gl = getGLFunctions();
        gl->glClearColor(0.F, 0.F, 0.F, 1.F);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        if (withOverlay) {
            drawOverlay();
        }
    }

private:
    std::vector<std::vector<float>> strips;
    QImage image;
};

OverlayWidget* sharedWidget()
{
    static auto* widget = [] {
        auto* w = new OverlayWidget;
        w->resize(1920, 1080);
        w->show();
        if (!QTest::qWaitForWindowExposed(w)) {
            qFatal("painter_bench: the widget was never exposed");
        }
        return w;
    }();
    return widget;
}

void setFps(benchmark::State& state)
{
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The whole frame as the user sees it: paint into the widget's framebuffer
// and compose it into the window. imageCache 2 draws no overlay at all: the
// cost of clearing and composing alone.
void BM_RepaintFrame(benchmark::State& state)
{
    OverlayWidget* widget = sharedWidget();
    widget->cacheImages = state.range(0) != 0;
    widget->withOverlay = state.range(0) != 2;
    for (auto _ : state) {
        // Through the event loop, as the display is driven; repaint() alone
        // may return without painting.
        const int before = widget->paints;
        widget->update();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (widget->paints == before && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        if (widget->paints == before) {
            state.SkipWithError("the widget did not paint");
            break;
        }
        widget->makeCurrent();
        widget->getGLFunctions()->glFinish();
    }
    setFps(state);
}
BENCHMARK(BM_RepaintFrame)
    ->Arg(1)
    ->Arg(0)
    ->Arg(2)
    ->ArgName("imageCache")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

// The overlay alone, drawn into the widget's framebuffer without clearing or
// composing: what it adds to the fan display's frame.
void BM_OverlayOnly(benchmark::State& state)
{
    OverlayWidget* widget = sharedWidget();
    widget->cacheImages = state.range(0) != 0;
    widget->withOverlay = true;
    widget->makeCurrent();
    for (auto _ : state) {
        widget->drawOverlay();
        widget->getGLFunctions()->glFinish();
    }
    widget->doneCurrent();
    setFps(state);
}
BENCHMARK(BM_OverlayOnly)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("imageCache")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
