#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>

namespace qrn {

// Colour values as the settings file stores them: 0x00BBGGRR for an explicit colour, or the high
// bit set and a system colour index in the low byte (window background is index 5).
constexpr std::int32_t SystemColorWindow = static_cast<std::int32_t>(0x80000005u);
constexpr std::int32_t SystemColorWindowText = static_cast<std::int32_t>(0x80000008u);

QColor colorFromValue(std::int32_t value, const QPalette &system);
std::int32_t valueFromColor(const QColor &color);

} // namespace qrn
