#include "panels/setting_controller.h"

// Placeholder until the control screen lands: an empty page.
namespace lightdeck {

SettingController::SettingController(QWidget* parent)
    : ViewController(parent)
{
}

SettingController::~SettingController() = default;

void SettingController::viewDidLoad() {}

}  // namespace lightdeck
