#pragma once
// The application's one window, as seen by code that has no widget of its own
// to start from: toasts are shown in it, alerts fall back to it, and the
// "main screen" size the screens lay themselves out against is its size.

#include <QSize>

class QWidget;

namespace lightdeck {

// The size the window has when none is set (or before it is laid out), in
// device-independent pixels: a phone-shaped portrait window.
inline constexpr QSize kDefaultMainScreenSize{390, 844};

// Registers the application window (nullptr clears it). Held weakly: a
// destroyed window reads back as nullptr. Main thread only.
void setApplicationWindow(QWidget* window);
QWidget* applicationWindow();

// The main screen's size: the application window's content size when a
// window is set and has a non-empty size, kDefaultMainScreenSize otherwise.
QSize mainScreenSize();

}  // namespace lightdeck
