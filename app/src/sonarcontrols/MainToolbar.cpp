#include "sonarcontrols/MainToolbar.h"

#include "base/ViewerContext.h"

#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgButton.h>

#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QVBoxLayout>
#include <QVariant>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Buttons::PopOutWidgetButton;
using GUI::Widgets::Buttons::SvgButton;

MainToolbar::MainToolbar(QWidget* parent)
    : ToolbarBase(parent)
    , sonarListButton(makeButton<PopOutWidgetButton>(QStringLiteral("sonarListButton"),
                                                     QStringLiteral(":/keldar-icons/Ondrix/ListSonars.svg"),
                                                     QStringLiteral("Connect to a sonar"), this))
    , openFileButton(makeButton<SvgButton>(QStringLiteral("openFileButton"),
                                           QStringLiteral(":/keldar-icons/General/OpenFile.svg"),
                                           QStringLiteral("Playback a log file"), this))
    , disconnectButton(makeButton<SvgButton>(QStringLiteral("disconnectButton"),
                                             QStringLiteral(":/keldar-icons/Ondrix/DisconnectFromSonar.svg"),
                                             QStringLiteral("Disconnect from the sonar"), this))
    , closeFileButton(makeButton<SvgButton>(QStringLiteral("closeFileButton"),
                                            QStringLiteral(":/keldar-icons/General/CloseFile.svg"),
                                            QStringLiteral("Close the open log file"), this))
    , divider(new QFrame(this))
    // Kept inside the toolbar until placePopOuts moves it: never a window of its own.
    , sonarList(new SonarListControls(sonarListButton, this))
    , fileChooser([](QWidget* owner, const QString& title, const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(owner, title, folder, filter);
    })
{
    setMinimumWidth(36);
    openFileButton->setCheckable(true);
    divider->setObjectName(QStringLiteral("mainToolbarDivider"));
    divider->setProperty("class", QStringLiteral("toolbarDivider"));
    divider->setFrameShape(QFrame::HLine);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    for (QWidget* button : {static_cast<QWidget*>(sonarListButton), static_cast<QWidget*>(openFileButton),
                            static_cast<QWidget*>(disconnectButton), static_cast<QWidget*>(closeFileButton)}) {
        layout->addWidget(button, 0, Qt::AlignHCenter);
    }
    layout->addWidget(divider);
    addPopOut(sonarList);

    // The list stays open while the connection is made: it tells how that goes.
    connect(sonarList, &SonarListControls::sonarSelected, this, &MainToolbar::connectToSonar);
    connect(openFileButton, &QAbstractButton::clicked, this, [this] {
        if (sonarListButton->isChecked()) {
            sonarListButton->toggle();
        }
        logFileDialogRequested();
    });
    connect(disconnectButton, &QAbstractButton::clicked, this, &MainToolbar::disconnectFromSonar);
    connect(closeFileButton, &QAbstractButton::clicked, this, &MainToolbar::closeLogFile);
    connect(this, &MainToolbar::newVisibleSonarsList, sonarList, &SonarListControls::onNewListAvailable);
    connect(ViewerContext::instance(), &ViewerContext::uiConstructed, this, &MainToolbar::placePopOuts);
    resetToolbar();
}

void MainToolbar::setFileChooser(FileChooser chooser)
{
    fileChooser = std::move(chooser);
}

SonarListControls* MainToolbar::getSonarList() const
{
    return sonarList;
}

QString MainToolbar::getLastLogFolder() const
{
    return lastLogFolder;
}

void MainToolbar::placePopOuts()
{
    QWidget* area = window()->findChild<QWidget*>(QStringLiteral("mainDisplayArea"));
    placePopOutsIn(area != nullptr ? area : window());
}

void MainToolbar::sonarConnected()
{
    if (sonarListButton->isChecked()) {
        sonarListButton->setChecked(false);
    }
    sonarList->setConnecting(false);
    sonarListButton->hide();
    openFileButton->hide();
    closeFileButton->hide();
    disconnectButton->show();
}

void MainToolbar::connectingToSonar()
{
    sonarList->setConnecting(true);
}

void MainToolbar::connectingEnded()
{
    sonarList->setConnecting(false);
}

void MainToolbar::resetToolbar()
{
    sonarList->setConnecting(false);
    sonarListButton->show();
    openFileButton->show();
    disconnectButton->hide();
    closeFileButton->hide();
}

void MainToolbar::logFileDialogRequested()
{
    const QString file =
        fileChooser(window(), QStringLiteral("Open Log File"), lastLogFolder.isEmpty() ? logFolder : lastLogFolder,
                    QStringLiteral("Ondrix Log Files (*.ondrix)"));
    openFileButton->setChecked(false);
    if (file.isEmpty()) {
        return;
    }
    lastLogFolder = QFileInfo(file).absolutePath();
    Q_EMIT openLogFile(QFile::encodeName(file).toStdString());
}

void MainToolbar::setLogFolder(const QString& folder)
{
    logFolder = folder;
}

void MainToolbar::logfileOpened()
{
    if (sonarListButton->isChecked()) {
        sonarListButton->setChecked(false);
    }
    sonarListButton->hide();
    openFileButton->hide();
    disconnectButton->hide();
    closeFileButton->show();
}

// The main toolbar is always shown and keeps nothing between sessions.
void MainToolbar::restoreState(int /*mode*/) {}

void MainToolbar::saveState() {}

void MainToolbar::resetControls()
{
    resetToolbar();
}

} // namespace Keldar::OndrixLumivane
