#pragma once

#include <string>

namespace qrn {

// The ten lines a new document starts with, joined by CR LF, without a line end after the last.
std::u16string NewDocumentTemplate();

} // namespace qrn
