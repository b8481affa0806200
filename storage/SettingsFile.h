#pragma once

#include "TextFile.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace qrn {

// The editor's six appearance values, in the order of the settings file.
struct EditorAppearance {
    std::int32_t BackColor = 0;
    QString FaceName;
    double Size = 0;
    bool Bold = false;
    bool Italic = false;
    std::int32_t ForeColor = 0;

    friend bool operator==(const EditorAppearance &, const EditorAppearance &) = default;
};

// The values of a settings line that could be read and converted; a missing or unconvertible
// field has no value, and the editor keeps that property as it was.
struct SettingsFields {
    std::optional<std::int32_t> BackColor;
    std::optional<QString> FaceName;
    std::optional<double> Size;
    std::optional<bool> Bold;
    std::optional<bool> Italic;
    std::optional<std::int32_t> ForeColor;
};

struct SettingsReadResult {
    FileResult file;
    SettingsFields fields;
};

// "16777215,face,10.5,True,False,0": fields end at a comma or the end of the first line.
SettingsFields parseSettingsLine(QStringView line);
QString formatSettingsLine(const EditorAppearance &appearance);
// A point size with at most four fractional digits and no trailing zeros: 9, 10.5.
QString formatFontSize(double size);

// One run's settings file. It remembers what it read: when another run rewrote the file
// meanwhile, saving keeps that run's values except those this run changed, and a run that
// changed nothing leaves the file alone.
class SettingsFile {
public:
    explicit SettingsFile(QString path);

    SettingsReadResult read();
    // `atStart` is the appearance as the run began, after the file was read.
    FileResult save(const EditorAppearance &current, const EditorAppearance &atStart);

private:
    QString m_path;
    bool m_read = false;
    QByteArray m_bytesRead;
};


} // namespace qrn
