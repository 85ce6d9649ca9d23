#include "settings/SettingsControls.h"

#include "base/FittingScrollArea.h"
#include "base/PanelLayout.h"
#include "base/SettingsStore.h"
#include "settings/BrowserSharing.h"
#include "settings/KeyboardShortcutConfigDialog.h"
#include "settings/NavigationSettings.h"
#include "settings/SettingsDefaults.h"
#include "settings/WaterAndBandwidthEditor.h"

#include <QVariant>
#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/gui/SvgButton.h>
#include <keldar/gui/ThemeManager.h>
#include <keldar/gui/ToggleSwitch.h>

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace Keldar::OndrixLumivane {

using namespace PanelLayout;

namespace {

QComboBox* combo(const QString& name, std::initializer_list<const char*> items, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    int data = 0;
    for (const char* item : items) {
        box->addItem(QString::fromUtf8(item), data++);
    }
    box->setCurrentIndex(-1);
    return box;
}

// The stored index when it names an item, else the default.
void selectIndex(QComboBox* box, const QVariant& stored, int fallback)
{
    bool ok = false;
    const int index = stored.toInt(&ok);
    box->setCurrentIndex(ok && index >= 0 && index < box->count() ? index : fallback);
}

constexpr const char* themeKey = "themeIndex";
constexpr const char* distanceKey = "distanceUnitIndex";
constexpr const char* areaKey = "areaUnitIndex";
constexpr const char* speedKey = "speedUnitIndex";
constexpr const char* temperatureKey = "temperatureUnitIndex";
constexpr const char* pressureKey = "pressureUnitIndex";
constexpr const char* autoConnectKey = "autoConnect";
constexpr const char* saveParamsKey = "saveSonarParams";
constexpr const char* manualSpeedKey = "manualSpeed";
constexpr const char* environmentKey = "environmentIndex";
constexpr const char* manualSalinityKey = "manualSalinity";
constexpr const char* bandwidthKey = "bandwidthLimit";
constexpr const char* compressionKey = "logCompression";
constexpr const char* locationKey = "logLocation";
constexpr const char* captureKey = "captureFormat";

QString key(const char* name)
{
    return QString::fromLatin1(Settings::generalGroup) + QLatin1Char('/') + QString::fromLatin1(name);
}

} // namespace

SettingsControls::SettingsControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, AlignFarEnds, 8, parent)
    , store(openSettingsStore())
    , themeCombo(combo(QStringLiteral("colourThemeSelect"), {"Dark", "Light", "Midnight", "Forest"}, this))
    , distanceCombo(combo(QStringLiteral("distanceUnitSelect"), {"Metres", "Yards", "Feet"}, this))
    , areaCombo(combo(QStringLiteral("areaUnitSelect"), {"Square Metres", "Square Yards", "Square Feet"}, this))
    , speedCombo(combo(
          QStringLiteral("speedUnitSelect"),
          {"Metres per second", "Yards per second", "Feet per second", "Miles per hour", "Kilometres per hour"}, this))
    , temperatureCombo(combo(QStringLiteral("temperatureUnitSelect"), {"Kelvin", "Celsius", "Fahrenheit"}, this))
    , pressureCombo(combo(QStringLiteral("pressureUnitSelect"), {"Pascal", "Bar", "Psi"}, this))
    , shortcutsButton(new QPushButton(QStringLiteral("Configure..."), this))
    , resetLayoutButton(new QPushButton(QStringLiteral("Reset layout"), this))
    , autoConnectToggle(new ToggleSwitch(this))
    , saveSonarParamsToggle(new ToggleSwitch(this))
    , sonarBox(new QWidget(this))
    , sonarScopeLabel(new QLabel(sonarBox))
    , sonarEditor(new WaterAndBandwidthEditor(sonarBox))
    , useDefaultsButton(new QPushButton(QStringLiteral("Use defaults for this sonar"), sonarBox))
    , defaultsEditor(new WaterAndBandwidthEditor(this))
    , compressionToggle(new ToggleSwitch(this))
    , logLocationText(new QLineEdit(this))
    , browseButton(new GUI::Widgets::Buttons::SvgButton(QStringLiteral(":/keldar-icons/General/OpenFile.svg"), this))
    , captureFormatCombo(combo(QStringLiteral("captureFormat"), {".jpg", ".png"}, this))
    , shortcutDialog(new KeyboardShortcutConfigDialog(this))
    , folderChooser([](QWidget* owner, const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(owner, title, start);
    })
{
    setObjectName(QStringLiteral("settingsControls"));
    setProperty("class", QStringLiteral("inverted"));
    shortcutsButton->setObjectName(QStringLiteral("keyboardShortcutsButton"));
    resetLayoutButton->setObjectName(QStringLiteral("resetLayoutButton"));
    autoConnectToggle->setObjectName(QStringLiteral("autoConnect"));
    saveSonarParamsToggle->setObjectName(QStringLiteral("saveSonarParams"));
    sonarBox->setObjectName(QStringLiteral("thisSonarBox"));
    sonarScopeLabel->setObjectName(QStringLiteral("sonarScopeLabel"));
    sonarScopeLabel->setWordWrap(true);
    sonarEditor->setObjectName(QStringLiteral("thisSonarSettings"));
    useDefaultsButton->setObjectName(QStringLiteral("useDefaultsButton"));
    defaultsEditor->setObjectName(QStringLiteral("defaultSonarSettings"));
    compressionToggle->setObjectName(QStringLiteral("logCompression"));
    logLocationText->setObjectName(QStringLiteral("logLocationText"));
    logLocationText->setMinimumWidth(200);
    browseButton->setObjectName(QStringLiteral("logBrowseButton"));
    browseButton->setFixedSize(28, 28);

    // Below the handle the panel scrolls: it is taller than a small screen.
    auto* scroll = new FittingScrollArea(this);
    scroll->setObjectName(QStringLiteral("settingsScrollArea"));
    auto* contents = new QWidget(scroll);
    contents->setObjectName(QStringLiteral("settingsContents"));
    auto* layout = new QVBoxLayout(contents);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    scroll->setWidget(contents);
    PanelLayout::popOutBody(this)->addWidget(scroll, 1);

    layout->addWidget(heading(QStringLiteral("General"), this));
    auto* general = section();
    addRow(general, QStringLiteral("Colour Theme:"), themeCombo, this);
    general->addWidget(new QLabel(QStringLiteral("Units:"), this), general->rowCount(), 0);
    addRow(general, QStringLiteral("Distance"), distanceCombo, this);
    addRow(general, QStringLiteral("Area"), areaCombo, this);
    addRow(general, QStringLiteral("Speed"), speedCombo, this);
    addRow(general, QStringLiteral("Temperature"), temperatureCombo, this);
    addRow(general, QStringLiteral("Pressure"), pressureCombo, this);
    addRow(general, QStringLiteral("Keyboard Shortcuts:"), shortcutsButton, this);
    addRow(general, QStringLiteral("Displays and Panels:"), resetLayoutButton, this);
    layout->addLayout(general);
    layout->addWidget(divider(this));

    layout->addWidget(heading(QStringLiteral("Application Behaviour"), this));
    auto* behaviour = section();
    addRow(behaviour, QStringLiteral("Auto-Connect to First Sonar:"), autoConnectToggle, this);
    addRow(behaviour, QStringLiteral("Save Sonar Parameters:"), saveSonarParamsToggle, this);
    layout->addLayout(behaviour);
    layout->addWidget(divider(this));

    // What the connected sonar uses comes first, and only while there is one.
    auto* sonarLayout = new QVBoxLayout(sonarBox);
    sonarLayout->setContentsMargins(0, 0, 0, 0);
    sonarLayout->setSpacing(6);
    sonarLayout->addWidget(heading(QStringLiteral("This Sonar"), sonarBox));
    sonarLayout->addWidget(sonarScopeLabel);
    sonarLayout->addWidget(sonarEditor);
    sonarLayout->addWidget(useDefaultsButton, 0, Qt::AlignRight);
    sonarLayout->addWidget(divider(sonarBox));
    sonarBox->hide();
    layout->addWidget(sonarBox);

    layout->addWidget(heading(QStringLiteral("Default for New Sonars"), this));
    auto* defaultsNote = new QLabel(QStringLiteral("Water and bandwidth of every sonar without its own."), this);
    defaultsNote->setWordWrap(true);
    layout->addWidget(defaultsNote);
    layout->addWidget(defaultsEditor);
    layout->addWidget(divider(this));

    layout->addWidget(heading(QStringLiteral("Capture Settings"), this));
    auto* capture = section();
    addRow(capture, QStringLiteral("Log File Compression:"), compressionToggle, this);
    capture->addWidget(new QLabel(QStringLiteral("Log File Location:"), this), capture->rowCount(), 0, 1, 2);
    auto* locationRow = new QHBoxLayout;
    locationRow->addWidget(logLocationText, 1);
    locationRow->addWidget(browseButton);
    capture->addLayout(locationRow, capture->rowCount(), 0, 1, 2);
    addRow(capture, QStringLiteral("Capture Format:"), captureFormatCombo, this);
    layout->addLayout(capture);
    layout->addWidget(divider(this));

    layout->addWidget(heading(QStringLiteral("Share in a Browser"), this));
    browserSharing = new BrowserSharing(this);
    layout->addWidget(browserSharing);
    layout->addWidget(divider(this));

    layout->addWidget(heading(QStringLiteral("Navigation"), this));
    navigationSettings = new NavigationSettings(this);
    layout->addWidget(navigationSettings);

    auto* themes = ViewerContext::instance()->getThemeManager();
    connect(themeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, themes](int index) {
        if (index >= 0 && themes != nullptr) {
            themes->setTheme(themeCombo->itemData(index).toInt());
        }
    });
    if (themes != nullptr) {
        // The theme may change elsewhere; the combo shows the one in use.
        connect(themes, &GUI::Theming::ThemeManager::themeChanged, this, [this](int theme) {
            const QSignalBlocker blocker(themeCombo);
            themeCombo->setCurrentIndex(themeCombo->findData(theme));
        });
    }
    auto relayUnit = [this](QComboBox* box, auto signal, auto type) {
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, box, signal, type](int index) {
            if (index >= 0) {
                Q_EMIT(this->*signal)(static_cast<decltype(type)>(box->itemData(index).toInt()));
            }
        });
    };
    relayUnit(distanceCombo, &SettingsControls::distanceUnitChangeRequested, DistanceUnits{});
    relayUnit(areaCombo, &SettingsControls::areaUnitChangeRequested, AreaUnits{});
    relayUnit(speedCombo, &SettingsControls::speedUnitChangeRequested, SpeedUnits{});
    relayUnit(temperatureCombo, &SettingsControls::temperatureUnitChangeRequested, TemperatureUnits{});
    relayUnit(pressureCombo, &SettingsControls::pressureUnitChangeRequested, PressureUnits{});

    connect(autoConnectToggle, &ToggleSwitch::toggled, this, [this](bool on) {
        store->setValue(key(autoConnectKey), on);
        store->sync();
    });
    connect(saveSonarParamsToggle, &ToggleSwitch::toggled, this, [this](bool on) {
        store->setValue(key(saveParamsKey), on);
        store->sync();
    });
    connect(defaultsEditor, &WaterAndBandwidthEditor::waterChosen, this, [this](double speedOfSound, double salinity) {
        Q_EMIT newSonarEnvironmentRequested(speedOfSound, salinity);
        if (!sonarShown) {
            Q_EMIT salinityInUse(salinity);
        }
    });
    connect(defaultsEditor, &WaterAndBandwidthEditor::bandwidthChosen, this,
            &SettingsControls::newBandwidthLimitRequested);
    connect(sonarEditor, &WaterAndBandwidthEditor::waterChosen, this, &SettingsControls::sonarEnvironmentRequested);
    connect(sonarEditor, &WaterAndBandwidthEditor::bandwidthChosen, this, &SettingsControls::sonarBandwidthRequested);
    connect(useDefaultsButton, &QPushButton::clicked, this, &SettingsControls::useDefaultsForSonarRequested);
    connect(compressionToggle, &ToggleSwitch::toggled, this, &SettingsControls::logCompressionSettingChanged);
    connect(browseButton, &QPushButton::clicked, this, &SettingsControls::browseForFolder);
    connect(logLocationText, &QLineEdit::textChanged, this, [this](const QString& folder) {
        Settings::prepareLogFolder(folder, Settings::defaultLogLocation());
        Q_EMIT newLogLocationRequested(folder.toStdString());
    });
    connect(captureFormatCombo, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (!text.isEmpty()) {
            Q_EMIT captureFormatSettingChanged(text.toStdString());
        }
    });
    connect(resetLayoutButton, &QPushButton::clicked, this, &SettingsControls::resetLayoutRequested);
    connect(shortcutsButton, &QPushButton::clicked, this, [this] {
        shortcutDialog->load();
        shortcutDialog->show();
        shortcutDialog->raise();
    });
    connect(shortcutDialog, &KeyboardShortcutConfigDialog::initialSaveDone, this,
            &SettingsControls::keyboardShortcutsInitialised);
    connect(shortcutDialog, &KeyboardShortcutConfigDialog::shortcutsUpdated, this,
            &SettingsControls::keyboardShortcutsChanged);

    auto* application = ViewerContext::instance();
    connect(application, &ViewerContext::uiConstructed, this, &SettingsControls::loadSettings);
    connect(application, &ViewerContext::speedUnitChanged, this, &SettingsControls::updateSpeedSymbol);
}

SettingsControls::~SettingsControls()
{
    saveSettings();
}

void SettingsControls::setFolderChooser(FolderChooser chooser)
{
    folderChooser = std::move(chooser);
}

KeyboardShortcutConfigDialog* SettingsControls::getShortcutDialog() const
{
    return shortcutDialog;
}

BrowserSharing* SettingsControls::getBrowserSharing() const
{
    return browserSharing;
}

void SettingsControls::loadSettings()
{
    store->sync();
    selectIndex(themeCombo, store->value(key(themeKey)), Settings::defaultThemeIndex);
    selectIndex(distanceCombo, store->value(key(distanceKey)), Settings::defaultDistanceUnitIndex);
    selectIndex(areaCombo, store->value(key(areaKey)), Settings::defaultAreaUnitIndex);
    selectIndex(speedCombo, store->value(key(speedKey)), Settings::defaultSpeedUnitIndex);
    selectIndex(temperatureCombo, store->value(key(temperatureKey)), Settings::defaultTemperatureUnitIndex);
    selectIndex(pressureCombo, store->value(key(pressureKey)), Settings::defaultPressureUnitIndex);
    autoConnectToggle->setState(store->value(key(autoConnectKey), Settings::defaultAutoConnect).toBool());
    saveSonarParamsToggle->setState(store->value(key(saveParamsKey), Settings::defaultSaveSonarParams).toBool());
    defaultsEditor->choose(
        store->value(key(environmentKey), Settings::defaultEnvironmentIndex).toInt(),
        store->value(key(manualSpeedKey), QString::fromLatin1(Settings::defaultManualSpeed)).toString(),
        store->value(key(manualSalinityKey), QStringLiteral("0")).toString(),
        store->value(key(bandwidthKey), Settings::defaultBandwidthLimit).toInt());
    browserSharing->loadSettings();
    navigationSettings->loadSettings();
    compressionToggle->setState(store->value(key(compressionKey), Settings::defaultLogCompression).toBool());
    const QString location = store->value(key(locationKey), Settings::defaultLogLocation()).toString();
    if (location == logLocationText->text()) {
        Q_EMIT logLocationText->textChanged(location);
    } else {
        logLocationText->setText(location);
    }
    selectIndex(captureFormatCombo, store->value(key(captureKey)), Settings::defaultCaptureFormat);
    updateSpeedSymbol();
    loaded = true;
}

void SettingsControls::saveSettings()
{
    // Before the first load the widgets hold nothing worth keeping.
    if (!loaded) {
        return;
    }
    store->setValue(key(themeKey), themeCombo->currentIndex());
    store->setValue(key(distanceKey), distanceCombo->currentIndex());
    store->setValue(key(areaKey), areaCombo->currentIndex());
    store->setValue(key(speedKey), speedCombo->currentIndex());
    store->setValue(key(temperatureKey), temperatureCombo->currentIndex());
    store->setValue(key(pressureKey), pressureCombo->currentIndex());
    store->setValue(key(autoConnectKey), autoConnectToggle->isEnabled());
    store->setValue(key(saveParamsKey), saveSonarParamsToggle->isEnabled());
    // The defaults only: what a connected sonar uses is remembered for it
    // by the controller.
    store->setValue(key(environmentKey), defaultsEditor->environmentIndex());
    store->setValue(key(manualSpeedKey), defaultsEditor->speedText());
    store->setValue(key(manualSalinityKey), defaultsEditor->salinityText());
    store->setValue(key(bandwidthKey), defaultsEditor->bandwidth());
    store->setValue(key(compressionKey), compressionToggle->isEnabled());
    store->setValue(key(locationKey), logLocationText->text());
    store->setValue(key(captureKey), captureFormatCombo->currentIndex());
    store->sync();
}

void SettingsControls::updateSpeedSymbol()
{
    defaultsEditor->updateSpeedUnit();
    sonarEditor->updateSpeedUnit();
}

void SettingsControls::showSonarSetup(const Settings::SonarSetup& setup)
{
    sonarShown = true;
    sonarEditor->showSetup(setup.water, setup.bandwidth);
    QString own;
    if (setup.ownWater && setup.ownBandwidth) {
        own = QStringLiteral("has its own water and bandwidth.");
    } else if (setup.ownWater) {
        own = QStringLiteral("has its own water and the default bandwidth.");
    } else if (setup.ownBandwidth) {
        own = QStringLiteral("has its own bandwidth and the default water.");
    } else {
        own = QStringLiteral("uses the defaults for new sonars.");
    }
    sonarScopeLabel->setText(QStringLiteral("Sonar %1 %2").arg(setup.serialNumber).arg(own));
    useDefaultsButton->setEnabled(setup.ownWater || setup.ownBandwidth);
    sonarBox->show();
    Q_EMIT salinityInUse(setup.water.salinity);
}

void SettingsControls::sonarDisconnected()
{
    sonarShown = false;
    sonarBox->hide();
    Q_EMIT salinityInUse(defaultsEditor->chosenWater().salinity);
}

void SettingsControls::browseForFolder()
{
    const QString folder = folderChooser(this, QStringLiteral("Select Folder"), logLocationText->text());
    if (!folder.isEmpty()) {
        logLocationText->setText(folder);
    }
}

} // namespace Keldar::OndrixLumivane
