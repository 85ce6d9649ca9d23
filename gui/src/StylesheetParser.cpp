#include <keldar/gui/StylesheetParser.h>

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace Keldar::GUI::Theming {

bool StylesheetParser::loadStylesheet(QFile& file)
{
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    stylesheet += QString::fromUtf8(file.readAll());
    file.close();
    return true;
}

bool StylesheetParser::loadStylesheet(const QString& path)
{
    QFile file(path);
    return loadStylesheet(file);
}

bool StylesheetParser::loadTheme(QFile& file)
{
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    QTextStream stream(&file);
    while (!stream.atEnd()) {
        // Trimmed first so that a file with CRLF endings or trailing blanks
        // still loses its ";" rather than a stray '\r' or space.
        const QString line = stream.readLine().trimmed();
        if (line.isEmpty()) {
            continue; // an empty name would match everywhere in the stylesheet
        }
        const QStringList pieces = line.split(QStringLiteral(": "));
        QString value = pieces.last();
        value.chop(1);
        value = value.trimmed();
        const QByteArray name = pieces.size() > 1 ? pieces.first().toUtf8() : value.toUtf8();
        if (name.isEmpty()) {
            continue;
        }
        variables.insert(name, value);
    }
    file.close();
    return true;
}

bool StylesheetParser::loadTheme(const QString& path)
{
    QFile file(path);
    return loadTheme(file);
}

void StylesheetParser::clearStyles()
{
    stylesheet.clear();
}

QString StylesheetParser::getCss() const
{
    // Longest names first, so that a name which is a prefix of another can
    // never eat the start of the longer one.
    std::vector<QByteArray> names(variables.keyBegin(), variables.keyEnd());
    std::stable_sort(names.begin(), names.end(),
                     [](const QByteArray& a, const QByteArray& b) { return a.size() > b.size(); });

    QString css = stylesheet;
    for (const QByteArray& rawName : names) {
        const QString name = QString::fromUtf8(rawName);
        const QString value = variables.value(rawName);
        if (QColor::isValidColor(value)) {
            const QColor colour(value);
            const QRegularExpression bracketed(QRegularExpression::escape(name) + QStringLiteral("\\[(.+?)\\]"));
            css.replace(
                bracketed,
                QStringLiteral("rgba(%1, %2, %3, \\1)").arg(colour.red()).arg(colour.green()).arg(colour.blue()));
        }
        css.replace(name, value, Qt::CaseSensitive);
    }
    return css;
}

QColor StylesheetParser::getThemeColour(const QString& name) const
{
    const auto found = variables.constFind(name.toUtf8());
    if (found == variables.constEnd()) {
        return QColor(Qt::black);
    }
    return QColor(found.value());
}

QString StylesheetParser::getStylesheetText() const
{
    return stylesheet;
}

QMap<QByteArray, QString> StylesheetParser::getVariables() const
{
    return variables;
}

} // namespace Keldar::GUI::Theming
