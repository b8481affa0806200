#include "ColorValue.h"

namespace qrn {

namespace {
// System colour indexes as the platform numbers them, and the palette role that plays each part here.
QPalette::ColorRole roleOfSystemColor(unsigned index)
{
    switch (index) {
    case 5: return QPalette::Base;            // window background
    case 8: return QPalette::Text;            // window text
    case 13: return QPalette::Highlight;
    case 14: return QPalette::HighlightedText;
    case 15: return QPalette::Button;         // button face
    case 18: return QPalette::ButtonText;
    case 17: return QPalette::PlaceholderText; // grey text
    case 23: return QPalette::ToolTipText;
    case 24: return QPalette::ToolTipBase;
    case 4: return QPalette::Window;          // menu
    case 7: return QPalette::WindowText;      // menu text
    default: return QPalette::Window;
    }
}
} // namespace

QColor colorFromValue(std::int32_t value, const QPalette &system)
{
    const auto v = static_cast<std::uint32_t>(value);
    if (v & 0x80000000u)
        return system.color(QPalette::Active, roleOfSystemColor(v & 0xFFu));
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

std::int32_t valueFromColor(const QColor &color)
{
    return static_cast<std::int32_t>(std::uint32_t(color.red()) | std::uint32_t(color.green()) << 8
                                     | std::uint32_t(color.blue()) << 16);
}

} // namespace qrn
