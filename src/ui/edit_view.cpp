#include "ui/edit_view.h"

#include <QListWidget>
#include <QMouseEvent>
#include <QPointer>

#include <utility>

#include "ui/application_window.h"

namespace lightdeck {

EditView::EditView(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    // Clear: the panel beneath shows through; the view still takes presses.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);

    m_table = new QListWidget(this);
    m_table->setGeometry(0, 0, frame.width() / 2, kListHeight);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setUniformItemSizes(true);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Plain white rows, black text, no separators and no highlight.
    m_table->setStyleSheet(QStringLiteral(
        "QListWidget { background: white; color: black; border: none; }"
        "QListWidget::item { border: none; padding-left: 15px; }"
        "QListWidget::item:hover, QListWidget::item:selected { background: white; color: black; }"));
    // Taps are read from the list's own mouse events rather than its
    // itemClicked signal, so a callback may delete the list's owners without
    // pulling the list out from under its own event handling.
    m_table->viewport()->installEventFilter(this);
}

void EditView::setArrayTitle(const QStringList& titles)
{
    m_titles = titles;
    m_table->clear();
    for (const QString& title : titles) {
        auto* item = new QListWidgetItem(title, m_table);
        item->setSizeHint(QSize(m_table->width(), kRowHeight));
        item->setFlags(Qt::ItemIsEnabled);
    }
}

void EditView::setTablePoint(QPoint point)
{
    const int limit = mainScreenSize().width() * 2 / 3;
    if (point.x() > limit)
        point.setX(limit);
    m_table->move(point);
}

void EditView::setGetIndex(std::function<void(int)> callback) { m_getIndex = std::move(callback); }

bool EditView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_table->viewport())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = m_table->indexAt(mouse->position().toPoint());
        m_pressedRow = mouse->button() == Qt::LeftButton && index.isValid() ? index.row() : -1;
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = m_table->indexAt(mouse->position().toPoint());
        const int pressed = std::exchange(m_pressedRow, -1);
        // A tap: pressed and released on the same row.
        if (mouse->button() == Qt::LeftButton && index.isValid() && index.row() == pressed)
            rowTapped(pressed);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void EditView::rowTapped(int row)
{
    if (m_dismissed || !m_getIndex)
        return;
    // Copied: the callback may replace it, or delete this view with its parent.
    const auto callback = m_getIndex;
    const QPointer<EditView> self(this);
    callback(row);
    if (self)
        dismiss();
}

void EditView::mousePressEvent(QMouseEvent* event)
{
    // Presses on the list itself never get here; this is outside it.
    event->accept();
    dismiss();
}

void EditView::dismiss()
{
    if (m_dismissed)
        return;
    m_dismissed = true;
    hide();
    deleteLater();
}

}  // namespace lightdeck
