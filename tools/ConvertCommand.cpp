#include "ConvertCommand.h"

#include <check/PageCheck.h>
#include <core/HenkanMod.h>
#include <core/Version.h>
#include <storage/DictionaryFile.h>
#include <storage/ProgramFiles.h>
#include <storage/TextCodec.h>
#include <storage/TextDetection.h>
#include <storage/TextFile.h>

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace qrn {
namespace {

const char HelpText[] =
    "Usage:\n"
    "  qrn-convert to-html [--dict FILE] [--encoding E] [--strict] [INPUT [OUTPUT]]\n"
    "  qrn-convert to-tags [--dict FILE] [--encoding E] [--strict] [INPUT [OUTPUT]]\n"
    "  qrn-convert to-html|to-tags [--dict FILE] [--encoding E] --out-dir DIR FILE...\n"
    "  qrn-convert check [--notes] [--dict FILE] [--encoding E] FILE...\n"
    "\n"
    "Converts Japanese-tag documents to HTML (to-html) or HTML to Japanese tags (to-tags)\n"
    "with the editor's tag dictionary. check converts each document and checks the page with\n"
    "HTML Tidy, printing one line per problem, FILE:LINE: エラー: ... in the notation's words\n"
    "(with --notes also 注意: ... for what HTML5 no longer has); it exits with 1 when any\n"
    "エラー was found.\n"
    "\n"
    "  --dict FILE          dictionary in the KirikoDate.dat format\n"
    "                       (default: KirikoDate.dat in the program's folder)\n"
    "  --dict-encoding E    encoding of the dictionary: shift_jis (default) or utf-8\n"
    "  --encoding E         encoding of the input and output: auto (default), shift_jis\n"
    "                       or utf-8\n"
    "  --strict             fail (exit status 1) when the input holds bytes that its\n"
    "                       encoding cannot decode\n"
    "  --out-dir DIR        convert every FILE into DIR, as NAME.html (to-html) or\n"
    "                       NAME.qrnf (to-tags)\n"
    "  --notes              check: print the notes (注意) too\n"
    "  --help               show this text\n"
    "  --version            show the version\n"
    "\n"
    "With auto, an input with a UTF-8 or UTF-16 byte-order mark is read in that encoding,\n"
    "one that is valid UTF-8 holding a multi-byte character as UTF-8, anything else as\n"
    "Shift_JIS; an HTML input's <meta charset> wins when the bytes decode in it. The output\n"
    "of to-tags is written in the encoding the input was read in; the output of to-html in\n"
    "the encoding the page declares (<meta charset>), Shift_JIS when it declares none.\n"
    "Bytes the encoding cannot decode become U+FFFD, with a note on standard error.\n"
    "\n"
    "INPUT absent or \"-\" reads standard input; OUTPUT absent or \"-\" writes standard output.\n"
    "Lines of the input end at CR LF or a lone CR, or at LF when its first line ends in LF;\n"
    "the output ends its lines the same way (CR LF when the input is a single line).\n"
    "Characters the output's encoding cannot hold are written as character references\n"
    "(&#x...;) in HTML and as \"?\" in Japanese tags, with a note on standard error.\n"
    "\n"
    "Inputs larger than 1 GiB are refused. An OUTPUT that is the INPUT itself, or two inputs\n"
    "that --out-dir would write to one file, are refused before anything is written.\n"
    "\n"
    "Exit status: 0 success, 1 a file could not be read or written (or, with --strict, held\n"
    "undecodable bytes), 2 wrong usage.\n";

enum class Direction { ToHtml, ToTags, Check };

struct Options {
    Direction direction = Direction::ToHtml;
    QString dictionary;
    TextFormat dictionaryEncoding = TextEncoding::ShiftJis;
    std::optional<TextFormat> encoding; // none: detected on reading, as the editor does
    bool strict = false;
    bool notes = false;
    QString outDir;
    bool hasOutDir = false;
    QStringList operands;
};

struct UsageError {
    QString message;
};

void say(QIODevice &err, const QString &line)
{
    err.write((QStringLiteral("qrn-convert: ") + line + QLatin1Char('\n')).toLocal8Bit());
}

std::optional<TextFormat> parseEncoding(const QString &name)
{
    // The names of the two encodings as a page would declare them.
    const auto format = formatForCharset(name.toLatin1());
    if (!format || (format->encoding != TextEncoding::ShiftJis && format->encoding != TextEncoding::Utf8))
        return std::nullopt;
    return TextFormat(format->encoding);
}

// The command line as QCommandLineParser reads it: the command word and the operands are its
// positional arguments.
struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption dict{QStringLiteral("dict"), QString(), QStringLiteral("FILE")};
    QCommandLineOption encoding{QStringLiteral("encoding"), QString(), QStringLiteral("E")};
    QCommandLineOption dictEncoding{QStringLiteral("dict-encoding"), QString(), QStringLiteral("E")};
    QCommandLineOption strict{QStringLiteral("strict")};
    QCommandLineOption notes{QStringLiteral("notes")};
    QCommandLineOption outDir{QStringLiteral("out-dir"), QString(), QStringLiteral("DIR")};
    bool parsed = false;

    explicit CommandLine(const QStringList &args)
    {
        parser.addOptions({help, version, dict, encoding, dictEncoding, strict, notes, outDir});
        parsed = parser.parse(QStringList{QStringLiteral("qrn-convert")} + args);
    }

    // Why parsing failed, in the tool's own words.
    QString error(const QStringList &args) const
    {
        if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty()) {
            const QString &name = unknown.constFirst();
            return QStringLiteral("unknown option '%1%2'").arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
        }
        // Every option but these takes no value; one of them last on the line has none.
        for (const QCommandLineOption *o : {&dict, &encoding, &dictEncoding, &outDir})
            if (!args.isEmpty() && args.constLast() == QStringLiteral("--") + o->names().constFirst())
                return QStringLiteral("option %1 needs a value").arg(args.constLast());
        return parser.errorText();
    }
};

// Reads the options and operands after the command word into `opt`.
std::optional<UsageError> readOptions(const CommandLine &line, Options &opt)
{
    if (line.parser.isSet(line.dict))
        opt.dictionary = line.parser.value(line.dict);
    if (line.parser.isSet(line.encoding)) {
        const QString name = line.parser.value(line.encoding);
        if (name.compare(QLatin1String("auto"), Qt::CaseInsensitive) != 0) {
            const auto enc = parseEncoding(name);
            if (!enc)
                return UsageError{QStringLiteral("unknown encoding '%1' (use auto, shift_jis or utf-8)").arg(name)};
            opt.encoding = *enc;
        }
    }
    if (line.parser.isSet(line.dictEncoding)) {
        const QString name = line.parser.value(line.dictEncoding);
        const auto enc = parseEncoding(name);
        if (!enc)
            return UsageError{QStringLiteral("unknown encoding '%1' (use shift_jis or utf-8)").arg(name)};
        opt.dictionaryEncoding = *enc;
    }
    opt.strict = line.parser.isSet(line.strict);
    opt.notes = line.parser.isSet(line.notes);
    if (opt.notes && opt.direction != Direction::Check)
        return UsageError{QStringLiteral("--notes is for check only")};
    if (opt.direction == Direction::Check) {
        opt.operands = line.parser.positionalArguments().mid(1);
        if (line.parser.isSet(line.outDir))
            return UsageError{QStringLiteral("check writes no files: --out-dir is for to-html and to-tags")};
        if (opt.operands.isEmpty())
            return UsageError{QStringLiteral("check needs at least one file")};
        return std::nullopt;
    }
    opt.hasOutDir = line.parser.isSet(line.outDir);
    if (opt.hasOutDir)
        opt.outDir = line.parser.value(line.outDir);
    opt.operands = line.parser.positionalArguments().mid(1);

    if (opt.hasOutDir) {
        if (opt.operands.isEmpty())
            return UsageError{QStringLiteral("--out-dir needs at least one input file")};
        if (opt.operands.contains(QStringLiteral("-")))
            return UsageError{QStringLiteral("--out-dir cannot read standard input")};
    } else if (opt.operands.size() > 2) {
        return UsageError{QStringLiteral("too many arguments: '%1'").arg(opt.operands[2])};
    }
    return std::nullopt;
}

// An input as the converter takes it: its text, the format it was read in, the line end the
// output keeps, and what could not be decoded.
struct InputText {
    QString text;
    TextFormat format;
    LineEnd lineEnd = LineEnd::CrLf;
    qsizetype badBytes = 0;
    qsizetype firstBadLine = 0;
};

// Decodes an input in the given encoding, or by the editor's detection rule. For the lines, the
// first line end decides: a lone LF there means LF lines, converted as they stand, and the
// output keeps LF. Otherwise the editor's document rule applies (lines end at CR LF or a lone CR)
// and the output ends its lines in CR LF, as a text of a single line does.
InputText inputText(QByteArray &&fileBytes, const std::optional<TextFormat> &encoding, Direction direction)
{
    // The bytes go as soon as they are decoded: large inputs hold one copy at a time.
    const QByteArray bytes = std::move(fileBytes);
    InputText input;
    if (encoding) {
        DecodeResult d = decodeChecked(bytes, *encoding);
        input.text = std::move(d.text);
        input.format = *encoding;
        input.badBytes = d.badBytes;
        input.firstBadLine = d.badBytes > 0 ? lineOfByteOffset(bytes, d.firstBadOffset) : 0;
    } else {
        DetectedText d = direction == Direction::ToTags ? decodeDetectedHtml(bytes) : decodeDetected(bytes);
        input.text = std::move(d.text);
        input.format = d.format;
        input.badBytes = d.badBytes;
        input.firstBadLine = d.firstBadLine;
    }
    for (const QChar c : std::as_const(input.text)) {
        if (c == QLatin1Char('\r'))
            break;
        if (c == QLatin1Char('\n')) {
            if (input.text.endsWith(QLatin1Char('\n')))
                input.text.chop(1);
            input.lineEnd = LineEnd::Lf;
            return input;
        }
    }
    input.text = documentTextFromFileText(std::move(input.text));
    return input;
}

// Converts one text and encodes it: to-html in what the page declares (in the given encoding
// when one was given), to-tags in what the input was read in; lines end as the input's did.
EncodeResult convertAndEncode(const HenkanMod &henkan, Direction direction, InputText &&input,
                              const std::optional<TextFormat> &encoding)
{
    const bool toHtml = direction == Direction::ToHtml;
    const std::u16string converted =
        toHtml ? henkan.ToHtml(toU16View(input.text)) : henkan.ToJapaneseTags(toU16View(input.text));
    input.text = QString(); // no longer needed: the output's buffers take its place
    const QStringView view(converted.data(), qsizetype(converted.size()));
    TextFormat format = encoding ? *encoding : toHtml ? pageFormat(view) : input.format;
    format.lineEnd = input.lineEnd;
    return encodeTextFile(view, format, toHtml ? Unmappable::CharacterReference : Unmappable::QuestionMark);
}

// HTML keeps such characters as references; only Japanese-tag output loses them to "?".
void reportReplaced(QIODevice &err, Direction direction, const EncodeResult &encoded, const QString &outputName)
{
    if (direction == Direction::ToTags && encoded.unmappableCount > 0)
        say(err, QStringLiteral("%1: %2 character(s) that the output's encoding cannot hold were written as \"?\"")
                     .arg(outputName)
                     .arg(encoded.unmappableCount));
}

// A note on bytes the input's encoding could not decode; false when --strict makes them an error.
bool reportUndecodable(QIODevice &err, const Options &opt, const InputText &input, const QString &inputName)
{
    if (input.badBytes == 0)
        return true;
    say(err, QStringLiteral("%1: %2 byte(s) that %3 cannot decode, the first on line %4, read as U+FFFD")
                 .arg(inputName)
                 .arg(input.badBytes)
                 .arg(encodingLabel(input.format))
                 .arg(input.firstBadLine));
    return !opt.strict;
}

// Where --out-dir writes the conversion of one input.
QString outDirTarget(const Options &opt, const QString &input)
{
    const QString extension = opt.direction == Direction::ToHtml ? QStringLiteral(".html") : QStringLiteral(".qrnf");
    return joinPath(opt.outDir, QFileInfo(input).completeBaseName() + extension);
}

// True when both name one existing regular file, through links or not; "-" is standard input
// (or output), compared by what its descriptor is open on.
bool sameRegularFile(const QString &a, const QString &b)
{
    const auto statOf = [](const QString &path, int fd, struct stat &st) {
        return path == QLatin1String("-") ? ::fstat(fd, &st) == 0 : ::stat(QFile::encodeName(path).constData(), &st) == 0;
    };
    struct stat sa {}, sb {};
    if (!statOf(a, STDIN_FILENO, sa) || !statOf(b, STDOUT_FILENO, sb))
        return false;
    return S_ISREG(sa.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Outputs that would overwrite an input, or each other, are refused before anything is written.
std::optional<UsageError> checkOutputs(const Options &opt)
{
    if (!opt.hasOutDir) {
        const QString input = opt.operands.value(0, QStringLiteral("-"));
        const QString output = opt.operands.value(1, QStringLiteral("-"));
        if (sameRegularFile(input, output))
            return UsageError{QStringLiteral("output %1 is the input %2 itself").arg(output, input)};
        return std::nullopt;
    }
    // Each input's file by device and inode, once: an output that is one of them is refused.
    QHash<QPair<quint64, quint64>, QString> inputFiles;
    for (const QString &input : opt.operands) {
        struct stat st {};
        if (::stat(QFile::encodeName(input).constData(), &st) == 0 && S_ISREG(st.st_mode))
            inputFiles.insert({quint64(st.st_dev), quint64(st.st_ino)}, input);
    }
    QHash<QString, QString> inputOf; // output path → the input converted into it
    for (const QString &input : opt.operands) {
        const QString output = outDirTarget(opt, input);
        const QString key = QFileInfo(output).absoluteFilePath();
        if (const auto other = inputOf.constFind(key); other != inputOf.constEnd() && *other != input)
            return UsageError{QStringLiteral("%1 and %2 would both be written to %3").arg(*other, input, output)};
        inputOf.insert(key, input);
        struct stat st {};
        if (::stat(QFile::encodeName(output).constData(), &st) == 0 && S_ISREG(st.st_mode))
            if (const auto same = inputFiles.constFind({quint64(st.st_dev), quint64(st.st_ino)}); same != inputFiles.constEnd())
                return UsageError{QStringLiteral("output %1 is the input %2 itself").arg(output, *same)};
    }
    return std::nullopt;
}

class Converter {
public:
    // Reads, decodes, converts and encodes one input ("-": standard input); nothing when it
    // cannot be read or --strict refuses its undecodable bytes (said on the error stream).
    std::optional<EncodeResult> convertOne(const QString &input)
    {
        std::optional<InputText> text = readInput(input, m_opt.direction);
        if (!text)
            return std::nullopt;
        return convertAndEncode(m_henkan, m_opt.direction, std::move(*text), m_opt.encoding);
    }

    // Reads and decodes one input ("-": standard input) as the source of `direction`; nothing
    // when it cannot be read or --strict refuses its undecodable bytes (said on the error stream).
    std::optional<InputText> readInput(const QString &input, Direction direction)
    {
        ReadBytesResult read = input == QLatin1String("-") ? readDeviceBytes(m_in, QStringLiteral("standard input"))
                                                           : readFileBytes(input);
        if (!read.ok) {
            say(m_err, QStringLiteral("cannot read input %1").arg(read.error));
            return std::nullopt;
        }
        InputText text = inputText(std::move(read.bytes), m_opt.encoding, direction);
        if (!reportUndecodable(m_err, m_opt, text, displayName(input)))
            return std::nullopt;
        return text;
    }

    static QString displayName(const QString &input)
    {
        return input == QLatin1String("-") ? QStringLiteral("standard input") : input;
    }

    Converter(const Options &opt, const HenkanMod &henkan, QIODevice &in, QIODevice &out, QIODevice &err)
        : m_opt(opt), m_henkan(henkan), m_in(in), m_out(out), m_err(err)
    {
    }

    int single()
    {
        const QString input = m_opt.operands.value(0, QStringLiteral("-"));
        const QString output = m_opt.operands.value(1, QStringLiteral("-"));
        const std::optional<EncodeResult> encoded = convertOne(input);
        if (!encoded)
            return ConvertFileError;
        if (output == QLatin1String("-")) {
            // Buffered output can fail only when flushed: a full disk or a closed pipe is an error too.
            auto *file = qobject_cast<QFileDevice *>(&m_out);
            if (m_out.write(encoded->bytes) != encoded->bytes.size() || (file && !file->flush())) {
                say(m_err, QStringLiteral("cannot write standard output: %1").arg(m_out.errorString()));
                return ConvertFileError;
            }
            reportReplaced(m_err, m_opt.direction, *encoded, QStringLiteral("standard output"));
            return ConvertOk;
        }
        const FileResult written = writeFileAtomically(output, encoded->bytes);
        if (!written.ok) {
            say(m_err, QStringLiteral("cannot write output %1").arg(written.error));
            return ConvertFileError;
        }
        reportReplaced(m_err, m_opt.direction, *encoded, output);
        return ConvertOk;
    }

    // Each document checked; a line per problem on standard output, as compilers write them.
    int check()
    {
        int status = ConvertOk;
        for (const QString &input : m_opt.operands) {
            const std::optional<InputText> text = readInput(input, Direction::ToHtml);
            if (!text) {
                status = ConvertFileError;
                continue;
            }
            const QString name = displayName(input);
            QByteArray lines;
            for (const PageProblem &problem : checkDocument(toU16View(text->text), m_henkan.tagTable())) {
                if (problem.level == ProblemLevel::Error)
                    status = ConvertFileError;
                else if (!m_opt.notes)
                    continue;
                lines += QStringLiteral("%1:%2: %3: %4\n")
                             .arg(name)
                             .arg(problem.line + 1)
                             .arg(fromU16(levelLabel(problem.level)), fromU16(problem.sentence))
                             .toUtf8();
            }
            if (m_out.write(lines) != lines.size()) {
                say(m_err, QStringLiteral("cannot write standard output: %1").arg(m_out.errorString()));
                return ConvertFileError;
            }
        }
        return status;
    }

    // Every input into --out-dir; the outputs made durable together, then put in place.
    int many()
    {
        if (!QFileInfo(m_opt.outDir).isDir()) {
            say(m_err, QStringLiteral("cannot write into %1: not a folder").arg(m_opt.outDir));
            return ConvertFileError;
        }
        int status = ConvertOk;
        StagedWrites outputs;
        for (const QString &input : m_opt.operands) {
            const std::optional<EncodeResult> encoded = convertOne(input);
            if (!encoded) {
                status = ConvertFileError;
                continue;
            }
            const QString output = outDirTarget(m_opt, input);
            if (const FileResult staged = outputs.stage(output, encoded->bytes); !staged.ok) {
                say(m_err, QStringLiteral("cannot write output %1").arg(staged.error));
                status = ConvertFileError;
                continue;
            }
            reportReplaced(m_err, m_opt.direction, *encoded, output);
        }
        if (const FileResult committed = outputs.commit(); !committed.ok) {
            say(m_err, QStringLiteral("cannot write output %1").arg(committed.error));
            status = ConvertFileError;
        }
        return status;
    }

private:
    const Options &m_opt;
    const HenkanMod &m_henkan;
    QIODevice &m_in;
    QIODevice &m_out;
    QIODevice &m_err;
};

} // namespace

int runConvertCommand(const QStringList &args, const QString &programFolder, QIODevice &in, QIODevice &out,
                      QIODevice &err)
{
    const CommandLine line(args);
    if (line.parser.isSet(line.help)) {
        out.write(HelpText);
        return ConvertOk;
    }
    if (line.parser.isSet(line.version)) {
        out.write(QByteArray("qrn-convert ") + VersionText + '\n');
        return ConvertOk;
    }

    const auto usage = [&](const QString &message) {
        say(err, message);
        err.write("Try 'qrn-convert --help'.\n");
        return ConvertUsageError;
    };
    if (!line.parsed)
        return usage(line.error(args));
    const QStringList positional = line.parser.positionalArguments();
    if (positional.isEmpty())
        return usage(QStringLiteral("missing command (to-html or to-tags)"));

    Options opt;
    if (positional[0] == QLatin1String("to-html"))
        opt.direction = Direction::ToHtml;
    else if (positional[0] == QLatin1String("to-tags"))
        opt.direction = Direction::ToTags;
    else if (positional[0] == QLatin1String("check"))
        opt.direction = Direction::Check;
    else
        return usage(QStringLiteral("unknown command '%1' (use to-html, to-tags or check)").arg(positional[0]));
    if (const auto error = readOptions(line, opt))
        return usage(error->message);
    if (const auto error = opt.direction == Direction::Check ? std::nullopt : checkOutputs(opt))
        return usage(error->message);

    const QString dictionary =
        opt.dictionary.isEmpty() ? joinPath(programFolder, DictionaryFileName) : opt.dictionary;
    HenkanMod henkan;
    DictionaryFile dictionaryFile(dictionary, opt.dictionaryEncoding.encoding);
    const DictionaryLoadResult loaded = dictionaryFile.load(henkan.tagTable());
    if (!loaded.file.ok) {
        say(err, QStringLiteral("cannot read dictionary %1").arg(loaded.file.error));
        return ConvertFileError;
    }
    if (dictionaryFile.notLoadedCount() > 0)
        say(err, QStringLiteral("%1: %2 record(s) beyond the dictionary's capacity of %3 entries are not used")
                     .arg(dictionary)
                     .arg(dictionaryFile.notLoadedCount())
                     .arg(TagTable::MaxTagCount + 1));

    Converter converter(opt, henkan, in, out, err);
    if (opt.direction == Direction::Check)
        return converter.check();
    return opt.hasOutDir ? converter.many() : converter.single();
}

} // namespace qrn
