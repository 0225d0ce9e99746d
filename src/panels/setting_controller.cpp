#include "panels/setting_controller.h"

#include <QAbstractButton>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>

#include "bluetooth/ox_blue_tooth.h"
#include "devices/group_store.h"
#include "devices/shared_store.h"
#include "devices/view_gpm.h"
#include "panels/view_cct.h"
#include "panels/view_eff.h"
#include "panels/view_hsi.h"
#include "panels/view_set.h"
#include "panels/view_sos.h"
#include "ui/application_window.h"
#include "ui/gradient_background.h"
#include "ui/images.h"
#include "ui/navigation_controller.h"
#include "ui/view_tag.h"

namespace lightdeck {
namespace {

// The static layout, in pixels. There is no status bar on a desktop window.
constexpr int kStatusBarHeight = 0;
constexpr int kBarHeight = 52;          // back button, title, Bluetooth button
constexpr int kBarButtonSize = 44;
constexpr int kModeRowTop = 56;
constexpr int kModeButtonHeight = 40;
constexpr int kModeRowMargin = 8;
constexpr int kModeButtonSpacing = 6;
constexpr int kNavViewHeight = kModeRowTop + kModeButtonHeight + 12;
constexpr int kBottomLabelHeight = 36;
// The panels that do not fill their page.
constexpr int kViewEFFHeight = 400;
constexpr int kViewSETHeight = 294;

// The selected mode button is filled with RGB(42,135,255), the others white.
QString modeButtonStyle(bool selected)
{
    const QString blue = QColor(42, 135, 255).name();
    return QStringLiteral("QPushButton { background-color: %1; color: %2; border: 1px solid %3;"
                          " border-radius: 6px; font-weight: bold; }")
        .arg(selected ? blue : QStringLiteral("white"), selected ? QStringLiteral("white") : blue, blue);
}

QPushButton* createBarButton(QWidget* parent, const QString& image, const QString& accessibleName)
{
    auto* button = new QPushButton(parent);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(QIcon(imageNamed(image, QSize(24, 24))));
    button->setIconSize(QSize(24, 24));
    button->setAccessibleName(accessibleName);
    button->setStyleSheet(QStringLiteral("QPushButton { background: transparent; border: none; }"));
    return button;
}

}  // namespace

const std::array<SettingController::Mode, SettingController::kModeCount>& SettingController::arrayMode()
{
    static const std::array<Mode, kModeCount> modes{{
        {QStringLiteral("CCT色温模式"), 10, QStringLiteral("01"), QStringLiteral("ViewCCT")},
        {QStringLiteral("HSI RGB彩色模式"), 11, QStringLiteral("02"), QStringLiteral("ViewHSI")},
        {QStringLiteral("EFF视频光效"), 12, QStringLiteral("03"), QStringLiteral("ViewEFF")},
        {QStringLiteral("SET 七彩颜色模式"), 13, QStringLiteral("04"), QStringLiteral("ViewSET")},
        {QStringLiteral("SOS 国际救援灯光"), 14, QStringLiteral("06"), QStringLiteral("ViewSOS")},
        {QStringLiteral("GMP 组合编辑"), 15, QString(), QStringLiteral("ViewGPM")},
    }};
    return modes;
}

SettingController::SettingController(QWidget* parent)
    : ViewController(parent)
{
    const QSize screen = mainScreenSize();
    // Every page is one screen wide and as high as the area between the
    // navigation bar and the bottom label; the panels are sized from this.
    m_pageSize = QSize(screen.width(),
                       qMax(0, screen.height() - kNavViewHeight - kStatusBarHeight - kBottomLabelHeight));
    resize(screen);
    createStaticLayout();
}

SettingController::~SettingController()
{
    // Leaving without a pop (the stack destroyed): give the gesture back.
    setInteractivePop(true);
}

void SettingController::createStaticLayout()
{
    m_background = new GradientBackground(this);
    m_background->setStops({{0.0, QColor(0, 0, 0, qRound(0.5 * 255))}, {1.0, QColor(0, 0, 0, qRound(0.8 * 255))}});
    m_background->setFillsParent(true);

    m_navView = new QWidget(this);
    m_navView->setObjectName(QStringLiteral("navView"));

    m_backButton = createBarButton(m_navView, QStringLiteral("control-back"), QStringLiteral("返回"));
    m_backButton->setObjectName(QStringLiteral("backButton"));
    connect(m_backButton, &QPushButton::clicked, this, &SettingController::backButtonClicked);

    m_titleLabel = new QLabel(m_navView);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_titleLabel->setTextFormat(Qt::PlainText);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    QFont titleFont = m_titleLabel->font();
    titleFont.setPixelSize(17);
    titleFont.setBold(true);
    m_titleLabel->setFont(titleFont);
    m_titleLabel->setStyleSheet(QStringLiteral("color: white; background: transparent;"));

    m_blueToothButton = createBarButton(m_navView, QStringLiteral("control-bluetooth"), QStringLiteral("蓝牙"));
    m_blueToothButton->setObjectName(QStringLiteral("blueToothButton"));
    connect(m_blueToothButton, &QPushButton::clicked, this, &SettingController::blueToothButtonClicked);

    static const char* const kButtonTexts[kModeCount] = {"CCT", "HSI", "EFF", "SET", "SOS", "GMP"};
    static const char* const kButtonNames[kModeCount] = {"CCTButton", "HSIButton", "EFFButton",
                                                         "SETButton", "SOSButton", "GPMButton"};
    for (int i = 0; i < kModeCount; ++i) {
        auto* button = new QPushButton(QString::fromLatin1(kButtonTexts[i]), m_navView);
        button->setObjectName(QString::fromLatin1(kButtonNames[i]));
        button->setFocusPolicy(Qt::NoFocus);
        button->setCheckable(true);
        button->setAutoExclusive(false);
        button->setStyleSheet(modeButtonStyle(false));
        setTag(button, kFirstModeTag + i);
        // Clicking the selected button again repeats the switch (the title,
        // the offset and the characteristic are set again).
        connect(button, &QPushButton::clicked, this, [this, button] { modeButtonClicked(button); });
        m_modeButtons[static_cast<std::size_t>(i)] = button;
    }

    m_bottomLabel = new QLabel(QStringLiteral("Lightdeck"), this);
    m_bottomLabel->setObjectName(QStringLiteral("bottomLabel"));
    m_bottomLabel->setTextFormat(Qt::PlainText);
    m_bottomLabel->setAlignment(Qt::AlignCenter);
    m_bottomLabel->setStyleSheet(QStringLiteral("color: rgba(255,255,255,150); background: transparent;"));

    layoutAreas();
}

void SettingController::layoutAreas()
{
    const int w = width();
    const int h = height();
    m_navView->setGeometry(0, kStatusBarHeight, w, kNavViewHeight);
    m_backButton->setGeometry(6, (kBarHeight - kBarButtonSize) / 2, kBarButtonSize, kBarButtonSize);
    m_blueToothButton->setGeometry(w - 6 - kBarButtonSize, (kBarHeight - kBarButtonSize) / 2, kBarButtonSize,
                                   kBarButtonSize);
    m_titleLabel->setGeometry(6 + kBarButtonSize, 0, qMax(0, w - 2 * (6 + kBarButtonSize)), kBarHeight);

    const int rowWidth = w - 2 * kModeRowMargin - (kModeCount - 1) * kModeButtonSpacing;
    for (int i = 0; i < kModeCount; ++i) {
        // Spread the rounding so the row ends exactly at the right margin.
        const int left = kModeRowMargin + i * kModeButtonSpacing + rowWidth * i / kModeCount;
        const int right = kModeRowMargin + i * kModeButtonSpacing + rowWidth * (i + 1) / kModeCount;
        m_modeButtons[static_cast<std::size_t>(i)]->setGeometry(left, kModeRowTop, right - left, kModeButtonHeight);
    }

    m_bottomLabel->setGeometry(0, h - kBottomLabelHeight, w, kBottomLabelHeight);
    if (m_scrollView) {
        const int top = m_navView->geometry().bottom() + 1;
        m_scrollView->setGeometry(0, top, w, qMax(0, m_bottomLabel->y() - top));
    }
}

void SettingController::resizeEvent(QResizeEvent* event)
{
    ViewController::resizeEvent(event);
    layoutAreas();
}

void SettingController::viewDidLoad()
{
    OxBlueTooth& manager = OxBlueTooth::sharedInstance();
    // The rename follow-up (rescan after every write) ends here.
    manager.setIsChangeName(false);
    setInteractivePop(false);

    if (m_index < 0 || m_index >= kModeCount)
        m_index = 0;

    createPagingArea();

    QWidget* const panels[kModeCount] = {viewCCT(), viewHSI(), viewEFF(), viewSET(), viewSOS(), viewGPM()};
    for (int i = 0; i < kModeCount; ++i) {
        auto* page = new QWidget(m_pageStrip);
        page->setGeometry(i * m_pageSize.width(), 0, m_pageSize.width(), m_pageSize.height());
        const QRect frame = panels[i]->geometry();
        panels[i]->setParent(page);
        panels[i]->setGeometry(frame);
        panels[i]->show();
    }

    modeButtonClicked(modeButton(static_cast<int>(m_index) + kFirstModeTag));
}

void SettingController::createPagingArea()
{
    m_scrollView = new QWidget(this);
    m_scrollView->setObjectName(QStringLiteral("scrollView"));
    m_pageStrip = new QWidget(m_scrollView);
    m_pageStrip->setObjectName(QStringLiteral("pageStrip"));
    m_pageStrip->setGeometry(0, 0, kModeCount * m_pageSize.width(), m_pageSize.height());
    layoutAreas();
    // The last subview: above the background and the bars.
    m_scrollView->raise();
}

void SettingController::viewWillAppear()
{
    // No swipe-back while the control screen is on top.
    setInteractivePop(false);
}

void SettingController::viewWillDisappear() { setInteractivePop(true); }

void SettingController::setInteractivePop(bool enabled)
{
    if (NavigationController* navigation = navigationController())
        navigation->setInteractivePopEnabled(enabled);
}

// Panels ---------------------------------------------------------------------
//
// Every panel is created as a child of the screen (so the screen owns it
// even before it loads) and moved into its page when the screen loads.

ViewCCT* SettingController::viewCCT()
{
    if (!m_viewCCT)
        m_viewCCT = new ViewCCT(QRect(QPoint(0, 0), m_pageSize), this);
    return m_viewCCT;
}

ViewHSI* SettingController::viewHSI()
{
    if (!m_viewHSI)
        m_viewHSI = new ViewHSI(QRect(QPoint(0, 0), m_pageSize), this);
    return m_viewHSI;
}

ViewEFF* SettingController::viewEFF()
{
    if (!m_viewEFF) {
        // Built whole by its constructor (from its form); only the frame is set here.
        m_viewEFF = new ViewEFF(this);
        m_viewEFF->setGeometry(0, 0, m_pageSize.width(), kViewEFFHeight);
    }
    return m_viewEFF;
}

ViewSET* SettingController::viewSET()
{
    if (!m_viewSET) {
        const QRect frame(0, (m_pageSize.height() - kViewSETHeight) / 2, m_pageSize.width(), kViewSETHeight);
        m_viewSET = new ViewSET(frame, this);
    }
    return m_viewSET;
}

ViewSOS* SettingController::viewSOS()
{
    if (!m_viewSOS) {
        const QRect frame(QPoint(0, 0), m_pageSize);
        m_viewSOS = new ViewSOS(frame, this);
    }
    return m_viewSOS;
}

ViewGPM* SettingController::viewGPM()
{
    if (!m_viewGPM) {
        // Built whole by its constructor (from its form); only the frame is set here.
        m_viewGPM = new ViewGPM(this);
        m_viewGPM->setGeometry(0, 0, m_pageSize.width(), m_pageSize.height());
    }
    return m_viewGPM;
}

// Actions --------------------------------------------------------------------

QAbstractButton* SettingController::modeButton(int buttonTag) const
{
    const int position = buttonTag - kFirstModeTag;
    if (position < 0 || position >= kModeCount)
        return nullptr;
    return m_modeButtons[static_cast<std::size_t>(position)];
}

void SettingController::modeButtonClicked(QAbstractButton* button)
{
    const int buttonTag = tag(button);
    const int position = buttonTag - kFirstModeTag;
    if (!button || position < 0 || position >= kModeCount)
        return;
    for (int t = kFirstModeTag; t < kFirstModeTag + kModeCount; ++t) {
        auto* modeButtonT = static_cast<QPushButton*>(modeButton(t));
        const bool selected = t == buttonTag;
        modeButtonT->setChecked(selected);
        modeButtonT->setStyleSheet(modeButtonStyle(selected));
    }
    m_titleLabel->setText(arrayMode()[static_cast<std::size_t>(position)].title);
    m_currentPage = position;
    setContentOffset(m_pageSize.width() * position);
    OxBlueTooth::sharedInstance().setCharacteristicID("FFF1");
}

void SettingController::setContentOffset(int x)
{
    if (m_pageStrip)
        m_pageStrip->move(-x, 0);
}

void SettingController::backButtonClicked()
{
    sharedGroupStore().clearChoice();
    if (NavigationController* navigation = navigationController())
        navigation->pop(true);
}

void SettingController::blueToothButtonClicked()
{
    if (NavigationController* navigation = navigationController())
        navigation->pop(true);
}

}  // namespace lightdeck
