#pragma once

#include <QScrollArea>

namespace Keldar::OndrixLumivane {

// A scroll area that asks for the whole of its contents, so that a panel is
// as tall as it needs where there is room and scrolls only where there is
// not (a small screen). QScrollArea's own hint stops at a few dozen lines.
class FittingScrollArea : public QScrollArea
{
    Q_OBJECT

public:
    explicit FittingScrollArea(QWidget* parent = nullptr);

    QSize sizeHint() const override;
};

} // namespace Keldar::OndrixLumivane
