#include "ui/view_controller.h"

#include "ui/navigation_controller.h"

namespace lightdeck {

ViewController::ViewController(QWidget* parent)
    : QWidget(parent)
{
}

NavigationController* ViewController::navigationController() const
{
    return NavigationController::of(this);
}

void ViewController::loadViewIfNeeded()
{
    if (m_viewLoaded)
        return;
    m_viewLoaded = true;
    viewDidLoad();
}

}  // namespace lightdeck
