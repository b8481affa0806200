#include "DictionaryFile.h"

#include "TextCodec.h"

namespace qrn {

DictionaryLoadResult loadDictionaryFile(const QString &path, TagTable &table, TextEncoding encoding)
{
    table.clear();
    DictionaryLoadResult result;
    const ReadBytesResult raw = readFileBytes(path);
    if (!raw.ok) {
        result.file = FileResult::failure(raw.error);
        return result;
    }
    const QString text = decodeText(raw.bytes, encoding);
    result.records = ReadTagFileText(toU16View(text), table);
    result.file = FileResult::success();
    return result;
}

FileResult saveDictionaryFile(const QString &path, const TagTable &table, TextEncoding encoding)
{
    const std::u16string line = WriteTagFileText(table);
    return writeTextFile(path, fromU16(line), encoding, Unmappable::QuestionMark);
}

} // namespace qrn
