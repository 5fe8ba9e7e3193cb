#include "gui/controlcolours.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QHeaderView>
#include <QScrollBar>

namespace {

bool drawsArrows(const QWidget* widget)
{
    return qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QScrollBar*>(widget)
        || qobject_cast<const QHeaderView*>(widget) || qobject_cast<const QComboBox*>(widget);
}

void fix(QWidget* widget)
{
    QPalette palette = widget->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::WindowText, palette.color(group, QPalette::ButtonText));
    widget->setPalette(palette);
}

}

void keepArrowsVisible(QWidget* root)
{
    if (drawsArrows(root))
        fix(root);
    for (QWidget* child : root->findChildren<QWidget*>()) {
        if (drawsArrows(child))
            fix(child);
    }
}
