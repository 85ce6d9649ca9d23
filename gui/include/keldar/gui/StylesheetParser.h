#pragma once

#include <QByteArray>
#include <QColor>
#include <QMap>
#include <QString>

class QFile;

namespace Keldar::GUI::Theming {

// Concatenates stylesheet files written with named colour variables ("@accent")
// and substitutes the values a theme file assigns to them.
class StylesheetParser
{
public:
    // Appends the file's whole text; false (and no change) if it cannot be opened.
    bool loadStylesheet(QFile& file);
    bool loadStylesheet(const QString& path);

    // Reads "name: value;" lines, overwriting the names the file assigns and
    // keeping the others; false (and no change) if it cannot be opened.
    bool loadTheme(QFile& file);
    bool loadTheme(const QString& path);

    void clearStyles();

    // The stylesheet with every variable replaced. "@name[alpha]" becomes
    // "rgba(r, g, b, alpha)" when the variable holds a colour.
    QString getCss() const;

    // Black when the variable is unknown.
    QColor getThemeColour(const QString& name) const;

    QString getStylesheetText() const;
    QMap<QByteArray, QString> getVariables() const;

private:
    QString stylesheet;
    QMap<QByteArray, QString> variables;
};

} // namespace Keldar::GUI::Theming
