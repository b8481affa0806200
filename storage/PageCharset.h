#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <optional>

namespace qrn {

// The one answer to "which charset does this page declare", for the export, the preview's
// scratch file, what the preview serves, an import and qrn-convert alike. It is the HTML
// standard's prescan: a byte-order mark, else the first <meta charset> or <meta http-equiv=
// "Content-Type" content="…charset=…"> in the first 1,024 bytes, comments and the attributes of
// other tags skipped. Lower case, as a page names it; nothing without a declaration.
std::optional<QByteArray> declaredPageCharset(QByteArrayView bytes);
// How far into a page the prescan reads, in bytes.
inline constexpr qsizetype PagePrescanBytes = 1024;
// The same on the text of a page before it is encoded (the declaration is ASCII).
std::optional<QByteArray> declaredPageCharset(QStringView html);

} // namespace qrn
