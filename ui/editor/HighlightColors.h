#pragma once

#include <QColor>

namespace qrn {

// The colours the editor marks the notation with, chosen for the user's own background: each
// keeps its hue but takes the lightness that reads on that background, dark ones included.
struct HighlightColors {
    QColor bracket;   // ＜ ＞ and the separators and quote marks inside a tag
    QColor tagName;
    QColor attribute;
    QColor value;
    QColor escape;
    QColor quiet;     // words that pass through unchanged on purpose, dropped "（"
    QColor warning;   // the wavy underline under a word the dictionary does not know
};

HighlightColors highlightColorsFor(const QColor &background, const QColor &text);

// The contrast ratio of two colours as the web's accessibility guidelines define it (1 to 21).
double contrastRatio(const QColor &a, const QColor &b);

} // namespace qrn
