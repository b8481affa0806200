#pragma once

#include <QWidget>

#include <cmath>

namespace qrn {

// Twips (1/1440 inch) to pixels at the widget's logical dpi: 15 twips a pixel at 96 dpi.
inline int twipsX(const QWidget *w, double twips) { return int(std::lround(twips * w->logicalDpiX() / 1440.0)); }
inline int twipsY(const QWidget *w, double twips) { return int(std::lround(twips * w->logicalDpiY() / 1440.0)); }
inline double pixelsToTwipsX(const QWidget *w, int px) { return px * 1440.0 / w->logicalDpiX(); }
inline double pixelsToTwipsY(const QWidget *w, int px) { return px * 1440.0 / w->logicalDpiY(); }

inline void placeTwips(QWidget *w, double left, double top, double width, double height)
{
    w->setGeometry(twipsX(w, left), twipsY(w, top), twipsX(w, width), twipsY(w, height));
}

// Fits a child at (120, 120) to its window: height = outer height − 610, width = outer width − 310,
// in twips. A result below zero is not applied; the other step still runs.
inline void fitToWindowMargins(QWidget *window, QWidget *child)
{
    const QSize outer = window->frameGeometry().size();
    const double height = pixelsToTwipsY(window, outer.height()) - 610;
    const double width = pixelsToTwipsX(window, outer.width()) - 310;
    QRect r = child->geometry();
    r.moveTo(twipsX(window, 120), twipsY(window, 120));
    if (height >= 0)
        r.setHeight(twipsY(window, height));
    if (width >= 0)
        r.setWidth(twipsX(window, width));
    child->setGeometry(r);
}

} // namespace qrn
