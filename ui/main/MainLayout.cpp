#include "MainLayout.h"

namespace qrn {

namespace {
void setIfNotNegative(float &target, float value)
{
    if (value >= 0)
        target = value;
}
} // namespace

void LayoutPass(PaneRects &p, float W, float H)
{
    const float X2 = p.LineHenkou2.left;
    const float Y1 = p.LineHenkou1.top;
    setIfNotNegative(p.Koumoku.width, X2 - 120);
    setIfNotNegative(p.Naiyou.width, X2 - 120);
    setIfNotNegative(p.Naiyou.height, H - p.Naiyou.top - 1000);
    setIfNotNegative(p.LineHenkou2.height, H);
    setIfNotNegative(p.MainText.height, Y1 - 120);
    setIfNotNegative(p.MainText.left, X2 + 120);
    setIfNotNegative(p.Brw.left, X2 + 120);
    setIfNotNegative(p.Brw.top, Y1 + 120);
    setIfNotNegative(p.Brw.height, H - p.Brw.top - 1000);
    setIfNotNegative(p.MainText.width, W - p.MainText.left - 200);
    setIfNotNegative(p.Brw.width, p.MainText.width);
    setIfNotNegative(p.LineHenkou1.left, p.MainText.left);
    setIfNotNegative(p.LineHenkou1.width, W - p.LineHenkou1.left);
}

} // namespace qrn
