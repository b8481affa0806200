#include "FuzzInput.h"

#include <core/HenkanMod.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::u16string html = qrn::fuzz::unitsFromBytes(data, size);
    const std::u16string tags = qrn::ToJapaneseTags(html, qrn::fuzz::fuzzTable());
    if (tags.size() > html.size() * 8 + 8)
        std::abort();
    // Text without any character that either converter treats specially comes back unchanged.
    if (html.find_first_of(u"<>＜＞（") == std::u16string::npos && tags != html)
        std::abort();
    return 0;
}
