// The sonar controls driven as a user drives them (clicks, slider moves, key
// presses) in a plain main window, checking what they ask of the controller.

#include "base/MessageBoxes.h"
#include "sonarcontrols/BasicSliderPopOut.h"
#include "sonarcontrols/FrequencyControl.h"
#include "sonarcontrols/MainToolbar.h"
#include "sonarcontrols/RangeControlStrategy.h"
#include "sonarcontrols/SonarControlToolbar.h"
#include "sonarcontrols/SonarListControls.h"
#include "sonarcontrols/SonarSettingsControls.h"
#include "sonarcontrols/UserActions.h"
#include "support/ViewerTestSupport.h"

#include <keldar/core/Units/Feet.h>
#include <keldar/gui/DottedQuadInput.h>
#include <keldar/gui/MainWindow.h>
#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgButton.h>
#include <keldar/gui/ToastDisplayManager.h>
#include <keldar/gui/ToggleSwitch.h>
#include <keldar/icons/Icons.h>
#include <keldar/ondrix/ModelSpecs.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace Keldar::OndrixLumivane {
namespace {

using GUI::Widgets::Controls::ToggleSwitch;
using GUI::Widgets::Inputs::DottedQuadInput;
using Ondrix::Frequency;
using Ondrix::ModelNumber;
using Testing::click;
using Testing::typeOctet;
using Testing::waitFor;

Ondrix::ModelSpec specOf(unsigned partNumber)
{
    return Ondrix::ModelSpecs::getModelSpec(static_cast<ModelNumber>(partNumber));
}

// A main window (for its toasts) with a sidebar and a display area named as the
// viewer names them, shown, with a private settings store.
struct Host
{
    QApplication& application = Testing::application();
    Testing::TemporarySettings settings;
    GUI::Widgets::MainWindow window;
    QWidget* sidebar = new QWidget;
    QWidget* display = new QWidget;

    explicit Host(const char* displayName)
    {
        KD_Icons_initialise();
        auto* central = new QWidget;
        auto* layout = new QHBoxLayout(central);
        new QVBoxLayout(sidebar);
        display->setObjectName(QString::fromLatin1(displayName));
        display->setMinimumSize(900, 640);
        layout->addWidget(sidebar);
        layout->addWidget(display, 1);
        window.setCentralWidget(central);
    }

    void show()
    {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QStringList toasts() const
    {
        QStringList texts;
        for (const auto* toast : window.getToastDisplayManager()->getToasts()) {
            if (toast != nullptr && !toast->isHidden()) {
                texts << toast->getText();
            }
        }
        return texts;
    }
};

struct ToolbarHost : Host
{
    SonarControlToolbar* toolbar;
    std::vector<double> ranges;
    std::vector<double> gains;
    std::vector<Frequency> frequencies;

    ToolbarHost()
        : Host("sonarDisplay")
        , toolbar(new SonarControlToolbar)
    {
        sidebar->layout()->addWidget(toolbar);
        show();
        toolbar->placePopOuts();
        QObject::connect(toolbar, &SonarControlToolbar::newRangeRequested, [this](double r) { ranges.push_back(r); });
        QObject::connect(toolbar, &SonarControlToolbar::newGainRequested, [this](double g) { gains.push_back(g); });
        QObject::connect(toolbar, &SonarControlToolbar::newFrequencyRequested,
                         [this](Frequency f) { frequencies.push_back(f); });
    }

    // As the controller does on connection: the model's limits, then the
    // parameters the sonar starts with.
    void connectSonar(unsigned partNumber, double range, Frequency frequency)
    {
        toolbar->newSonarSpec(specOf(partNumber));
        Ondrix::OperationParameters parameters;
        parameters.range = range;
        parameters.gain = 50.0;
        parameters.frequency = frequency;
        toolbar->setOperatingParameters(parameters);
    }

    QString rangeLabel() const
    {
        return toolbar->getRangeControl()->findChild<QLabel*>(QStringLiteral("valueLabel"))->text();
    }
};

TEST(RangeControlStrategy, StepsFollowTheTableAndLandOnMultiples)
{
    const RangeControlStrategy step;
    const int up = RangeControlStrategy::Up;
    const int down = RangeControlStrategy::Down;
    EXPECT_EQ(step(95, up), 100);    // 9.5 m → 10 m
    EXPECT_EQ(step(100, up), 110);   // then 11 m
    EXPECT_EQ(step(99, up), 110);    // 9.9 m already takes the 1 m step
    EXPECT_EQ(step(500, down), 400); // 50 m → 40 m: above 499 the step is 10 m
    EXPECT_EQ(step(499, down), 450);
    EXPECT_EQ(step(12, up), 15); // snaps onto the step
    EXPECT_EQ(step(1000, up), 1200);
    EXPECT_EQ(step(2000, up), 2200);
    EXPECT_EQ(step(2400, up), 2600); // beyond the table the coarsest step holds
    EXPECT_EQ(step(3, down), 0);     // the slider clamps it to its minimum
}

TEST(BasicSliderPopOut, LabelShowsDisplayUnitsAndButtonsStep)
{
    EXPECT_EQ(BasicSliderPopOut::formatValue(9.75, "m"), "9.75m");
    EXPECT_EQ(BasicSliderPopOut::formatValue(9.5, "m"), "9.5m");
    EXPECT_EQ(BasicSliderPopOut::formatValue(10.0, "m"), "10m");
    EXPECT_EQ(BasicSliderPopOut::formatValue(10.004, "%"), "10%");
    EXPECT_EQ(BasicSliderPopOut::formatValue(32.8084, "ft"), "32.81ft");
    EXPECT_EQ(BasicSliderPopOut::formatValue(0.3 * 1.09361, "yd"), "0.33yd");

    ToolbarHost host;
    BasicSliderPopOut* gain = host.toolbar->getGainControl();
    std::vector<int> ints;
    QObject::connect(gain, QOverload<int>::of(&BasicSliderPopOut::valueChanged), [&](int v) { ints.push_back(v); });
    click(host.toolbar->getGainButton());
    ASSERT_TRUE(waitFor([&] { return gain->isVisible(); }));
    gain->setValueQuietly(90);
    click(gain->getPlusButton());
    click(gain->getPlusButton()); // clamped at 100: no change, nothing sent
    click(gain->getMinusButton());
    EXPECT_EQ(ints, (std::vector<int>{95, 100, 95}));
    EXPECT_EQ(host.gains, (std::vector<double>{95.0, 100.0, 95.0}));
    EXPECT_EQ(gain->findChild<QLabel*>(QStringLiteral("valueLabel"))->text(), "95%");
    QTest::keyClick(gain->getSlider(), Qt::Key_PageDown); // page step 10
    EXPECT_EQ(host.gains.back(), 85.0);
}

// Regression: the range pop-out shows the chosen distance unit, and the
// value it showed (feet) must not reach the sonar as metres.
TEST(SonarControlToolbar, RangeReachesTheSonarInMetresWhateverUnitIsShown)
{
    ToolbarHost host;
    host.connectSonar(1032, 9.5, Frequency::Low); // Rostrel A
    EXPECT_EQ(host.rangeLabel(), "9.5m");
    host.toolbar->setDistanceUnit(DataProcessing::Units::Distance::Feet());
    EXPECT_EQ(host.rangeLabel(), "31.17ft");

    click(host.toolbar->getRangeButton());
    BasicSliderPopOut* range = host.toolbar->getRangeControl();
    ASSERT_TRUE(waitFor([&] { return range->isVisible(); }));
    click(range->getPlusButton());
    click(range->getPlusButton());
    click(range->getMinusButton());
    EXPECT_EQ(host.ranges, (std::vector<double>{10.0, 11.0, 10.0}));
    EXPECT_EQ(host.rangeLabel(), "32.81ft");
    EXPECT_TRUE(host.frequencies.empty()); // no auto frequency: the range alone

    // The primary frequency's limits (1 - 120 m) bound the slider, in tenths.
    EXPECT_EQ(range->getSlider()->minimum(), 10);
    EXPECT_EQ(range->getSlider()->maximum(), 1200);
    // The longest value of the range is shown whole.
    range->setValueQuietly(1199);
    auto* label = range->findChild<QLabel*>(QStringLiteral("valueLabel"));
    EXPECT_EQ(label->text(), "393.37ft");
    EXPECT_TRUE(waitFor(
        [&] { return label->width() >= label->sizeHint().width() && range->rect().contains(label->geometry()); }));
}

TEST(SonarControlToolbar, FrequencyChoicesAndAutoFlipAtTheSecondaryMaximum)
{
    ToolbarHost host;
    host.connectSonar(1032, 30.0, Frequency::Low); // Rostrel A: 750 kHz to 120 m, 1.2 MHz to 40 m
    FrequencyControl* control = host.toolbar->getFrequencyControl();
    EXPECT_TRUE(host.toolbar->getFrequencyButton()->isEnabled());
    EXPECT_EQ(control->getPrimaryButton()->text(), "750 kHz");
    EXPECT_EQ(control->getSecondaryButton()->text(), "1.2 MHz");
    EXPECT_TRUE(control->getPrimaryButton()->isChecked());
    EXPECT_EQ(FrequencyControl::frequencyText(999), "999 kHz");
    EXPECT_EQ(FrequencyControl::frequencyText(2100), "2.1 MHz");
    EXPECT_EQ(FrequencyControl::frequencyText(1234), "1.234 MHz");

    click(host.toolbar->getFrequencyButton());
    ASSERT_TRUE(waitFor([&] { return control->isVisible(); }));
    QSlider* slider = host.toolbar->getRangeControl()->getSlider();

    click(control->getAutoButton());
    ASSERT_EQ(host.frequencies, (std::vector<Frequency>{Frequency::High})); // 30 m ≤ 40 m
    EXPECT_TRUE(host.toolbar->autoFrequencyIsEnabled());
    EXPECT_EQ(slider->minimum(), 3); // secondary minimum 0.3 m
    EXPECT_EQ(slider->maximum(), 1200);
    host.frequencies.clear();
    slider->setValue(400);
    slider->setValue(405);
    slider->setValue(400);
    EXPECT_EQ(host.frequencies, (std::vector<Frequency>{Frequency::High, Frequency::Low, Frequency::High}));
    EXPECT_EQ(host.ranges, (std::vector<double>{40.0, 40.5, 40.0}));

    // The watchdog's reconnection reports the parameters again: auto stays.
    Ondrix::OperationParameters again;
    again.range = 40.0;
    again.frequency = Frequency::High;
    again.fullBeams = true;
    host.toolbar->setOperatingParameters(again);
    EXPECT_TRUE(host.toolbar->autoFrequencyIsEnabled());
    EXPECT_TRUE(control->getAutoButton()->isChecked());
    EXPECT_EQ(slider->maximum(), 1200);
    EXPECT_TRUE(host.toolbar->getSonarSettings()->findChild<ToggleSwitch*>("fullBeamsToggle")->isEnabled());

    // Choosing the secondary ends auto, and its limits clamp the range.
    slider->setValue(800);
    host.frequencies.clear();
    host.ranges.clear();
    click(control->getSecondaryButton());
    EXPECT_FALSE(host.toolbar->autoFrequencyIsEnabled());
    EXPECT_EQ(host.frequencies, (std::vector<Frequency>{Frequency::High}));
    EXPECT_EQ(host.ranges, (std::vector<double>{40.0}));
    EXPECT_EQ(slider->maximum(), 400);

    // The toggle shortcut clicks the frequency not in use; not while in auto.
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Keldar", "Ondrix Lumivane");
    store.beginGroup(SonarControlToolbar::settingsGroup);
    store.setValue("toggleFrequencyShortcut", "F");
    store.setValue("increaseRangeShortcut", "W");
    store.setValue("decreaseGainShortcut", "A");
    store.endGroup();
    store.sync();
    host.toolbar->loadShortcuts();
    host.frequencies.clear();
    host.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));
    QTest::keyClick(&host.window, Qt::Key_F);
    EXPECT_EQ(host.frequencies, (std::vector<Frequency>{Frequency::Low}));
    EXPECT_TRUE(control->getPrimaryButton()->isChecked());
    host.ranges.clear();
    QTest::keyClick(&host.window, Qt::Key_W);
    EXPECT_EQ(host.ranges, (std::vector<double>{45.0})); // 40 m + 5 m
    QTest::keyClick(&host.window, Qt::Key_A);
    EXPECT_EQ(host.gains, (std::vector<double>{45.0}));
    click(control->getAutoButton());
    host.frequencies.clear();
    QTest::keyClick(&host.window, Qt::Key_F);
    EXPECT_TRUE(host.frequencies.empty());

    // A single-frequency model offers no choice, not even by the shortcut.
    host.toolbar->resetControls();
    host.toolbar->show();
    host.connectSonar(1041, 10.0, Frequency::Low); // Pelmar A
    EXPECT_FALSE(host.toolbar->getFrequencyButton()->isEnabled());
    EXPECT_FALSE(host.toolbar->getFrequencyButton()->isChecked());
    host.frequencies.clear();
    QTest::keyClick(&host.window, Qt::Key_F);
    EXPECT_TRUE(host.frequencies.empty());
}

TEST(SonarControlToolbar, PopOutStateIsSavedAndRestored)
{
    ToolbarHost host;
    // Nothing stored: docked and closed.
    host.toolbar->activate(1);
    EXPECT_TRUE(host.toolbar->getRangeControl()->isDocked());
    EXPECT_FALSE(host.toolbar->getRangeButton()->isChecked());

    click(host.toolbar->getGainButton());
    host.toolbar->getFrequencyControl()->undock();
    host.toolbar->getFrequencyControl()->move(120, 140);
    host.toolbar->deactivate();
    EXPECT_TRUE(host.toolbar->isHidden());
    EXPECT_FALSE(host.toolbar->getGainButton()->isChecked());

    // The next session's toolbar finds them as they were left.
    auto* next = new SonarControlToolbar;
    host.sidebar->layout()->addWidget(next);
    next->placePopOuts();
    next->activate(1);
    EXPECT_TRUE(next->getGainButton()->isChecked());
    EXPECT_FALSE(next->getRangeButton()->isChecked());
    EXPECT_FALSE(next->getFrequencyControl()->isDocked());
    EXPECT_EQ(next->getFrequencyControl()->pos(), QPoint(120, 140));
    EXPECT_TRUE(next->getRangeControl()->isDocked());
}

TEST(SonarSettingsControls, AdvancedControlsSendWhatTheUserSets)
{
    ToolbarHost host;
    std::vector<int> gammas;
    std::vector<std::pair<char, bool>> switches;
    std::vector<int> pingRates;
    SonarControlToolbar* toolbar = host.toolbar;
    QObject::connect(toolbar, &SonarControlToolbar::newGammaRequested, [&](int g) { gammas.push_back(g); });
    QObject::connect(toolbar, &SonarControlToolbar::newGainAssistSettingRequested,
                     [&](bool on) { switches.emplace_back('a', on); });
    QObject::connect(toolbar, &SonarControlToolbar::newGainBoostSettingRequested,
                     [&](bool on) { switches.emplace_back('b', on); });
    QObject::connect(toolbar, &SonarControlToolbar::newFullBeamsSettingRequested,
                     [&](bool on) { switches.emplace_back('f', on); });
    QObject::connect(toolbar, &SonarControlToolbar::newPingRateRequested, [&](int code) { pingRates.push_back(code); });

    Ondrix::OperationParameters parameters;
    parameters.gamma = 51;
    parameters.gainAssist = false;
    parameters.gainBoost = true;
    parameters.pingRate = Ondrix::PingRate::Rate5Hz;
    toolbar->newSonarSpec(specOf(1032));
    toolbar->setOperatingParameters(parameters);
    SonarSettingsControls* settings = toolbar->getSonarSettings();
    auto* gammaValue = settings->findChild<QLabel*>(QStringLiteral("gammaValue"));
    auto* combo = settings->findChild<QComboBox*>(QStringLiteral("pingRateCombo"));
    EXPECT_EQ(gammaValue->text(), "0.20");
    EXPECT_EQ(combo->currentText(), "5Hz");
    EXPECT_TRUE(settings->findChild<ToggleSwitch*>(QStringLiteral("gainBoostToggle"))->isEnabled());
    EXPECT_TRUE(gammas.empty() && switches.empty() && pingRates.empty()); // shown, not sent back

    click(toolbar->getSonarSettingsButton());
    ASSERT_TRUE(waitFor([&] { return settings->isVisible(); }));
    settings->findChild<QSlider*>(QStringLiteral("gammaSlider"))->setValue(128);
    EXPECT_EQ(gammaValue->text(), "0.50");
    click(settings->findChild<ToggleSwitch*>(QStringLiteral("gainAssistToggle")));
    click(settings->findChild<ToggleSwitch*>(QStringLiteral("gainBoostToggle")));
    click(settings->findChild<ToggleSwitch*>(QStringLiteral("fullBeamsToggle")));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down); // 5 Hz → 10 Hz
    QTest::keyClick(combo, Qt::Key_End);  // → 40 Hz
    EXPECT_EQ(gammas, (std::vector<int>{128}));
    EXPECT_EQ(switches, (std::vector<std::pair<char, bool>>{{'a', true}, {'b', false}, {'f', true}}));
    EXPECT_EQ(pingRates, (std::vector<int>{0, 2}));
    EXPECT_EQ(combo->itemText(0), "2Hz");
    EXPECT_EQ(combo->itemData(0).toInt(), 4);

    // A new sonar turns 512 beams off; the Quillon A cannot have it at all.
    auto* fullBeams = settings->findChild<ToggleSwitch*>(QStringLiteral("fullBeamsToggle"));
    toolbar->newSonarSpec(specOf(4713));
    EXPECT_FALSE(fullBeams->isEnabled());
    EXPECT_TRUE(fullBeams->isImmutable());
    toolbar->newSonarSpec(specOf(1042));
    EXPECT_FALSE(fullBeams->isImmutable());
}

TEST(SonarSettingsControls, NetworkApplyIsCheckedConfirmedAndComparedWithTheAnswer)
{
    ToolbarHost host;
    SonarControlToolbar* toolbar = host.toolbar;
    SonarSettingsControls* settings = toolbar->getSonarSettings();
    std::vector<std::tuple<bool, std::string, std::string>> sent;
    QObject::connect(toolbar, &SonarControlToolbar::newNetworkConfigRequested,
                     [&](bool dhcp, std::string ip, std::string mask) { sent.emplace_back(dhcp, ip, mask); });
    QStringList questions;
    MessageBoxes::setPresenter([&](QMessageBox& box) {
        questions << box.text();
        return static_cast<int>(QMessageBox::Yes);
    });
    const std::shared_ptr<void> restorePresenter(nullptr, [](void*) { MessageBoxes::setPresenter({}); });
    auto* apply = settings->findChild<QPushButton*>(QStringLiteral("networkApplyButton"));
    auto* dhcp = settings->findChild<ToggleSwitch*>(QStringLiteral("dhcpToggle"));
    auto* ip = settings->findChild<DottedQuadInput*>(QStringLiteral("ipAddressInput"));
    auto* mask = settings->findChild<DottedQuadInput*>(QStringLiteral("subnetMaskInput"));
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_EQ(apply->text(), "Apply");

    Q_EMIT toolbar->newNetworkConfig(false, "10.1.2.2", "255.0.0.0");
    EXPECT_EQ(ip->getValue().toString(), "10.1.2.2");
    EXPECT_EQ(mask->getValue().toString(), "255.0.0.0");
    EXPECT_FALSE(apply->isEnabled());
    click(toolbar->getSonarSettingsButton());
    ASSERT_TRUE(waitFor([&] { return settings->isVisible(); }));

    // Editing an address offers Apply; editing it back withdraws it.
    typeOctet(ip, "fourthOctet", 9);
    EXPECT_TRUE(apply->isEnabled() && apply->isChecked());
    typeOctet(ip, "fourthOctet", 2);
    EXPECT_FALSE(apply->isEnabled());

    // What would leave the sonar unreachable never leaves the pop-out.
    typeOctet(ip, "fourthOctet", 255);
    typeOctet(mask, "secondOctet", 255);
    typeOctet(mask, "thirdOctet", 255);
    click(apply);
    EXPECT_TRUE(host.toasts().contains("10.1.2.255 is the broadcast address of its subnet, not an address the "
                                       "sonar can use."));
    typeOctet(ip, "fourthOctet", 9);
    typeOctet(mask, "thirdOctet", 0);
    typeOctet(mask, "secondOctet", 0);
    typeOctet(mask, "thirdOctet", 255); // 255.0.255.0
    click(apply);
    EXPECT_TRUE(host.toasts().contains("Invalid subnet mask."));
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_TRUE(apply->isChecked());

    // Confirmed, sent; without an answer the attempt fails after 1.5 s and
    // the inputs open again.
    typeOctet(mask, "secondOctet", 255);
    click(apply);
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0], std::make_tuple(false, std::string("10.1.2.9"), std::string("255.255.255.0")));
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains("only when it restarts")) << questions[0].toStdString();
    EXPECT_EQ(apply->text(), "Applying...");
    EXPECT_TRUE(ip->isReadOnly());
    EXPECT_TRUE(dhcp->isImmutable());
    EXPECT_FALSE(host.toasts().contains("Network settings could not be applied."));
    ASSERT_TRUE(waitFor([&] { return host.toasts().contains("Network settings could not be applied."); }));
    EXPECT_TRUE(apply->isEnabled() && apply->isChecked());
    EXPECT_EQ(apply->text(), "Apply");
    EXPECT_FALSE(ip->isReadOnly());
    EXPECT_FALSE(dhcp->isImmutable());

    // The answer equals the request: applied, nothing left to apply.
    click(apply);
    ASSERT_EQ(sent.size(), 2U);
    Q_EMIT toolbar->newNetworkConfig(false, "10.1.2.9", "255.255.255.0");
    EXPECT_TRUE(host.toasts().contains("Network settings applied (power cycle required to take effect)."));
    EXPECT_FALSE(apply->isEnabled() || apply->isChecked());
    EXPECT_FALSE(settings->isApplying());
    EXPECT_FALSE(ip->isReadOnly());

    // An answer that differs: not accepted, and the inputs show the sonar's.
    typeOctet(ip, "fourthOctet", 10);
    click(apply);
    ASSERT_EQ(sent.size(), 3U);
    Q_EMIT toolbar->newNetworkConfig(false, "10.1.2.9", "255.255.255.0");
    EXPECT_TRUE(host.toasts().contains("The sonar did not accept the new settings"));
    EXPECT_EQ(ip->getValue().toString(), "10.1.2.9");
    EXPECT_FALSE(apply->isEnabled());

    // DHCP on: the addresses are the sonar's to choose. Applied at once,
    // before the knob has landed, it is the switch's state that is sent.
    click(dhcp);
    EXPECT_TRUE(ip->isReadOnly() && mask->isReadOnly());
    EXPECT_TRUE(apply->isEnabled() && apply->isChecked());
    click(apply);
    ASSERT_EQ(sent.size(), 4U);
    EXPECT_TRUE(std::get<0>(sent[3]));

    // The sonar goes while an answer is awaited: nothing is awaited any more.
    toolbar->deactivate();
    EXPECT_FALSE(settings->isApplying());
    EXPECT_EQ(apply->text(), "Apply");
    EXPECT_FALSE(dhcp->isImmutable());
}

TEST(SonarList, ShowsEachSonarWithItsLinesAndPicture)
{
    Host host("mainDisplayArea");
    auto* toolbar = new MainToolbar;
    host.sidebar->layout()->addWidget(toolbar);
    host.show();
    toolbar->placePopOuts();
    SonarListControls* list = toolbar->getSonarList();
    QListWidget* widget = list->getListWidget();
    ASSERT_EQ(widget->count(), 1);
    EXPECT_EQ(widget->item(0)->text(), "No sonars detected");
    EXPECT_FALSE(widget->item(0)->flags() & Qt::ItemIsEnabled);

    auto device = [](std::uint32_t serial, unsigned part, const char* ip, const char* mask, bool connectable) {
        Ondrix::DeviceInfo info;
        info.serialNumber = serial;
        info.modelNumber = static_cast<ModelNumber>(part);
        info.spec = specOf(part);
        info.ipAddress = ip;
        info.subnetMask = mask;
        info.firmwareVersion = "4.12";
        info.connectable = connectable;
        return info;
    };
    SonarListControls::SonarMap sonars{{40003, device(40003, 4912, "127.0.0.4", "255.255.0.0", true)},
                                       {40001, device(40001, 2419, "127.0.0.2", "255.255.255.0", true)},
                                       {40002, device(40002, 1433, "127.0.0.3", "255.0.0.0", false)},
                                       {40004, device(40004, 1042, "127.0.0.5", "255.255.255.252", true)}};
    Q_EMIT toolbar->newVisibleSonarsList(sonars);
    ASSERT_EQ(widget->count(), 4);
    EXPECT_EQ(widget->item(0)->text(),
              "Ondrix Rostrel C\nIP: 127.0.0.2/24\nSerial Number: 40001\nFirmware Version: 4.12");
    EXPECT_EQ(widget->item(1)->text(),
              "Ondrix Pelmar B\nIP: 127.0.0.3/8\nSerial Number: 40002\nFirmware Version: 4.12");
    EXPECT_EQ(widget->item(3)->text(),
              "Ondrix Sevanth A\nIP: 127.0.0.5/30\nSerial Number: 40004\nFirmware Version: 4.12");
    EXPECT_EQ(widget->item(2)->data(Qt::UserRole).toUInt(), 40003U);
    EXPECT_FALSE(widget->item(1)->flags() & (Qt::ItemIsEnabled | Qt::ItemIsSelectable));

    const char* pictures[] = {"Ondrix_Verdane", "Ondrix_Halcyr", "Ondrix_Morvel", "Ondrix"};
    for (int row = 0; row < 4; ++row) {
        const QString path = QStringLiteral(":/keldar-ondrix-visualisation/icons/devices/%1.png").arg(pictures[row]);
        ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
        const QImage expected = QIcon(path).pixmap(72, 72).toImage();
        EXPECT_EQ(widget->item(row)->icon().pixmap(72, 72).toImage(), expected) << path.toStdString();
    }
    EXPECT_EQ(SonarListControls::devicePicture("Unknown"), ":/keldar-ondrix-visualisation/icons/devices/Ondrix.png");
    // A rebuilt list shares the pictures it decoded (a status flood rebuilds
    // it many times a second).
    const qint64 firstIcon = widget->item(0)->icon().cacheKey();
    Q_EMIT toolbar->newVisibleSonarsList(sonars);
    ASSERT_EQ(widget->count(), 4);
    EXPECT_EQ(widget->item(0)->icon().cacheKey(), firstIcon);

    // Only an available sonar connects; the list stays open, taking no other
    // choice, until the connection is made.
    std::vector<std::uint32_t> connected;
    QObject::connect(toolbar, &MainToolbar::connectToSonar, [&](std::uint32_t s) { connected.push_back(s); });
    auto* listButton = toolbar->findChild<QAbstractButton*>(QStringLiteral("sonarListButton"));
    click(listButton);
    ASSERT_TRUE(waitFor([&] { return widget->isVisible(); }));
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, widget->visualItemRect(widget->item(1)).center());
    EXPECT_TRUE(connected.empty());
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, widget->visualItemRect(widget->item(2)).center());
    EXPECT_EQ(connected, (std::vector<std::uint32_t>{40003}));
    EXPECT_TRUE(listButton->isChecked());
    toolbar->connectingToSonar();
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, widget->visualItemRect(widget->item(0)).center());
    EXPECT_EQ(connected.size(), 1U);
    toolbar->sonarConnected();
    EXPECT_FALSE(listButton->isChecked());
}

TEST(MainToolbar, ButtonsFollowTheSourceAndOpenLogFiles)
{
    Host host("mainDisplayArea");
    auto* toolbar = new MainToolbar;
    host.sidebar->layout()->addWidget(toolbar);
    host.show();
    auto button = [&](const char* name) { return toolbar->findChild<QAbstractButton*>(QString::fromLatin1(name)); };
    std::vector<QString> folders;
    QString answer = "/data/logs/20260101_120000.ondrix";
    toolbar->setFileChooser([&](QWidget*, const QString& title, const QString& folder, const QString& filter) {
        EXPECT_EQ(title, "Open Log File");
        EXPECT_EQ(filter, "Ondrix Log Files (*.ondrix)");
        folders.push_back(folder);
        return answer;
    });
    std::vector<std::string> opened;
    int disconnects = 0;
    int closes = 0;
    QObject::connect(toolbar, &MainToolbar::openLogFile, [&](std::string file) { opened.push_back(file); });
    QObject::connect(toolbar, &MainToolbar::disconnectFromSonar, [&] { ++disconnects; });
    QObject::connect(toolbar, &MainToolbar::closeLogFile, [&] { ++closes; });

    EXPECT_TRUE(button("disconnectButton")->isHidden());
    EXPECT_TRUE(button("closeFileButton")->isHidden());
    EXPECT_EQ(button("sonarListButton")->toolTip(), "Connect to a sonar");

    toolbar->setLogFolder(QStringLiteral("/data/recordings"));
    click(button("sonarListButton")); // the open-file dialog closes the list first
    click(button("openFileButton"));
    EXPECT_FALSE(button("sonarListButton")->isChecked());
    EXPECT_FALSE(button("openFileButton")->isChecked());
    answer.clear(); // cancelled: nothing opens, the folder stays
    click(button("openFileButton"));
    EXPECT_EQ(opened, (std::vector<std::string>{"/data/logs/20260101_120000.ondrix"}));
    EXPECT_EQ(folders, (std::vector<QString>{"/data/recordings", "/data/logs"}));

    toolbar->logfileOpened();
    EXPECT_TRUE(button("sonarListButton")->isHidden() && button("openFileButton")->isHidden());
    click(button("closeFileButton"));
    toolbar->resetToolbar();
    toolbar->sonarConnected();
    EXPECT_TRUE(button("sonarListButton")->isHidden() && button("closeFileButton")->isHidden());
    click(button("disconnectButton"));
    toolbar->resetToolbar();
    EXPECT_FALSE(button("sonarListButton")->isHidden() || button("openFileButton")->isHidden());
    EXPECT_TRUE(button("disconnectButton")->isHidden());
    EXPECT_EQ(disconnects, 1);
    EXPECT_EQ(closes, 1);
}

} // namespace
} // namespace Keldar::OndrixLumivane
