#include "displaycontrols/overlays/NavigationDisplay.h"

#include "base/SettingsStore.h"
#include "navigation/NavigationFeed.h"

#include <keldar/navigation/Georeference.h>

#include <QGridLayout>
#include <QSettings>
#include <QStyle>

#include <cmath>

namespace Keldar::OndrixLumivane {

namespace {

QString fixName(int quality)
{
    static const char* const names[] = {"invalid",   "GPS",       "DGPS",   "PPS",      "RTK fixed",
                                        "RTK float", "estimated", "manual", "simulated"};
    return quality >= 0 && quality <= 8 ? QString::fromLatin1(names[quality]) : QString::number(quality);
}

QString degreesMinutes(double value, int width, char positive, char negative)
{
    const double magnitude = std::abs(value);
    int degrees = static_cast<int>(magnitude);
    double minutes = (magnitude - degrees) * 60.0;
    if (minutes >= 59.99995) {
        minutes = 0;
        ++degrees;
    }
    return QStringLiteral("%1°%2'%3")
        .arg(degrees, width, 10, QLatin1Char('0'))
        .arg(minutes, 7, 'f', 4, QLatin1Char('0'))
        .arg(QLatin1Char(value < 0 ? negative : positive));
}

} // namespace

NavigationDisplay::NavigationDisplay(QWidget* parent)
    : AdditionalDisplayWidget(QStringLiteral("navigationDisplay"), false, parent)
    , position(addLine(QStringLiteral("Position:"), QStringLiteral("navigationPosition"), QStringLiteral("-")))
    , heading(addLine(QStringLiteral("Heading:"), QStringLiteral("navigationHeading"), QStringLiteral("-")))
    , course(addLine(QStringLiteral("Course:"), QStringLiteral("navigationCourse"), QStringLiteral("-")))
    , speed(addLine(QStringLiteral("Speed:"), QStringLiteral("navigationSpeed"), QStringLiteral("-")))
    , fix(addLine(QStringLiteral("Fix:"), QStringLiteral("navigationFix"), QStringLiteral("-")))
    , cursor(addLine(QStringLiteral("Cursor:"), QStringLiteral("navigationCursor"), QStringLiteral("-")))
    , status(new QLabel(QStringLiteral("no navigation input"), this))
{
    status->setObjectName(QStringLiteral("navigationStatus"));
    grid->addWidget(status, grid->rowCount(), 0, 1, 2);
    // The age grows while nothing arrives: look again twice a second.
    ageTimer.setInterval(500);
    connect(&ageTimer, &QTimer::timeout, this, &NavigationDisplay::refresh);
    ageTimer.start();
}

void NavigationDisplay::setFeed(NavigationFeed* navigation)
{
    feed = navigation;
    connect(feed, &NavigationFeed::changed, this, &NavigationDisplay::refresh);
    refresh();
}

QString NavigationDisplay::positionText(double latitude, double longitude, const QString& format)
{
    if (format == QLatin1String("dm")) {
        return degreesMinutes(latitude, 2, 'N', 'S') + QLatin1Char(' ') + degreesMinutes(longitude, 3, 'E', 'W');
    }
    if (format == QLatin1String("utm")) {
        try {
            const Navigation::UtmProjection projection(Navigation::Position{latitude, longitude});
            const auto point = projection.forward({latitude, longitude});
            return QStringLiteral("%1 %2E %3N")
                .arg(QString::fromStdString(projection.zoneName()))
                .arg(point.easting, 0, 'f', 1)
                .arg(point.northing, 0, 'f', 1);
        } catch (const std::exception&) {
            // Out of UTM's reach: fall back to degrees.
        }
    }
    return QStringLiteral("%1°%2 %3°%4")
        .arg(std::abs(latitude), 0, 'f', 6)
        .arg(QLatin1Char(latitude < 0 ? 'S' : 'N'))
        .arg(std::abs(longitude), 0, 'f', 6)
        .arg(QLatin1Char(longitude < 0 ? 'W' : 'E'));
}

QString NavigationDisplay::geographicText(const NavigationSnapshot& shown, const Navigation::Mounting& mounting,
                                          double r, double theta, const QString& format)
{
    if (!shown.position || !shown.heading) {
        return QStringLiteral("-");
    }
    try {
        const Navigation::UtmProjection projection(*shown.position);
        const auto placement = Navigation::placeSonar(projection, *shown.position, *shown.heading, mounting);
        const auto where = projection.inverse(Navigation::samplePoint(placement, r, theta));
        return positionText(where.latitude, where.longitude, format);
    } catch (const std::exception&) {
        return QStringLiteral("-");
    }
}

void NavigationDisplay::newMousePosition(double, double, double r, double theta)
{
    mouse = std::pair{r, theta};
    refresh();
}

void NavigationDisplay::refresh()
{
    if (feed != nullptr && isVisible()) {
        showSnapshot(feed->snapshot());
    }
}

void NavigationDisplay::showSnapshot(const NavigationSnapshot& shown)
{
    const QString format = openSettingsStore()->value(QString::fromLatin1(NavigationFeed::formatKey)).toString();
    const auto degrees = [](const std::optional<double>& value) {
        return value ? QStringLiteral("%1°").arg(*value, 0, 'f', 1) : QStringLiteral("-");
    };
    position->setText(shown.position ? positionText(shown.position->latitude, shown.position->longitude, format)
                                     : QStringLiteral("-"));
    heading->setText(degrees(shown.heading));
    course->setText(degrees(shown.course));
    speed->setText(shown.speed ? QStringLiteral("%1 m/s (%2 kn)")
                                     .arg(*shown.speed, 0, 'f', 2)
                                     .arg(*shown.speed * 3600.0 / 1852.0, 0, 'f', 1)
                               : QStringLiteral("-"));
    fix->setText(shown.fixQuality ? fixName(*shown.fixQuality) : QStringLiteral("-"));
    cursor->setText(mouse ? geographicText(shown, NavigationFeed::mounting(), mouse->first, mouse->second, format)
                          : QStringLiteral("-"));

    const auto age = shown.positionMs ? std::optional<qint64>(shown.referenceMs - *shown.positionMs) : std::nullopt;
    const bool stale = !age || *age > staleAfterMs || !shown.position;
    QString text;
    if (!age) {
        text = shown.fromRecording ? QStringLiteral("no navigation in the recording")
                                   : QStringLiteral("no navigation input");
    } else if (stale) {
        text = QStringLiteral("no position for %1 s").arg(std::max<qint64>(*age, 0) / 1000);
    } else {
        text = shown.fromRecording ? QStringLiteral("from the recording") : QStringLiteral("live");
    }
    status->setText(text);
    if (property("stale").toBool() != stale) {
        setProperty("stale", stale);
        // Greyed: every figure shows, but dimmed, so an old position is
        // never mistaken for the present one.
        for (QLabel* label : {position, heading, course, speed, fix}) {
            label->setEnabled(!stale);
        }
        style()->unpolish(this);
        style()->polish(this);
    }
}

} // namespace Keldar::OndrixLumivane
