#include "FuzzInput.h"

#include <core/HenkanMod.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::u16string text = qrn::fuzz::unitsFromBytes(data, size);
    const std::u16string html = qrn::ToHtml(text, qrn::fuzz::fuzzTable());
    // Longest growth: an empty word looked up at every separator ("empty" plus the separator).
    if (html.size() > text.size() * 8 + 8)
        std::abort();
    return 0;
}
