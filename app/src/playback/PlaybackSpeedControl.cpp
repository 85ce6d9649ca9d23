#include "playback/PlaybackSpeedControl.h"

#include <keldar/gui/FloatingWidgetHandle.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <array>

namespace Keldar::OndrixLumivane {

PlaybackSpeedControl::PlaybackSpeedControl(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, gap, parent)
    , slider(new QSlider(Qt::Horizontal, this))
    , speedLabel(new QLabel(QStringLiteral("1"), this))
    , xLabel(new QLabel(QStringLiteral("x"), this))
{
    setObjectName(QStringLiteral("playbackSpeedControl"));
    slider->setObjectName(QStringLiteral("speedSlider"));
    slider->setRange(0, 5);
    slider->setPageStep(1);
    slider->setValue(2);
    slider->setTickPosition(QSlider::NoTicks);
    slider->setMinimumWidth(140);
    speedLabel->setObjectName(QStringLiteral("speedLabel"));
    speedLabel->setMinimumWidth(28);
    speedLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    xLabel->setObjectName(QStringLiteral("xLabel"));
    auto* handle = new GUI::Widgets::AddOns::FloatingWidgetHandle(this);
    handle->setObjectName(QStringLiteral("handle"));
    handle->setFixedWidth(8);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(slider, 1);
    layout->addSpacing(4);
    layout->addWidget(speedLabel);
    layout->addWidget(xLabel);
    layout->addWidget(handle);
    setDragHandle(handle);

    connect(slider, &QSlider::valueChanged, this, [this](int position) {
        const float speed = multiplier(position);
        speedLabel->setText(QString::number(static_cast<double>(speed), 'g', 6));
        Q_EMIT speedRequested(speed);
    });
}

float PlaybackSpeedControl::multiplier(int position)
{
    constexpr std::array<float, 6> speeds{0.25F, 0.5F, 1.0F, 2.0F, 4.0F, 8.0F};
    return speeds.at(static_cast<std::size_t>(std::clamp(position, 0, 5)));
}

QSlider* PlaybackSpeedControl::getSlider() const
{
    return slider;
}

QString PlaybackSpeedControl::getSpeedText() const
{
    return speedLabel->text() + xLabel->text();
}

} // namespace Keldar::OndrixLumivane
