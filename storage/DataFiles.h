#pragma once

#include "DictionaryFile.h"
#include "SettingsFile.h"

#include <QList>
#include <QString>

namespace qrn {

class TagTable;

// The two data files of the data folder: the tag dictionary and the editor's appearance. Read
// at start-up, written at every exit; each write keeps what another run on the same folder
// wrote meanwhile (the merge lives with each file).
class DataFiles {
public:
    explicit DataFiles(const QString &dataFolder);

    DictionaryLoadResult loadDictionary(TagTable &table) { return m_dictionary.load(table); }
    // Dictionary records not in use because the table was full; they are kept in the file.
    std::size_t dictionaryRecordsNotLoaded() const { return m_dictionary.notLoadedCount(); }
    SettingsReadResult readAppearance() { return m_settings.read(); }
    // The appearance as the run began (the file's fields applied to the editor).
    void setAppearanceAtStart(const EditorAppearance &appearance) { m_appearanceAtStart = appearance; }

    struct Failure {
        QString path;
        FileResult result;
    };
    // Writes both files; those that could not be written.
    QList<Failure> save(const TagTable &table, const EditorAppearance &appearance);

private:
    QString m_settingsPath;
    DictionaryFile m_dictionary;
    SettingsFile m_settings;
    EditorAppearance m_appearanceAtStart;
};

} // namespace qrn
