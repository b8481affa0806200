#include "DataFiles.h"

#include "ProgramFiles.h"

namespace qrn {

DataFiles::DataFiles(const QString &dataFolder)
    : m_settingsPath(joinPath(dataFolder, SettingsFileName)), m_dictionary(joinPath(dataFolder, DictionaryFileName)),
      m_settings(m_settingsPath)
{
}

QList<DataFiles::Failure> DataFiles::save(const TagTable &table, const EditorAppearance &appearance)
{
    QList<Failure> failures;
    if (const FileResult dictionary = m_dictionary.save(table); !dictionary.ok)
        failures.append({m_dictionary.path(), dictionary});
    if (const FileResult settings = m_settings.save(appearance, m_appearanceAtStart); !settings.ok)
        failures.append({m_settingsPath, settings});
    return failures;
}

} // namespace qrn
