#pragma once

#include "base/ToolbarBase.h"
#include "sonarcontrols/SonarListControls.h"

#include <cstdint>
#include <functional>
#include <string>

class QFrame;

namespace Keldar::GUI::Widgets::Buttons {
class PopOutWidgetButton;
class SvgButton;
} // namespace Keldar::GUI::Widgets::Buttons

namespace Keldar::OndrixLumivane {

// Top of the sidebar: pick a sonar or a log file, and leave either. Its
// buttons follow the window mode: a source can be opened only when none is.
class MainToolbar : public ToolbarBase
{
    Q_OBJECT

public:
    using SonarMap = SonarListControls::SonarMap;
    // (parent, title, folder, filter) → chosen path or empty; a seam so that
    // tests can answer the open-file dialog.
    using FileChooser = std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

    explicit MainToolbar(QWidget* parent = nullptr);

    void setFileChooser(FileChooser chooser);
    SonarListControls* getSonarList() const;
    QString getLastLogFolder() const;

    // Moves the sonar list into the window's display area, hidden.
    void placePopOuts();

Q_SIGNALS:
    void connectToSonar(std::uint32_t serialNumber);
    void disconnectFromSonar();
    void newVisibleSonarsList(Keldar::OndrixLumivane::MainToolbar::SonarMap list);
    void openLogFile(std::string file);
    void closeLogFile();

public Q_SLOTS:
    void sonarConnected();
    void connectingToSonar();
    /// A connection under way ended without a sonar.
    void connectingEnded();
    void resetToolbar();
    void logFileDialogRequested();
    void logfileOpened();
    // The log folder of the settings: where the first open dialog starts.
    void setLogFolder(const QString& folder);

    void restoreState(int mode) override;
    void saveState() override;
    void resetControls() override;

private:
    GUI::Widgets::Buttons::PopOutWidgetButton* sonarListButton;
    GUI::Widgets::Buttons::SvgButton* openFileButton;
    GUI::Widgets::Buttons::SvgButton* disconnectButton;
    GUI::Widgets::Buttons::SvgButton* closeFileButton;
    QFrame* divider;
    SonarListControls* sonarList;
    FileChooser fileChooser;
    QString lastLogFolder;
    QString logFolder;
};

} // namespace Keldar::OndrixLumivane
