#include "PanePlacement.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace qrn {

void PanePlacement::apply(const QWidget &window, const Widgets &w)
{
    const double dpiX = window.logicalDpiX();
    const double dpiY = window.logicalDpiY();
    const QSize outer = window.frameGeometry().size();
    LayoutPass(m_panes, static_cast<float>(outer.width() * 1440.0 / dpiX), static_cast<float>(outer.height() * 1440.0 / dpiY));

    const auto pixels = [](float twips, double dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); };
    const auto place = [&](QWidget *widget, const TwipRect &r) {
        widget->setGeometry(pixels(r.left, dpiX), pixels(r.top, dpiY), pixels(r.width, dpiX), pixels(r.height, dpiY));
    };
    place(w.Koumoku, m_panes.Koumoku);
    place(w.Naiyou, m_panes.Naiyou);
    place(w.LineHenkou2, m_panes.LineHenkou2);
    place(w.MainText, m_panes.MainText);
    place(w.LineHenkou1, m_panes.LineHenkou1);
    place(w.Brw, m_panes.Brw);
}

void PanePlacement::startDrag(float coordinate)
{
    // Held in 16 bits.
    const float r = std::nearbyint(coordinate);
    DragStart = static_cast<std::int16_t>(std::clamp(r, -32768.0f, 32767.0f));
}

} // namespace qrn
