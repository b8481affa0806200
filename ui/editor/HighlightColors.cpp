#include "HighlightColors.h"

#include <algorithm>
#include <cmath>

namespace qrn {

namespace {

double relativeLuminance(const QColor &c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

// Text contrast the guidelines ask of ordinary text; every background reaches it with either black
// or white, so a hue walked towards the better of the two reaches it too.
constexpr double ReadableContrast = 4.5;

// The colour of the hue, as saturated as asked, at the lightness nearest `preferred` that still
// reads on the background: lighter on dark backgrounds, darker on light ones.
QColor readableHue(const QColor &background, int hue, double saturation, double preferred)
{
    const bool darkBackground = contrastRatio(background, Qt::white) > contrastRatio(background, Qt::black);
    double lightness = darkBackground ? 1.0 - preferred : preferred;
    const double step = darkBackground ? 0.02 : -0.02;
    QColor c = QColor::fromHslF(hue / 360.0, saturation, lightness);
    while (contrastRatio(c, background) < ReadableContrast && lightness > 0.0 && lightness < 1.0) {
        lightness = std::clamp(lightness + step, 0.0, 1.0);
        c = QColor::fromHslF(hue / 360.0, saturation, lightness);
    }
    return c;
}

QColor mix(const QColor &a, const QColor &b, double aShare)
{
    const QColor x = a.toRgb(), y = b.toRgb();
    return QColor::fromRgbF(float(x.redF() * aShare + y.redF() * (1 - aShare)),
                            float(x.greenF() * aShare + y.greenF() * (1 - aShare)),
                            float(x.blueF() * aShare + y.blueF() * (1 - aShare)));
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

HighlightColors highlightColorsFor(const QColor &background, const QColor &text)
{
    HighlightColors c;
    c.bracket = readableHue(background, 210, 0.85, 0.40);
    c.tagName = readableHue(background, 250, 0.70, 0.45);
    c.attribute = readableHue(background, 150, 0.80, 0.28);
    c.value = readableHue(background, 25, 0.85, 0.38);
    c.escape = readableHue(background, 320, 0.75, 0.42);
    c.warning = readableHue(background, 0, 0.95, 0.48);
    // Between the text colour and the background, but still readable.
    double share = 0.55;
    c.quiet = mix(text, background, share);
    while (contrastRatio(c.quiet, background) < 3.0 && share < 1.0) {
        share = std::min(1.0, share + 0.05);
        c.quiet = mix(text, background, share);
    }
    return c;
}

} // namespace qrn
