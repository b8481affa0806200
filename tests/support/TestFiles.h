#pragma once

// File helpers every test executable shares: raw bytes in and out, and Shift_JIS bytes of a text.

#include <storage/ShiftJisCodec.h>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace qrn::test {

inline QByteArray readAllBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray sjis(const QString &text) { return ShiftJisCodec::encode(text, Unmappable::QuestionMark).bytes; }

} // namespace qrn::test
