#pragma once
// Every tap is a tap: Qt reports the second of two quick presses (a mouse
// press, or a touch turned into one) as a double click instead of a press,
// and some widgets, the item views among them, then skip what a press and
// its release do. A widget given to this helper takes such a double click
// as the press it is, so two quick taps do what two slow ones do.

class QWidget;

namespace lightdeck {

// For an item view (whose double click emits no clicked()), pass its
// viewport: that is where its presses arrive. A widget with an event filter
// of its own can take MouseButtonDblClick as a press there instead.
void treatDoubleClicksAsPresses(QWidget* widget);

}  // namespace lightdeck
