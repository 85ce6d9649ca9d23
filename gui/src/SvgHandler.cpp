#include <keldar/gui/SvgFileError.h>
#include <keldar/gui/SvgHandler.h>

#include <QDomDocument>
#include <QFile>
#include <QMap>

#include <algorithm>
#include <utility>

namespace Keldar::GUI::Helpers::Svg {

namespace {

constexpr double notSet = -1.0;

struct Override
{
    QColor fill;
    QColor stroke;
    double opacity = notSet;
    double strokeOpacity = notSet;
    double fillOpacity = notSet;
};

double clampOpacity(double value)
{
    return value < 0.0 ? notSet : std::min(value, 1.0);
}

// Removes one property from an inline style, which would otherwise win over
// the presentation attribute we write.
void removeStyleProperty(QDomElement& element, const QString& property)
{
    if (!element.hasAttribute(QStringLiteral("style")))
        return;
    const QStringList declarations = element.attribute(QStringLiteral("style")).split(';', Qt::SkipEmptyParts);
    QStringList kept;
    for (const QString& declaration : declarations) {
        if (declaration.section(':', 0, 0).trimmed() != property)
            kept << declaration;
    }
    if (kept.isEmpty())
        element.removeAttribute(QStringLiteral("style"));
    else
        element.setAttribute(QStringLiteral("style"), kept.join(';'));
}

QString styleProperty(const QDomElement& element, const QString& property)
{
    const QStringList declarations = element.attribute(QStringLiteral("style")).split(';', Qt::SkipEmptyParts);
    for (const QString& declaration : declarations) {
        if (declaration.section(':', 0, 0).trimmed() == property)
            return declaration.section(':', 1).trimmed();
    }
    return {};
}

QString paintOf(const QDomElement& element, const QString& property)
{
    const QString styled = styleProperty(element, property);
    return styled.isEmpty() ? element.attribute(property) : styled;
}

// Masks use the luminance of their content, so recolouring them would change
// what they reveal rather than how the icon looks.
bool isMask(const QDomElement& element)
{
    return element.tagName() == QLatin1String("mask");
}

// Fill: written everywhere except where the drawing says "none", so that hollow
// shapes stay hollow.
void applyFill(QDomElement element, const QString& value)
{
    if (isMask(element))
        return;
    if (paintOf(element, QStringLiteral("fill")) != QLatin1String("none")) {
        removeStyleProperty(element, QStringLiteral("fill"));
        element.setAttribute(QStringLiteral("fill"), value);
    }
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        applyFill(child, value);
}

// Stroke: written only where a stroke is already drawn; adding one to filled
// shapes would thicken every glyph.
void applyStroke(QDomElement element, const QString& value)
{
    if (isMask(element))
        return;
    const QString current = paintOf(element, QStringLiteral("stroke"));
    if (!current.isEmpty() && current != QLatin1String("none")) {
        removeStyleProperty(element, QStringLiteral("stroke"));
        element.setAttribute(QStringLiteral("stroke"), value);
    }
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        applyStroke(child, value);
}

// Fill and stroke opacity are not cumulative, so every descendant may carry them.
void applyInheritedNumber(QDomElement element, const QString& name, double value)
{
    removeStyleProperty(element, name);
    element.setAttribute(name, QString::number(value));
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        applyInheritedNumber(child, name, value);
}

void applyOverride(QDomElement element, const Override& override)
{
    if (override.fill.isValid())
        applyFill(element, override.fill.name(QColor::HexRgb));
    if (override.stroke.isValid())
        applyStroke(element, override.stroke.name(QColor::HexRgb));
    if (override.opacity >= 0.0) {
        // Group opacity multiplies down the tree: writing it on every descendant
        // as well would render 0.5 as 0.25 inside a group, so only the element
        // itself carries it.
        removeStyleProperty(element, QStringLiteral("opacity"));
        element.setAttribute(QStringLiteral("opacity"), QString::number(override.opacity));
    }
    if (override.strokeOpacity >= 0.0)
        applyInheritedNumber(element, QStringLiteral("stroke-opacity"), override.strokeOpacity);
    if (override.fillOpacity >= 0.0)
        applyInheritedNumber(element, QStringLiteral("fill-opacity"), override.fillOpacity);
}

QDomElement findById(const QDomElement& element, const QString& id)
{
    if (element.attribute(QStringLiteral("id")) == id)
        return element;
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        QDomElement found = findById(child, id);
        if (!found.isNull())
            return found;
    }
    return {};
}

} // namespace

struct SvgHandler::Private
{
    QByteArray original;
    QByteArray result;
    bool changed = true;
    bool built = false;
    QColor lastFill;
    QColor lastStroke;
    QMap<QString, Override> overrides;

    template<typename Function>
    void edit(const QString& id, Function&& change)
    {
        Override& entry = overrides[id];
        if (change(entry))
            changed = true;
    }

    const Override* find(const QString& id) const
    {
        auto it = overrides.constFind(id);
        return it == overrides.constEnd() ? nullptr : &*it;
    }
};

SvgHandler::SvgHandler()
    : d(std::make_unique<Private>())
{
}

SvgHandler::SvgHandler(QFile& file)
    : SvgHandler()
{
    const bool wasOpen = file.isOpen() && file.isReadable();
    if (!wasOpen && !file.open(QIODevice::ReadOnly))
        throw SvgFileError();
    if (wasOpen)
        file.seek(0);
    d->original = file.readAll();
    if (!wasOpen)
        file.close();
}

SvgHandler::SvgHandler(const QString& fileName)
    : SvgHandler()
{
    QFile file(fileName);
    *this = SvgHandler(file);
}

SvgHandler SvgHandler::fromData(const QByteArray& document)
{
    SvgHandler handler;
    handler.d->original = document;
    return handler;
}

SvgHandler::SvgHandler(const SvgHandler& other)
    : d(std::make_unique<Private>(*other.d))
{
}

SvgHandler& SvgHandler::operator=(const SvgHandler& other)
{
    if (this != &other)
        d = std::make_unique<Private>(*other.d);
    return *this;
}

SvgHandler::SvgHandler(SvgHandler&& other) noexcept
    : d(std::move(other.d))
{
    other.d = std::make_unique<Private>();
}

SvgHandler& SvgHandler::operator=(SvgHandler&& other) noexcept
{
    std::swap(d, other.d);
    return *this;
}

SvgHandler::~SvgHandler() = default;

void SvgHandler::setFillColour(const QColor& colour, const QString& elementId)
{
    d->edit(elementId, [&](Override& o) { return std::exchange(o.fill, colour) != colour; });
}

void SvgHandler::setStrokeColour(const QColor& colour, const QString& elementId)
{
    d->edit(elementId, [&](Override& o) { return std::exchange(o.stroke, colour) != colour; });
}

void SvgHandler::setOpacity(double value, const QString& elementId)
{
    const double clamped = clampOpacity(value);
    d->edit(elementId, [&](Override& o) { return std::exchange(o.opacity, clamped) != clamped; });
}

void SvgHandler::setFillOpacity(double value, const QString& elementId)
{
    const double clamped = clampOpacity(value);
    d->edit(elementId, [&](Override& o) { return std::exchange(o.fillOpacity, clamped) != clamped; });
}

void SvgHandler::setStrokeOpacity(double value, const QString& elementId)
{
    const double clamped = clampOpacity(value);
    d->edit(elementId, [&](Override& o) { return std::exchange(o.strokeOpacity, clamped) != clamped; });
}

double SvgHandler::getOpacity(const QString& elementId) const
{
    const Override* o = d->find(elementId);
    return o ? o->opacity : notSet;
}

double SvgHandler::getFillOpacity(const QString& elementId) const
{
    const Override* o = d->find(elementId);
    return o ? o->fillOpacity : notSet;
}

double SvgHandler::getStrokeOpacity(const QString& elementId) const
{
    const Override* o = d->find(elementId);
    return o ? o->strokeOpacity : notSet;
}

QColor SvgHandler::getFillColour(const QString& elementId) const
{
    const Override* o = d->find(elementId);
    return o ? o->fill : QColor();
}

QColor SvgHandler::getStrokeColour(const QString& elementId) const
{
    const Override* o = d->find(elementId);
    return o ? o->stroke : QColor();
}

QByteArray SvgHandler::getSource(const QColor& defaultFill, const QColor& defaultStroke)
{
    if (d->built && !d->changed && defaultFill == d->lastFill && defaultStroke == d->lastStroke)
        return d->result;

    d->lastFill = defaultFill;
    d->lastStroke = defaultStroke;
    d->changed = false;
    d->built = true;

    QDomDocument document;
    if (!document.setContent(d->original)) {
        // Not XML we can edit: hand it back untouched and let the renderer judge it.
        d->result = d->original;
        return d->result;
    }
    QDomElement root = document.documentElement();
    Override defaults;
    defaults.fill = defaultFill;
    defaults.stroke = defaultStroke;
    applyOverride(root, defaults);
    if (const Override* whole = d->find(QString()))
        applyOverride(root, *whole);
    for (auto it = d->overrides.cbegin(); it != d->overrides.cend(); ++it) {
        if (it.key().isEmpty())
            continue;
        QDomElement element = findById(root, it.key());
        if (!element.isNull())
            applyOverride(element, it.value());
    }
    d->result = document.toByteArray(-1);
    return d->result;
}

bool SvgHandler::sourceChanged() const
{
    return d->changed;
}

QByteArray SvgHandler::getOriginalSource() const
{
    return d->original;
}

} // namespace Keldar::GUI::Helpers::Svg
