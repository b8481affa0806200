#include "SettingsFile.h"

#include "TextCodec.h"

#include <QList>

#include <cmath>

namespace qrn {

namespace {

std::optional<std::int32_t> toColorValue(QStringView field)
{
    bool ok = false;
    const qlonglong v = field.trimmed().toLongLong(&ok);
    if (!ok || v < INT32_MIN || v > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

std::optional<double> toSize(QStringView field)
{
    bool ok = false;
    const double v = field.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0 || v > 1638)
        return std::nullopt;
    return v;
}

std::optional<bool> toBool(QStringView field)
{
    const QStringView t = field.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

} // namespace

SettingsFields parseSettingsLine(QStringView text)
{
    // Only the first line counts.
    qsizetype end = text.size();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) {
            end = i;
            break;
        }
    }
    const QStringView line = text.left(end);
    const QList<QStringView> f = line.split(QLatin1Char(','));
    const auto field = [&](qsizetype i) -> std::optional<QStringView> {
        return i < f.size() ? std::optional<QStringView>(f[i]) : std::nullopt;
    };
    SettingsFields r;
    if (auto v = field(0))
        r.BackColor = toColorValue(*v);
    if (auto v = field(1); v && !v->isEmpty())
        r.FaceName = v->toString();
    if (auto v = field(2))
        r.Size = toSize(*v);
    if (auto v = field(3))
        r.Bold = toBool(*v);
    if (auto v = field(4))
        r.Italic = toBool(*v);
    if (auto v = field(5))
        r.ForeColor = toColorValue(*v);
    return r;
}

QString formatFontSize(double size)
{
    QString s = QString::number(size, 'f', 4);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

QString formatSettingsLine(const EditorAppearance &a)
{
    // Joined piece by piece: a face name holding "%1" must not be substituted again.
    const auto boolWord = [](bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); };
    const QChar comma = QLatin1Char(',');
    return QString::number(a.BackColor) + comma + a.FaceName + comma + formatFontSize(a.Size) + comma
           + boolWord(a.Bold) + comma + boolWord(a.Italic) + comma + QString::number(a.ForeColor);
}

SettingsFile::SettingsFile(QString path) : m_path(std::move(path)) {}

SettingsReadResult SettingsFile::read()
{
    SettingsReadResult result;
    ReadBytesResult raw = readFileBytes(m_path);
    if (!raw.ok) {
        result.file = FileResult::failure(raw.error, raw.cause);
        return result;
    }
    result.file = FileResult::success();
    result.fields = parseSettingsLine(decodeText(raw.bytes, TextEncoding::ShiftJis));
    m_bytesRead = std::move(raw.bytes);
    m_read = true;
    return result;
}

FileResult SettingsFile::save(const EditorAppearance &current, const EditorAppearance &atStart)
{
    EditorAppearance written = current;
    if (m_read) {
        const ReadBytesResult now = readFileBytes(m_path);
        if (now.ok && now.bytes != m_bytesRead) {
            // Another run rewrote the file after this one read it: keep its values but for those
            // this run changed.
            if (current == atStart)
                return FileResult::success();
            const SettingsFields theirs = parseSettingsLine(decodeText(now.bytes, TextEncoding::ShiftJis));
            const auto keep = [](auto &value, const auto &mine, const auto &start, const auto &other) {
                if (mine == start && other)
                    value = *other;
            };
            keep(written.BackColor, current.BackColor, atStart.BackColor, theirs.BackColor);
            keep(written.FaceName, current.FaceName, atStart.FaceName, theirs.FaceName);
            keep(written.Size, current.Size, atStart.Size, theirs.Size);
            keep(written.Bold, current.Bold, atStart.Bold, theirs.Bold);
            keep(written.Italic, current.Italic, atStart.Italic, theirs.Italic);
            keep(written.ForeColor, current.ForeColor, atStart.ForeColor, theirs.ForeColor);
        }
    }
    QByteArray bytes = encodeTextFile(formatSettingsLine(written), TextEncoding::ShiftJis, Unmappable::QuestionMark).bytes;
    const FileResult result = writeFileAtomically(m_path, bytes);
    if (result.ok) {
        m_bytesRead = std::move(bytes);
        m_read = true;
    }
    return result;
}

} // namespace qrn
