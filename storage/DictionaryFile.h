#pragma once

#include "TextEncoding.h"
#include "TextFile.h"

#include <core/TagFileFormat.h>
#include <core/TagTable.h>

#include <QByteArray>
#include <QString>

#include <vector>

namespace qrn {

struct DictionaryLoadResult {
    FileResult file;
    TagFileReadResult records;
};

// One run's dictionary file. It remembers what it read, so that writing back loses nothing:
// records the table had no room for are written after the table's, and when another run
// rewrote the file meanwhile, this run's additions and deletions are applied to that file
// instead of overwriting it (a run that changed nothing leaves it alone).
class DictionaryFile {
public:
    explicit DictionaryFile(QString path, TextEncoding encoding = TextEncoding::ShiftJis);

    const QString &path() const { return m_path; }

    // Builds the table anew: the built-in entry, then the file's records. When the file cannot
    // be read the table holds the built-in entry alone and the result says why.
    DictionaryLoadResult load(TagTable &table);

    // Records of the file that are not in use because the table was full.
    std::size_t notLoadedCount() const { return m_notLoaded.size(); }

    // Writes the table back, atomically, as the single line and CR LF. Characters the encoding
    // cannot hold become "?".
    FileResult save(const TagTable &table);

private:
    QString m_path;
    TextEncoding m_encoding;
    bool m_loaded = false;
    QByteArray m_bytesRead;          // the file as it was read, to see whether it changed since
    std::vector<TagEntry> m_recordsRead; // every record read, those not in use included
    std::vector<TagEntry> m_notLoaded;
};

// Writes a table to a dictionary file, replacing what is there.
FileResult writeDictionaryFile(const QString &path, const TagTable &table,
                               TextEncoding encoding = TextEncoding::ShiftJis);

} // namespace qrn
