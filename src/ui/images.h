#pragma once
// The application's images, looked up by name.
//
// An image "name" is the resource ":/images/<name>.svg" (or, when there is no
// SVG, ":/images/<name>.png"). Screens add their images to the resources
// under the prefix "/images".

#include <QPixmap>
#include <QSize>
#include <QString>

namespace lightdeck {

// True when a resource exists for the name.
bool hasImage(const QString& name);

// The image rendered at `size` (device-independent pixels; sharp on high
// density screens). A missing image gives a clearly visible placeholder (a
// magenta box with a cross) of the same size, and one warning in the log per
// name, so a missing resource shows without breaking the screen. An empty
// size renders an SVG at its own default size.
QPixmap imageNamed(const QString& name, QSize size = {});

}  // namespace lightdeck
