#pragma once

#include "controller/MetaTypes.h"

#include <keldar/gui/BasicPopOutWidget.h>
#include <keldar/ondrix/SonarTypes.h>

#include <QIcon>

#include <cstdint>
#include <functional>
#include <unordered_map>

class QLabel;
class QListWidget;
class QListWidgetItem;

namespace Keldar::OndrixLumivane {

// The sonars seen on the network, as a pop-out of the main toolbar's list
// button. Sonars that cannot take a connection are listed but disabled.
class SonarListControls : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    using DeviceInfo = Ondrix::DeviceInfo;
    using SonarMap = std::unordered_map<std::uint32_t, DeviceInfo>;
    static constexpr int gap = 8;
    static constexpr int iconSize = 72;

    explicit SonarListControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);

    QListWidget* getListWidget() const;
    /// While a connection is being made the list says so and takes no other
    /// choice.
    void setConnecting(bool connecting);
    [[nodiscard]] bool isConnecting() const;
    /// Where the count of status datagrams that listed no sonar comes from;
    /// it is read every second and shown under the list when not 0.
    void setIgnoredStatusSource(std::function<std::uint64_t()> source);

    // The picture of the model's variant (the letter at the end of its name).
    static QString devicePicture(const std::string& modelName);
    // The picture as an icon, shared by every entry and rebuild (GUI thread).
    static QIcon deviceIcon(const std::string& modelName);
    // The four lines an entry shows.
    static QString entryText(const DeviceInfo& info);

Q_SIGNALS:
    void sonarSelected(std::uint32_t serialNumber);

public Q_SLOTS:
    void onNewListAvailable(Keldar::OndrixLumivane::SonarListControls::SonarMap sonars);
    void sonarClicked(QListWidgetItem* item);

protected:
    void changeEvent(QEvent* event) override;

private:
    // Unavailable sonars in a dimmed text colour of the current theme.
    void dimUnavailableEntries();

    QListWidget* list;
    QLabel* connectingLabel;
    QLabel* ignoredLabel;
    std::function<std::uint64_t()> ignoredSource;
};

} // namespace Keldar::OndrixLumivane
