#pragma once
// An alert: a title, a message, at most one text field and a row of action
// buttons, shown window-modal over a window without blocking the caller.
//
//     auto* alert = new AlertController("修改名称", "", this);
//     alert->addTextField([](QLineEdit* field) { /* cut field->text() */ });
//     alert->addAction("取消", AlertController::ActionStyle::Cancel);
//     alert->addAction("确定", AlertController::ActionStyle::Default,
//                      [alert] { use(alert->textField()->text()); });
//     alert->present();
//
// All text is shown as plain text (a light's name is untrusted input). The
// action buttons carry exactly the action titles, in the order added. An
// action closes the alert and then runs its handler; the alert is deleted
// after the handler has returned (deleteLater), so a handler may still read
// the text field. Escape runs the cancel-style action (if any) like a tap on
// it; Return runs the first default-style action. Main thread only.

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QHBoxLayout;

namespace lightdeck {

class AlertController : public QDialog {
    Q_OBJECT
public:
    enum class ActionStyle { Default, Cancel, Destructive };
    using Handler = std::function<void()>;
    using EditHandler = std::function<void(QLineEdit* field)>;

    // `parent`: a widget of the window to present over (its window() is
    // used); nullptr means the application window. An empty title or message
    // hides its label.
    AlertController(const QString& title, const QString& message, QWidget* parent = nullptr);
    ~AlertController() override;

    QString title() const { return m_title; }
    QString message() const { return m_message; }

    // Adds an action button; `handler` may be empty (the action only closes
    // the alert). Returns the button.
    QPushButton* addAction(const QString& title, ActionStyle style, Handler handler = {});

    // Adds the text field (only one; a second call returns the first field).
    // `onEdit` runs after every change of the text, typed, pasted or set, so
    // the owner can cut it; setting the text from inside it is allowed.
    QLineEdit* addTextField(EditHandler onEdit = {});
    QLineEdit* textField() const { return m_textField; }

    QList<QPushButton*> actionButtons() const;
    // The button whose text is `title`, or nullptr.
    QPushButton* buttonForAction(const QString& title) const;

    // Shows the alert window-modal over its window and returns at once.
    void present();

    // Runs the action titled `title` as a tap would. False when there is none
    // or the alert has already been dismissed.
    bool triggerAction(const QString& title);

    // Alerts presented and not yet dismissed, oldest first.
    static QList<AlertController*> openAlerts();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Action {
        QString title;
        ActionStyle style = ActionStyle::Default;
        Handler handler;
        QPushButton* button = nullptr;
    };
    void runAction(int index);
    int indexOfStyle(ActionStyle style) const;

    QString m_title;
    QString m_message;
    QLabel* m_titleLabel = nullptr;
    QLabel* m_messageLabel = nullptr;
    QLineEdit* m_textField = nullptr;
    QHBoxLayout* m_buttonRow = nullptr;
    QList<Action> m_actions;
    bool m_dismissed = false;
};

}  // namespace lightdeck
