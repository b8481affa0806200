#pragma once

namespace qrn {

// A pane's rectangle in twips (1/1440 inch), single precision as the layout computes it.
struct TwipRect {
    float left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const TwipRect &, const TwipRect &) = default;
};

// The main window's panes. The bars' positions (LineHenkou2.left = X2, LineHenkou1.top = Y1) are the
// layout's only state.
struct PaneRects {
    TwipRect Koumoku{120, 120, 1695, 1320};
    TwipRect Naiyou{120, 1440, 1695, 5280};
    TwipRect LineHenkou2{1800, 120, 135, 6735};
    TwipRect MainText{1920, 120, 6015, 3855};
    TwipRect LineHenkou1{3360, 3960, 4575, 135};
    TwipRect Brw{1920, 4080, 6015, 2655};
    friend bool operator==(const PaneRects &, const PaneRects &) = default;
};

// The layout pass for the window's outer width and height in twips. Each step reads what the
// earlier ones set; a step whose width or height comes out negative is not applied and the pass
// goes on. Positions are always applied, negative ones included.
void LayoutPass(PaneRects &panes, float W, float H);

} // namespace qrn
