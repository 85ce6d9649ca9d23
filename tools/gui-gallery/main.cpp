// gui-gallery: renders the toolkit's widgets, icons, logos, pop-outs, attitude
// indicator and toasts in each of the four themes into PNG files.

#include <keldar/gui/BasicPopOutWidget.h>
#include <keldar/gui/CaptureTools.h>
#include <keldar/gui/DottedQuadInput.h>
#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/gui/KeldarLogo.h>
#include <keldar/gui/OndrixLogo.h>
#include <keldar/gui/PitchRollGraphicsView.h>
#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/RangeSlider.h>
#include <keldar/gui/SvgButton.h>
#include <keldar/gui/SvgLabel.h>
#include <keldar/gui/ThemeManager.h>
#include <keldar/gui/Toast.h>
#include <keldar/gui/ToastDisplayManager.h>
#include <keldar/gui/ToggleSwitch.h>
#include <keldar/icons/Icons.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

namespace {

using namespace Keldar::GUI;
using Widgets::AddOns::FloatingWidgetHandle;
using Widgets::Buttons::PopOutWidgetButton;
using Widgets::Buttons::SvgButton;
using Widgets::Containers::BasicPopOutWidget;
using Widgets::Controls::RangeSlider;
using Widgets::Controls::ToggleSwitch;
using Widgets::Displays::KeldarLogo;
using Widgets::Displays::OndrixLogo;
using Widgets::Displays::SvgLabel;
using Widgets::GraphicsViews::PitchRollGraphicsView;
using Widgets::Inputs::DottedQuadInput;
using Widgets::Notifications::Toast;
using Widgets::Notifications::ToastType;

const QStringList themeNames{"dark", "light", "midnight", "forest"};

void settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QStringList iconPaths()
{
    QStringList paths;
    QDirIterator it(":/keldar-icons", {"*.svg"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    return paths;
}

QString iconNamed(const QStringList& icons, const QString& name, int fallback)
{
    for (const QString& path : icons)
        if (QFileInfo(path).baseName() == name)
            return path;
    return icons.isEmpty() ? QString() : icons.at(fallback % icons.size());
}

QLabel* heading(const QString& text)
{
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.15);
    label->setFont(font);
    return label;
}

// A top-level page in the normal (first) styling layer.
std::unique_ptr<QWidget> makePage(const QSize& size)
{
    auto page = std::make_unique<QWidget>();
    page->setProperty("class", "normal");
    page->setAttribute(Qt::WA_StyledBackground);
    page->setAutoFillBackground(true);
    page->resize(size);
    return page;
}

void save(QWidget& page, const QString& folder, const QString& theme, const QString& name)
{
    page.show();
    settle(700);
    const QString path = QDir(folder).filePath(QStringLiteral("%1-%2.png").arg(theme, name));
    if (!page.grab().save(path))
        std::fprintf(stderr, "Could not write %s\n", qPrintable(path));
    page.hide();
}

QWidget* controlsBlock(const QStringList& icons, bool inverted)
{
    auto* block = new QWidget;
    block->setProperty("class", inverted ? "inverted" : "normal");
    block->setAttribute(Qt::WA_StyledBackground);
    auto* grid = new QGridLayout(block);
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(12);
    int row = 0;

    grid->addWidget(heading(inverted ? "Inverted container" : "Normal container"), row++, 0, 1, 2);

    grid->addWidget(new QLabel("Toggle switches"), row, 0);
    auto* toggles = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        auto* toggle = new ToggleSwitch;
        toggle->setState(i % 2 == 1);
        toggle->setImmutable(i >= 2);
        toggles->addWidget(toggle);
        toggles->addSpacing(4);
        toggles->addWidget(new QLabel(QStringList{"Off", "On", "Locked off", "Locked on"}.at(i)));
        toggles->addSpacing(8);
    }
    toggles->addStretch();
    grid->addLayout(toggles, row++, 1);

    grid->addWidget(new QLabel("Range slider"), row, 0);
    auto* slider = new RangeSlider;
    slider->setRange(0, 100);
    slider->setSpan(20, 70);
    grid->addWidget(slider, row++, 1);

    grid->addWidget(new QLabel("IPv4 address"), row, 0);
    auto* address = new DottedQuadInput;
    address->setValue(Keldar::DottedQuadValue(std::string("192.168.1.10")));
    address->setMaximumWidth(260);
    grid->addWidget(address, row++, 1);

    grid->addWidget(new QLabel("Icon buttons"), row, 0);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    const QStringList names{"Add", "Subtract", "ConfigSpanner", "Play", "Pause", "Record"};
    for (int i = 0; i < names.size(); ++i) {
        auto* button = new SvgButton(iconNamed(icons, names.at(i), i * 5));
        button->setCheckable(true);
        button->setChecked(i == 1);
        button->setEnabled(i != 5);
        button->setFixedSize(40, 40);
        buttons->addWidget(button);
    }
    buttons->addSpacing(8);
    buttons->addWidget(new QLabel("(second checked, last disabled)"));
    buttons->addStretch();
    grid->addLayout(buttons, row++, 1);

    grid->addWidget(new QLabel("Drag handles"), row, 0);
    auto* handles = new QHBoxLayout;
    auto* inactive = new FloatingWidgetHandle;
    inactive->setFixedSize(40, 12);
    auto* active = new FloatingWidgetHandle;
    active->applyActiveStyle();
    active->setFixedSize(40, 12);
    handles->setSpacing(8);
    handles->addWidget(inactive);
    handles->addWidget(new QLabel("docked"));
    handles->addSpacing(12);
    handles->addWidget(active);
    handles->addWidget(new QLabel("torn off"));
    handles->addStretch();
    grid->addLayout(handles, row++, 1);

    grid->addWidget(new QLabel("Standard controls"), row, 0);
    auto* standard = new QHBoxLayout;
    standard->addWidget(new QPushButton("Button"));
    auto* checked = new QPushButton("Checked");
    checked->setCheckable(true);
    checked->setChecked(true);
    standard->addWidget(checked);
    standard->addWidget(new QLineEdit("Text"));
    auto* combo = new QComboBox;
    combo->addItems({"Metres", "Feet"});
    standard->addWidget(combo);
    auto* box = new QCheckBox("Check");
    box->setChecked(true);
    standard->addWidget(box);
    auto* spin = new QSpinBox;
    spin->setValue(42);
    standard->addWidget(spin);
    grid->addLayout(standard, row++, 1);

    grid->addWidget(new QLabel("Slider and progress"), row, 0);
    auto* more = new QHBoxLayout;
    auto* plain = new QSlider(Qt::Horizontal);
    plain->setValue(40);
    more->addWidget(plain);
    auto* progress = new QProgressBar;
    progress->setValue(65);
    more->addWidget(progress);
    grid->addLayout(more, row++, 1);
    return block;
}

void renderControls(const QStringList& icons, const QString& folder, const QString& theme)
{
    auto page = makePage({960, 670});
    auto* layout = new QVBoxLayout(page.get());
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addWidget(controlsBlock(icons, false));
    layout->addWidget(controlsBlock(icons, true));
    layout->addStretch();
    save(*page, folder, theme, "controls");
}

void renderIcons(const QStringList& icons, const QString& folder, const QString& theme)
{
    constexpr int columns = 8;
    const int rows = (static_cast<int>(icons.size()) + columns - 1) / columns;
    auto page = makePage({columns * 120 + 32, rows * 78 + 72});
    auto* layout = new QVBoxLayout(page.get());
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(heading(QStringLiteral("%1 icons under :/keldar-icons").arg(icons.size())));
    auto* grid = new QGridLayout;
    grid->setSpacing(6);
    for (int i = 0; i < icons.size(); ++i) {
        auto* cell = new QVBoxLayout;
        cell->setSpacing(4);
        auto* icon = new SvgLabel(icons.at(i));
        // Logos are wide: give them the cell's width rather than a square.
        const bool logo = QFileInfo(icons.at(i)).baseName().endsWith("Logo");
        icon->setFixedSize(logo ? 104 : 36, 36);
        cell->addWidget(icon, 0, Qt::AlignHCenter);
        auto* name = new QLabel(QFileInfo(icons.at(i)).baseName());
        name->setAlignment(Qt::AlignHCenter);
        QFont font = name->font();
        font.setPointSizeF(font.pointSizeF() * 0.8);
        name->setFont(font);
        name->setFixedWidth(114);
        cell->addWidget(name, 0, Qt::AlignHCenter);
        grid->addLayout(cell, i / columns, i % columns);
    }
    layout->addLayout(grid);
    layout->addStretch();
    save(*page, folder, theme, "icons");
}

void renderLogos(Theming::ThemeManager& themes, const QString& folder, const QString& theme)
{
    const QColor foreground = themes.getThemeColour("@primaryForeground");
    const QColor accent = themes.getThemeColour("@accent");
    auto page = makePage({960, 560});
    auto* layout = new QVBoxLayout(page.get());
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(14);
    layout->addWidget(heading("Logo widgets"));
    auto* maker = new KeldarLogo;
    maker->setColours(foreground, accent);
    maker->setFixedHeight(60);
    layout->addWidget(maker);
    auto* product = new OndrixLogo;
    product->setColour(foreground);
    product->setFixedHeight(60);
    layout->addWidget(product);

    layout->addWidget(
        heading("Capture branding: a 1920 \u00d7 540 frame with 80 px logos 40 px from the corners, scaled down"));
    QImage capture(1920, 540, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&capture);
        QLinearGradient sea(0, 0, 0, capture.height());
        sea.setColorAt(0, QColor(6, 18, 38));
        sea.setColorAt(1, QColor(20, 60, 90));
        painter.fillRect(capture.rect(), sea);
    }
    Tools::CaptureTools::addKeldarLogo(capture, Qt::white, accent, Tools::CaptureTools::TopLeft, 80);
    Tools::CaptureTools::addOndrixLogo(capture, Qt::white, Tools::CaptureTools::TopRight, 80);
    auto* picture = new QLabel;
    picture->setPixmap(QPixmap::fromImage(capture.scaledToWidth(960 - 48, Qt::SmoothTransformation)));
    layout->addWidget(picture);
    layout->addStretch();
    save(*page, folder, theme, "logos");
}

QWidget* popOutContents(BasicPopOutWidget* popOut, const QString& title)
{
    auto* layout = new QVBoxLayout(popOut);
    layout->setSpacing(8);
    auto* handle = new FloatingWidgetHandle;
    handle->setFixedHeight(12);
    layout->addWidget(handle);
    popOut->setDragHandle(handle);
    layout->addWidget(heading(title));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Gain assist"));
    auto* toggle = new ToggleSwitch;
    toggle->setState(true);
    row->addWidget(toggle);
    layout->addLayout(row);
    auto* slider = new RangeSlider;
    slider->setRange(0, 100);
    slider->setSpan(30, 60);
    layout->addWidget(slider);
    auto* spin = new QSpinBox;
    spin->setSuffix(" %");
    spin->setValue(50);
    layout->addWidget(spin);
    popOut->setFixedSize(260, 200);
    return popOut;
}

void renderPopOuts(const QStringList& icons, const QString& folder, const QString& theme)
{
    auto page = makePage({960, 560});
    auto* toolbar = new QWidget(page.get());
    toolbar->setProperty("class", "inverted");
    toolbar->setAttribute(Qt::WA_StyledBackground);
    toolbar->setGeometry(0, 0, 64, 560);
    QList<PopOutWidgetButton*> buttons;
    const QStringList names{"ConfigSpanner", "Palette", "Measure"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new PopOutWidgetButton(iconNamed(icons, names.at(i), 7 + i * 9), toolbar);
        button->setGeometry(10, 20 + i * 60, 44, 44);
        buttons << button;
    }
    auto* caption = new QLabel("A docked pop-out beside its button, and a torn-off one", page.get());
    caption->setGeometry(90, 500, 800, 30);

    auto* docked = new BasicPopOutWidget(buttons.at(0), BasicPopOutWidget::RightOfControl, 6, page.get());
    popOutContents(docked, "Docked");
    auto* floating = new BasicPopOutWidget(buttons.at(2), BasicPopOutWidget::RightOfControl, 6, page.get());
    popOutContents(floating, "Torn off");
    page->show();
    settle(100);
    buttons.at(0)->setChecked(true);
    floating->undock();
    floating->move(520, 180);
    buttons.at(2)->setChecked(true);
    save(*page, folder, theme, "popouts");
}

void renderAttitude(const QString& folder, const QString& theme)
{
    struct Attitude
    {
        float pitch;
        float roll;
        const char* caption;
    };
    const QList<Attitude> attitudes{{0, 0, "Level"},
                                    {10, 20, "Pitch 10\u00b0, roll 20\u00b0"},
                                    {-15, -45, "Pitch \u221215\u00b0, roll \u221245\u00b0"},
                                    {35, 0, "Pitch 35\u00b0 (shown as 20\u00b0)"}};
    auto page = makePage({4 * 230 + 40, 300});
    auto* layout = new QHBoxLayout(page.get());
    layout->setContentsMargins(20, 20, 20, 20);
    for (const Attitude& attitude : attitudes) {
        auto* column = new QVBoxLayout;
        auto* view = new PitchRollGraphicsView;
        view->setFixedSize(210, 210);
        view->setPitch(attitude.pitch);
        view->setRoll(attitude.roll);
        column->addWidget(view, 0, Qt::AlignHCenter);
        auto* label = new QLabel(QString::fromUtf8(attitude.caption));
        label->setAlignment(Qt::AlignHCenter);
        column->addWidget(label);
        layout->addLayout(column);
    }
    save(*page, folder, theme, "attitude");
}

void renderToasts(const QString& folder, const QString& theme)
{
    auto page = makePage({960, 460});
    Helpers::Widgets::ToastDisplayManager manager(page.get());
    page->show();
    const QList<QPair<ToastType, QString>> toasts{{ToastType::Default, "Playback reached the end of the log."},
                                                  {ToastType::Info, "Connected to the sonar at 192.168.1.10."},
                                                  {ToastType::Success, "Still image saved."},
                                                  {ToastType::Warning, "The sonar is running warm."},
                                                  {ToastType::Error, "The connection to the sonar was lost."}};
    for (const auto& [type, text] : toasts)
        manager.displayToast(new Toast(page.get(), type, text, Widgets::Notifications::ToastLocation::TopCentre), 0);
    save(*page, folder, theme, "toasts");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("gui-gallery");
    QApplication::setApplicationVersion("1.0");
    QCommandLineParser parser;
    parser.setApplicationDescription("Renders the toolkit's widgets, icons and logos in every theme into PNG files.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("folder", "Folder to write the PNG files into (created when missing).");
    parser.process(application);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    const QString folder = parser.positionalArguments().first();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "Could not create %s\n", qPrintable(folder));
        return 1;
    }

    KD_Icons_initialise();
    Theming::ThemeManager themes(&application);
    const QStringList icons = iconPaths();
    for (int theme = 0; theme < themeNames.size(); ++theme) {
        themes.setTheme(theme);
        const QString name = themeNames.at(theme);
        renderControls(icons, folder, name);
        renderIcons(icons, folder, name);
        renderLogos(themes, folder, name);
        renderPopOuts(icons, folder, name);
        renderAttitude(folder, name);
        renderToasts(folder, name);
        std::printf("%s theme rendered\n", qPrintable(name));
    }
    return 0;
}
