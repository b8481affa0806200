#include "TwipLayout.h"

namespace qrn {

namespace {
// A size that comes out negative is not applied: the pane keeps its last one. Positions have no
// such limit, so a pane may start left of or above the window's edge.
void setSizeIfNotNegative(float &target, float value)
{
    if (value >= 0)
        target = value;
}
} // namespace

void LayoutPass(PaneRects &p, float W, float H)
{
    const float X2 = p.LineHenkou2.left;
    const float Y1 = p.LineHenkou1.top;
    setSizeIfNotNegative(p.Koumoku.width, X2 - 120);
    setSizeIfNotNegative(p.Naiyou.width, X2 - 120);
    setSizeIfNotNegative(p.Naiyou.height, H - p.Naiyou.top - 1000);
    setSizeIfNotNegative(p.LineHenkou2.height, H);
    setSizeIfNotNegative(p.MainText.height, Y1 - 120);
    p.MainText.left = X2 + 120;
    p.Brw.left = X2 + 120;
    p.Brw.top = Y1 + 120;
    setSizeIfNotNegative(p.Brw.height, H - p.Brw.top - 1000);
    setSizeIfNotNegative(p.MainText.width, W - p.MainText.left - 200);
    setSizeIfNotNegative(p.Brw.width, p.MainText.width);
    p.LineHenkou1.left = p.MainText.left;
    setSizeIfNotNegative(p.LineHenkou1.width, W - p.LineHenkou1.left);
}

} // namespace qrn
