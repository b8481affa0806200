#include "DictionaryFile.h"

#include "TextCodec.h"

namespace qrn {

namespace {
QByteArray encodeRecords(std::span<const TagEntry> records, TextEncoding encoding)
{
    return encodeTextFile(fromU16(WriteTagFileText(records)), encoding, Unmappable::QuestionMark).bytes;
}
} // namespace

DictionaryFile::DictionaryFile(QString path, TextEncoding encoding) : m_path(std::move(path)), m_encoding(encoding) {}

DictionaryLoadResult DictionaryFile::load(TagTable &table)
{
    table.clear();
    m_loaded = false;
    m_bytesRead.clear();
    m_recordsRead.clear();
    m_notLoaded.clear();
    DictionaryLoadResult result;
    ReadBytesResult raw = readFileBytes(m_path);
    if (!raw.ok) {
        result.file = FileResult::failure(raw.error, raw.cause);
        return result;
    }
    const QString text = decodeText(raw.bytes, m_encoding);
    result.records = ReadTagFileText(toU16View(text), table);
    result.file = FileResult::success();
    m_loaded = true;
    m_bytesRead = std::move(raw.bytes);
    m_notLoaded = result.records.notLoaded;
    m_recordsRead = TagFileRecords(table, m_notLoaded);
    return result;
}

FileResult DictionaryFile::save(const TagTable &table)
{
    std::vector<TagEntry> records = TagFileRecords(table, m_notLoaded);
    if (m_loaded) {
        const ReadBytesResult now = readFileBytes(m_path);
        // A file that is gone or unreadable now has nothing to merge with: this run's records stand.
        if (now.ok && now.bytes != m_bytesRead) {
            // Another run rewrote the file after this one read it.
            if (records == m_recordsRead)
                return FileResult::success();
            TagTable scratch;
            const TagFileReadResult read = ReadTagFileText(toU16View(decodeText(now.bytes, m_encoding)), scratch);
            records = MergeTagRecords(m_recordsRead, records, TagFileRecords(scratch, read.notLoaded));
        }
    }
    QByteArray bytes = encodeRecords(records, m_encoding);
    const FileResult written = writeFileAtomically(m_path, bytes);
    if (written.ok) {
        m_loaded = true;
        m_bytesRead = std::move(bytes);
        m_recordsRead = std::move(records);
    }
    return written;
}

FileResult writeDictionaryFile(const QString &path, const TagTable &table, TextEncoding encoding)
{
    return writeFileAtomically(path, encodeRecords(TagFileRecords(table), encoding));
}

} // namespace qrn
