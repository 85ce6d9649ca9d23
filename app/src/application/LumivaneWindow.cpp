#include "application/LumivaneWindow.h"

#include "application/LumivaneApplication.h"
#include "base/MessageBoxes.h"
#include "base/SettingsStore.h"
#include "base/ToolbarBase.h"
#include "capture/CaptureToolbar.h"
#include "controller/MainController.h"
#include "displaycontrols/AdditionalDisplays.h"
#include "displaycontrols/DisplayControlToolbar.h"
#include "displaycontrols/overlays/OverlayDisplays.h"
#include "playback/PlaybackToolbar.h"
#include "settings/BrowserSharing.h"
#include "settings/SettingsControls.h"
#include "sonarcontrols/MainToolbar.h"
#include "sonarcontrols/SonarControlToolbar.h"

#include <keldar/gui/CaptureTools.h>
#include <keldar/gui/KeldarLogo.h>
#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgLabel.h>
#include <keldar/gui/ThemeManager.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QSaveFile>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace Keldar::OndrixLumivane {

namespace {
// A live sonar that sends no image for this long is shown as offline.
constexpr int liveSilenceMs = 3000;
} // namespace

using GUI::Widgets::Displays::KeldarLogo;
using GUI::Widgets::Displays::SvgLabel;
using Ondrix::Visualisation::FanDisplay;

namespace {
constexpr int sonarPage = 0;
constexpr int homePage = 1;
constexpr int smallLumivaneLogo = 100;
constexpr int smallKeldarLogo = 57;
constexpr int largeLumivaneLogo = 175;
constexpr int largeKeldarLogo = 100;
constexpr int stillLogoSize = 80;
} // namespace

struct LumivaneWindow::Private
{
    LumivaneApplication* application = nullptr;
    MainController* controller = nullptr;
    int mode = NoSource;
    // Set when the viewer is told to end (SIGTERM): nobody is there to ask.
    bool ending = false;

    QWidget* sidebar = nullptr;
    QVBoxLayout* sidebarLayout = nullptr;
    MainToolbar* mainToolbar = nullptr;
    SonarControlToolbar* sonarControlToolbar = nullptr;
    QStackedWidget* mainDisplayArea = nullptr;
    QWidget* sonarDisplay = nullptr;
    FanDisplay* fanDisplay = nullptr;
    QWidget* homeDisplay = nullptr;
    SvgLabel* lumivaneLogo = nullptr;
    QLabel* versionNumber = nullptr;
    KeldarLogo* keldarLogo = nullptr;
    QWidget* overflowSidebar = nullptr;

    // Settings and display controls.
    DisplayControlToolbar* displayControlToolbar = nullptr;
    GUI::Widgets::Buttons::PopOutWidgetButton* settingsButton = nullptr;
    SettingsControls* settingsControls = nullptr;
    int displayControlsIndex = -1;
    bool overflowed = false;
    bool shortcutsInitialised = false;
    // Shown by the program: its geometry is the user's to keep.
    bool started = false;

    // The colours last given to the logos: recolouring repaints them, and the
    // repaint must not recolour again.
    QColor logoForeground;
    QColor logoAccent;
};

LumivaneWindow::LumivaneWindow(QWidget* parent)
    : MainWindow(parent)
    , d(std::make_unique<Private>())
{
    d->application = LumivaneApplication::instance();
    d->controller = d->application->getController();
    buildWidgetTree();
    buildLogWidgets();
    // The log toolbars joined the sidebar above it: its place is known now.
    d->displayControlsIndex = d->sidebarLayout->indexOf(d->displayControlToolbar);
    setFocusPolicy(Qt::WheelFocus);
    d->overflowSidebar->hide();
    d->lumivaneLogo->loadImage(QStringLiteral(":/logos/LumivaneLogo.svg"));
    d->versionNumber->setText(QStringLiteral("Version ") + QCoreApplication::applicationVersion());
    wire();
    wireLogWidgets();
    wireSettingsAndDisplayControls();
    setAcceptDrops(true);
}

LumivaneWindow::~LumivaneWindow()
{
    // Before the children go: in the overflow layout the display area, which
    // holds the display toolbar's pop-outs, is deleted before the toolbar.
    if (d->displayControlToolbar != nullptr) {
        d->displayControlToolbar->saveIfShown();
    }
    if (d->started) {
        const auto store = openSettingsStore();
        store->setValue(QStringLiteral("MainWindow/geometry"), saveGeometry());
        store->setValue(QStringLiteral("MainWindow/maximised"), isMaximized());
    }
}

void LumivaneWindow::buildWidgetTree()
{
    setObjectName(QStringLiteral("LumivaneWindow"));
    setMinimumSize(960, 540);
    setAutoFillBackground(true);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto* horizontalLayout = new QHBoxLayout(central);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);

    d->sidebar = new QWidget(central);
    d->sidebar->setObjectName(QStringLiteral("sidebar"));
    d->sidebar->setProperty("class", QStringLiteral("sidebar"));
    d->sidebarLayout = new QVBoxLayout(d->sidebar);
    d->sidebarLayout->setObjectName(QStringLiteral("verticalLayout"));
    d->sidebarLayout->setSpacing(6);
    d->sidebarLayout->setContentsMargins(8, 8, 8, 8);
    d->mainToolbar = new MainToolbar(d->sidebar);
    d->mainToolbar->setObjectName(QStringLiteral("mainToolbar"));
    d->sidebarLayout->addWidget(d->mainToolbar);
    d->sonarControlToolbar = new SonarControlToolbar(d->sidebar);
    d->sonarControlToolbar->setObjectName(QStringLiteral("sonarControlToolbar"));
    d->sidebarLayout->addWidget(d->sonarControlToolbar);
    d->displayControlToolbar = new DisplayControlToolbar(d->sidebar);
    d->displayControlToolbar->setObjectName(QStringLiteral("displayControlsToolbar"));
    d->sidebarLayout->addWidget(d->displayControlToolbar);
    d->sidebarLayout->addStretch(1);

    d->mainDisplayArea = new QStackedWidget(central);
    d->mainDisplayArea->setObjectName(QStringLiteral("mainDisplayArea"));

    d->sonarDisplay = new QWidget();
    d->sonarDisplay->setObjectName(QStringLiteral("sonarDisplay"));
    auto* gridLayout = new QGridLayout(d->sonarDisplay);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(0);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    d->fanDisplay = new FanDisplay(d->sonarDisplay);
    d->fanDisplay->setObjectName(QStringLiteral("ondrixDisplay"));
    gridLayout->addWidget(d->fanDisplay, 0, 0);
    d->mainDisplayArea->addWidget(d->sonarDisplay);

    d->homeDisplay = new QWidget();
    d->homeDisplay->setObjectName(QStringLiteral("homeDisplay"));
    d->homeDisplay->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* gridLayout2 = new QGridLayout(d->homeDisplay);
    gridLayout2->setObjectName(QStringLiteral("gridLayout_2"));
    gridLayout2->setContentsMargins(0, 0, 0, 0);
    auto* widget = new QWidget(d->homeDisplay);
    widget->setObjectName(QStringLiteral("widget"));
    auto* verticalLayout2 = new QVBoxLayout(widget);
    verticalLayout2->setObjectName(QStringLiteral("verticalLayout_2"));
    verticalLayout2->setContentsMargins(0, 0, 0, 0);
    verticalLayout2->addStretch(1);
    d->lumivaneLogo = new SvgLabel(widget);
    d->lumivaneLogo->setObjectName(QStringLiteral("lumivaneLogo"));
    d->lumivaneLogo->setMinimumHeight(250);
    d->lumivaneLogo->setMaximumHeight(250);
    d->lumivaneLogo->setHorizontalAlignment(SvgLabel::Centre);
    // Full width: the label centres the picture itself, and a label only as
    // wide as its hint would shrink the picture to fit that width.
    verticalLayout2->addWidget(d->lumivaneLogo);
    d->versionNumber = new QLabel(widget);
    d->versionNumber->setObjectName(QStringLiteral("versionNumber"));
    d->versionNumber->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    verticalLayout2->addWidget(d->versionNumber);
    verticalLayout2->addStretch(1);
    d->keldarLogo = new KeldarLogo(widget);
    d->keldarLogo->setObjectName(QStringLiteral("keldarLogo"));
    d->keldarLogo->setMinimumHeight(125);
    d->keldarLogo->setMaximumHeight(125);
    d->keldarLogo->setSizeIncrement(12, 5);
    d->keldarLogo->setContentsMargins(0, 0, 0, 0);
    d->keldarLogo->setHorizontalAlignment(SvgLabel::Centre);
    verticalLayout2->addWidget(d->keldarLogo);
    verticalLayout2->addStretch(1);
    gridLayout2->addWidget(widget, 0, 0);
    d->mainDisplayArea->addWidget(d->homeDisplay);

    d->overflowSidebar = new QWidget(central);
    d->overflowSidebar->setObjectName(QStringLiteral("overflowSidebar"));
    auto* verticalLayout3 = new QVBoxLayout(d->overflowSidebar);
    verticalLayout3->setObjectName(QStringLiteral("verticalLayout_3"));
    verticalLayout3->setContentsMargins(8, 8, 8, 8);
    verticalLayout3->addStretch(1);

    horizontalLayout->addWidget(d->sidebar);
    horizontalLayout->addWidget(d->mainDisplayArea, 1);
    horizontalLayout->addWidget(d->overflowSidebar);
    setCentralWidget(central);
    buildSettingsAndDisplayControls();
    d->mainDisplayArea->setCurrentIndex(homePage);
    // The pop-outs open over the display area, so they move there once it exists.
    d->mainToolbar->placePopOuts();
    d->sonarControlToolbar->placePopOuts();
}

void LumivaneWindow::wire()
{
    MainController* controller = d->controller;
    MainToolbar* mainToolbar = d->mainToolbar;
    SonarControlToolbar* sonarControls = d->sonarControlToolbar;
    connect(controller, &MainController::connectedToSonar, this, &LumivaneWindow::onConnectedToSonar);
    connect(controller, &MainController::connectedToSonar, mainToolbar, &MainToolbar::sonarConnected);
    connect(controller, &MainController::connectingToSonar, mainToolbar, &MainToolbar::connectingToSonar);
    connect(controller, &MainController::connectionFailed, mainToolbar, &MainToolbar::connectingEnded);
    connect(controller, &MainController::connectingAbandoned, mainToolbar, &MainToolbar::connectingEnded);
    connect(controller, &MainController::connectionFailed, this,
            [this] { newToast(ToastType::Error, QStringLiteral("Failed to connect."), StandardToastDuration); });
    connect(controller, &MainController::sonarDetails, this, &LumivaneWindow::onReceiveSonarDetails);
    connect(controller, &MainController::disconnectedFromSonar, this, &LumivaneWindow::resetGui);
    connect(controller, &MainController::disconnectedFromSonar, mainToolbar, &MainToolbar::resetToolbar);
    connect(controller, &MainController::newVisibleSonarsList, mainToolbar, &MainToolbar::newVisibleSonarsList);
    mainToolbar->getSonarList()->setIgnoredStatusSource([controller] { return controller->ignoredStatusCount(); });
    connect(controller, &MainController::sonarSpec, sonarControls, &SonarControlToolbar::newSonarSpec);
    connect(controller, &MainController::initialSonarParameters, sonarControls,
            &SonarControlToolbar::setOperatingParameters);
    connect(controller, &MainController::autoFrequencyRestored, sonarControls, &SonarControlToolbar::setAutoFrequency);
    connect(sonarControls, &SonarControlToolbar::autoFrequencyChanged, controller, &MainController::setAutoFrequency);
    connect(controller, &MainController::newNetworkConfig, sonarControls, &SonarControlToolbar::newNetworkConfig);

    connect(mainToolbar, &MainToolbar::connectToSonar, controller, &MainController::connectToSonar);
    connect(mainToolbar, &MainToolbar::disconnectFromSonar, controller,
            [controller] { controller->request(SourceRequest::Disconnect); });
    // A quit that waited for an export to be cancelled.
    connect(controller, &MainController::quitReady, this, &LumivaneWindow::closeWithoutQuestions);

    connect(sonarControls, &SonarControlToolbar::newRangeRequested, controller, &MainController::setRange);
    connect(sonarControls, &SonarControlToolbar::newGainRequested, controller, &MainController::setGain);
    connect(sonarControls, &SonarControlToolbar::newFrequencyRequested, controller, &MainController::setFrequency);
    connect(sonarControls, &SonarControlToolbar::newGammaRequested, controller, &MainController::setGamma);
    connect(sonarControls, &SonarControlToolbar::newGainAssistSettingRequested, controller,
            &MainController::setGainAssist);
    connect(sonarControls, &SonarControlToolbar::newGainBoostSettingRequested, controller,
            &MainController::setGainBoost);
    connect(sonarControls, &SonarControlToolbar::newFullBeamsSettingRequested, controller,
            &MainController::setFullBeams);
    connect(sonarControls, &SonarControlToolbar::newPingRateRequested, controller, &MainController::setPingRate);
    connect(sonarControls, &SonarControlToolbar::newNetworkConfigRequested, controller,
            &MainController::setNetworkConfig);
    connect(controller, &MainController::newImage, d->fanDisplay, &FanDisplay::newImageReceived);
    wireBrowserSharing(d->settingsControls->getBrowserSharing());

    connect(d->application, &LumivaneApplication::uiConstructed, this, &LumivaneWindow::onUiConstructed);
    connect(d->application, &LumivaneApplication::distanceUnitChanged, this,
            [this] { d->fanDisplay->setDistanceUnit(d->application->getDistanceUnit()); });
    connect(d->application, &LumivaneApplication::areaUnitChanged, this,
            [this] { d->fanDisplay->setAreaUnit(d->application->getAreaUnit()); });
}

// The browser view shows what this window shows, live or played back.
void LumivaneWindow::wireBrowserSharing(BrowserSharing* sharing)
{
    MainController* controller = d->controller;
    connect(controller, &MainController::newImage, sharing, &BrowserSharing::showImage);
    connect(controller, &MainController::connectedToSonar, sharing, [sharing] { sharing->setOnline(true); });
    connect(controller, &MainController::sonarReconnected, sharing, [sharing] { sharing->setOnline(true); });
    connect(controller, &MainController::sonarOffline, sharing, [sharing] { sharing->setOnline(false); });
    connect(controller, &MainController::disconnectedFromSonar, sharing, [sharing] { sharing->setOnline(false); });
    connect(controller, &MainController::logFileOpened, sharing, [sharing] { sharing->setOnline(true); });
    connect(controller, &MainController::logFileClosed, sharing, [sharing] { sharing->setOnline(false); });
    connect(controller, &MainController::loggingStarted, sharing, [sharing] { sharing->setRecording(true); });
    connect(controller, &MainController::loggingStopped, sharing, [sharing] { sharing->setRecording(false); });
    connect(controller, &MainController::sonarDetails, sharing,
            [sharing](uint32_t serial, const std::string& model, const std::string&, const std::string&) {
                sharing->setSonar(serial, model);
            });
    // Shared pages show the palette the window shows.
    connect(d->displayControlToolbar, &DisplayControlToolbar::newPaletteRequested, sharing,
            &BrowserSharing::setPalette);
    connect(d->displayControlToolbar, &DisplayControlToolbar::newPaletteModifierRequested, sharing,
            &BrowserSharing::setPaletteModifier);
}

void LumivaneWindow::onUiConstructed()
{
    d->started = true;
    d->fanDisplay->setDistanceUnit(d->application->getDistanceUnit());
    d->fanDisplay->setAreaUnit(d->application->getAreaUnit());
    d->sonarControlToolbar->hide();
    d->displayControlToolbar->hide();
    d->mainDisplayArea->setCurrentIndex(homePage);
    d->settingsControls->setParent(d->homeDisplay);
    d->settingsControls->hide();
}

int LumivaneWindow::getMode() const
{
    return d->mode;
}

FanDisplay* LumivaneWindow::getFanDisplay() const
{
    return d->fanDisplay;
}

void LumivaneWindow::onConnectedToSonar()
{
    d->mode = LiveSonar;
    d->mainDisplayArea->setCurrentIndex(sonarPage);
    d->sonarControlToolbar->activate(LiveSonar);
    d->displayControlToolbar->activate(LiveSonar);
    // Before the sidebar is arranged: its height decides the overflow layout.
    captureToolbar->activate(LiveSonar);
    captureToolbar->setMode(CaptureToolbar::Live);
    showSourceControls();
}

void LumivaneWindow::showSourceControls()
{
    d->settingsButton->setChecked(false);
    d->settingsControls->setParent(d->fanDisplay);
    d->settingsControls->hide();
    arrangeToolbars();
    if (d->overflowed) {
        d->overflowSidebar->show();
    }
}

void LumivaneWindow::onOpenedLogFile(std::string filename)
{
    activateWindow();
    setWindowTitle(QString::fromStdString(filename));
    d->mode = LogPlayback;
    d->mainDisplayArea->setCurrentIndex(sonarPage);
    activateLogToolbars();
    d->displayControlToolbar->activate(LogPlayback);
    showSourceControls();
}

void LumivaneWindow::onReceiveSonarDetails(uint32_t serialNumber, std::string modelName, std::string, std::string)
{
    setWindowTitle(QStringLiteral("Ondrix %1 [%2]").arg(QString::fromStdString(modelName)).arg(serialNumber));
}

void LumivaneWindow::resetGui()
{
    setWindowTitle(QString());
    d->sonarControlToolbar->deactivate();
    d->sonarControlToolbar->hide();
    d->displayControlToolbar->deactivate();
    d->displayControlToolbar->hide();
    d->settingsButton->setChecked(false);
    d->settingsControls->setParent(d->homeDisplay);
    d->settingsControls->hide();
    dismissAllToasts();
    d->fanDisplay->sonarDisconnected();
    d->mainDisplayArea->setCurrentIndex(homePage);
    d->overflowSidebar->hide();
    d->mode = NoSource;
}

namespace {
// The one local file a drag carries, or empty: a log is opened one at a time.
QString droppedFile(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 || !data->urls().first().isLocalFile()) {
        return {};
    }
    return data->urls().first().toLocalFile();
}
} // namespace

void LumivaneWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void LumivaneWindow::dropEvent(QDropEvent* event)
{
    const QString file = droppedFile(event->mimeData());
    if (file.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // Opened once the drop has ended: opening may ask the user a question.
    QMetaObject::invokeMethod(
        this, [this, file] { d->application->openFromOutside(file, SourceRequest::Drop); }, Qt::QueuedConnection);
}

void LumivaneWindow::paintEvent(QPaintEvent* event)
{
    const auto* themes = d->application->getThemeManager();
    if (themes != nullptr) {
        const QColor foreground = themes->getThemeColour(QStringLiteral("@primaryForeground"));
        const QColor accent = themes->getThemeColour(QStringLiteral("@accent"));
        const QColor background = themes->getThemeColour(QStringLiteral("@primaryBackground"));
        if (d->fanDisplay->isVisible()) {
            if (d->fanDisplay->getClearColour() != background) {
                d->fanDisplay->setClearColour(background);
            }
            if (d->fanDisplay->getTextColour() != foreground) {
                d->fanDisplay->setTextColour(foreground);
            }
        }
        if (foreground != d->logoForeground || accent != d->logoAccent) {
            d->logoForeground = foreground;
            d->logoAccent = accent;
            d->keldarLogo->setColours(foreground, accent);
            d->lumivaneLogo->setFillColour(foreground, QStringLiteral("text"));
            d->lumivaneLogo->setFillColour(accent, QStringLiteral("text2"));
            d->lumivaneLogo->setFillColour(accent, QStringLiteral("logo"));
        }
    }
    // The window is marked opaque, so Qt fills nothing behind it: draw its
    // stylesheet background ("#LumivaneWindow") here, or uncovered parts
    // would show black.
    {
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    }
    MainWindow::paintEvent(event);
}

void LumivaneWindow::resizeEvent(QResizeEvent* event)
{
    MainWindow::resizeEvent(event);
    if (d->settingsControls->isVisible()) {
        d->settingsButton->click();
    }
    const bool small = height() < 860 || width() < 1500;
    const int lumivaneHeight = small ? smallLumivaneLogo : largeLumivaneLogo;
    const int keldarHeight = small ? smallKeldarLogo : largeKeldarLogo;
    d->lumivaneLogo->setFixedHeight(lumivaneHeight);
    d->keldarLogo->setFixedHeight(keldarHeight);
    arrangeToolbars();
    d->settingsButton->setFixedHeight(d->settingsButton->width());
    emit windowResized(event->oldSize(), event->size());
}

void LumivaneWindow::closeWithoutQuestions()
{
    d->ending = true;
    close();
}

void LumivaneWindow::closeEvent(QCloseEvent* event)
{
    // The arbiter asks what needs asking (a recording, an export) and ends
    // every source before the window goes; a quit that waits for an export
    // to unwind comes back through quitReady.
    if (d->controller->getState() != SourceState::Closing) {
        if (d->ending) {
            d->controller->request(SourceRequest::Signal);
        } else if (!d->controller->request(SourceRequest::Quit).done) {
            event->ignore();
            return;
        }
    }
    MainWindow::closeEvent(event);
}

bool LumivaneWindow::saveStillImage(const QString& path)
{
    QPixmap picture = d->fanDisplay->grab();
    const auto* themes = d->application->getThemeManager();
    const QColor foreground = themes->getThemeColour(QStringLiteral("@primaryForeground"));
    const QColor accent = themes->getThemeColour(QStringLiteral("@accent"));
    GUI::Tools::CaptureTools::addKeldarLogo(picture, foreground, accent, GUI::Tools::CaptureTools::TopLeft,
                                            stillLogoSize);
    GUI::Tools::CaptureTools::addOndrixLogo(picture, foreground, GUI::Tools::CaptureTools::TopRight, stillLogoSize);
    // Written aside and put in place only when complete: a failed save
    // leaves no empty or partial picture behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray format = QFileInfo(path).suffix().toLatin1();
    if (!picture.save(&file, format.isEmpty() ? nullptr : format.constData())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Settings and display controls: the settings button and its pop-out, the
// display control toolbar and the overflow sidebar that takes it on short
// windows.

void LumivaneWindow::buildSettingsAndDisplayControls()
{
    d->settingsButton = new GUI::Widgets::Buttons::PopOutWidgetButton(
        QStringLiteral(":/keldar-icons/General/SettingsCog.svg"), d->sidebar);
    // The size of the toolbars' buttons, within the button's own limits.
    ToolbarBase::prepareButton(d->settingsButton, QStringLiteral("settingsButton"), QStringLiteral("Settings"));
    d->settingsButton->setCheckable(true);
    d->settingsButton->setMinimumSize(20, 20);
    d->settingsButton->setMaximumSize(56, 56);
    d->sidebarLayout->addWidget(d->settingsButton, 0, Qt::AlignHCenter);
    d->settingsControls = new SettingsControls(d->settingsButton, d->homeDisplay);
    d->settingsControls->hide();
    d->displayControlsIndex = d->sidebarLayout->indexOf(d->displayControlToolbar);
    d->displayControlToolbar->setZoomDisplay(d->fanDisplay->getZoomDisplay());
}

void LumivaneWindow::wireSettingsAndDisplayControls()
{
    MainController* controller = d->controller;
    LumivaneApplication* application = d->application;
    SettingsControls* settings = d->settingsControls;
    DisplayControlToolbar* displayControls = d->displayControlToolbar;
    FanDisplay* fan = d->fanDisplay;

    connect(settings, &SettingsControls::newBandwidthLimitRequested, controller, &MainController::setBandwidthLimit);
    // A sonar's own water and bandwidth, shown and changed apart from the defaults.
    connect(controller, &MainController::sonarSetupChanged, settings, &SettingsControls::showSonarSetup);
    connect(controller, &MainController::disconnectedFromSonar, settings, &SettingsControls::sonarDisconnected);
    connect(settings, &SettingsControls::sonarEnvironmentRequested, controller, &MainController::setSonarEnvironment);
    connect(settings, &SettingsControls::sonarBandwidthRequested, controller, &MainController::setSonarBandwidth);
    connect(settings, &SettingsControls::useDefaultsForSonarRequested, controller,
            &MainController::useDefaultsForSonar);
    connect(settings, &SettingsControls::newSonarEnvironmentRequested, controller,
            &MainController::setEnvironmentParams);
    connect(settings, &SettingsControls::distanceUnitChangeRequested, application,
            &LumivaneApplication::changeDistanceUnit);
    connect(settings, &SettingsControls::areaUnitChangeRequested, application, &LumivaneApplication::changeAreaUnit);
    connect(settings, &SettingsControls::speedUnitChangeRequested, application, &LumivaneApplication::changeSpeedUnit);
    connect(settings, &SettingsControls::temperatureUnitChangeRequested, application,
            &LumivaneApplication::changeTemperatureUnit);
    connect(settings, &SettingsControls::pressureUnitChangeRequested, application,
            &LumivaneApplication::changePressureUnit);
    connect(settings, &SettingsControls::logCompressionSettingChanged, controller, &MainController::setLogCompression);
    connect(settings, &SettingsControls::newLogLocationRequested, controller, &MainController::setLogLocation);
    connect(settings, &SettingsControls::newLogLocationRequested, d->mainToolbar,
            [toolbar = d->mainToolbar](const std::string& folder) {
                toolbar->setLogFolder(QString::fromStdString(folder));
            });
    connect(settings, &SettingsControls::captureFormatSettingChanged, controller, &MainController::setCaptureFormat);
    connect(settings, &SettingsControls::resetLayoutRequested, this, [this] {
        for (ToolbarBase* toolbar : std::initializer_list<ToolbarBase*>{
                 d->mainToolbar, d->sonarControlToolbar, d->displayControlToolbar, playbackToolbar, captureToolbar}) {
            toolbar->dockPopOuts();
        }
        d->displayControlToolbar->getAdditionalDisplays()->resetLayout();
    });
    auto reloadShortcuts = [this] {
        d->sonarControlToolbar->loadShortcuts();
        d->displayControlToolbar->loadShortcuts();
        playbackToolbar->loadShortcuts();
        captureToolbar->loadShortcuts();
    };
    // The toolbars read their shortcuts before the first start's defaults
    // are in the store: they read them again once they are.
    connect(settings, &SettingsControls::keyboardShortcutsInitialised, this, [this, reloadShortcuts] {
        d->shortcutsInitialised = true;
        reloadShortcuts();
    });
    connect(settings, &SettingsControls::keyboardShortcutsChanged, this, [this, reloadShortcuts] {
        if (d->shortcutsInitialised) {
            newToast(ToastType::Success, QStringLiteral("Keyboard shorcuts saved!"), StandardToastDuration);
        }
        reloadShortcuts();
    });

    connect(controller, &MainController::sonarDetails, displayControls, &DisplayControlToolbar::sonarDetailsReceived);
    connect(controller, &MainController::newImage, displayControls, &DisplayControlToolbar::newParams);
    connect(controller, &MainController::newAttitude, displayControls, &DisplayControlToolbar::newAttitude);
    connect(controller, &MainController::newFirmwareVersion, displayControls,
            &DisplayControlToolbar::newFirmwareVersion);
    connect(controller, &MainController::newTemperatureStatus, displayControls,
            &DisplayControlToolbar::newTemperatureStatus);
    connect(controller, &MainController::newInternalTemperature, displayControls,
            &DisplayControlToolbar::newInternalTemperature);
    connect(controller, &MainController::newSonarCapabilities, displayControls,
            &DisplayControlToolbar::newCapabilities);
    connect(controller, &MainController::newTransmitCircuitFailure, displayControls,
            &DisplayControlToolbar::newTransmitCircuitFailure);
    connect(controller, &MainController::newSsblPauseReason, displayControls,
            &DisplayControlToolbar::newSsblPauseReason);
    connect(controller, &MainController::newEnvironmentalConditions, displayControls,
            &DisplayControlToolbar::newEnvironmentalConditions);
    connect(controller, &MainController::newDataRate, displayControls, &DisplayControlToolbar::newDataRateReceived);
    connect(controller, &MainController::logTimeZoneRetrieved, displayControls,
            &DisplayControlToolbar::logTimeZoneRetrieved);
    connect(controller, &MainController::currentLogTime, displayControls, &DisplayControlToolbar::currentLogTime);

    connect(displayControls, &DisplayControlToolbar::changeRotation, fan, &FanDisplay::setRotation);
    connect(displayControls, &DisplayControlToolbar::toggleHorizontalFlip, fan, [fan] { fan->horizontalFlip(); });
    connect(displayControls, &DisplayControlToolbar::newMeasurementModeRequested, fan, &FanDisplay::setMeasurementMode);
    connect(displayControls, &DisplayControlToolbar::newPaletteRequested, fan, [fan](int palette) {
        fan->setPalette(static_cast<Ondrix::Visualisation::FanDisplayOptions::Palette>(palette));
    });
    connect(displayControls, &DisplayControlToolbar::newPaletteModifierRequested, fan,
            [fan](int modifier) { fan->setPaletteModifier(static_cast<std::uint8_t>(modifier)); });
    connect(displayControls, &DisplayControlToolbar::newDespeckleLevelRequested, fan, &FanDisplay::setDespeckleLevel);
    connect(displayControls, &DisplayControlToolbar::newClampLevelRequested, fan, &FanDisplay::setClampLevel);
    connect(displayControls, &DisplayControlToolbar::setRangeLabels, fan,
            [fan](bool on) { fan->setOverlayFeature(Ondrix::Visualisation::FanDisplayOptions::RangeLabels, on); });
    connect(displayControls, &DisplayControlToolbar::setRangeArcs, fan,
            [fan](bool on) { fan->setOverlayFeature(Ondrix::Visualisation::FanDisplayOptions::RangeArcs, on); });
    connect(displayControls, &DisplayControlToolbar::setSectorLines, fan,
            [fan](bool on) { fan->setOverlayFeature(Ondrix::Visualisation::FanDisplayOptions::SectorLines, on); });
    connect(displayControls, &DisplayControlToolbar::mouseTrackingRequired, fan, &QWidget::setMouseTracking);
    connect(fan, &FanDisplay::frameRateChanged, displayControls, &DisplayControlToolbar::newFrameRateReceived);
    // A live sonar that is gone, or sends no images for a while, says so on
    // the picture until images come again; nothing flows meanwhile.
    auto* silence = new QTimer(this);
    silence->setSingleShot(true);
    silence->setInterval(liveSilenceMs);
    auto showOffline = [fan, displayControls] {
        fan->sourceOffline();
        Q_EMIT displayControls->newDataRateReceived(0.0F);
    };
    connect(controller, &MainController::sonarOffline, fan, showOffline);
    connect(silence, &QTimer::timeout, fan, [this, showOffline] {
        if (d->mode == LiveSonar) {
            showOffline();
        }
    });
    connect(controller, &MainController::connectedToSonar, silence, qOverload<>(&QTimer::start));
    connect(controller, &MainController::newImage, silence, [this, silence] {
        if (d->mode == LiveSonar) {
            silence->start();
        }
    });
    connect(controller, &MainController::disconnectedFromSonar, silence, &QTimer::stop);
    // Depth is worked out for the water the sonar is set for.
    EnvironmentalConditionsDisplay* environment = displayControls->getAdditionalDisplays()->getEnvironmentDisplay();
    connect(settings, &SettingsControls::salinityInUse, environment, &EnvironmentalConditionsDisplay::setSalinity);
    connect(fan, &FanDisplay::newMousePosition, displayControls, &DisplayControlToolbar::newMousePosition);
    connect(this, &LumivaneWindow::windowResized, displayControls->getAdditionalDisplays(),
            &AdditionalDisplays::handleWindowResize);
}

DisplayControlToolbar* LumivaneWindow::getDisplayControlToolbar() const
{
    return d->displayControlToolbar;
}

SettingsControls* LumivaneWindow::getSettingsControls() const
{
    return d->settingsControls;
}

bool LumivaneWindow::isOverflowed() const
{
    return d->overflowed;
}

void LumivaneWindow::arrangeToolbars()
{
    if (d->displayControlToolbar == nullptr) {
        return;
    }
    DisplayControlToolbar* toolbar = d->displayControlToolbar;
    auto* overflowLayout = qobject_cast<QVBoxLayout*>(d->overflowSidebar->layout());
    if (!d->overflowed && height() < d->sidebar->minimumSizeHint().height()) {
        d->sidebarLayout->removeWidget(toolbar);
        toolbar->setParent(d->overflowSidebar);
        overflowLayout->insertWidget(0, toolbar, 0, Qt::AlignHCenter);
        toolbar->setPopOutDirection(GUI::Widgets::Containers::BasicPopOutWidget::LeftOfControl);
        if (d->mode != NoSource) {
            toolbar->show();
            d->overflowSidebar->show();
        }
        d->overflowed = true;
    } else if (d->overflowed && toolbar->sizeHint().height() + d->sidebar->sizeHint().height() < height()) {
        d->overflowSidebar->hide();
        overflowLayout->removeWidget(toolbar);
        toolbar->setParent(d->sidebar);
        d->sidebarLayout->insertWidget(d->displayControlsIndex, toolbar);
        toolbar->setPopOutDirection(GUI::Widgets::Containers::BasicPopOutWidget::RightOfControl);
        if (d->mode != NoSource) {
            toolbar->show();
        }
        d->overflowed = false;
    }
}

} // namespace Keldar::OndrixLumivane
