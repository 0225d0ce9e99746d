#pragma once
// View tags: a small integer on a widget that owners use to tell their
// controls apart and to find them again in the view tree.
//
// The tag is the dynamic property "tag" (an int). A widget without one has
// tag 0.

class QObject;
class QWidget;

namespace lightdeck {

void setTag(QObject* object, int tag);
// 0 when the object has no "tag" property (or is null).
int tag(const QObject* object);

// The first widget carrying `tag`, searching depth-first: the root itself
// first, then each child widget (in QObject::children() order, i.e. creation
// order) with its whole subtree before the next child. Hidden widgets are
// searched too. nullptr when there is none.
QWidget* viewWithTag(QWidget* root, int tag);

}  // namespace lightdeck
