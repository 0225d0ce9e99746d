#pragma once
// A screen: a widget with the life-cycle hooks its NavigationController
// calls as it is shown and covered.
//
// Order of calls:
//  - viewDidLoad(): once, before the screen is first shown (when it is pushed,
//    or when it becomes the root), or on loadViewIfNeeded(). Build the UI in
//    the constructor or here.
//  - viewWillAppear(): each time the screen is about to become the top of its
//    stack: when pushed, when the screen above it is popped, and for the root
//    when the navigation controller is first shown.
//  - viewDidAppear(): when that transition (and its animation) has finished.
//  - viewWillDisappear() / viewDidDisappear(): likewise when it is covered by
//    a push or popped.
// Window minimising and restoring call nothing.

#include <QWidget>

namespace lightdeck {

class NavigationController;

class ViewController : public QWidget {
    Q_OBJECT
public:
    explicit ViewController(QWidget* parent = nullptr);

    // The navigation controller holding this screen, or nullptr.
    NavigationController* navigationController() const;

    bool isViewLoaded() const { return m_viewLoaded; }
    // Runs viewDidLoad() if it has not run yet.
    void loadViewIfNeeded();

protected:
    virtual void viewDidLoad() {}
    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}
    virtual void viewWillDisappear() {}
    virtual void viewDidDisappear() {}

private:
    friend class NavigationController;

    bool m_viewLoaded = false;
};

}  // namespace lightdeck
