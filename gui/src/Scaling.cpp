#include <keldar/gui/Scaling.h>

#include <QApplication>
#include <QScreen>
#include <QStringList>
#include <QStyle>
#include <QTouchDevice>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <optional>

namespace Keldar::GUI::Helpers::Widgets {

namespace {

struct ScalingState
{
    bool initialised = false;
    float minimumWidth = 0.F;
    float minimumHeight = 0.F;

    bool touchLookedUp = false;
    bool hasTouchScreen = false;

    bool environmentRead = false;
    bool ignoreTouch = false;
    std::optional<float> fixedSize;
    std::optional<float> screenWidth;
    std::optional<float> screenHeight;
};

ScalingState& state()
{
    static ScalingState instance;
    return instance;
}

// A variable counts only when set, not empty and wholly a number.
std::optional<float> floatVariable(const char* name)
{
    const QString text = qEnvironmentVariable(name);
    if (text.isEmpty()) {
        return std::nullopt;
    }
    bool ok = false;
    const float value = text.toFloat(&ok);
    return ok ? std::optional<float>(value) : std::nullopt;
}

void readEnvironmentOnce()
{
    auto& s = state();
    if (s.environmentRead || QCoreApplication::instance() == nullptr) {
        return;
    }
    s.environmentRead = true;
    const QString ignore = qEnvironmentVariable("KD_GUI_SCALING_IGNORE_TOUCH");
    bool ok = false;
    const int ignoreValue = ignore.toInt(&ok);
    s.ignoreTouch = ok && ignoreValue >= 1;
    s.fixedSize = floatVariable("KD_GUI_SCALING_FIXED_SIZE");
    s.screenWidth = floatVariable("KD_GUI_SCALING_SCREEN_WIDTH");
    s.screenHeight = floatVariable("KD_GUI_SCALING_SCREEN_HEIGHT");
}

bool hasTouchScreen()
{
    auto& s = state();
    if (!s.touchLookedUp && QCoreApplication::instance() != nullptr) {
        s.touchLookedUp = true;
        const auto devices = QTouchDevice::devices();
        s.hasTouchScreen = std::any_of(devices.begin(), devices.end(), [](const QTouchDevice* device) {
            return device->type() == QTouchDevice::TouchScreen;
        });
    }
    return s.hasTouchScreen;
}

float computeBaseUnit(const QScreen* screen)
{
    readEnvironmentOnce();
    const auto& s = state();
    float p = DefaultBaseSize;
    float pixelsPerCentimetre = 0.F;
    qreal ratio = 1.0;
    if (screen != nullptr) {
        ratio = screen->devicePixelRatio();
        p = static_cast<float>(ratio) * DefaultBaseSize;
        pixelsPerCentimetre = static_cast<float>(screen->physicalDotsPerInch() / 25.4 * 10.0);
    }
    if (hasTouchScreen() && !s.ignoreTouch) {
        p = std::max(pixelsPerCentimetre, p);
    }
    if (s.fixedSize) {
        p = *s.fixedSize;
    }

    QSizeF available;
    if (s.screenWidth && s.screenHeight) {
        available = QSizeF(*s.screenWidth, *s.screenHeight);
    } else if (screen != nullptr) {
        const QSize size = screen->availableSize();
        available = QSizeF(std::round(size.width() * ratio), std::round(size.height() * ratio));
    }
    if (!available.isValid() || available.isEmpty()) {
        return p;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        const int titleBar = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
        available.setHeight(available.height() - titleBar * ratio);
    }
    const float dw = s.minimumWidth * p - static_cast<float>(available.width());
    const float dh = s.minimumHeight * p - static_cast<float>(available.height());
    if (dw > 0.F || dh > 0.F) {
        // The largest unit with which the minimum interface still fits.
        return dw > dh ? static_cast<float>(available.width()) / s.minimumWidth
                       : static_cast<float>(available.height()) / s.minimumHeight;
    }
    return p;
}

} // namespace

void setMinimumInterfaceSize(float minimumWidth, float minimumHeight)
{
    state().minimumWidth = std::max(minimumWidth, 0.F);
    state().minimumHeight = std::max(minimumHeight, 0.F);
}

void initialiseDpiScaling()
{
    auto& s = state();
    if (s.initialised || QCoreApplication::instance() != nullptr) {
        return;
    }
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);

    QStringList factors;
    {
        // A short-lived application, only so that the screens can be queried.
        int argc = 1;
        char name[] = "keldar-scaling";
        char* argv[] = {name, nullptr};
        const QApplication probe(argc, argv);
        for (const QScreen* screen : QGuiApplication::screens()) {
            factors << QString::number(computeBaseUnit(screen) / DefaultBaseSize, 'f', 4);
        }
    }

    QCoreApplication::setAttribute(Qt::AA_Use96Dpi, false);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, false);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, false);
    for (const char* name : {"QT_ENABLE_HIGHDPI_SCALING", "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_SCALE_FACTOR",
                             "QT_SCALE_FACTOR_ROUNDING_POLICY", "QT_USE_PHYSICAL_DPI"}) {
        qunsetenv(name);
    }
    qputenv("QT_SCREEN_SCALE_FACTORS", factors.join(QLatin1Char(';')).toUtf8());
    s.initialised = true;
}

void initialiseDpiScaling(float minimumWidth, float minimumHeight)
{
    setMinimumInterfaceSize(minimumWidth, minimumHeight);
    initialiseDpiScaling();
}

float getBaseSize(const QWidget* widget)
{
    if (state().initialised) {
        return DefaultBaseSize;
    }
    const QScreen* screen = nullptr;
    if (widget != nullptr) {
        screen = widget->screen();
    } else if (QCoreApplication::instance() != nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return computeBaseUnit(screen);
}

} // namespace Keldar::GUI::Helpers::Widgets
