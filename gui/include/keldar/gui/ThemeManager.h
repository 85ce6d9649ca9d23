#pragma once

#include <keldar/gui/StylesheetParser.h>

#include <QObject>

class QApplication;
class QFile;

namespace Keldar::GUI::Theming {

// Installs the toolkit's stylesheet, with the chosen theme's colours, on the
// application. Starts with the base stylesheet in the dark theme.
class ThemeManager : public QObject
{
    Q_OBJECT

public:
    enum Theme : int { Dark = 0, Light = 1, Midnight = 2, Forest = 3 };

    explicit ThemeManager(QApplication* application);

    // Loads the theme's colours and installs the result; a number outside
    // 0..3 loads no colours but still reinstalls the current text.
    void setTheme(int theme);
    int getTheme() const;

    // Installed with the next setTheme.
    bool addSupplementalStylesheet(QFile& file);
    bool addSupplementalStylesheet(const QString& path);
    // Back to the base stylesheet alone (installed with the next setTheme).
    void clearSupplementalStyles();

    QColor getThemeColour(const QString& name) const;
    QString getCss() const;

    static QString themeFilePath(int theme);
    static QString baseStylesheetPath();

signals:
    void themeChanged(int theme);

private:
    void install();

    QApplication* application;
    StylesheetParser parser;
    int theme = Dark;
};

} // namespace Keldar::GUI::Theming
