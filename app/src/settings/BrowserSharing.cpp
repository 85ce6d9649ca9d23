#include "settings/BrowserSharing.h"

#include "base/PanelLayout.h"
#include "base/SettingsStore.h"
#include "settings/SettingsDefaults.h"

#include <keldar/gui/ToggleSwitch.h>
#include <keldar/visualisation/FanDisplayOptions.h>
#include <keldar/web/ShareServer.h>

#include <QGridLayout>
#include <QLabel>
#include <QNetworkInterface>
#include <QPixmap>
#include <QSettings>
#include <QSignalBlocker>
#include <QSpinBox>

#include <qrencode.h>

#include <algorithm>

namespace Keldar::OndrixLumivane {

namespace {
constexpr const char* shareKey = "GeneralSettings/shareInBrowser";
constexpr const char* networkKey = "GeneralSettings/shareOnNetwork";
constexpr const char* maxClientsKey = "GeneralSettings/shareMaxClients";
constexpr const char* portKey = "GeneralSettings/sharePort";
constexpr int defaultMaxClients = 8;
constexpr int defaultPort = 8090;

// The address other devices reach this machine at: its first IPv4 address
// that is up and not loopback, else loopback.
QString networkHost()
{
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        if (!(interface.flags() & QNetworkInterface::IsUp) || (interface.flags() & QNetworkInterface::IsLoopBack)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                return entry.ip().toString();
            }
        }
    }
    return QStringLiteral("127.0.0.1");
}
} // namespace

using GUI::Widgets::Controls::ToggleSwitch;

BrowserSharing::BrowserSharing(QWidget* parent)
    : QWidget(parent)
    , store(openSettingsStore())
    , shareToggle(new ToggleSwitch(this))
    , networkToggle(new ToggleSwitch(this))
    , maxClientsInput(new QSpinBox(this))
    , addressLabel(new QLabel(this))
    , qrLabel(new QLabel(this))
{
    shareToggle->setObjectName(QStringLiteral("shareInBrowser"));
    networkToggle->setObjectName(QStringLiteral("shareOnNetwork"));
    maxClientsInput->setObjectName(QStringLiteral("shareMaxClients"));
    maxClientsInput->setRange(1, 64);
    maxClientsInput->setValue(defaultMaxClients);
    addressLabel->setObjectName(QStringLiteral("shareAddress"));
    addressLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addressLabel->setWordWrap(true);
    qrLabel->setObjectName(QStringLiteral("shareQrCode"));
    qrLabel->setAlignment(Qt::AlignCenter);

    auto* grid = PanelLayout::section();
    setLayout(grid);
    grid->setContentsMargins(0, 0, 0, 0);
    PanelLayout::addRow(grid, QStringLiteral("Share in a Browser:"), shareToggle, this);
    PanelLayout::addRow(grid, QStringLiteral("Open to the Network:"), networkToggle, this);
    PanelLayout::addRow(grid, QStringLiteral("Most Viewers:"), maxClientsInput, this);
    grid->addWidget(addressLabel, grid->rowCount(), 0, 1, 2);
    grid->addWidget(qrLabel, grid->rowCount(), 0, 1, 2);

    // The window's palette as stored, until it tells its own.
    const auto stored = [this](const char* name, int fallback) {
        return store->value(QStringLiteral("PaletteControl/") + QString::fromLatin1(name), fallback).toInt();
    };
    palette = stored("palette", 0);
    fireModifier = static_cast<std::uint8_t>(stored("firePaletteModifier", 127));
    aquaModifier = static_cast<std::uint8_t>(stored("aquaPaletteModifier", 127));

    connect(shareToggle, &ToggleSwitch::toggled, this, [this](bool on) {
        store->setValue(QString::fromLatin1(shareKey), on);
        apply();
    });
    connect(networkToggle, &ToggleSwitch::toggled, this, [this](bool on) {
        store->setValue(QString::fromLatin1(networkKey), on);
        apply();
    });
    connect(maxClientsInput, &QSpinBox::editingFinished, this, [this] {
        store->setValue(QString::fromLatin1(maxClientsKey), maxClientsInput->value());
        apply();
    });
    apply();
}

BrowserSharing::~BrowserSharing() = default;

void BrowserSharing::loadSettings()
{
    store->sync();
    {
        // One start with every stored value, not one per switch.
        const QSignalBlocker shareBlocker(shareToggle);
        const QSignalBlocker networkBlocker(networkToggle);
        maxClientsInput->setValue(store->value(QString::fromLatin1(maxClientsKey), defaultMaxClients).toInt());
        networkToggle->setState(store->value(QString::fromLatin1(networkKey), false).toBool());
        shareToggle->setState(store->value(QString::fromLatin1(shareKey), false).toBool());
    }
    apply();
}

bool BrowserSharing::isSharing() const
{
    return server != nullptr;
}

QString BrowserSharing::address() const
{
    if (!server) {
        return {};
    }
    return QString::fromStdString(server->address(networkToggle->isEnabled() ? networkHost().toStdString() : ""));
}

// Restarts the server with the switches' values: a change of address or of
// the most viewers takes a new listening socket; the page reconnects by itself.
void BrowserSharing::apply()
{
    const bool wanted = shareToggle->isEnabled();
    server.reset();
    QString problem;
    if (wanted) {
        Web::ServerSettings settings;
        settings.bind = networkToggle->isEnabled() ? "0.0.0.0" : "127.0.0.1";
        settings.port = static_cast<std::uint16_t>(store->value(QString::fromLatin1(portKey), defaultPort).toUInt());
        settings.maxClients = static_cast<std::size_t>(maxClientsInput->value());
        try {
            server = std::make_unique<Web::ShareServer>(settings);
            server->setIdentity({serial, model, "live"});
            server->setOnline(online);
            server->setPalette(palette, fireModifier, aquaModifier);
        } catch (const std::exception& error) {
            problem = QString::fromStdString(error.what());
        }
    }
    if (server) {
        const QString url = address();
        addressLabel->setText(url);
        const QImage code = qrCode(url, 4);
        qrLabel->setPixmap(QPixmap::fromImage(code));
        qrLabel->setVisible(!code.isNull());
    } else {
        addressLabel->setText(wanted ? QStringLiteral("Cannot share: ") + problem : QStringLiteral("Not shared"));
        qrLabel->clear();
        qrLabel->hide();
    }
    Q_EMIT sharingChanged(server != nullptr, problem);
}

QImage BrowserSharing::qrCode(const QString& text, int scale)
{
    const QByteArray bytes = text.toUtf8();
    QRcode* code = QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (code == nullptr) {
        return {};
    }
    constexpr int quiet = 4; // modules of white around the code, as readers expect
    const int size = (code->width + 2 * quiet) * scale;
    QImage image(size, size, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            if ((code->data[y * code->width + x] & 1U) == 0) {
                continue;
            }
            for (int dy = 0; dy < scale; ++dy) {
                uchar* line = image.scanLine((y + quiet) * scale + dy);
                std::fill_n(line + (x + quiet) * scale, scale, uchar{0});
            }
        }
    }
    QRcode_free(code);
    return image;
}

void BrowserSharing::showImage(const Keldar::Ondrix::OndrixImage& image)
{
    const auto now = std::chrono::steady_clock::now();
    imageTimes.push_back(now);
    while (now - imageTimes.front() > std::chrono::seconds(1)) {
        imageTimes.pop_front();
    }
    if (server) {
        const Whereabouts where = navigation ? navigation() : Whereabouts{};
        server->publish(image, {static_cast<double>(imageTimes.size()), recording, where.position, where.heading});
    }
}

void BrowserSharing::setNavigation(std::function<Whereabouts()> source)
{
    navigation = std::move(source);
}

void BrowserSharing::setOnline(bool isOnline)
{
    online = isOnline;
    if (server) {
        server->setOnline(isOnline);
    }
}

void BrowserSharing::setRecording(bool isRecording)
{
    recording = isRecording;
}

void BrowserSharing::setSonar(uint32_t serialNumber, const std::string& modelName)
{
    serial = serialNumber;
    model = modelName;
    if (server) {
        server->setIdentity({serial, model, "live"});
    }
}

void BrowserSharing::setPalette(int chosen)
{
    palette = chosen;
    if (server) {
        server->setPalette(palette, fireModifier, aquaModifier);
    }
}

void BrowserSharing::setPaletteModifier(int modifier)
{
    using Palette = Ondrix::Visualisation::FanDisplayOptions::Palette;
    const auto value = static_cast<std::uint8_t>(std::clamp(modifier, 0, 255));
    if (palette == Palette::DynamicFire) {
        fireModifier = value;
    } else if (palette == Palette::DynamicAqua) {
        aquaModifier = value;
    }
    if (server) {
        server->setPalette(palette, fireModifier, aquaModifier);
    }
}

} // namespace Keldar::OndrixLumivane
