#include "ui/alert_controller.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/application_window.h"

namespace lightdeck {

namespace {
QList<QPointer<AlertController>>& registry()
{
    static QList<QPointer<AlertController>> alerts;
    return alerts;
}

QWidget* windowFor(QWidget* parent)
{
    if (parent)
        return parent->window();
    return applicationWindow();
}

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);  // never interpret a light's name as markup
    label->setText(text);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    label->setVisible(!text.isEmpty());
    return label;
}
}  // namespace

AlertController::AlertController(const QString& title, const QString& message, QWidget* parent)
    : QDialog(windowFor(parent))
    , m_title(title)
    , m_message(message)
{
    setWindowTitle(title);
    setModal(true);
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(270);

    auto* layout = new QVBoxLayout(this);
    m_titleLabel = plainLabel(title, this);
    QFont bold = m_titleLabel->font();
    bold.setBold(true);
    m_titleLabel->setFont(bold);
    m_messageLabel = plainLabel(message, this);
    layout->addWidget(m_titleLabel);
    layout->addWidget(m_messageLabel);
    m_buttonRow = new QHBoxLayout;
    layout->addLayout(m_buttonRow);
}

AlertController::~AlertController()
{
    registry().removeAll(QPointer<AlertController>(this));
    registry().removeAll(nullptr);
}

QPushButton* AlertController::addAction(const QString& title, ActionStyle style, Handler handler)
{
    auto* button = new QPushButton(this);
    button->setText(title);
    button->setAutoDefault(false);
    if (style == ActionStyle::Default && indexOfStyle(ActionStyle::Default) < 0)
        button->setDefault(true);
    const int index = static_cast<int>(m_actions.size());
    m_actions.append({title, style, std::move(handler), button});
    connect(button, &QPushButton::clicked, this, [this, index] { runAction(index); });
    m_buttonRow->addWidget(button);
    return button;
}

QLineEdit* AlertController::addTextField(EditHandler onEdit)
{
    if (m_textField)
        return m_textField;
    m_textField = new QLineEdit(this);
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->insertWidget(2, m_textField);
    if (onEdit) {
        connect(m_textField, &QLineEdit::textChanged, this,
                [this, onEdit = std::move(onEdit)] { onEdit(m_textField); });
    }
    m_textField->setFocus();
    return m_textField;
}

QList<QPushButton*> AlertController::actionButtons() const
{
    QList<QPushButton*> buttons;
    for (const auto& action : m_actions)
        buttons.append(action.button);
    return buttons;
}

QPushButton* AlertController::buttonForAction(const QString& title) const
{
    for (const auto& action : m_actions)
        if (action.title == title)
            return action.button;
    return nullptr;
}

void AlertController::present()
{
    registry().removeAll(nullptr);
    if (!registry().contains(QPointer<AlertController>(this)))
        registry().append(this);
    open();  // window-modal and non-blocking, unlike exec()
    if (m_textField)
        m_textField->setFocus();
}

bool AlertController::triggerAction(const QString& title)
{
    if (m_dismissed)
        return false;
    for (int i = 0; i < m_actions.size(); ++i) {
        if (m_actions[i].title == title) {
            runAction(i);
            return true;
        }
    }
    return false;
}

QList<AlertController*> AlertController::openAlerts()
{
    QList<AlertController*> alerts;
    for (const auto& alert : registry())
        if (alert && !alert->m_dismissed)
            alerts.append(alert);
    return alerts;
}

int AlertController::indexOfStyle(ActionStyle style) const
{
    for (int i = 0; i < m_actions.size(); ++i)
        if (m_actions[i].style == style)
            return i;
    return -1;
}

void AlertController::runAction(int index)
{
    if (m_dismissed || index < 0 || index >= m_actions.size())
        return;
    m_dismissed = true;
    registry().removeAll(QPointer<AlertController>(this));
    // Close first, then run the handler: a handler may present another alert.
    const Handler handler = m_actions[index].handler;
    hide();
    setResult(m_actions[index].style == ActionStyle::Cancel ? QDialog::Rejected : QDialog::Accepted);
    if (handler)
        handler();
    deleteLater();
}

void AlertController::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        const int cancel = indexOfStyle(ActionStyle::Cancel);
        if (cancel >= 0) {
            runAction(cancel);
        } else if (m_actions.isEmpty()) {
            // Nothing to choose: Escape is the only way out.
            m_dismissed = true;
            registry().removeAll(QPointer<AlertController>(this));
            hide();
            deleteLater();
        }
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const int preferred = indexOfStyle(ActionStyle::Default);
        if (preferred >= 0)
            runAction(preferred);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void AlertController::closeEvent(QCloseEvent* event)
{
    // Closing the window by its frame counts as the cancel action; an alert
    // with no cancel action stays until one of its actions is chosen.
    if (m_dismissed) {
        event->accept();
        return;
    }
    event->ignore();
    const int cancel = indexOfStyle(ActionStyle::Cancel);
    if (cancel >= 0)
        runAction(cancel);
}

}  // namespace lightdeck
