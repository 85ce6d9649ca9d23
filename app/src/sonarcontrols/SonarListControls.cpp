#include "sonarcontrols/SonarListControls.h"

#include "base/ViewerContext.h"

#include <keldar/core/DottedQuadValue.h>
#include <keldar/gui/ThemeManager.h>

#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QMetaType>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <utility>
#include <vector>

namespace Keldar::OndrixLumivane {

namespace {

int prefixLength(const std::string& mask)
{
    try {
        return std::popcount(DottedQuadValue(mask).toUint32_t());
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace

SonarListControls::SonarListControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, gap, parent)
    , list(new QListWidget(this))
    // Laid over the list rather than beside it: the pop-out keeps its size and
    // shape while it shows.
    , connectingLabel(new QLabel(QStringLiteral("Connecting…"), this))
    , ignoredLabel(new QLabel(this))
{
    qRegisterMetaType<DeviceInfo>("Ondrix::OndrixSonar::DeviceInfo");
    list->setObjectName(QStringLiteral("sonarListWidget"));
    list->setIconSize(QSize(iconSize, iconSize));
    list->setSpacing(2);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list);
    // A flood of foreign or made-up statuses is otherwise invisible.
    ignoredLabel->setObjectName(QStringLiteral("ignoredStatusLabel"));
    ignoredLabel->setAlignment(Qt::AlignCenter);
    ignoredLabel->hide();
    layout->addWidget(ignoredLabel);
    auto* ignoredTimer = new QTimer(this);
    connect(ignoredTimer, &QTimer::timeout, this, [this] {
        const std::uint64_t count = ignoredSource ? ignoredSource() : 0;
        ignoredLabel->setText(QStringLiteral("%1 foreign status datagrams ignored").arg(count));
        ignoredLabel->setVisible(count > 0);
    });
    ignoredTimer->start(1000);
    connectingLabel->setObjectName(QStringLiteral("connectingLabel"));
    connectingLabel->setAlignment(Qt::AlignCenter);
    connectingLabel->hide();
    connect(list, &QListWidget::itemClicked, this, &SonarListControls::sonarClicked);
    onNewListAvailable({});
}

QListWidget* SonarListControls::getListWidget() const
{
    return list;
}

void SonarListControls::setConnecting(bool connecting)
{
    list->setEnabled(!connecting);
    if (connecting) {
        // Covers the entries in the current theme's colours.
        if (const auto* themes = ViewerContext::instance()->getThemeManager()) {
            connectingLabel->setStyleSheet(
                QStringLiteral("background-color: %1; color: %2; font-size: 15px;")
                    .arg(themes->getThemeColour(QStringLiteral("@primaryBackground")).name(),
                         themes->getThemeColour(QStringLiteral("@primaryForeground")).name()));
        }
    }
    connectingLabel->setGeometry(list->geometry());
    connectingLabel->raise();
    connectingLabel->setVisible(connecting);
}

void SonarListControls::setIgnoredStatusSource(std::function<std::uint64_t()> source)
{
    ignoredSource = std::move(source);
}

bool SonarListControls::isConnecting() const
{
    return !connectingLabel->isHidden();
}

QString SonarListControls::devicePicture(const std::string& modelName)
{
    const char variant = modelName.empty() ? '\0' : modelName.back();
    switch (variant) {
    case 'C':
        return QStringLiteral(":/keldar-ondrix-visualisation/icons/devices/Ondrix_Verdane.png");
    case 'B':
        return QStringLiteral(":/keldar-ondrix-visualisation/icons/devices/Ondrix_Halcyr.png");
    case 'F':
        return QStringLiteral(":/keldar-ondrix-visualisation/icons/devices/Ondrix_Morvel.png");
    default:
        return QStringLiteral(":/keldar-ondrix-visualisation/icons/devices/Ondrix.png");
    }
}

QIcon SonarListControls::deviceIcon(const std::string& modelName)
{
    // Decoded once per picture: the list is rebuilt at every change of the
    // visible sonars, and decoding a picture per entry each time kept the GUI
    // thread busy for seconds under a flood of status datagrams.
    static QHash<QString, QIcon> icons;
    const QString path = devicePicture(modelName);
    auto found = icons.constFind(path);
    if (found == icons.constEnd()) {
        found = icons.insert(path, QIcon(path));
    }
    return *found;
}

QString SonarListControls::entryText(const DeviceInfo& info)
{
    return QStringLiteral("Ondrix ") + QString::fromStdString(info.spec.name) + QStringLiteral("\nIP: ") +
           QString::fromStdString(info.ipAddress) + QStringLiteral("/") +
           QString::number(prefixLength(info.subnetMask)) + QStringLiteral("\nSerial Number: ") +
           QString::number(info.serialNumber) + QStringLiteral("\nFirmware Version: ") +
           QString::fromStdString(info.firmwareVersion);
}

void SonarListControls::onNewListAvailable(SonarMap sonars)
{
    list->clear();
    // The map has no order of its own; by serial number the list does not
    // reshuffle each time a status datagram refreshes it.
    std::vector<const DeviceInfo*> ordered;
    ordered.reserve(sonars.size());
    for (const auto& entry : sonars) {
        ordered.push_back(&entry.second);
    }
    std::sort(ordered.begin(), ordered.end(),
              [](const DeviceInfo* a, const DeviceInfo* b) { return a->serialNumber < b->serialNumber; });
    for (const DeviceInfo* info : ordered) {
        auto* item = new QListWidgetItem(deviceIcon(info->spec.name), entryText(*info), list);
        item->setData(Qt::UserRole, QVariant::fromValue(info->serialNumber));
        if (!info->connectable) {
            item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
        }
    }
    if (ordered.empty()) {
        auto* item = new QListWidgetItem(QStringLiteral("No sonars detected"), list);
        item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
    }
    dimUnavailableEntries();
    // Tall enough for every entry up to a handful; beyond that the list scrolls.
    const int rows = std::clamp(list->count(), 1, 4);
    const int rowHeight = std::max(list->sizeHintForRow(0), iconSize) + 2 * list->spacing();
    list->setFixedHeight(rows * rowHeight + 2 * list->frameWidth());
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + 4);
    adjustSize();
}

void SonarListControls::changeEvent(QEvent* event)
{
    BasicPopOutWidget::changeEvent(event);
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange) {
        dimUnavailableEntries();
    }
}

void SonarListControls::dimUnavailableEntries()
{
    // The theme's stylesheet gives list entries one colour whatever their state.
    QColor dimmed = list->palette().color(QPalette::Text);
    dimmed.setAlphaF(0.45);
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        if (!(item->flags() & Qt::ItemIsEnabled)) {
            item->setForeground(dimmed);
        }
    }
}

void SonarListControls::sonarClicked(QListWidgetItem* item)
{
    if (item == nullptr || !(item->flags() & Qt::ItemIsEnabled) || isConnecting()) {
        return;
    }
    Q_EMIT sonarSelected(item->data(Qt::UserRole).value<std::uint32_t>());
}

} // namespace Keldar::OndrixLumivane
