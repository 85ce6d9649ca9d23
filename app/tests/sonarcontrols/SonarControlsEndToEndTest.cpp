// The sonar controls end to end: the real application, controller and
// window against in-process simulated sonars on loopback. What the user sets
// must be what the simulator reads in its next fire request.

#include "sonarcontrols/UserActions.h"
#include "support/ViewerTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "controller/MainController.h"
#include "sonarcontrols/BasicSliderPopOut.h"
#include "sonarcontrols/FrequencyControl.h"
#include "sonarcontrols/MainToolbar.h"
#include "sonarcontrols/SonarControlToolbar.h"
#include "sonarcontrols/SonarSettingsControls.h"

#include <keldar/gui/DottedQuadInput.h>
#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgButton.h>
#include <keldar/gui/ToggleSwitch.h>

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

namespace Keldar::OndrixLumivane {
namespace {

using GUI::Widgets::Controls::ToggleSwitch;
using Sim::SimulatedFireRequest;
using Testing::click;
using Testing::typeOctet;
using Testing::ViewerSession;
using Testing::waitFor;

// The window's own toolbars, wired by the window.
struct Controls
{
    MainToolbar* main = nullptr;
    SonarControlToolbar* sonar = nullptr;

    explicit Controls(ViewerSession& viewer)
        : main(viewer.window->findChild<MainToolbar*>(QStringLiteral("mainToolbar")))
        , sonar(viewer.window->findChild<SonarControlToolbar*>(QStringLiteral("sonarControlToolbar")))
    {
        if (main == nullptr || sonar == nullptr) {
            throw std::runtime_error("the window does not hold the main and sonar control toolbars");
        }
    }
};

template<typename Predicate>
bool nextFire(const Sim::SimulatedSonar& sonar, Predicate predicate)
{
    return waitFor([&] {
        const auto fire = sonar.lastFireParameters();
        return fire.has_value() && predicate(*fire);
    });
}

bool clickItemOf(QListWidget* list, std::uint32_t serialNumber)
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->data(Qt::UserRole).toUInt() == serialNumber) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
            return true;
        }
    }
    return false;
}

TEST(SonarControlsEndToEnd, ListShowsTheSimulatedSonarsAndConnectsTheOneClicked)
{
    ViewerSession viewer;
    Controls controls(viewer);
    QListWidget* list = controls.main->getSonarList()->getListWidget();
    ASSERT_EQ(list->item(0)->text(), "No sonars detected");

    auto rostrel = viewer.network.startSonar(40001, 2); // Rostrel A
    auto config = viewer.network.sonarConfig(40002, 3);
    config.partNumber = 2420; // Sevanth C
    config.status.refuseConnections = true;
    Sim::SimulatedSonar refusing(config);
    refusing.start();

    ASSERT_TRUE(waitFor([&] { return list->count() == 2 && !(list->item(1)->flags() & Qt::ItemIsEnabled); }));
    EXPECT_EQ(list->item(0)->text().toStdString(),
              "Ondrix Rostrel A\nIP: 127.0.0.2/8\nSerial Number: 40001\nFirmware Version: 412");
    EXPECT_TRUE(list->item(1)->text().startsWith("Ondrix Sevanth C\nIP: 127.0.0.3/8\nSerial Number: 40002"));

    click(controls.main->findChild<QWidget*>(QStringLiteral("sonarListButton")));
    ASSERT_TRUE(waitFor([&] { return list->isVisible(); }));
    ASSERT_TRUE(clickItemOf(list, 40002));
    ASSERT_TRUE(clickItemOf(list, 40001));
    ASSERT_TRUE(waitFor([&] { return viewer.controller->isConnected() && rostrel->hasClient(); }));
    EXPECT_FALSE(refusing.hasClient());
    EXPECT_TRUE(controls.main->findChild<QWidget*>(QStringLiteral("sonarListButton"))->isHidden());
    EXPECT_FALSE(controls.main->findChild<QWidget*>(QStringLiteral("disconnectButton"))->isHidden());
}

struct ConnectedViewer
{
    ViewerSession viewer;
    Controls controls{viewer};
    std::unique_ptr<Sim::SimulatedSonar> sonar = viewer.network.startSonar(40001); // Rostrel A
    int imageWidth = 0;

    ConnectedViewer()
    {
        QObject::connect(viewer.controller, &MainController::newImage,
                         [this](const Ondrix::OndrixImage& image) { imageWidth = image.getWidth(); });
        viewer.controller->connectWhenSeen(40001);
        // Connected, and the sonar's parameters are on the controls.
        if (!waitFor([this] {
                return viewer.controller->isConnected() && imageWidth > 0 && controls.sonar->isVisible() &&
                       controls.sonar->getRangeControl()->getSlider()->minimum() == 10;
            })) {
            throw std::runtime_error("the viewer did not connect to the simulated sonar");
        }
    }

    template<typename Widget>
    Widget* find(QWidget* parent, const char* name) const
    {
        auto* widget = parent->findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            throw std::runtime_error(std::string("no ") + name);
        }
        return widget;
    }
};

// Regression included: with feet shown, the sonar still receives metres.
TEST(SonarControlsEndToEnd, RangeGainAndFrequencyReachTheNextFireRequest)
{
    ConnectedViewer session;
    SonarControlToolbar* toolbar = session.controls.sonar;
    const Sim::SimulatedSonar& sonar = *session.sonar;
    session.viewer.application->changeDistanceUnit(LumivaneApplication::DistanceUnits::Feet);
    toolbar->getRangeControl()->getSlider()->setValue(95);
    ASSERT_TRUE(nextFire(sonar, [](const SimulatedFireRequest& f) { return f.range == 9.5; }));

    click(toolbar->getRangeButton());
    BasicSliderPopOut* range = toolbar->getRangeControl();
    ASSERT_TRUE(waitFor([&] { return range->isVisible(); }));
    EXPECT_EQ(session.find<QLabel>(range, "valueLabel")->text(), "31.17ft");
    click(range->getPlusButton());
    EXPECT_TRUE(nextFire(sonar, [](const SimulatedFireRequest& f) { return f.range == 10.0; }));
    EXPECT_EQ(session.find<QLabel>(range, "valueLabel")->text(), "32.81ft");

    click(toolbar->getGainButton());
    BasicSliderPopOut* gain = toolbar->getGainControl();
    ASSERT_TRUE(waitFor([&] { return gain->isVisible(); }));
    const double before = gain->getValue();
    click(gain->getPlusButton());
    EXPECT_TRUE(nextFire(sonar, [&](const SimulatedFireRequest& f) { return f.gain == before + 5.0; }));

    click(toolbar->getFrequencyButton());
    FrequencyControl* frequency = toolbar->getFrequencyControl();
    ASSERT_TRUE(waitFor([&] { return frequency->isVisible(); }));
    click(frequency->getSecondaryButton());
    EXPECT_TRUE(nextFire(sonar, [](const SimulatedFireRequest& f) { return f.frequency == 2; }));
    click(frequency->getPrimaryButton());
    EXPECT_TRUE(nextFire(sonar, [](const SimulatedFireRequest& f) { return f.frequency == 1; }));

    // Auto: the secondary up to its 40 m, the primary beyond.
    click(frequency->getAutoButton());
    EXPECT_TRUE(nextFire(sonar, [](const SimulatedFireRequest& f) { return f.frequency == 2 && f.range == 10.0; }));
    range->getSlider()->setValue(405);
    EXPECT_TRUE(nextFire(sonar, [](const SimulatedFireRequest& f) { return f.frequency == 1 && f.range == 40.5; }));
    range->getSlider()->setValue(400);
    EXPECT_TRUE(nextFire(sonar, [](const SimulatedFireRequest& f) { return f.frequency == 2 && f.range == 40.0; }));
}

TEST(SonarControlsEndToEnd, SonarOptionsReachTheNextFireRequest)
{
    ConnectedViewer session;
    SonarControlToolbar* toolbar = session.controls.sonar;
    const Sim::SimulatedSonar& sonar = *session.sonar;
    SonarSettingsControls* options = toolbar->getSonarSettings();
    click(toolbar->getSonarSettingsButton());
    ASSERT_TRUE(waitFor([&] { return options->isVisible(); }));
    const auto initial = sonar.lastFireParameters().value();

    session.find<QSlider>(options, "gammaSlider")->setValue(200);
    EXPECT_TRUE(nextFire(sonar, [](const SimulatedFireRequest& f) { return f.gamma == 200; }));
    click(session.find<ToggleSwitch>(options, "gainAssistToggle"));
    EXPECT_TRUE(nextFire(sonar, [&](const SimulatedFireRequest& f) { return f.gainAssist != initial.gainAssist; }));
    click(session.find<ToggleSwitch>(options, "gainBoostToggle"));
    EXPECT_TRUE(nextFire(sonar, [&](const SimulatedFireRequest& f) { return f.gainBoost != initial.gainBoost; }));

    auto* combo = session.find<QComboBox>(options, "pingRateCombo");
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_End); // 40 Hz, code 2
    EXPECT_TRUE(nextFire(sonar, [](const SimulatedFireRequest& f) { return f.pingRate == 2; }));

    ASSERT_EQ(session.imageWidth, 256);
    click(session.find<ToggleSwitch>(options, "fullBeamsToggle"));
    EXPECT_TRUE(nextFire(sonar, [](const SimulatedFireRequest& f) { return f.fullBeams; }));
    EXPECT_TRUE(waitFor([&] { return session.imageWidth == 512; }));
}

TEST(SonarControlsEndToEnd, NetworkSettingsAreAppliedOrReportedAsNotApplied)
{
    ConnectedViewer session;
    SonarSettingsControls* options = session.controls.sonar->getSonarSettings();
    click(session.controls.sonar->getSonarSettingsButton());
    ASSERT_TRUE(waitFor([&] { return options->isVisible(); }));
    auto* mask = session.find<QWidget>(options, "subnetMaskInput");
    auto* ip = session.find<GUI::Widgets::Inputs::DottedQuadInput>(options, "ipAddressInput");
    auto* apply = session.find<QPushButton>(options, "networkApplyButton");
    ASSERT_TRUE(waitFor([&] { return ip->getValue().toString() == "127.0.0.2"; })); // the sonar's report

    // DHCP: what the sonar answers is what was asked.
    auto* dhcp = session.find<ToggleSwitch>(options, "dhcpToggle");
    click(dhcp);
    click(apply);
    EXPECT_TRUE(waitFor([&] { return session.sonar->networkConfig().dhcp; }));
    EXPECT_TRUE(waitFor(
        [&] { return session.viewer.toastShown("Network settings applied (power cycle required to take effect)."); }));
    EXPECT_FALSE(apply->isEnabled());

    // A sonar that refuses: the answer differs from the request, and the
    // inputs show what the sonar holds.
    session.sonar->setRefuseNetworkChanges(true);
    click(dhcp);
    ASSERT_TRUE(waitFor([&] { return !ip->isReadOnly(); }));
    typeOctet(ip, "firstOctet", 10);
    click(apply);
    EXPECT_TRUE(waitFor([&] { return session.viewer.toastShown("The sonar did not accept the new settings"); }));
    EXPECT_TRUE(session.sonar->networkConfig().dhcp);
    EXPECT_FALSE(dhcp->isImmutable());
    session.sonar->setRefuseNetworkChanges(false);
    EXPECT_EQ(ip->getValue().toString(), "127.0.0.2");
    EXPECT_FALSE(apply->isEnabled());

    // A sonar that does not answer: reported after 1.5 s, editable again.
    session.sonar->setIgnoreNetworkConfig(true);
    click(dhcp);
    ASSERT_TRUE(waitFor([&] { return !ip->isReadOnly(); }));
    typeOctet(ip, "firstOctet", 10);
    click(apply);
    EXPECT_TRUE(ip->isReadOnly());
    EXPECT_TRUE(waitFor([&] { return session.viewer.toastShown("Network settings could not be applied."); }));
    EXPECT_EQ(session.sonar->counters().userConfigsIgnored, 1U);
    EXPECT_EQ(session.sonar->networkConfig().address, "127.0.0.2");
    EXPECT_FALSE(ip->isReadOnly());
    EXPECT_TRUE(apply->isEnabled() && apply->isChecked());

    // An invalid mask is refused before anything is sent.
    typeOctet(mask, "firstOctet", 0); // 0.0.0.0
    click(apply);
    EXPECT_TRUE(waitFor([&] { return session.viewer.toastShown("Invalid subnet mask."); }));
    EXPECT_EQ(session.sonar->counters().userConfigsIgnored, 1U);
}

} // namespace
} // namespace Keldar::OndrixLumivane
