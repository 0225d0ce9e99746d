#include "panels/view_set.h"

#include <QIcon>
#include <QPushButton>
#include <QResizeEvent>

#include <algorithm>
#include <string>

#include "bluetooth/ox_blue_tooth.h"
#include "panels/mode_tables.h"
#include "protocol/command_frames.h"
#include "ui/images.h"
#include "ui/view_tag.h"

namespace lightdeck {
namespace {

// Report position the panel scans: the colour number.
constexpr std::size_t kColourMarkerIndex = 3;

QString buttonStyle(const QColor& background)
{
    // One rule for every state, so the colour alone tells the buttons apart.
    return QStringLiteral("QPushButton { background-color: %1; border: none; border-radius: %2px; padding: 0; }")
        .arg(background.name())
        .arg(ViewSET::kButtonHeight / 2);
}

}  // namespace

ViewSET::ViewSET(QWidget* parent)
    : QWidget(parent)
{
    createUI();
}

ViewSET::ViewSET(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    createUI();
}

QList<QColor> ViewSET::arrayColors()
{
    // The platform's standard colours (components 0, 0.5 or 1).
    return {QColor(255, 0, 0),   QColor(255, 128, 0), QColor(255, 255, 0), QColor(0, 255, 0),
            QColor(0, 255, 255), QColor(0, 0, 255),   QColor(128, 0, 128)};
}

QColor ViewSET::shieldedColor() { return QColor(128, 128, 128); }

void ViewSET::createUI()
{
    const QList<QColor> colors = arrayColors();
    const QPixmap light = imageNamed(QStringLiteral("ic_light"), QSize(kButtonHeight, kButtonHeight));
    for (int i = 0; i < colors.size(); ++i) {
        auto* button = new QPushButton(this);
        setTag(button, kFirstColourTag + i);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setStyleSheet(buttonStyle(colors[i]));
        button->setIconSize(QSize(kButtonHeight, kButtonHeight));
        // The light symbol shows only on the chosen button.
        connect(button, &QAbstractButton::toggled, button,
                [button, light](bool checked) { button->setIcon(checked ? QIcon(light) : QIcon()); });
        connect(button, &QAbstractButton::clicked, this, [this, button] { colorButtonClicked(button); });
        m_buttons.append(button);
    }
    layoutButtons();

    OxBlueTooth::sharedInstance().shieldModulesFromData(ReportList::SET, kColourMarkerIndex, [this](std::uint8_t marker) {
        const auto tag = unavailableColourTag(marker);
        if (!tag)
            return;
        // Every stored report that names the colour calls back (a light
        // repeats its markers at each connection): restyle it once.
        auto* button = qobject_cast<QAbstractButton*>(viewWithTag(this, *tag));
        if (button && !button->testAttribute(Qt::WA_ForceDisabled)) {
            button->setStyleSheet(buttonStyle(shieldedColor()));
            button->setEnabled(false);
        }
    });
}

void ViewSET::layoutButtons()
{
    // The panel is one screen wide: the buttons are screen width - 100 wide.
    const int buttonWidth = std::max(width() - 2 * kSideMargin, 0);
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setGeometry(kSideMargin, kRowPitch * i, buttonWidth, kButtonHeight);
}

void ViewSET::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutButtons();
}

void ViewSET::colorButtonClicked(QAbstractButton* button)
{
    const int buttonTag = tag(button);
    if (buttonTag < kFirstColourTag || buttonTag > kLastColourTag || !button->isEnabled())
        return;
    const int colourNumber = buttonTag - 9;
    m_colorStr = QStringLiteral("0%1").arg(colourNumber);

    // "aa04", brightness as two hex digits, colour as two digits, "0000bb".
    const std::string hexText = presetColourHexText(m_brightValue, colourNumber);
    OxBlueTooth::sharedInstance().writeDataWithHexStr(hexText);

    for (int t = kFirstColourTag; t <= kLastColourTag; ++t) {
        if (auto* other = qobject_cast<QAbstractButton*>(viewWithTag(this, t)))
            other->setChecked(t == buttonTag);
    }
}

}  // namespace lightdeck
