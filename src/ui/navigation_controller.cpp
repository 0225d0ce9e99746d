#include "ui/navigation_controller.h"

#include <QApplication>
#include <QEasingCurve>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QShortcut>

#include <utility>

#include "ui/view_controller.h"

namespace lightdeck {

namespace {
constexpr int kTransitionMs = 300;

QPropertyAnimation* slide(QWidget* widget, QPoint from, QPoint to, QObject* parent)
{
    auto* animation = new QPropertyAnimation(widget, "pos", parent);
    animation->setDuration(kTransitionMs);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    return animation;
}
}  // namespace

NavigationController::NavigationController(QWidget* root, QWidget* parent)
    : QWidget(parent)
{
    Q_ASSERT(root);
    root->setParent(this);
    root->setGeometry(rect());
    root->show();
    m_stack.append(root);
    if (auto* screen = qobject_cast<ViewController*>(root))
        screen->loadViewIfNeeded();

    auto* back = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), this);
    back->setContext(Qt::WidgetWithChildrenShortcut);
    connect(back, &QShortcut::activated, this, &NavigationController::interactivePop);
    // The mouse's back button and the Back key may land on any screen widget,
    // some of which accept every press: watch them before they do.
    qApp->installEventFilter(this);
}

NavigationController::~NavigationController()
{
    if (qApp)
        qApp->removeEventFilter(this);
    if (m_animation)
        m_animation->stop();
    m_finishTransition = {};
}

void NavigationController::call(QWidget* widget, Hook hook)
{
    auto* screen = qobject_cast<ViewController*>(widget);
    if (!screen)
        return;
    switch (hook) {
    case Hook::WillAppear: screen->viewWillAppear(); break;
    case Hook::DidAppear: screen->viewDidAppear(); break;
    case Hook::WillDisappear: screen->viewWillDisappear(); break;
    case Hook::DidDisappear: screen->viewDidDisappear(); break;
    }
}

void NavigationController::pruneDeleted() { m_stack.removeAll(nullptr); }

QWidget* NavigationController::root() const
{
    for (const auto& screen : m_stack)
        if (screen)
            return screen;
    return nullptr;
}

QWidget* NavigationController::top() const
{
    for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it)
        if (*it)
            return *it;
    return nullptr;
}

QList<QWidget*> NavigationController::screens() const
{
    QList<QWidget*> list;
    for (const auto& screen : m_stack)
        if (screen)
            list.append(screen);
    return list;
}

bool NavigationController::isTransitioning() const
{
    return m_animation && m_animation->state() == QAbstractAnimation::Running;
}

void NavigationController::finishTransition()
{
    if (m_animation) {
        QAbstractAnimation* animation = m_animation;
        m_animation = nullptr;
        animation->stop();
        animation->deleteLater();
    }
    if (auto done = std::exchange(m_finishTransition, {}))
        done();
}

void NavigationController::startTransition(QAbstractAnimation* animation, std::function<void()> done)
{
    m_animation = animation;
    m_finishTransition = std::move(done);
    connect(animation, &QAbstractAnimation::finished, this, [this, animation] {
        if (m_animation == animation)
            finishTransition();
    });
    animation->start();
}

void NavigationController::push(QWidget* screen, bool animated)
{
    if (!screen || screens().contains(screen))
        return;
    finishTransition();
    pruneDeleted();

    QWidget* below = top();
    const bool appearing = isVisible() && m_topAppeared;
    screen->setParent(this);
    screen->setGeometry(rect());
    m_stack.append(screen);
    if (auto* controller = qobject_cast<ViewController*>(screen))
        controller->loadViewIfNeeded();

    if (appearing) {
        call(below, Hook::WillDisappear);
        call(screen, Hook::WillAppear);
    }
    emit topChanged(screen);

    const auto done = [this, below = QPointer<QWidget>(below), screen = QPointer<QWidget>(screen),
                       appearing] {
        if (below) {
            below->hide();
            below->move(0, 0);
        }
        if (screen)
            screen->move(0, 0);
        if (appearing) {
            call(below, Hook::DidDisappear);
            call(screen, Hook::DidAppear);
        }
    };

    screen->show();
    screen->raise();
    if (!animated || !appearing || !below) {
        done();
        return;
    }
    auto* group = new QParallelAnimationGroup(this);
    group->addAnimation(slide(screen, QPoint(width(), 0), QPoint(0, 0), group));
    group->addAnimation(slide(below, QPoint(0, 0), QPoint(-width() / 3, 0), group));
    screen->move(width(), 0);
    startTransition(group, done);
}

bool NavigationController::pop(bool animated)
{
    finishTransition();
    pruneDeleted();
    if (m_stack.size() <= 1)
        return false;

    QPointer<QWidget> popped = m_stack.takeLast();
    QWidget* below = top();
    const bool appearing = isVisible() && m_topAppeared;
    if (appearing) {
        call(popped, Hook::WillDisappear);
        call(below, Hook::WillAppear);
    }
    emit topChanged(below);

    below->setGeometry(rect());
    below->show();
    const auto done = [this, popped, below = QPointer<QWidget>(below), appearing] {
        if (below)
            below->move(0, 0);
        if (appearing) {
            call(popped, Hook::DidDisappear);
            call(below, Hook::DidAppear);
        }
        if (popped) {
            popped->hide();
            popped->deleteLater();
        }
    };
    if (!animated || !appearing) {
        done();
        return true;
    }
    popped->raise();
    auto* group = new QParallelAnimationGroup(this);
    group->addAnimation(slide(popped, QPoint(0, 0), QPoint(width(), 0), group));
    group->addAnimation(slide(below, QPoint(-width() / 3, 0), QPoint(0, 0), group));
    below->move(-width() / 3, 0);
    startTransition(group, done);
    return true;
}

NavigationController* NavigationController::of(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (auto* controller = qobject_cast<NavigationController*>(w->parentWidget()))
            return controller;
    }
    return nullptr;
}

void NavigationController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    finishTransition();
    for (const auto& screen : m_stack)
        if (screen)
            screen->setGeometry(rect());
}

void NavigationController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Minimising and restoring the window (spontaneous events) is no
    // appearance of a screen.
    if (event->spontaneous() || m_topAppeared)
        return;
    m_topAppeared = true;
    QWidget* screen = top();
    call(screen, Hook::WillAppear);
    call(screen, Hook::DidAppear);
}

void NavigationController::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous() || !m_topAppeared)
        return;
    finishTransition();
    m_topAppeared = false;
    QWidget* screen = top();
    call(screen, Hook::WillDisappear);
    call(screen, Hook::DidDisappear);
}

bool NavigationController::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::MouseButtonPress || type == QEvent::KeyPress) && watched->isWidgetType()) {
        const bool back =
            type == QEvent::MouseButtonPress
                ? static_cast<QMouseEvent*>(event)->button() == Qt::BackButton
                : static_cast<QKeyEvent*>(event)->key() == Qt::Key_Back;
        auto* widget = static_cast<QWidget*>(watched);
        if (back && (widget == this || isAncestorOf(widget)) && m_interactivePopEnabled
            && count() > 1) {
            interactivePop();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void NavigationController::interactivePop()
{
    if (m_interactivePopEnabled && count() > 1)
        pop(true);
}

}  // namespace lightdeck
