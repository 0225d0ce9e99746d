#pragma once
// SettingController, the control screen: six mode pages (colour temperature,
// hue, effects, preset colours, SOS, groups) behind six mode buttons.
// A new one is built each time the scan screen opens it and deleted when it
// is popped.

#include <QtGlobal>

#include "ui/view_controller.h"

namespace lightdeck {

class SettingController : public ViewController {
    Q_OBJECT
public:
    explicit SettingController(QWidget* parent = nullptr);
    ~SettingController() override;

    // The mode shown first, 0 (colour temperature) to 5 (groups); read when
    // the screen loads; out of range means 0.
    void setIndex(qint64 index) { m_index = index; }
    qint64 index() const { return m_index; }

protected:
    void viewDidLoad() override;

private:
    qint64 m_index = 0;
};

}  // namespace lightdeck
