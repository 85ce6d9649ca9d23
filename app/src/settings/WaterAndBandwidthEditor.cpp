#include "settings/WaterAndBandwidthEditor.h"

#include "base/PanelLayout.h"
#include "base/ViewerContext.h"
#include "settings/SettingsDefaults.h"

#include <keldar/core/Units/AbstractUnit.h>

#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace Keldar::OndrixLumivane {

WaterAndBandwidthEditor::WaterAndBandwidthEditor(QWidget* parent)
    : QWidget(parent)
    , freshWaterOption(new QRadioButton(QStringLiteral("Fresh Water"), this))
    , saltWaterOption(new QRadioButton(QStringLiteral("Salt Water"), this))
    , customOption(new QRadioButton(QStringLiteral("Custom:"), this))
    , speedInput(new QLineEdit(this))
    , speedUnits(new QLabel(QStringLiteral(" m/s"), this))
    , salinityInput(new QLineEdit(this))
    , bandwidthInput(new QSlider(Qt::Horizontal, this))
{
    freshWaterOption->setObjectName(QStringLiteral("freshWaterOption"));
    saltWaterOption->setObjectName(QStringLiteral("saltWaterOption"));
    customOption->setObjectName(QStringLiteral("customOption"));
    speedInput->setObjectName(QStringLiteral("speedInput"));
    speedInput->setValidator(new QDoubleValidator(0.0, 100000.0, 3, speedInput));
    speedInput->setMaximumWidth(90);
    speedInput->setText(QString::fromLatin1(Settings::defaultManualSpeed));
    salinityInput->setObjectName(QStringLiteral("salinityInput"));
    salinityInput->setValidator(new QDoubleValidator(0.0, 100.0, 2, salinityInput));
    salinityInput->setMaximumWidth(90);
    salinityInput->setText(QStringLiteral("0"));
    speedUnits->setObjectName(QStringLiteral("speedOfSoundUnits"));
    bandwidthInput->setObjectName(QStringLiteral("bandwidthInput"));
    bandwidthInput->setRange(10, 100);
    bandwidthInput->setValue(Settings::defaultBandwidthLimit);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* environment = PanelLayout::section();
    environment->addWidget(freshWaterOption, 0, 0);
    environment->addWidget(saltWaterOption, 1, 0);
    environment->addWidget(customOption, 2, 0);
    environment->addWidget(new QLabel(QStringLiteral("Speed of Sound:"), this), 2, 1, Qt::AlignRight);
    auto* speedRow = new QHBoxLayout;
    speedRow->setSpacing(2);
    speedRow->addStretch(1);
    speedRow->addWidget(speedInput);
    speedRow->addWidget(speedUnits);
    environment->addLayout(speedRow, 3, 0, 1, 2);
    // Custom water may be salt too: its density sets the depth.
    environment->addWidget(new QLabel(QStringLiteral("Salinity:"), this), 4, 1, Qt::AlignRight);
    auto* salinityRow = new QHBoxLayout;
    salinityRow->setSpacing(2);
    salinityRow->addStretch(1);
    salinityRow->addWidget(salinityInput);
    salinityRow->addWidget(new QLabel(QStringLiteral(" ppt"), this));
    environment->addLayout(salinityRow, 5, 0, 1, 2);
    layout->addLayout(environment);
    auto* network = PanelLayout::section();
    network->addWidget(new QLabel(QStringLiteral("Bandwidth Usage:"), this), 0, 0, 1, 3);
    network->addWidget(new QLabel(QStringLiteral("Min"), this), 1, 0);
    network->addWidget(bandwidthInput, 1, 1);
    network->addWidget(new QLabel(QStringLiteral("Max"), this), 1, 2);
    layout->addLayout(network);
    showEnvironment(Settings::FreshWater);

    connect(freshWaterOption, &QRadioButton::clicked, this, [this] { environmentClicked(Settings::FreshWater); });
    connect(saltWaterOption, &QRadioButton::clicked, this, [this] { environmentClicked(Settings::SaltWater); });
    connect(customOption, &QRadioButton::clicked, this, [this] { environmentClicked(Settings::CustomEnvironment); });
    for (QLineEdit* field : {speedInput, salinityInput}) {
        connect(field, &QLineEdit::editingFinished, this, [this] {
            if (customOption->isChecked()) {
                const Settings::Water water = chosenWater();
                Q_EMIT waterChosen(water.speedOfSound, water.salinity);
            }
        });
    }
    connect(bandwidthInput, &QSlider::valueChanged, this,
            [this](int value) { Q_EMIT bandwidthChosen(static_cast<uint8_t>(value)); });
}

int WaterAndBandwidthEditor::environmentIndex() const
{
    return freshWaterOption->isChecked()  ? Settings::FreshWater
           : saltWaterOption->isChecked() ? Settings::SaltWater
                                          : Settings::CustomEnvironment;
}

QString WaterAndBandwidthEditor::speedText() const
{
    return speedInput->text();
}

QString WaterAndBandwidthEditor::salinityText() const
{
    return salinityInput->text();
}

int WaterAndBandwidthEditor::bandwidth() const
{
    return bandwidthInput->value();
}

Settings::Water WaterAndBandwidthEditor::chosenWater() const
{
    switch (environmentIndex()) {
    case Settings::FreshWater:
        return {};
    case Settings::SaltWater:
        return {0.0, Settings::saltWaterSalinity};
    default:
        // The field is read in the unit its label shows; the sonar takes
        // metres per second.
        return {Settings::typedSpeedOfSound(speedInput->text(), ViewerContext::instance()->getSpeedUnit()),
                Settings::typedSalinity(salinityInput->text())};
    }
}

void WaterAndBandwidthEditor::choose(int environment, const QString& speed, const QString& salinity, int limit)
{
    speedInput->setText(speed);
    salinityInput->setText(salinity);
    switch (environment) {
    case Settings::SaltWater:
        saltWaterOption->click();
        break;
    case Settings::CustomEnvironment:
        customOption->click();
        break;
    default:
        freshWaterOption->click();
        break;
    }
    {
        const QSignalBlocker blocker(bandwidthInput);
        bandwidthInput->setValue(limit);
    }
    // Sent even when unchanged, so that it is always heard once.
    Q_EMIT bandwidthChosen(static_cast<uint8_t>(bandwidthInput->value()));
}

void WaterAndBandwidthEditor::showSetup(const Settings::Water& water, int limit)
{
    int index = Settings::CustomEnvironment;
    if (water.speedOfSound <= 0.0 && water.salinity == 0.0) {
        index = Settings::FreshWater;
    } else if (water.speedOfSound <= 0.0 && water.salinity == Settings::saltWaterSalinity) {
        index = Settings::SaltWater;
    }
    showEnvironment(index);
    if (water.speedOfSound > 0.0) {
        speedInput->setText(Settings::speedText(water.speedOfSound / speedFieldFactor));
    }
    if (index == Settings::CustomEnvironment) {
        salinityInput->setText(Settings::speedText(water.salinity));
        if (water.speedOfSound <= 0.0) {
            speedInput->clear(); // the sonar's own speed of sound
        }
    }
    const QSignalBlocker blocker(bandwidthInput);
    bandwidthInput->setValue(limit);
}

void WaterAndBandwidthEditor::updateSpeedUnit()
{
    const auto* unit = ViewerContext::instance()->getSpeedUnit();
    if (unit == nullptr) {
        return;
    }
    speedUnits->setText(QStringLiteral(" ") + QString::fromStdString(unit->getSymbol()));
    // The number keeps its speed: 1481 m/s becomes 4858.924 ft/s, not 1481 ft/s.
    const double factor = unit->toSI(1.0);
    bool ok = false;
    const double typed = speedInput->text().trimmed().toDouble(&ok);
    if (ok && factor > 0.0 && factor != speedFieldFactor) {
        speedInput->setText(Settings::speedText(unit->fromSI(typed * speedFieldFactor)));
    }
    if (factor > 0.0) {
        speedFieldFactor = factor;
    }
}

void WaterAndBandwidthEditor::environmentClicked(int index)
{
    showEnvironment(index);
    const Settings::Water water = chosenWater();
    Q_EMIT waterChosen(water.speedOfSound, water.salinity);
}

void WaterAndBandwidthEditor::showEnvironment(int index)
{
    QRadioButton* option = index == Settings::SaltWater           ? saltWaterOption
                           : index == Settings::CustomEnvironment ? customOption
                                                                  : freshWaterOption;
    option->setChecked(true);
    for (QLineEdit* field : {speedInput, salinityInput}) {
        field->setReadOnly(option != customOption);
        field->setEnabled(option == customOption);
    }
}

} // namespace Keldar::OndrixLumivane
