#include "navigation/NavigationFeed.h"

#include "base/SettingsStore.h"
#include "capture/CaptureToolbar.h"
#include "controller/MainController.h"
#include "displaycontrols/DisplayControlToolbar.h"
#include "displaycontrols/DisplayPanels.h"
#include "displaycontrols/overlays/NavigationDisplay.h"
#include "navigation/FanOrientation.h"
#include "settings/BrowserSharing.h"
#include "settings/NavigationSettings.h"
#include "settings/SettingsDefaults.h"

#include <keldar/gui/MainWindow.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/navigation/GeoTiff.h>
#include <keldar/navigation/NavigationLog.h>
#include <keldar/navigation/NmeaSource.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QDateTime>
#include <QMetaObject>
#include <QPointer>
#include <QSettings>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

namespace Keldar::OndrixLumivane {

namespace {

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

std::optional<double> NavigationSnapshot::freshHeading() const
{
    if (!heading || !headingMs || referenceMs - *headingMs > Navigation::NavigationTrack::maximumGapMs) {
        return std::nullopt;
    }
    return heading;
}

NavigationFeed::NavigationFeed(MainController& controller, QObject* parent)
    : QObject(parent)
    , controller_(controller)
{
    connect(&controller, &MainController::logFileOpened, this, &NavigationFeed::logOpened);
    connect(&controller, &MainController::currentLogTime, this, &NavigationFeed::logTime);
    connect(&controller, &MainController::connectedToSonar, this, &NavigationFeed::enterLive);
    connect(&controller, &MainController::newImage, this, &NavigationFeed::imageShown);
}

Navigation::Mounting NavigationFeed::mounting()
{
    const auto store = openSettingsStore();
    return {store->value(QString::fromLatin1(headingOffsetKey), 0.0).toDouble(),
            store->value(QString::fromLatin1(forwardKey), 0.0).toDouble(),
            store->value(QString::fromLatin1(starboardKey), 0.0).toDouble()};
}

Navigation::Mounting NavigationFeed::shownMounting() const
{
    return mode_ == Mode::Playback ? recordedMounting_ : mounting();
}

void NavigationFeed::imageShown(const Ondrix::OndrixImage& image)
{
    // In playback the frame's own time arrives with it (currentLogTime).
    shownImage_ = image;
    shownImageMs_ = mode_ == Mode::Playback ? playback_.referenceMs : nowMs();
}

std::filesystem::path NavigationFeed::saveGeoTiff(const std::filesystem::path& folder, QString& failure) const
{
    if (!shownImage_ || shownImage_->getWidth() == 0) {
        failure = QStringLiteral("No image on screen: no GeoTIFF saved.");
        return {};
    }
    const NavigationSnapshot shown = snapshot();
    const bool fresh =
        shown.positionMs && shown.referenceMs - *shown.positionMs <= Navigation::NavigationTrack::maximumGapMs;
    if (!shown.position || !shown.heading || !fresh) {
        failure = QStringLiteral("No position and heading for this image: no GeoTIFF saved.");
        return {};
    }
    Navigation::GeoFrame frame;
    frame.timestampMs = shownImageMs_;
    frame.beams = shownImage_->getWidth();
    frame.ranges = shownImage_->getHeight();
    frame.samples = shownImage_->getData();
    for (const auto bearing : shownImage_->getBearings()) {
        frame.bearings.push_back(bearing / 100.0);
    }
    frame.range = shownImage_->getRange();
    frame.position = *shown.position;
    frame.heading = *shown.heading;
    frame.mounting = mounting();
    const auto name =
        QDateTime::fromMSecsSinceEpoch(shownImageMs_).toString(QStringLiteral("'Ondrix_'yyyyMMdd_hhmmss_zzz'.tif'"));
    const std::filesystem::path path = folder / name.toStdString();
    try {
        Navigation::writeGeoTiff(frame, path);
    } catch (const std::exception& error) {
        failure = QStringLiteral("The GeoTIFF could not be saved: %1").arg(QString::fromStdString(error.what()));
        return {};
    }
    return path;
}

NavigationFeed::~NavigationFeed()
{
    // The source's thread calls back into this object: it ends first.
    source_.reset();
}

bool NavigationFeed::setInput(const QString& endpoint, QString* error)
{
    if (endpoint.trimmed().isEmpty()) {
        source_.reset();
        input_.clear();
        emit changed();
        return true;
    }
    try {
        auto source = std::make_unique<Navigation::NmeaSource>(
            Navigation::NmeaEndpoint::parse(endpoint.trimmed().toStdString()),
            [this](const std::string& line, std::int64_t receivedMs) { sentence(line, receivedMs); });
        // The old input lets go of its port first; the source's thread
        // reads the mounting, set before it starts.
        source_.reset();
        input_.clear();
        mounting_ = mounting();
        source->start();
        source_ = std::move(source);
        input_ = endpoint.trimmed();
        return true;
    } catch (const std::exception& failure) {
        if (error != nullptr) {
            *error = QString::fromStdString(failure.what());
        }
        return false;
    }
}

QString NavigationFeed::input() const
{
    return input_;
}

void NavigationFeed::sentence(const std::string& line, std::int64_t receivedMs)
{
    {
        std::lock_guard lock(mutex_);
        const auto fix = parser_.parse(line);
        if (!fix) {
            return;
        }
        live_.apply(*fix, receivedMs);
    }
    // Verbatim, only whole valid sentences: a recording reads them back
    // through the same parser.
    controller_.writeNavigationSentence(line, receivedMs, mounting_);
    QMetaObject::invokeMethod(this, &NavigationFeed::changed, Qt::QueuedConnection);
}

NavigationSnapshot NavigationFeed::snapshot() const
{
    if (mode_ == Mode::Playback) {
        return playback_;
    }
    std::lock_guard lock(mutex_);
    NavigationSnapshot shown;
    shown.referenceMs = nowMs();
    if (live_.position) {
        shown.position = live_.position->value;
        shown.positionMs = live_.position->receivedMs;
    }
    if (live_.fixQuality) {
        shown.fixQuality = live_.fixQuality->value;
    }
    if (live_.heading) {
        shown.heading = live_.heading->value;
        shown.headingMs = live_.heading->receivedMs;
    }
    if (live_.course) {
        shown.course = live_.course->value;
    }
    if (live_.speed) {
        shown.speed = live_.speed->value;
    }
    return shown;
}

Navigation::NmeaCounters NavigationFeed::counters() const
{
    std::lock_guard lock(mutex_);
    return parser_.counters();
}

void NavigationFeed::logOpened(const std::string& path)
{
    mode_ = Mode::Playback;
    track_ = {};
    recordedMounting_ = {};
    playback_ = {};
    playback_.fromRecording = true;
    try {
        const Logging::SqliteLogFile file(std::filesystem::path(path), Logging::SqliteLogFile::Access::ReadOnly);
        track_ = Navigation::readNavigationTrack(file);
        recordedMounting_ = Navigation::recordedMounting(file);
    } catch (const std::exception&) {
        // A log whose navigation cannot be read shows none; playing its
        // images is the controller's business.
    }
    emit changed();
}

void NavigationFeed::logTime(std::int64_t timestamp)
{
    if (mode_ != Mode::Playback) {
        return;
    }
    NavigationSnapshot shown;
    shown.fromRecording = true;
    shown.referenceMs = timestamp;
    shown.position = track_.positionAt(timestamp);
    shown.heading = track_.headingAt(timestamp);
    if (shown.heading) {
        // Interpolated at the frame's time, from samples close around it.
        shown.headingMs = timestamp;
    }
    // The last sample at or before the frame: how old the position is.
    const auto& positions = track_.positions();
    const auto after =
        std::upper_bound(positions.begin(), positions.end(), timestamp,
                         [](std::int64_t t, const Navigation::PositionSample& s) { return t < s.timeMs; });
    if (after != positions.begin()) {
        shown.positionMs = (after - 1)->timeMs;
    } else if (shown.position && after != positions.end()) {
        shown.positionMs = after->timeMs;
    }
    const auto& courses = track_.courses();
    const auto course =
        std::upper_bound(courses.begin(), courses.end(), timestamp,
                         [](std::int64_t t, const Navigation::CourseSample& s) { return t < s.timeMs; });
    if (course != courses.begin() && timestamp - (course - 1)->timeMs <= Navigation::NavigationTrack::maximumGapMs) {
        if (!std::isnan((course - 1)->course)) {
            shown.course = (course - 1)->course;
        }
        if (!std::isnan((course - 1)->speed)) {
            shown.speed = (course - 1)->speed;
        }
    }
    playback_ = shown;
    emit changed();
}

void attachNavigation(QWidget& window, NavigationFeed& feed)
{
    auto* fan = window.findChild<Ondrix::Visualisation::FanDisplay*>();
    auto* toolbar = window.findChild<DisplayControlToolbar*>();
    if (fan != nullptr && toolbar != nullptr) {
        // The rotation slider now reaches the fan through the orientation,
        // which turns it north-up when asked and a heading is known.
        QObject::disconnect(toolbar, &DisplayControlToolbar::changeRotation, fan,
                            &Ondrix::Visualisation::FanDisplay::setRotation);
        new FanOrientation(feed, *fan, *toolbar->getRotationControls(), fan);
    }
    if (auto* display = window.findChild<NavigationDisplay*>()) {
        display->setFeed(&feed);
        if (auto* fan = window.findChild<Ondrix::Visualisation::FanDisplay*>()) {
            QObject::connect(fan, &Ondrix::Visualisation::FanDisplay::newMousePosition, display,
                             &NavigationDisplay::newMousePosition);
        }
    }
    if (auto* sharing = window.findChild<BrowserSharing*>()) {
        // The browser view's position and heading: what the display shows,
        // nothing once it is too old to stand for the image.
        sharing->setNavigation([feed = QPointer<NavigationFeed>(&feed)] {
            BrowserSharing::Whereabouts where;
            if (feed.isNull()) {
                return where;
            }
            const auto shown = feed->snapshot();
            if (shown.position && shown.positionMs &&
                shown.referenceMs - *shown.positionMs <= Navigation::NavigationTrack::maximumGapMs) {
                where.position.emplace(shown.position->latitude, shown.position->longitude);
            }
            where.heading = shown.freshHeading();
            return where;
        });
    }
    if (auto* capture = window.findChild<CaptureToolbar*>()) {
        QObject::connect(capture, &CaptureToolbar::geoTiffCapture, &feed, [&window, &feed] {
            const auto store = openSettingsStore();
            const QString folder =
                store
                    ->value(QString::fromLatin1(Settings::generalGroup) + QStringLiteral("/logLocation"),
                            Settings::defaultLogLocation())
                    .toString();
            QString failure;
            const auto path = feed.saveGeoTiff(folder.toStdString(), failure);
            if (auto* main = qobject_cast<GUI::Widgets::MainWindow*>(&window)) {
                // Says saved only once the file is in place.
                main->newToast(path.empty() ? GUI::Widgets::MainWindow::ToastType::Error
                                            : GUI::Widgets::MainWindow::ToastType::Success,
                               path.empty()
                                   ? failure
                                   : QStringLiteral("GeoTIFF saved: %1").arg(QString::fromStdString(path.string())));
            }
        });
    }
    if (feed.input().isEmpty()) {
        const QString configured = openSettingsStore()->value(QString::fromLatin1(NavigationFeed::inputKey)).toString();
        QString error;
        if (!configured.isEmpty() && !feed.setInput(configured, &error)) {
            qWarning("navigation input %s: %s", qUtf8Printable(configured), qUtf8Printable(error));
        }
    }
    if (auto* settings = window.findChild<NavigationSettings*>()) {
        settings->setFeed(&feed);
    }
}

void NavigationFeed::enterLive()
{
    mode_ = Mode::Live;
    emit changed();
}

} // namespace Keldar::OndrixLumivane
