#pragma once

#include "TextEncoding.h"
#include "TextFile.h"

#include <TagFileFormat.h>
#include <TagTable.h>

#include <QString>

namespace qrn {

struct DictionaryLoadResult {
    FileResult file;
    TagFileReadResult records;
};

// Builds the table anew: the built-in entry, then the file's records. When the file cannot be
// read the table holds the built-in entry alone and the result says why.
DictionaryLoadResult loadDictionaryFile(const QString &path, TagTable &table,
                                        TextEncoding encoding = TextEncoding::ShiftJis);

// Writes the table's single line and CR LF, atomically. Characters the encoding cannot hold
// become "?".
FileResult saveDictionaryFile(const QString &path, const TagTable &table,
                              TextEncoding encoding = TextEncoding::ShiftJis);

} // namespace qrn
