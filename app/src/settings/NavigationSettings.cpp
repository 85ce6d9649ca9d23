#include "settings/NavigationSettings.h"

#include "base/PanelLayout.h"
#include "base/SettingsStore.h"
#include "navigation/NavigationFeed.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace Keldar::OndrixLumivane {

namespace {

// Kinds as the endpoint spells them; index 0 is off.
const char* const kinds[] = {"", "udp", "tcp", "serial"};
const char* const placeholders[] = {"", "10110", "HOST:PORT", "/dev/ttyUSB0:4800"};

QDoubleSpinBox* spinBox(const char* name, double limit, const QString& suffix, QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(-limit, limit);
    box->setDecimals(2);
    box->setSuffix(suffix);
    box->setKeyboardTracking(false);
    return box;
}

} // namespace

NavigationSettings::NavigationSettings(QWidget* parent)
    : QWidget(parent)
    , store(openSettingsStore())
    , kindCombo(new QComboBox(this))
    , addressInput(new QLineEdit(this))
    , inputStatus(new QLabel(this))
    , formatCombo(new QComboBox(this))
    , headingOffsetInput(spinBox("mountingHeadingOffsetInput", 180.0, QStringLiteral("°"), this))
    , forwardInput(spinBox("mountingForwardInput", 100.0, QStringLiteral(" m"), this))
    , starboardInput(spinBox("mountingStarboardInput", 100.0, QStringLiteral(" m"), this))
{
    setObjectName(QStringLiteral("navigationSettings"));
    kindCombo->setObjectName(QStringLiteral("navigationInputKind"));
    kindCombo->addItems({QStringLiteral("Off"), QStringLiteral("UDP port"), QStringLiteral("TCP server"),
                         QStringLiteral("Serial device")});
    addressInput->setObjectName(QStringLiteral("navigationInputAddress"));
    inputStatus->setObjectName(QStringLiteral("navigationInputStatus"));
    inputStatus->setWordWrap(true);
    formatCombo->setObjectName(QStringLiteral("positionFormatSelect"));
    formatCombo->addItem(QStringLiteral("Decimal degrees"), QStringLiteral("decimal"));
    formatCombo->addItem(QStringLiteral("Degrees and minutes"), QStringLiteral("dm"));
    formatCombo->addItem(QStringLiteral("UTM"), QStringLiteral("utm"));
    headingOffsetInput->setToolTip(QStringLiteral("The sonar's heading relative to the vessel's, clockwise"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* grid = PanelLayout::section();
    PanelLayout::addRow(grid, QStringLiteral("NMEA Input:"), kindCombo, this);
    PanelLayout::addRow(grid, QStringLiteral("Address:"), addressInput, this);
    grid->addWidget(inputStatus, grid->rowCount(), 0, 1, 2);
    PanelLayout::addRow(grid, QStringLiteral("Position Format:"), formatCombo, this);
    PanelLayout::addRow(grid, QStringLiteral("Mounting Heading:"), headingOffsetInput, this);
    PanelLayout::addRow(grid, QStringLiteral("Mounting Forward:"), forwardInput, this);
    PanelLayout::addRow(grid, QStringLiteral("Mounting Starboard:"), starboardInput, this);
    layout->addLayout(grid);

    connect(kindCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        addressInput->setEnabled(index > 0);
        addressInput->setPlaceholderText(QString::fromLatin1(placeholders[std::max(index, 0)]));
        applyInput();
    });
    connect(addressInput, &QLineEdit::editingFinished, this, &NavigationSettings::applyInput);
    connect(formatCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        if (!loading) {
            store->setValue(QString::fromLatin1(NavigationFeed::formatKey), formatCombo->currentData());
            store->sync();
        }
    });
    for (auto* box : {headingOffsetInput, forwardInput, starboardInput}) {
        connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &NavigationSettings::storeMounting);
    }
    addressInput->setEnabled(false);
}

NavigationSettings::~NavigationSettings() = default;

void NavigationSettings::setFeed(NavigationFeed* navigationFeed)
{
    feed = navigationFeed;
    if (feed != nullptr && !feed->input().isEmpty()) {
        inputStatus->setText(QStringLiteral("Reading %1").arg(feed->input()));
    }
}

void NavigationSettings::loadSettings()
{
    loading = true;
    store->sync();
    const QString input = store->value(QString::fromLatin1(NavigationFeed::inputKey)).toString().trimmed();
    const int colon = input.indexOf(QLatin1Char(':'));
    int kind = 0;
    for (int i = 1; i < 4; ++i) {
        if (colon > 0 && input.left(colon) == QString::fromLatin1(kinds[i])) {
            kind = i;
        }
    }
    kindCombo->setCurrentIndex(kind);
    addressInput->setText(kind > 0 ? input.mid(colon + 1) : QString());
    addressInput->setEnabled(kind > 0);
    const int format = formatCombo->findData(store->value(QString::fromLatin1(NavigationFeed::formatKey)));
    formatCombo->setCurrentIndex(std::max(format, 0));
    const auto mounting = NavigationFeed::mounting();
    headingOffsetInput->setValue(mounting.headingOffset);
    forwardInput->setValue(mounting.forward);
    starboardInput->setValue(mounting.starboard);
    loading = false;
}

QString NavigationSettings::endpoint() const
{
    const int kind = kindCombo->currentIndex();
    if (kind <= 0 || addressInput->text().trimmed().isEmpty()) {
        return {};
    }
    return QString::fromLatin1(kinds[kind]) + QLatin1Char(':') + addressInput->text().trimmed();
}

void NavigationSettings::applyInput()
{
    if (loading) {
        return;
    }
    const QString wanted = endpoint();
    if (kindCombo->currentIndex() > 0 && wanted.isEmpty()) {
        inputStatus->setText(QStringLiteral("Type the address to read from."));
        return;
    }
    if (feed != nullptr && feed->input() == wanted) {
        return;
    }
    QString error;
    if (feed != nullptr && !feed->setInput(wanted, &error)) {
        // Refused or not opened: kept out of the settings, so that the next
        // start does not fail the same way.
        inputStatus->setText(QStringLiteral("Cannot read %1: %2").arg(wanted, error));
        return;
    }
    store->setValue(QString::fromLatin1(NavigationFeed::inputKey), wanted);
    store->sync();
    inputStatus->setText(wanted.isEmpty() ? QStringLiteral("No navigation input")
                                          : QStringLiteral("Reading %1").arg(wanted));
}

void NavigationSettings::storeMounting()
{
    if (loading) {
        return;
    }
    store->setValue(QString::fromLatin1(NavigationFeed::headingOffsetKey), headingOffsetInput->value());
    store->setValue(QString::fromLatin1(NavigationFeed::forwardKey), forwardInput->value());
    store->setValue(QString::fromLatin1(NavigationFeed::starboardKey), starboardInput->value());
    store->sync();
    // The input hands the mounting to what it records when it starts.
    if (feed != nullptr && !feed->input().isEmpty()) {
        feed->setInput(feed->input());
    }
}

} // namespace Keldar::OndrixLumivane
