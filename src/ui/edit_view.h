#pragma once
// A small popup list laid over a panel: a clear view covering the frame it
// is given, holding a plain two-row list (half the view's width, 88 pixels
// high, rows 44 high, no separators, no selection highlight).
//
// A tap on row r calls the getIndex callback with r, then removes the popup
// (hidden at once, deleted later). With no callback set a tap on a row does
// nothing. A press on the view outside the list removes the popup without
// calling anything.
//
//     auto* popup = new EditView(panel->rect(), panel);
//     popup->setArrayTitle({"添加", "长按进行操作"});
//     popup->setTablePoint({panel->width() / 2, button->geometry().bottom() + 5});
//     popup->setGetIndex([this](int row) { ... });
//     popup->show();

#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <functional>

class QListWidget;

namespace lightdeck {

class EditView : public QWidget {
    Q_OBJECT
public:
    // Row height of the list, in pixels; the list is two rows high.
    static constexpr int kRowHeight = 44;
    static constexpr int kListHeight = 88;

    // `frame` is the popup's geometry in `parent`'s coordinates.
    explicit EditView(const QRect& frame, QWidget* parent = nullptr);

    // The entries, one row each, replacing the previous ones.
    void setArrayTitle(const QStringList& titles);
    QStringList arrayTitle() const { return m_titles; }

    // Places the list's top-left corner at `point` (in the popup's
    // coordinates); an x beyond two thirds of the main screen's width is
    // reduced to two thirds of it.
    void setTablePoint(QPoint point);

    // Called with the tapped row's position (from 0).
    void setGetIndex(std::function<void(int)> callback);

    QListWidget* tableView() const { return m_table; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rowTapped(int row);
    void dismiss();

    QListWidget* m_table = nullptr;
    QStringList m_titles;
    std::function<void(int)> m_getIndex;
    bool m_dismissed = false;
    int m_pressedRow = -1;  // row under the press on the list, -1 for none
};

}  // namespace lightdeck
