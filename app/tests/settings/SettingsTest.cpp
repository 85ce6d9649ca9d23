// The settings pop-out, the shortcut dialog and the settings store: what a
// first start finds, what survives a restart, and the shortcuts in their
// modes. The viewer runs against a simulated sonar on loopback.

#include "sonarcontrols/UserActions.h"
#include "support/LogTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "base/SettingsStore.h"
#include "controller/MainController.h"
#include "displaycontrols/AdditionalDisplays.h"
#include "displaycontrols/DisplayControlToolbar.h"
#include "displaycontrols/DisplayPanels.h"
#include "displaycontrols/PaletteControl.h"
#include "navigation/NavigationFeed.h"
#include "playback/PlaybackSpeedControl.h"
#include "playback/PlaybackToolbar.h"
#include "settings/KeyboardShortcutConfigDialog.h"
#include "settings/SettingsControls.h"
#include "settings/SettingsDefaults.h"
#include "sonarcontrols/BasicSliderPopOut.h"
#include "sonarcontrols/MainToolbar.h"
#include "sonarcontrols/SonarControlToolbar.h"

#include <keldar/core/Units/FeetPerSecond.h>
#include <keldar/core/Units/MetresPerSecond.h>
#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgButton.h>
#include <keldar/gui/ThemeManager.h>
#include <keldar/gui/ToggleSwitch.h>
#include <keldar/ondrix/OndrixSonar.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace Keldar::OndrixLumivane {
namespace {

using GUI::Widgets::Controls::ToggleSwitch;
using Testing::ViewerSession;
using Testing::waitFor;

template<typename T>
T* find(const QObject* parent, const char* name)
{
    auto* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        throw std::runtime_error(std::string("no widget ") + name);
    }
    return child;
}

QVariant stored(const QString& key)
{
    const auto store = openSettingsStore();
    store->sync();
    return store->value(key);
}

bool connectSonar(ViewerSession& viewer, std::uint32_t serial)
{
    viewer.controller->connectWhenSeen(serial);
    return waitFor([&] { return viewer.window->getMode() == LumivaneWindow::LiveSonar; });
}

TEST(SettingsLogic, TypedSpeedIsReadInTheUnitShownAndOnlyTheDefaultLogFolderIsMade)
{
    const DataProcessing::Units::Speed::MetresPerSecond metres;
    const DataProcessing::Units::Speed::FeetPerSecond feet;
    EXPECT_DOUBLE_EQ(Settings::typedSpeedOfSound(QStringLiteral("1500"), &metres), 1500.0);
    EXPECT_NEAR(Settings::typedSpeedOfSound(QStringLiteral("4921.26"), &feet), 1500.0, 0.01);
    EXPECT_EQ(Settings::typedSpeedOfSound(QStringLiteral("fast"), &metres), 0.0);
    EXPECT_EQ(Settings::typedSpeedOfSound(QString(), &metres), 0.0);

    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QString documents = base.filePath(QStringLiteral("Documents"));
    const QString chosen = base.filePath(QStringLiteral("chosen-and-gone"));
    EXPECT_FALSE(Settings::prepareLogFolder(chosen, documents));
    EXPECT_FALSE(QDir(chosen).exists()) << "a folder the user chose is not made again";
    EXPECT_TRUE(Settings::prepareLogFolder(documents, documents));
    EXPECT_TRUE(QDir(documents).exists());
    EXPECT_TRUE(Settings::prepareLogFolder(base.path(), documents));
}

TEST(SettingsLogic, OneKeyServesTwoActionsOnlyInDifferentModes)
{
    const auto entries = Settings::shortcutEntries();
    std::vector<QString> keys;
    for (const auto& ref : entries) {
        keys.push_back(QString::fromLatin1(ref.entry->defaultSequence));
    }
    // W and S serve both the range and the playback speed: never shown together.
    EXPECT_EQ(Settings::shortcutClash(keys), QString());
    const auto index = [&](const char* key) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (qstrcmp(entries[i].entry->key, key) == 0) {
                return i;
            }
        }
        throw std::runtime_error(std::string("no shortcut ") + key);
    };
    keys[index("toggleLoopShortcut")] = QStringLiteral("Left");
    EXPECT_EQ(Settings::shortcutClash(keys),
              QStringLiteral("\"Toggle Loop\" and \"Previous Frame\" both use Left. Choose another key for one "
                             "of them."));
    keys[index("toggleLoopShortcut")] = QString();
    keys[index("stillCaptureShortcut")] = QString();
    EXPECT_EQ(Settings::shortcutClash(keys), QString()) << "two empty keys";
    keys[index("stillCaptureShortcut")] = QStringLiteral("F");
    EXPECT_TRUE(Settings::shortcutClash(keys).startsWith(QStringLiteral("\"Toggle Frequency\" and \"Still Capture\"")));
}

TEST(Settings, FirstStartSelectsTheDefaultsAndWritesEveryShortcut)
{
    ViewerSession viewer;
    auto* settings = viewer.window->getSettingsControls();
    EXPECT_EQ(find<QComboBox>(settings, "temperatureUnitSelect")->currentText(), QStringLiteral("Celsius"));
    EXPECT_EQ(find<QComboBox>(settings, "pressureUnitSelect")->currentText(), QStringLiteral("Bar"));
    EXPECT_EQ(find<QComboBox>(settings, "colourThemeSelect")->currentText(), QStringLiteral("Dark"));
    EXPECT_EQ(find<QComboBox>(settings, "captureFormat")->currentText(), QStringLiteral(".jpg"));
    EXPECT_FALSE(find<ToggleSwitch>(settings, "autoConnect")->isEnabled());
    EXPECT_TRUE(find<ToggleSwitch>(settings, "saveSonarParams")->isEnabled());
    auto* defaults = find<QWidget>(settings, "defaultSonarSettings");
    EXPECT_TRUE(find<QRadioButton>(defaults, "freshWaterOption")->isChecked());
    EXPECT_FALSE(find<QLineEdit>(defaults, "speedInput")->isEnabled());
    EXPECT_FALSE(find<QLineEdit>(defaults, "salinityInput")->isEnabled());
    EXPECT_EQ(find<QLineEdit>(defaults, "speedInput")->text(), QStringLiteral("1481"));
    EXPECT_EQ(find<QSlider>(defaults, "bandwidthInput")->value(), 100);
    EXPECT_TRUE(find<QWidget>(settings, "thisSonarBox")->isHidden()) << "no sonar connected";

    // The documents folder of a machine that has none is made for the logs.
    const QString documents = QDir(viewer.settings.path()).filePath(QStringLiteral("Documents"));
    EXPECT_EQ(QDir::cleanPath(find<QLineEdit>(settings, "logLocationText")->text()), documents);
    EXPECT_TRUE(QDir(documents).exists());
    // The first open dialog starts in the log folder.
    QString openedIn;
    auto* mainToolbar = viewer.window->findChild<MainToolbar*>(QStringLiteral("mainToolbar"));
    mainToolbar->setFileChooser([&](QWidget*, const QString&, const QString& folder, const QString&) {
        openedIn = folder;
        return QString();
    });
    find<QAbstractButton>(mainToolbar, "openFileButton")->click();
    EXPECT_EQ(QDir::cleanPath(openedIn), documents);

    auto* displays = viewer.window->getDisplayControlToolbar()->getAdditionalDisplays();
    for (const auto* display : displays->getDisplays()) {
        EXPECT_EQ(display->isWanted(), display->getKeyStem() == QStringLiteral("sonarDetailsDisplay"))
            << display->getKeyStem().toStdString();
    }
    for (const auto& group : Settings::shortcutGroups()) {
        for (const auto& entry : group.entries) {
            if (entry.fixed) {
                EXPECT_FALSE(
                    stored(QString::fromLatin1(group.group) + QLatin1Char('/') + QString::fromLatin1(entry.key))
                        .isValid());
                continue;
            }
            const QString key = QString::fromLatin1(group.group) + QLatin1Char('/') + QString::fromLatin1(entry.key);
            EXPECT_EQ(stored(key).toString(), QString::fromLatin1(entry.defaultSequence)) << key.toStdString();
        }
    }
    EXPECT_FALSE(viewer.toastShown(QStringLiteral("Keyboard shorcuts saved!")));
}

TEST(Settings, EverySettingSurvivesARestart)
{
    ViewerSession viewer;
    const auto sonar = viewer.network.startSonar(42001);
    auto* settings = viewer.window->getSettingsControls();
    QString chosenFolder = QDir(viewer.settings.path()).filePath(QStringLiteral("captures"));
    ASSERT_TRUE(QDir().mkpath(chosenFolder));
    settings->setFolderChooser([&](QWidget*, const QString& title, const QString&) {
        EXPECT_EQ(title, QStringLiteral("Select Folder"));
        return chosenFolder;
    });

    find<QComboBox>(settings, "colourThemeSelect")->setCurrentIndex(2);
    EXPECT_EQ(viewer.application->getThemeManager()->getTheme(), 2);
    find<QComboBox>(settings, "distanceUnitSelect")->setCurrentIndex(2);
    find<QComboBox>(settings, "temperatureUnitSelect")->setCurrentIndex(2);
    find<QComboBox>(settings, "pressureUnitSelect")->setCurrentIndex(0);
    find<QComboBox>(settings, "speedUnitSelect")->setCurrentIndex(2);
    EXPECT_EQ(find<QLabel>(settings, "speedOfSoundUnits")->text().trimmed(),
              QString::fromStdString(viewer.application->getSpeedUnit()->getSymbol()));
    find<ToggleSwitch>(settings, "autoConnect")->setState(true);
    EXPECT_TRUE(stored(QStringLiteral("GeneralSettings/autoConnect")).toBool()) << "written at once";
    find<ToggleSwitch>(settings, "logCompression")->setState(true);
    auto* defaults = find<QWidget>(settings, "defaultSonarSettings");
    find<QSlider>(defaults, "bandwidthInput")->setValue(40);
    find<QPushButton>(settings, "logBrowseButton")->click();
    find<QComboBox>(settings, "captureFormat")->setCurrentIndex(1);
    // Navigation: the input starts as soon as it is chosen; a refused one
    // says why and is not kept.
    auto* navigation = find<QWidget>(settings, "navigationSettings");
    const QString nmea = QStringLiteral("127.0.0.1:%1").arg(Testing::freeUdpPort());
    find<QLineEdit>(navigation, "navigationInputAddress")->setText(nmea);
    find<QComboBox>(navigation, "navigationInputKind")->setCurrentIndex(1);
    EXPECT_EQ(viewer.application->getNavigationFeed()->input(), QStringLiteral("udp:") + nmea);
    auto* nmeaAddress = find<QLineEdit>(navigation, "navigationInputAddress");
    find<QComboBox>(navigation, "navigationInputKind")->setCurrentIndex(2);
    nmeaAddress->setText(QStringLiteral("no-port"));
    Q_EMIT nmeaAddress->editingFinished();
    EXPECT_TRUE(find<QLabel>(navigation, "navigationInputStatus")->text().startsWith(QStringLiteral("Cannot read")));
    find<QComboBox>(navigation, "navigationInputKind")->setCurrentIndex(1);
    nmeaAddress->setText(nmea);
    Q_EMIT nmeaAddress->editingFinished();
    find<QComboBox>(navigation, "positionFormatSelect")->setCurrentIndex(2);
    find<QDoubleSpinBox>(navigation, "mountingHeadingOffsetInput")->setValue(12.5);
    find<QDoubleSpinBox>(navigation, "mountingForwardInput")->setValue(1.5);
    find<QDoubleSpinBox>(navigation, "mountingStarboardInput")->setValue(-0.75);
    EXPECT_EQ(NavigationFeed::mounting().headingOffset, 12.5) << "written at once";

    ASSERT_TRUE(connectSonar(viewer, 42001));
    // Custom water by default: typed in feet per second, the unit shown; the
    // sonar, which has none of its own, gets metres per second.
    find<QRadioButton>(defaults, "customOption")->click();
    auto* speed = find<QLineEdit>(defaults, "speedInput");
    EXPECT_TRUE(speed->isEnabled());
    speed->setText(QStringLiteral("1500"));
    Q_EMIT speed->editingFinished();
    EXPECT_NEAR(viewer.controller->getSonar()->getSpeedOfSound(), 1500 * 0.3048, 0.01);
    auto* salinity = find<QLineEdit>(defaults, "salinityInput");
    EXPECT_TRUE(salinity->isEnabled());
    salinity->setText(QStringLiteral("20"));
    Q_EMIT salinity->editingFinished();
    EXPECT_DOUBLE_EQ(viewer.controller->getSonar()->getSalinity(), 20.0);

    auto* toolbar = viewer.window->getDisplayControlToolbar();
    toolbar->getPaletteControl()->getFireSlider()->setValue(40);
    toolbar->getPaletteControl()->getAquaSlider()->setValue(200);
    toolbar->getPaletteControl()->paletteButton(7)->click();
    toolbar->getOverlayFeatures()->getRangeLabelsToggle()->setState(false);
    toolbar->getRotationControls()->getSlider()->setValue(90);
    toolbar->getRotationControls()->northUpButton()->click();
    toolbar->getFlipButton()->click();
    toolbar->getMeasuringToolsButton()->click();
    ASSERT_TRUE(waitFor([&] {
        return toolbar->getMeasuringTools()->getState() == GUI::Widgets::Containers::BasicPopOutWidget::Shown;
    }));
    toolbar->getMeasuringTools()->undock();
    toolbar->getMeasuringTools()->move(620, 380);
    toolbar->getRotationButton()->click();
    auto* displays = toolbar->getAdditionalDisplays();
    displays->switchFor(QStringLiteral("fpsDisplay"))->setState(true);
    displays->switchFor(QStringLiteral("sonarDetailsDisplay"))->setState(false);
    // Far from the corner: the picture is small until the window first shows.
    displays->getFpsDisplay()->move(1300, 700);
    displays->getFpsDisplay()->resize(180, 60);

    viewer.restart();
    settings = viewer.window->getSettingsControls();
    defaults = find<QWidget>(settings, "defaultSonarSettings");
    EXPECT_EQ(viewer.application->getThemeManager()->getTheme(), 2);
    EXPECT_EQ(find<QComboBox>(settings, "distanceUnitSelect")->currentText(), QStringLiteral("Feet"));
    EXPECT_EQ(find<QComboBox>(settings, "temperatureUnitSelect")->currentText(), QStringLiteral("Fahrenheit"));
    EXPECT_EQ(find<QComboBox>(settings, "pressureUnitSelect")->currentText(), QStringLiteral("Pascal"));
    EXPECT_EQ(find<QComboBox>(settings, "speedUnitSelect")->currentText(), QStringLiteral("Feet per second"));
    EXPECT_TRUE(find<ToggleSwitch>(settings, "autoConnect")->isEnabled());
    EXPECT_TRUE(find<ToggleSwitch>(settings, "logCompression")->isEnabled());
    EXPECT_EQ(find<QSlider>(defaults, "bandwidthInput")->value(), 40);
    EXPECT_EQ(find<QLineEdit>(settings, "logLocationText")->text(), chosenFolder);
    EXPECT_EQ(find<QComboBox>(settings, "captureFormat")->currentText(), QStringLiteral(".png"));
    EXPECT_TRUE(find<QRadioButton>(defaults, "customOption")->isChecked());
    EXPECT_EQ(stored(QStringLiteral("GeneralSettings/environmentIndex")).toInt(), 2);
    EXPECT_EQ(stored(QStringLiteral("GeneralSettings/manualSpeed")).toString(), QStringLiteral("1500"));
    EXPECT_EQ(find<QLineEdit>(defaults, "salinityInput")->text(), QStringLiteral("20"));
    navigation = find<QWidget>(settings, "navigationSettings");
    EXPECT_EQ(viewer.application->getNavigationFeed()->input(), QStringLiteral("udp:") + nmea);
    EXPECT_EQ(find<QComboBox>(navigation, "navigationInputKind")->currentIndex(), 1);
    EXPECT_EQ(find<QLineEdit>(navigation, "navigationInputAddress")->text(), nmea);
    EXPECT_EQ(find<QComboBox>(navigation, "positionFormatSelect")->currentText(), QStringLiteral("UTM"));
    EXPECT_EQ(stored(QString::fromLatin1(NavigationFeed::formatKey)).toString(), QStringLiteral("utm"));
    EXPECT_EQ(find<QDoubleSpinBox>(navigation, "mountingHeadingOffsetInput")->value(), 12.5);
    EXPECT_EQ(find<QDoubleSpinBox>(navigation, "mountingForwardInput")->value(), 1.5);
    EXPECT_EQ(find<QDoubleSpinBox>(navigation, "mountingStarboardInput")->value(), -0.75);

    // Auto-connect is on now: the lone simulator is connected by itself.
    ASSERT_TRUE(waitFor([&] { return viewer.window->getMode() == LumivaneWindow::LiveSonar; }));
    toolbar = viewer.window->getDisplayControlToolbar();
    EXPECT_EQ(toolbar->getPaletteControl()->getPalette(), 7);
    EXPECT_EQ(toolbar->getPaletteControl()->getFireSlider()->value(), 40);
    EXPECT_EQ(toolbar->getPaletteControl()->getAquaSlider()->value(), 200);
    const auto look = viewer.window->getFanDisplay()->getCurrentDisplaySettings();
    EXPECT_EQ(look.palette, 7);
    EXPECT_EQ(look.paletteModifier, 200);
    EXPECT_TRUE(look.horizontalFlip);
    EXPECT_FALSE(look.rangeLabels);
    EXPECT_TRUE(look.rangeArcs);
    EXPECT_FLOAT_EQ(look.rotation, 90.0F);
    EXPECT_TRUE(toolbar->getFlipButton()->isChecked());
    EXPECT_FALSE(toolbar->getOverlayFeatures()->getRangeLabelsToggle()->isEnabled());
    EXPECT_EQ(toolbar->getRotationControls()->getValue(), 90);
    EXPECT_TRUE(toolbar->getRotationControls()->isNorthUp());
    EXPECT_TRUE(toolbar->getMeasuringToolsButton()->isChecked());
    EXPECT_FALSE(toolbar->getMeasuringTools()->isDocked());
    ASSERT_TRUE(waitFor([&] {
        return toolbar->getMeasuringTools()->getState() == GUI::Widgets::Containers::BasicPopOutWidget::Shown;
    }));
    EXPECT_EQ(toolbar->getMeasuringTools()->pos(), QPoint(620, 380));
    EXPECT_TRUE(toolbar->getRotationButton()->isChecked());
    EXPECT_TRUE(toolbar->getRotationControls()->isDocked());
    displays = toolbar->getAdditionalDisplays();
    EXPECT_TRUE(displays->getFpsDisplay()->isWanted());
    EXPECT_FALSE(displays->getSonarDetailsDisplay()->isWanted());
    EXPECT_EQ(displays->getFpsDisplay()->pos(), QPoint(1300, 700));
    EXPECT_EQ(displays->getFpsDisplay()->size(), QSize(180, 60));

    // The typed speed keeps its value when the unit changes.
    find<QComboBox>(settings, "speedUnitSelect")->setCurrentIndex(0);
    EXPECT_EQ(find<QLineEdit>(defaults, "speedInput")->text(), QStringLiteral("457.2"));
    // The panel shows the water and bandwidth this sonar got from what was
    // remembered for it (an older viewer's keys), apart from the defaults.
    viewer.controller->disconnectFromSonar();
    {
        const auto store = openSettingsStore();
        store->beginGroup(QStringLiteral("SavedSonar-42001"));
        store->setValue(QStringLiteral("speedOfSound"), 0.0);
        store->setValue(QStringLiteral("salinity"), 35.0);
        store->setValue(QStringLiteral("bandwidth"), 70);
    }
    ASSERT_TRUE(connectSonar(viewer, 42001));
    EXPECT_DOUBLE_EQ(viewer.controller->getSonar()->getSalinity(), 35.0);
    auto* own = find<QWidget>(settings, "thisSonarSettings");
    EXPECT_TRUE(find<QRadioButton>(own, "saltWaterOption")->isChecked());
    EXPECT_FALSE(find<QLineEdit>(own, "speedInput")->isEnabled());
    EXPECT_FALSE(find<QLineEdit>(own, "salinityInput")->isEnabled());
    EXPECT_EQ(find<QSlider>(own, "bandwidthInput")->value(), 70);
    EXPECT_TRUE(find<QRadioButton>(defaults, "customOption")->isChecked());
    EXPECT_EQ(find<QSlider>(defaults, "bandwidthInput")->value(), 40);

    // A display's close button switches it off; "Reset layout" docks the
    // pop-outs and brings the displays back to their first places.
    find<QToolButton>(displays->getFpsDisplay(), "closeButton")->click();
    EXPECT_FALSE(displays->switchFor(QStringLiteral("fpsDisplay"))->isEnabled());
    find<QPushButton>(settings, "resetLayoutButton")->click();
    EXPECT_TRUE(waitFor([&] { return toolbar->getMeasuringTools()->isDocked(); }));
    EXPECT_LT(displays->getFpsDisplay()->pos().x(), 400);
    EXPECT_LT(stored(QStringLiteral("AdditionalDisplays/fpsDisplayPosition")).toPoint().x(), 400);
}

// Regression: one sonar's water and bandwidth became the defaults of every
// sonar after a connection and a quit.
TEST(Settings, ASonarsOwnWaterAndBandwidthStayItsOwn)
{
    ViewerSession viewer;
    const auto sonarA = viewer.network.startSonar(42011, 2);
    const auto sonarB = viewer.network.startSonar(42012, 3);
    auto bandwidthSent = [](const Sim::SimulatedSonar& sonar, unsigned expected) {
        return waitFor([&] {
            const auto fire = sonar.lastFireParameters();
            return fire && fire->bandwidth == expected;
        });
    };
    auto* settings = viewer.window->getSettingsControls();
    QTest::mouseClick(find<QWidget>(viewer.window.get(), "settingsButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return settings->isVisible(); }));
    // Defaults of the user's own, so that they cannot be mistaken for the
    // built-in ones: 70 % and custom water of 1500 m/s.
    auto* defaults = find<QWidget>(settings, "defaultSonarSettings");
    find<QSlider>(defaults, "bandwidthInput")->setValue(70);
    find<QLineEdit>(defaults, "speedInput")->setText(QStringLiteral("1500"));
    find<QRadioButton>(defaults, "customOption")->click();

    ASSERT_TRUE(connectSonar(viewer, 42011));
    auto* own = find<QWidget>(settings, "thisSonarSettings");
    auto* scope = find<QLabel>(settings, "sonarScopeLabel");
    auto* useDefaults = find<QPushButton>(settings, "useDefaultsButton");
    ASSERT_TRUE(waitFor([&] { return !find<QWidget>(settings, "thisSonarBox")->isHidden(); }));
    EXPECT_EQ(scope->text(), QStringLiteral("Sonar 42011 uses the defaults for new sonars."));
    EXPECT_FALSE(useDefaults->isEnabled());
    EXPECT_TRUE(bandwidthSent(*sonarA, 70));
    find<QRadioButton>(own, "saltWaterOption")->click();
    find<QSlider>(own, "bandwidthInput")->setValue(40);
    EXPECT_TRUE(bandwidthSent(*sonarA, 40));
    EXPECT_DOUBLE_EQ(viewer.controller->getSonar()->getSalinity(), 35.0);
    EXPECT_DOUBLE_EQ(viewer.controller->getSonar()->getSpeedOfSound(), 0.0);
    EXPECT_EQ(scope->text(), QStringLiteral("Sonar 42011 has its own water and bandwidth."));
    EXPECT_TRUE(useDefaults->isEnabled());
    EXPECT_TRUE(find<QRadioButton>(defaults, "customOption")->isChecked()) << "the defaults are untouched";
    EXPECT_EQ(find<QSlider>(defaults, "bandwidthInput")->value(), 70);

    // Quit and start again: a sonar never configured gets the defaults, on
    // the wire and on the panel.
    viewer.window->close();
    ASSERT_FALSE(viewer.controller->isConnected());
    viewer.restart();
    EXPECT_EQ(stored(QStringLiteral("GeneralSettings/bandwidthLimit")).toInt(), 70);
    EXPECT_EQ(stored(QStringLiteral("GeneralSettings/environmentIndex")).toInt(), 2);
    settings = viewer.window->getSettingsControls();
    own = find<QWidget>(settings, "thisSonarSettings");
    scope = find<QLabel>(settings, "sonarScopeLabel");
    useDefaults = find<QPushButton>(settings, "useDefaultsButton");
    ASSERT_TRUE(connectSonar(viewer, 42012));
    EXPECT_TRUE(bandwidthSent(*sonarB, 70));
    EXPECT_DOUBLE_EQ(viewer.controller->getSonar()->getSpeedOfSound(), 1500.0);
    EXPECT_DOUBLE_EQ(viewer.controller->getSonar()->getSalinity(), 0.0);
    EXPECT_EQ(find<QSlider>(own, "bandwidthInput")->value(), 70);
    EXPECT_TRUE(find<QRadioButton>(own, "customOption")->isChecked());
    EXPECT_EQ(find<QLineEdit>(own, "speedInput")->text(), QStringLiteral("1500"));
    EXPECT_EQ(scope->text(), QStringLiteral("Sonar 42012 uses the defaults for new sonars."));

    // A keeps its own, and "Use defaults for this sonar" puts it back.
    QTest::mouseClick(find<QWidget>(viewer.window.get(), "disconnectButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !viewer.controller->isConnected(); }));
    EXPECT_TRUE(find<QWidget>(settings, "thisSonarBox")->isHidden());
    ASSERT_TRUE(connectSonar(viewer, 42011));
    EXPECT_TRUE(bandwidthSent(*sonarA, 40));
    EXPECT_DOUBLE_EQ(viewer.controller->getSonar()->getSalinity(), 35.0);
    EXPECT_TRUE(find<QRadioButton>(own, "saltWaterOption")->isChecked());
    EXPECT_EQ(find<QSlider>(own, "bandwidthInput")->value(), 40);
    EXPECT_EQ(scope->text(), QStringLiteral("Sonar 42011 has its own water and bandwidth."));
    if (!settings->isVisible()) {
        QTest::mouseClick(find<QWidget>(viewer.window.get(), "settingsButton"), Qt::LeftButton);
    }
    ASSERT_TRUE(waitFor([&] { return useDefaults->isVisible(); }));
    QTest::mouseClick(useDefaults, Qt::LeftButton);
    EXPECT_TRUE(bandwidthSent(*sonarA, 70));
    EXPECT_DOUBLE_EQ(viewer.controller->getSonar()->getSpeedOfSound(), 1500.0);
    EXPECT_DOUBLE_EQ(viewer.controller->getSonar()->getSalinity(), 0.0);
    EXPECT_TRUE(find<QRadioButton>(own, "customOption")->isChecked());
    EXPECT_EQ(find<QSlider>(own, "bandwidthInput")->value(), 70);
    EXPECT_EQ(scope->text(), QStringLiteral("Sonar 42011 uses the defaults for new sonars."));
    EXPECT_FALSE(useDefaults->isEnabled());
    // Forgotten at once; its other parameters stay remembered.
    EXPECT_FALSE(stored(QStringLiteral("SavedSonar-42011/bandwidth")).isValid());
    EXPECT_FALSE(stored(QStringLiteral("SavedSonar-42011/salinity")).isValid());
    EXPECT_TRUE(stored(QStringLiteral("SavedSonar-42011/range")).isValid());
    // Following the defaults, it takes a new default at once.
    find<QSlider>(find<QWidget>(settings, "defaultSonarSettings"), "bandwidthInput")->setValue(55);
    EXPECT_TRUE(bandwidthSent(*sonarA, 55));
    EXPECT_EQ(find<QSlider>(own, "bandwidthInput")->value(), 55);
}

TEST(Settings, WindowPlaceAndTheOverflowLayoutsPanelsSurviveARestart)
{
    ViewerSession viewer;
    const auto sonar = viewer.network.startSonar(42002);
    ASSERT_TRUE(connectSonar(viewer, 42002));
    // Short enough that the display toolbar moves to the overflow sidebar.
    viewer.window->showNormal();
    viewer.window->setGeometry(60, 40, 1000, 560);
    ASSERT_TRUE(waitFor([&] { return viewer.window->isOverflowed(); }));
    viewer.window->getDisplayControlToolbar()->getPaletteControl()->getFireSlider()->setValue(40);

    viewer.restart();
    EXPECT_FALSE(viewer.window->isMaximized());
    EXPECT_EQ(viewer.window->geometry(), QRect(60, 40, 1000, 560));
    ASSERT_TRUE(connectSonar(viewer, 42002));
    EXPECT_EQ(viewer.window->getDisplayControlToolbar()->getPaletteControl()->getFireSlider()->value(), 40);
}

TEST(Settings, EverySettingIsReachableOnASmallScreen)
{
    ViewerSession viewer;
    auto* window = viewer.window.get();
    window->showNormal();
    window->setGeometry(0, 0, 1024, 600);
    ASSERT_TRUE(waitFor([&] { return window->height() == 600; }));
    auto* settings = viewer.window->getSettingsControls();
    find<QAbstractButton>(window, "settingsButton")->click();
    ASSERT_TRUE(waitFor([&] { return settings->isVisible(); }));
    const auto inWindow = [&](const QWidget* widget) {
        return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
    };
    // Once it has slid into place.
    EXPECT_TRUE(waitFor([&] { return window->rect().contains(inWindow(settings)); }));
    auto* scroll = find<QScrollArea>(settings, "settingsScrollArea");
    for (const char* name : {"colourThemeSelect", "logLocationText", "logBrowseButton", "captureFormat"}) {
        auto* widget = find<QWidget>(settings, name);
        scroll->ensureWidgetVisible(widget);
        EXPECT_TRUE(inWindow(scroll->viewport()).contains(inWindow(widget))) << name;
    }
}

TEST(Settings, ShortcutsActInTheirModeAndChangesTakeEffectAtOnce)
{
    ViewerSession viewer;
    const auto sonar = viewer.network.startSonar(42002);
    auto* palettes = viewer.window->getDisplayControlToolbar()->getPaletteControl();
    auto* window = viewer.window.get();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    // E is the display toolbar's: nothing on the home page.
    QTest::keyClick(window, Qt::Key_E);
    EXPECT_EQ(palettes->getPalette(), 0);
    ASSERT_TRUE(connectSonar(viewer, 42002));
    QTest::keyClick(window, Qt::Key_E);
    EXPECT_EQ(palettes->getPalette(), 1);
    // W belongs to the sonar controls in live mode (and to playback in its own).
    auto* range = viewer.window->findChild<SonarControlToolbar*>()->getRangeControl();
    ASSERT_TRUE(waitFor([&] { return range->getSlider()->isEnabled(); }));
    const int before = range->getValue();
    QTest::keyClick(window, Qt::Key_W);
    EXPECT_GT(range->getValue(), before);
    EXPECT_EQ(window->getPlaybackToolbar()->getSpeedControl()->getSlider()->value(), 2) << "not the playback speed";

    // L records and stops, C takes a still; a held key (auto-repeat) does
    // neither again.
    QTemporaryDir folder;
    viewer.controller->setLogLocation(folder.path().toStdString());
    QTest::keyClick(window, Qt::Key_L);
    EXPECT_TRUE(waitFor([&] { return viewer.controller->isRecording(); }));
    QTest::simulateEvent(window, true, Qt::Key_L, Qt::NoModifier, QStringLiteral("l"), true);
    EXPECT_TRUE(viewer.controller->isRecording());
    QTest::keyClick(window, Qt::Key_L);
    EXPECT_FALSE(viewer.controller->isRecording());
    EXPECT_TRUE(waitFor([&] { return viewer.controller->getState() == SourceState::Live; }));
    QTest::keyClick(window, Qt::Key_C);
    QTest::simulateEvent(window, true, Qt::Key_C, Qt::NoModifier, QStringLiteral("c"), true);
    EXPECT_EQ(Testing::filesIn(folder.path().toStdString(), ".ondrix").size(), 1U);
    EXPECT_EQ(Testing::filesIn(folder.path().toStdString(), ".jpg").size(), 1U);

    auto* dialog = viewer.window->getSettingsControls()->getShortcutDialog();
    find<QPushButton>(viewer.window->getSettingsControls(), "keyboardShortcutsButton")->click();
    ASSERT_TRUE(waitFor([&] { return dialog->isVisible(); }));
    find<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Save)->click();
    EXPECT_TRUE(waitFor([&] { return viewer.toastShown(QStringLiteral("Keyboard shorcuts saved!")); }));

    find<QPushButton>(viewer.window->getSettingsControls(), "keyboardShortcutsButton")->click();
    ASSERT_TRUE(waitFor([&] { return dialog->isVisible(); }));
    // The arrow keys of playback are listed, read-only.
    auto* previousFrame =
        dialog->editorFor(QStringLiteral("PlaybackControlToolbar"), QStringLiteral("previousFrameKey"));
    ASSERT_NE(previousFrame, nullptr);
    EXPECT_EQ(previousFrame->keySequence(), QKeySequence(Qt::Key_Left));
    EXPECT_FALSE(previousFrame->isEnabled());
    // W is the range's in live mode, where the palettes are shown too.
    auto* nextPalette =
        dialog->editorFor(QStringLiteral("DisplayControlToolbar"), QStringLiteral("nextPaletteShortcut"));
    nextPalette->setKeySequence(QKeySequence(Qt::Key_W));
    find<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Save)->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(find<QLabel>(dialog, "clashLabel")
                    ->text()
                    .startsWith(QStringLiteral("\"Increase Range\" and \"Next palette\" both use W")));
    EXPECT_EQ(stored(QStringLiteral("DisplayControlToolbar/nextPaletteShortcut")).toString(), QStringLiteral("E"));
    find<QPushButton>(dialog, "restoreDefaultsButton")->click();
    EXPECT_EQ(nextPalette->keySequence(), QKeySequence(Qt::Key_E));
    nextPalette->setKeySequence(QKeySequence(Qt::Key_K));
    find<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Save)->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(stored(QStringLiteral("DisplayControlToolbar/nextPaletteShortcut")).toString(), QStringLiteral("K"));
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }));
    QTest::keyClick(window, Qt::Key_E);
    EXPECT_EQ(palettes->getPalette(), 1);
    QTest::keyClick(window, Qt::Key_K);
    EXPECT_EQ(palettes->getPalette(), 2);
}

} // namespace
} // namespace Keldar::OndrixLumivane
