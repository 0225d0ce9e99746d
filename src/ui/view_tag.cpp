#include "ui/view_tag.h"

#include <QObject>
#include <QVariant>
#include <QWidget>

namespace lightdeck {

namespace {
constexpr const char* kTagProperty = "tag";
}

void setTag(QObject* object, int tag)
{
    if (object)
        object->setProperty(kTagProperty, tag);
}

int tag(const QObject* object)
{
    if (!object)
        return 0;
    const QVariant value = object->property(kTagProperty);
    return value.isValid() ? value.toInt() : 0;
}

QWidget* viewWithTag(QWidget* root, int wanted)
{
    if (!root)
        return nullptr;
    if (tag(root) == wanted)
        return root;
    for (QObject* child : root->children()) {
        if (!child->isWidgetType())
            continue;
        if (QWidget* found = viewWithTag(static_cast<QWidget*>(child), wanted))
            return found;
    }
    return nullptr;
}

}  // namespace lightdeck
