#pragma once
// CellEFFMode: one tile of the effects grid. A white rounded tile with the
// effect's icon (25 x 25) and caption; while selected, the image
// "bg_selectMode" fills it behind the icon.
//
// The tile paints itself and takes no mouse events of its own: a click on it
// reaches the grid (the list view), which decides whether the row takes
// touches. A tile whose effect is unavailable is disabled but looks exactly
// like an enabled one (a light that lacks an effect only stops it reacting).

#include <QPixmap>
#include <QString>
#include <QWidget>

#include "panels/mode_tables.h"

namespace lightdeck {

class CellEFFMode : public QWidget {
    Q_OBJECT
public:
    // Content corner radius and icon size, in pixels.
    static constexpr int kCornerRadius = 14;
    static constexpr int kIconSize = 25;

    explicit CellEFFMode(QWidget* parent = nullptr);
    CellEFFMode(const QRect& frame, QWidget* parent = nullptr);

    // The row record: sets the icon (imageName) and the caption (title).
    void setDict(const EffectMode& dict);
    const EffectMode& dict() const { return m_dict; }
    QString title() const { return m_title; }

    // The selection look: "bg_selectMode" behind the icon, or nothing.
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void createUI();

    EffectMode m_dict;
    QString m_title;
    QPixmap m_icon;
    bool m_selected = false;
};

}  // namespace lightdeck
