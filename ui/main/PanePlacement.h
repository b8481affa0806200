#pragma once

#include "TwipLayout.h"

#include <cstdint>

class QWidget;

namespace qrn {

// The main window's panes in twips: the layout pass for the window's size, the two splitter
// bars' drags, and placing the widgets at the resulting rectangles.
class PanePlacement {
public:
    struct Widgets {
        QWidget *Koumoku, *Naiyou, *LineHenkou2, *MainText, *LineHenkou1, *Brw;
    };

    const PaneRects &panes() const { return m_panes; }
    std::int16_t DragStart = 0;

    // Lays the panes out for the window's outer size and moves the widgets there.
    void apply(const QWidget &window, const Widgets &widgets);
    // A press on a bar keeps the pointer's coordinate across it, rounded half to even.
    void startDrag(float coordinate);
    // A move with the left button held moves the bar by the pointer's way from the press.
    void dragVerticalBar(float x) { m_panes.LineHenkou2.left = m_panes.LineHenkou2.left - DragStart + x; }
    void dragHorizontalBar(float y) { m_panes.LineHenkou1.top = m_panes.LineHenkou1.top - DragStart + y; }

private:
    PaneRects m_panes;
};

} // namespace qrn
