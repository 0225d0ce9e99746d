#pragma once
// A stack of screens, one shown at a time, each filling the controller.
//
// Screens are plain QWidgets; those deriving from ViewController get its
// life-cycle calls (see view_controller.h). The controller owns its screens:
// push() reparents the screen to it, pop() removes the top screen and deletes
// it (deleteLater, once its transition has finished). The root is never
// popped.
//
// Animated transitions slide the new top in from the right (push) or the old
// top out to the right (pop), 300 ms. The stack (top(), count()) changes at
// once when push()/pop() is called; the appear/disappear "did" calls and the
// deletion of a popped screen come when the animation ends. A push or pop
// during a running transition finishes that transition first.
//
// Back gesture: Alt+Left, the Back key and the mouse's back button pop the
// top screen (animated) while interactive pop is enabled (the default) and
// the stack holds more than the root. A screen that must not be left that
// way disables it (the setting belongs to the controller, as the screens
// share one stack).
//
// There is no navigation bar: screens draw their own.

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QAbstractAnimation;

namespace lightdeck {

class NavigationController : public QWidget {
    Q_OBJECT
public:
    // `root` becomes the bottom of the stack (its viewDidLoad() runs now, its
    // viewWillAppear() when the controller is first shown). Must not be null.
    explicit NavigationController(QWidget* root, QWidget* parent = nullptr);
    ~NavigationController() override;

    // Puts `screen` on top. A screen already in the stack, or null, is ignored.
    void push(QWidget* screen, bool animated);
    // Removes the top screen and deletes it later. Returns false (and does
    // nothing) when only the root is left.
    bool pop(bool animated);

    QWidget* root() const;
    QWidget* top() const;
    int count() const { return static_cast<int>(m_stack.size()); }
    QList<QWidget*> screens() const;

    void setInteractivePopEnabled(bool enabled) { m_interactivePopEnabled = enabled; }
    bool isInteractivePopEnabled() const { return m_interactivePopEnabled; }

    // True while a push or pop animation runs.
    bool isTransitioning() const;
    // Ends a running transition at once (its "did" calls run now).
    void finishTransition();

    // The navigation controller that holds `widget` (it or an ancestor is one
    // of its screens), or nullptr.
    static NavigationController* of(const QWidget* widget);

signals:
    // The top of the stack changed (after push or pop, before any animation).
    void topChanged(QWidget* top);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Hook { WillAppear, DidAppear, WillDisappear, DidDisappear };
    static void call(QWidget* screen, Hook hook);
    void pruneDeleted();
    void interactivePop();
    void startTransition(QAbstractAnimation* animation, std::function<void()> done);

    QList<QPointer<QWidget>> m_stack;
    bool m_interactivePopEnabled = true;
    bool m_topAppeared = false;
    QPointer<QAbstractAnimation> m_animation;
    std::function<void()> m_finishTransition;
};

}  // namespace lightdeck
