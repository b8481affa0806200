#include "FuzzInput.h"

#include <core/TagFileFormat.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::u16string text = qrn::fuzz::unitsFromBytes(data, size);
    qrn::TagTable table;
    const qrn::TagFileReadResult read = qrn::ReadTagFileText(text, table);
    if (read.added != table.TagCount() || (!read.notLoaded.empty() && table.TagCount() != qrn::TagTable::MaxTagCount) || !(table[0] == qrn::TagTable::builtInEntry()))
        std::abort();
    // Whatever was read is written as one line that reads back to the same records whenever the
    // file can carry every record.
    const std::u16string line = qrn::WriteTagFileText(table);
    bool plain = true;
    for (const qrn::TagEntry &e : table.entries())
        plain = plain && qrn::TagFileCanCarry(e);
    if (plain) {
        qrn::TagTable again;
        qrn::ReadTagFileText(line, again);
        if (again.entries() != table.entries())
            std::abort();
    }
    return 0;
}
