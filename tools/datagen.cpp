// Build-time helper: writes a file shipped beside the program from its readable UTF-8 source,
// in the form the program reads (Shift_JIS, CR LF), but only where no such file exists yet, so a
// rebuild never overwrites the user's dictionary or settings.
//
//   qrn-datagen dictionary SOURCE TARGET   records → the dictionary's single line
//   qrn-datagen line SOURCE TARGET         the source's first line as it stands

#include <DictionaryFile.h>
#include <ShiftJisCodec.h>
#include <TagFileFormat.h>
#include <TextCodec.h>
#include <TextFile.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

using namespace qrn;

static int fail(const QString &message)
{
    std::fprintf(stderr, "qrn-datagen: %s\n", qPrintable(message));
    return 1;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return fail(QStringLiteral("usage: qrn-datagen dictionary|line SOURCE TARGET"));
    const QString mode = args[1], source = args[2], target = args[3];
    if (QFileInfo::exists(target))
        return 0;

    const ReadBytesResult raw = readFileBytes(source);
    if (!raw.ok)
        return fail(raw.error);
    const QString text = QString::fromUtf8(raw.bytes);

    QString line;
    if (mode == QLatin1String("dictionary")) {
        TagTable table;
        const TagFileReadResult read = ReadTagFileText(toU16View(text), table);
        if (!read.markerFound)
            return fail(source + QStringLiteral(": no EndTagCom after the records"));
        line = fromU16(WriteTagFileText(table));
    } else if (mode == QLatin1String("line")) {
        line = text.section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r'));
    } else {
        return fail(QStringLiteral("unknown mode ") + mode);
    }
    if (!ShiftJisCodec::canEncode(line))
        return fail(source + QStringLiteral(": holds characters Shift_JIS cannot hold"));
    const FileResult written = writeTextFile(target, line, TextEncoding::ShiftJis, Unmappable::QuestionMark);
    return written.ok ? 0 : fail(written.error);
}
