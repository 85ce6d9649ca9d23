// Runs the interface-scaling start-up in a fresh process and prints what it
// left behind, one "key=value" per line, for the scaling tests to check.
// Usage: ScalingProbe none|init|min <width> <height>
#include <keldar/gui/Scaling.h>

#include <QApplication>
#include <QScreen>
#include <QStyle>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void print(const char* key, const QByteArray& value)
{
    std::printf("%s=%s\n", key, value.constData());
}

QByteArray environment(const char* name)
{
    return qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray("<unset>");
}

} // namespace

int main(int argc, char** argv)
{
    using namespace Keldar::GUI::Helpers::Widgets;
    const char* mode = argc > 1 ? argv[1] : "init";
    if (std::strcmp(mode, "init") == 0) {
        initialiseDpiScaling();
    } else if (std::strcmp(mode, "min") == 0 && argc > 3) {
        initialiseDpiScaling(std::strtof(argv[2], nullptr), std::strtof(argv[3], nullptr));
    }
    print("factors", environment("QT_SCREEN_SCALE_FACTORS"));
    print("qtScaleFactor", environment("QT_SCALE_FACTOR"));

    QApplication application(argc, argv);
    print("base", QByteArray::number(static_cast<double>(getBaseSize(nullptr)), 'f', 4));
    print("ratio", QByteArray::number(QGuiApplication::primaryScreen()->devicePixelRatio(), 'f', 4));
    print("titleBar", QByteArray::number(QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight)));

    // Too late now: must change nothing.
    qputenv("QT_SCREEN_SCALE_FACTORS", "sentinel");
    initialiseDpiScaling();
    print("factorsAfter", environment("QT_SCREEN_SCALE_FACTORS"));
    print("baseAfter", QByteArray::number(static_cast<double>(getBaseSize(nullptr)), 'f', 4));
    std::fflush(stdout);
    return 0;
}
