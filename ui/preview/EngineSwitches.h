#pragma once

#include <QString>

namespace qrn {

// The given engine switches (as QTWEBENGINE_CHROMIUM_FLAGS holds them) with those the pane needs
// added, and any that would undo them dropped: no WebTransport, no WebRTC (it may only use a proxy,
// and there is none), and Japanese for the engine's own pages, its error pages included.
QString previewEngineSwitches(const QString &given);

} // namespace qrn
