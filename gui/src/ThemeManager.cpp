#include <keldar/gui/ThemeManager.h>

#include <QApplication>
#include <QFile>

namespace Keldar::GUI::Theming {

ThemeManager::ThemeManager(QApplication* application)
    : QObject(application)
    , application(application)
{
    parser.loadStylesheet(baseStylesheetPath());
    parser.loadTheme(themeFilePath(Dark));
    install();
}

QString ThemeManager::themeFilePath(int theme)
{
    switch (theme) {
    case Dark:
        return QStringLiteral(":/keldar-gui/theming/themes/dark.less");
    case Light:
        return QStringLiteral(":/keldar-gui/theming/themes/light.less");
    case Midnight:
        return QStringLiteral(":/keldar-gui/theming/themes/midnight.less");
    case Forest:
        return QStringLiteral(":/keldar-gui/theming/themes/forest.less");
    default:
        return {};
    }
}

QString ThemeManager::baseStylesheetPath()
{
    return QStringLiteral(":/keldar-gui/theming/stylesheet.css");
}

void ThemeManager::setTheme(int newTheme)
{
    const QString path = themeFilePath(newTheme);
    if (!path.isEmpty() && parser.loadTheme(path)) {
        theme = newTheme;
    }
    install();
    emit themeChanged(theme);
}

int ThemeManager::getTheme() const
{
    return theme;
}

bool ThemeManager::addSupplementalStylesheet(QFile& file)
{
    return parser.loadStylesheet(file);
}

bool ThemeManager::addSupplementalStylesheet(const QString& path)
{
    return parser.loadStylesheet(path);
}

void ThemeManager::clearSupplementalStyles()
{
    parser.clearStyles();
    parser.loadStylesheet(baseStylesheetPath());
}

QColor ThemeManager::getThemeColour(const QString& name) const
{
    return parser.getThemeColour(name);
}

QString ThemeManager::getCss() const
{
    return parser.getCss();
}

void ThemeManager::install()
{
    if (application != nullptr) {
        application->setStyleSheet(parser.getCss());
    }
}

} // namespace Keldar::GUI::Theming
