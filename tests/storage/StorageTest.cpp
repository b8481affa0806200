#include <storage/DictionaryFile.h>
#include <storage/PageCharset.h>
#include <storage/SettingsFile.h>
#include <storage/ShiftJisCodec.h>
#include <storage/TextCodec.h>
#include <storage/TextDetection.h>
#include <storage/TextFile.h>
#include <support/TestFiles.h>

#include <support/FileSizeLimit.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qrn;
using namespace qrn::test;

namespace {




} // namespace

class StorageTest : public QObject {
    Q_OBJECT

private slots:
    void shiftJisMapping_data();
    void shiftJisMapping();
    void shiftJisCountsOnlyRoundTripsAsRepresentable();
    void shiftJisDecodesBrokenBytesWithoutLoss();
    void jisVariantsAreWrittenAsCodePage932HoldsThem();
    void encodingDetection_data();
    void encodingDetection();
    void declaredCharsetDecidesImportAndPageBytes();
    void pagesDeclareTheirCharsetAsTheStandardsPrescanFindsIt_data();
    void pagesDeclareTheirCharsetAsTheStandardsPrescanFindsIt();
    void documentsRoundTripByteForByte_data();
    void documentsRoundTripByteForByte();
    void unmappableCharacters_data();
    void unmappableCharacters();

    void documentLineEnds_data();
    void documentLineEnds();
    void writeThatFailsPartWayKeepsTheOldFile_data();
    void writeThatFailsPartWayKeepsTheOldFile();
    void writeKeepsPermissionsAndWritesDevicesInPlace();
    void readRefusesInputPastTheLimit();
    void stagedWritesChangeNothingUntilCommitted();

    void dictionaryFileRoundTrip();
    void dictionaryKeepsRecordsPastCapacity();
    void twoRunsOnOneDictionaryKeepEachOthersEdits();
    void twoRunsOnOneSettingsFileKeepEachOthersChanges_data();
    void twoRunsOnOneSettingsFileKeepEachOthersChanges();
    void settingsLineRoundTripsHostileFaceNames();
    void settingsLine_data();
    void settingsLine();
};

void StorageTest::shiftJisMapping_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii backslash") << QByteArray("\x5c") << QStringLiteral("\\");
    QTest::newRow("ascii tilde") << QByteArray("\x7e") << QStringLiteral("~");
    QTest::newRow("full-width backslash") << QByteArray("\x81\x5f") << QString(QChar(0xFF3C));
    QTest::newRow("wave dash as full-width tilde") << QByteArray("\x81\x60") << QString(QChar(0xFF5E));
    QTest::newRow("full-width minus") << QByteArray("\x81\x7c") << QString(QChar(0xFF0D));
    QTest::newRow("half-width katakana") << QByteArray("\xb1\xdd") << QStringLiteral("ｱﾝ");
    QTest::newRow("kanji") << QByteArray("\x8a\xbf\x8e\x9a") << QStringLiteral("漢字");
    QTest::newRow("NEC special") << QByteArray("\x87\x40") << QStringLiteral("①");
    QTest::newRow("brackets") << QByteArray("\x81\x83\x81\x84\x81\x75\x81\x76")
                              << QStringLiteral("＜＞「」");
}

void StorageTest::shiftJisMapping()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(ShiftJisCodec::decode(bytes), text);
    const EncodeResult encoded = ShiftJisCodec::encode(text, Unmappable::QuestionMark);
    QCOMPARE(encoded.bytes, bytes);
    QCOMPARE(encoded.unmappableCount, 0);
}

void StorageTest::shiftJisCountsOnlyRoundTripsAsRepresentable()
{
    // Every BMP character either reads back as itself or is counted as not representable: none
    // is changed silently on save (ICU alone maps U+F86F to the bytes of "№").
    int representable = 0;
    const QList<uint> variants{0x301C, 0x2016, 0x2212, 0x00A2, 0x00A3, 0x00AC, 0x2014}; // written one way on purpose
    for (uint u = 1; u < 0x10000; ++u) {
        if ((u >= 0xD800 && u <= 0xDFFF) || variants.contains(u))
            continue;
        const QString c = QChar(char16_t(u));
        const EncodeResult r = ShiftJisCodec::encode(c, Unmappable::QuestionMark);
        if (r.unmappableCount == 0) {
            QVERIFY2(ShiftJisCodec::decode(r.bytes) == c, qPrintable(QString::number(u, 16)));
            QVERIFY(ShiftJisCodec::canEncode(c));
            ++representable;
        } else {
            QVERIFY2(!ShiftJisCodec::canEncode(c), qPrintable(QString::number(u, 16)));
        }
    }
    QCOMPARE(ShiftJisCodec::encode(QString(QChar(0xF86F)), Unmappable::QuestionMark).bytes, QByteArray("?"));
    QVERIFY(representable > 7000);
}

void StorageTest::shiftJisDecodesBrokenBytesWithoutLoss()
{
    // A lead byte at the end, or followed by a byte that cannot trail, becomes U+FFFD and the next
    // byte is still read as itself.
    QCOMPARE(ShiftJisCodec::decode("a\x82"), QStringLiteral("a") + QChar(0xFFFD));
    QCOMPARE(ShiftJisCodec::decode("\x82\x0d\x0a"), QString(QChar(0xFFFD)) + QStringLiteral("\r\n"));
    QCOMPARE(ShiftJisCodec::decode("\xa0"), QString(QChar(0xFFFD)));
}

void StorageTest::jisVariantsAreWrittenAsCodePage932HoldsThem()
{
    const QString variants = QString::fromUtf16(u"\u301C\u2016\u2212\u00A2\u00A3\u00AC\u2014");
    const EncodeResult r = ShiftJisCodec::encode(variants, Unmappable::QuestionMark);
    QCOMPARE(r.unmappableCount, 0);
    QCOMPARE(r.bytes, QByteArray("\x81\x60\x81\x61\x81\x7C\x81\x91\x81\x92\x81\xCA\x81\x5C"));
    QVERIFY(ShiftJisCodec::canEncode(variants));
    // Reading is unchanged: the code page's own characters come back.
    QCOMPARE(ShiftJisCodec::decode(r.bytes), QString::fromUtf16(u"\uFF5E\u2225\uFF0D\uFFE0\uFFE1\uFFE2\u2015"));
}

void StorageTest::encodingDetection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("mark");
    QTest::addColumn<int>("badBytes");
    QTest::addColumn<int>("firstBadLine");
    QTest::newRow("ascii only") << QByteArray("<p>plain\r\n") << "Shift_JIS" << false << 0 << 0;
    QTest::newRow("shift_jis kanji") << sjis(QStringLiteral("漢字のページ")) << "Shift_JIS" << false << 0 << 0;
    QTest::newRow("half-width katakana, not utf-8") << QByteArray("\xB1\xDD\xC3") << "Shift_JIS" << false << 0 << 0;
    // Two half-width katakana that happen to form a valid UTF-8 sequence: the rule says UTF-8.
    QTest::newRow("katakana pair valid as utf-8") << QByteArray("\xC3\xA9") << "UTF-8" << false << 0 << 0;
    QTest::newRow("utf-8") << QStringLiteral("日本語\nの文").toUtf8() << "UTF-8" << false << 0 << 0;
    QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF" "abc") << "UTF-8" << true << 0 << 0;
    QTest::newRow("utf-16 le") << QByteArray("\xFF\xFE" "a\0", 4) << "UTF-16" << true << 0 << 0;
    QTest::newRow("utf-16 be") << QByteArray("\xFE\xFF\0a", 4) << "UTF-16" << true << 0 << 0;
    QTest::newRow("utf-16 mark and an odd byte") << QByteArray("\xFF\xFE" "a", 3) << "UTF-16" << true << 1 << 1;
    // One stray byte spoils UTF-8; in Shift_JIS it is one undecodable byte on its line.
    QTest::newRow("stray byte") << (sjis(QStringLiteral("一行目\r\n二行目")) + "\xA0") << "Shift_JIS" << false << 1 << 2;
    QTest::newRow("utf-8 spoilt by a stray byte") << (QStringLiteral("日本").toUtf8() + "\xFF") << "Shift_JIS" << false << 1 << 1;
    QTest::newRow("stray byte with mark") << QByteArray("\xEF\xBB\xBF" "a\nb\xFF") << "UTF-8" << true << 1 << 2;
}

void StorageTest::encodingDetection()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, label);
    QFETCH(bool, mark);
    QFETCH(int, badBytes);
    QFETCH(int, firstBadLine);
    const ReadTextResult r = documentFromBytes(bytes);
    QCOMPARE(encodingLabel(r.format), label);
    QCOMPARE(r.format.byteOrderMark, mark);
    QCOMPARE(int(r.badBytes), badBytes);
    QCOMPARE(int(r.firstBadLine), firstBadLine);
}

void StorageTest::declaredCharsetDecidesImportAndPageBytes()
{
    // A declaration wins for an import when the bytes decode in it; a false one does not.
    const QByteArray eucPage = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">"
                               "</head><body>\xC6\xFC\xCB\xDC</body></html>";
    ReadTextResult r = documentFromBytes(eucPage, TextKind::Html);
    QVERIFY(r.text.contains(QStringLiteral("日本")));
    QCOMPARE(r.badBytes, 0);
    const QByteArray lying = "<meta charset=\"utf-8\">" + sjis(QStringLiteral("日本"));
    r = documentFromBytes(lying, TextKind::Html);
    QCOMPARE(encodingLabel(r.format), QStringLiteral("Shift_JIS"));
    QVERIFY(r.text.endsWith(QStringLiteral("日本")));

    // A converted page is written in what it declares; characters it cannot hold become references.
    QCOMPARE(encodingLabel(pageFormat(QStringLiteral("<html><meta charset=\"utf-8\">"))), QStringLiteral("UTF-8"));
    QCOMPARE(encodingLabel(pageFormat(QStringLiteral("<meta charset=x-sjis>"))), QStringLiteral("Shift_JIS"));
    QCOMPARE(encodingLabel(pageFormat(QStringLiteral("<p>no declaration"))), QStringLiteral("Shift_JIS"));
    QCOMPARE(encodingLabel(pageFormat(QStringLiteral("<meta charset=\"no-such-code\">"))), QStringLiteral("Shift_JIS"));
    const TextFormat euc = pageFormat(QStringLiteral("<meta charset=\"EUC-JP\">"));
    QCOMPARE(euc.encoding, TextEncoding::Other);
    const EncodeResult bytes = encodeTextFile(QStringLiteral("日本😀"), euc, Unmappable::CharacterReference);
    QCOMPARE(bytes.bytes, QByteArray("\xC6\xFC\xCB\xDC&#x1F600;\r\n"));
    QCOMPARE(bytes.unmappableCount, 1);
}

// The one rule for a page's charset (the HTML standard's prescan), and the writer and the bytes
// it wrote agreeing on it, so that the preview serves a page in the charset it was written in.
void StorageTest::pagesDeclareTheirCharsetAsTheStandardsPrescanFindsIt_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QByteArray>("declared"); // empty: none
    QTest::newRow("meta charset") << QStringLiteral("<html><meta charset=\"UTF-8\">") << QByteArray("utf-8");
    QTest::newRow("http-equiv") << QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=EUC-JP\">")
                                << QByteArray("euc-jp");
    QTest::newRow("content without http-equiv") << QStringLiteral("<meta content=\"text/html; charset=utf-8\">") << QByteArray();
    QTest::newRow("the word in text") << QStringLiteral("<p>charset=utf-8</p>") << QByteArray();
    QTest::newRow("after a long comment") << QStringLiteral("<!--%1--><meta charset=\"utf-8\">").arg(QString(1500, QLatin1Char('x')))
                                          << QByteArray();
    QTest::newRow("inside a comment") << QStringLiteral("<!-- <meta charset=utf-8> -->") << QByteArray();
    QTest::newRow("after an empty comment") << QStringLiteral("<!--><meta charset=utf-8>") << QByteArray("utf-8");
    QTest::newRow("inside an attribute") << QStringLiteral("<div title=\"<meta charset=utf-8>\"><meta charset=x-sjis>")
                                         << QByteArray("x-sjis");
    QTest::newRow("utf-16 declared") << QStringLiteral("<meta charset=utf-16>") << QByteArray("utf-8");
}

void StorageTest::pagesDeclareTheirCharsetAsTheStandardsPrescanFindsIt()
{
    QFETCH(QString, page);
    QFETCH(QByteArray, declared);
    QCOMPARE(declaredPageCharset(page).value_or(QByteArray()), declared);
    const TextFormat written = pageFormat(page);
    const EncodeResult bytes = encodeTextFile(page, written, Unmappable::CharacterReference);
    QCOMPARE(charsetName(pageFormat(QByteArrayView(bytes.bytes))), charsetName(written));
}

void StorageTest::documentsRoundTripByteForByte_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("shift_jis crlf") << sjis(QStringLiteral("＜ページ＞\r\n本文\r\n"));
    QTest::newRow("utf-8") << QStringLiteral("＜ページ＞\r\n本文😀\r\n").toUtf8();
    QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF") + QStringLiteral("本文\r\n").toUtf8();
    QTest::newRow("utf-8 lf only") << QStringLiteral("一\n二\n").toUtf8();
    QTest::newRow("utf-16 le with mark") << QByteArray("\xFF\xFE") + QByteArray("a\0\r\0\n\0", 6);
}

void StorageTest::documentsRoundTripByteForByte()
{
    QFETCH(QByteArray, file);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("doc.qrnf"));
    QVERIFY(writeBytes(path, file));
    const ReadTextResult r = readDocumentFile(path);
    QVERIFY(r.ok);
    QCOMPARE(r.badBytes, 0);
    QVERIFY(writeTextFile(path, r.text, r.format, Unmappable::QuestionMark).ok);
    QCOMPARE(readAllBytes(path), file);
    // A file that is not there, or a folder, is no document.
    QVERIFY(!readDocumentFile(dir.filePath(QStringLiteral("none.qrnf"))).ok);
    QCOMPARE(readDocumentFile(dir.path()).cause, FileErrorCause::IsFolder);
}

void StorageTest::unmappableCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("policy");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("count");
    QTest::addColumn<uint>("first");
    const QString emoji = QString::fromUtf8("a😀b€");
    QTest::newRow("question marks") << emoji << int(Unmappable::QuestionMark) << QByteArray("a?b?") << 2 << 0x1F600u;
    QTest::newRow("references") << emoji << int(Unmappable::CharacterReference) << QByteArray("a&#x1F600;b&#x20AC;")
                                << 2 << 0x1F600u;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << int(Unmappable::QuestionMark) << QByteArray("?") << 1
                                    << 0xD800u;
    QTest::newRow("many references grow the buffer") << QString(50, QChar(0x20AC))
                                                     << int(Unmappable::CharacterReference)
                                                     << QByteArray("&#x20AC;").repeated(50) << 50 << 0x20ACu;
}

void StorageTest::unmappableCharacters()
{
    QFETCH(QString, text);
    QFETCH(int, policy);
    QFETCH(QByteArray, bytes);
    QFETCH(int, count);
    QFETCH(uint, first);
    const EncodeResult r = ShiftJisCodec::encode(text, Unmappable(policy));
    QCOMPARE(r.bytes, bytes);
    QCOMPARE(r.unmappableCount, count);
    QCOMPARE(uint(r.firstUnmappable), first);
    QCOMPARE(ShiftJisCodec::canEncode(text), false);
}

void StorageTest::documentLineEnds_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty file") << QByteArray() << QString();
    QTest::newRow("only CR LF") << QByteArray("\r\n") << QString();
    QTest::newRow("two lines") << QByteArray("A\r\nB\r\n") << QStringLiteral("A\r\nB");
    QTest::newRow("no final line end") << QByteArray("A\r\nB") << QStringLiteral("A\r\nB");
    QTest::newRow("ends in two CR LF") << QByteArray("A\r\n\r\n") << QStringLiteral("A\r\n");
    QTest::newRow("lone CR") << QByteArray("A\rB\r") << QStringLiteral("A\r\nB");
    QTest::newRow("lone LF stays") << QByteArray("A\nB\n") << QStringLiteral("A\nB\n");
    QTest::newRow("CR CR LF") << QByteArray("A\r\r\nB") << QStringLiteral("A\r\n\r\nB");
}

void StorageTest::documentLineEnds()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("doc.qrnf"));
    QVERIFY(writeBytes(path, file));
    const ReadTextResult read = readDocumentFile(path);
    QVERIFY(read.ok);
    QCOMPARE(read.text, text);
}


void StorageTest::writeThatFailsPartWayKeepsTheOldFile_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("fits the write buffer, fails at the flush") << 10002;
    QTest::newRow("larger than the write buffer") << 40000;
}

void StorageTest::writeThatFailsPartWayKeepsTheOldFile()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KirikoDate.dat"));
    const QByteArray old(13196, 'o');
    QVERIFY(writeBytes(path, old));
    FileResult written;
    {
        const test::FileSizeLimit limit(8192);
        written = writeFileAtomically(path, QByteArray(size, 'n'));
    }
    QVERIFY2(!written.ok, "a write cut short must not report success");
    QVERIFY(written.error.contains(path));
    QCOMPARE(readAllBytes(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("KirikoDate.dat")});
}

void StorageTest::writeKeepsPermissionsAndWritesDevicesInPlace()
{
    QTemporaryDir dir;
    // A replaced file keeps its permissions (as root, a read-only file is still replaced).
    const QString readOnly = dir.filePath(QStringLiteral("ro.html"));
    QVERIFY(writeBytes(readOnly, "old"));
    QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const FileResult replaced = writeFileAtomically(readOnly, "new");
    if (replaced.ok) {
        QCOMPARE(readAllBytes(readOnly), QByteArray("new"));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(readOnly).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0444));
    } else {
        QCOMPARE(readAllBytes(readOnly), QByteArray("old"));
    }

    // A FIFO is written into, not replaced by a regular file.
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QVERIFY(writeFileAtomically(fifo, "through the pipe").ok);
    char buffer[64] = {};
    const ssize_t n = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    QCOMPARE(QByteArray(buffer, int(n)), QByteArray("through the pipe"));
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(fifo).constData(), &st), 0);
    QVERIFY(S_ISFIFO(st.st_mode));

    // A device that refuses the bytes is a failure, and stays a device.
    if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
        QVERIFY(!writeFileAtomically(QStringLiteral("/dev/full"), "x").ok);
        QVERIFY(!QFileInfo(QStringLiteral("/dev/full")).isFile());
    }
}

void StorageTest::readRefusesInputPastTheLimit()
{
    QTemporaryDir dir;
    const QString exact = dir.filePath(QStringLiteral("exact"));
    QVERIFY(writeBytes(exact, QByteArray(100, 'a')));
    QVERIFY(readFileBytes(exact, 100).ok);
    const ReadBytesResult over = readFileBytes(exact, 99);
    QVERIFY(!over.ok);
    QVERIFY(over.bytes.isEmpty());

    // A stream without an end stops at the limit.
    if (QFileInfo::exists(QStringLiteral("/dev/zero"))) {
        const ReadBytesResult zero = readFileBytes(QStringLiteral("/dev/zero"), 3 << 20);
        QVERIFY(!zero.ok);
        QVERIFY(zero.error.contains(QStringLiteral("/dev/zero")));
    }
    QBuffer stream;
    stream.setData(QByteArray(5000, 'x'));
    QVERIFY(stream.open(QIODevice::ReadOnly));
    const ReadBytesResult whole = readDeviceBytes(stream, QStringLiteral("input"), 5000);
    QVERIFY(whole.ok);
    QCOMPARE(whole.bytes.size(), 5000);
}


void StorageTest::dictionaryFileRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KirikoDate.dat"));
    // One record per line, in Shift_JIS, loads like the single-line form and is written back as one line.
    const QString records = QStringLiteral("見出し,h1,8,＜見出し＞ | ユーザー定義タグ | <h1>,\r\n全体,body,0,d,\r\nEndTagCom\r\ntrailing");
    QVERIFY(writeBytes(path, ShiftJisCodec::encode(records, Unmappable::QuestionMark).bytes));
    TagTable table;
    DictionaryFile file(path);
    QVERIFY(file.load(table).file.ok);
    QCOMPARE(int(table.TagCount()), 2);
    QVERIFY(file.save(table).ok);
    QCOMPARE(ShiftJisCodec::decode(readAllBytes(path)),
             QStringLiteral("見出し,h1,8,＜見出し＞ | ユーザー定義タグ | <h1>,全体,body,0,d,EndTagCom\r\n"));

    table.clear();
    QVERIFY(file.save(table).ok);
    QCOMPARE(readAllBytes(path), QByteArray("EndTagCom\r\n"));
}

void StorageTest::dictionaryKeepsRecordsPastCapacity()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KirikoDate.dat"));
    QByteArray text;
    for (int i = 0; i < 40000; ++i)
        text += "w" + QByteArray::number(i) + ",h,0,,";
    text += "EndTagCom\r\n";
    QVERIFY(writeBytes(path, text));
    TagTable table;
    DictionaryFile file(path);
    QVERIFY(file.load(table).file.ok);
    QCOMPARE(int(table.TagCount()), int(TagTable::MaxTagCount));
    QCOMPARE(file.notLoadedCount(), std::size_t(40000 - TagTable::MaxTagCount));
    QVERIFY(table.DeleteTagEntry(u"w5"));
    QVERIFY(file.save(table).ok);
    QByteArray expected = text;
    expected.replace(",w5,h,0,,", ",");
    QCOMPARE(readAllBytes(path), expected);
}

void StorageTest::twoRunsOnOneDictionaryKeepEachOthersEdits()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KirikoDate.dat"));
    QVERIFY(writeBytes(path, "a,h,8,,b,h,8,,EndTagCom\r\n"));
    TagTable first, second, third;
    DictionaryFile firstFile(path), secondFile(path), thirdFile(path);
    QVERIFY(firstFile.load(first).file.ok);
    QVERIFY(secondFile.load(second).file.ok);
    QVERIFY(thirdFile.load(third).file.ok);

    // The first run adds a tag and exits; the second deletes one and adds one; the third changed
    // nothing and must not undo either.
    first.AddTagEntry(u"m1", u"h", 8, u"");
    QVERIFY(firstFile.save(first).ok);
    QVERIFY(second.DeleteTagEntry(u"a"));
    second.AddTagEntry(u"m2", u"h", 8, u"");
    QVERIFY(secondFile.save(second).ok);
    QVERIFY(thirdFile.save(third).ok);
    QCOMPARE(readAllBytes(path), QByteArray("b,h,8,,m1,h,8,,m2,h,8,,EndTagCom\r\n"));
}

// Each field changed by one run only: every change survives the others' exits, and a field
// nobody changed keeps its value.
void StorageTest::twoRunsOnOneSettingsFileKeepEachOthersChanges_data()
{
    QTest::addColumn<int>("scenario");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("colour, face and bold; size and text colour") << 0 << QByteArray("255,Other,12,True,False,99\r\n");
    QTest::newRow("italic; size") << 1 << QByteArray("16777215,Face,12,False,True,0\r\n");
}

void StorageTest::twoRunsOnOneSettingsFileKeepEachOthersChanges()
{
    QFETCH(int, scenario);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("EditerFontDate.dat"));
    QVERIFY(writeBytes(path, "16777215,Face,10,False,False,0\r\n"));
    const EditorAppearance start{16777215, QStringLiteral("Face"), 10, false, false, 0};
    SettingsFile first(path), second(path), third(path);
    QVERIFY(first.read().file.ok && second.read().file.ok && third.read().file.ok);
    EditorAppearance firstNow = start, secondNow = start;
    if (scenario == 0) {
        firstNow.BackColor = 255;
        firstNow.FaceName = QStringLiteral("Other");
        firstNow.Bold = true;
        secondNow.ForeColor = 99;
    } else {
        firstNow.Italic = true;
    }
    secondNow.Size = 12;
    QVERIFY(first.save(firstNow, start).ok);
    QVERIFY(second.save(secondNow, start).ok);
    QVERIFY(third.save(start, start).ok);
    QTEST(readAllBytes(path), "line");
}

void StorageTest::stagedWritesChangeNothingUntilCommitted()
{
    QTemporaryDir dir;
    const QString kept = dir.filePath(QStringLiteral("kept.html")), fresh = dir.filePath(QStringLiteral("new.html"));
    QVERIFY(writeBytes(kept, "old"));
    QVERIFY(QFile::setPermissions(kept, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    {
        StagedWrites abandoned;
        QVERIFY(abandoned.stage(kept, "lost").ok && abandoned.stage(fresh, "lost").ok);
        QCOMPARE(readAllBytes(kept), QByteArray("old"));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("kept.html")});
    StagedWrites writes;
    QVERIFY(writes.stage(kept, "new") .ok && writes.stage(fresh, "fresh").ok);
    QVERIFY(!writes.stage(dir.filePath(QStringLiteral("gone/x.html")), "x").ok);
    QCOMPARE(readAllBytes(kept), QByteArray("old"));
    QVERIFY(writes.commit().ok);
    QCOMPARE(readAllBytes(kept), QByteArray("new"));
    QCOMPARE(readAllBytes(fresh), QByteArray("fresh"));
    QCOMPARE(QFileInfo(kept).permissions() & QFileDevice::ReadOther, QFileDevice::ReadOther);
    QCOMPARE(QFileInfo(kept).permissions() & QFileDevice::WriteGroup, QFileDevice::Permissions());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void StorageTest::settingsLineRoundTripsHostileFaceNames()
{
    for (const QString &face : {QStringLiteral("My%1Font"), QStringLiteral("%5 %6 %%"), QStringLiteral("\"quoted\" face"),
                                QStringLiteral("ＭＳ ゴシック"), QStringLiteral("a%1b%2c%3d%4e%5")}) {
        const EditorAppearance a{-2147483643, face, 10.5, true, false, 12345};
        const QString line = formatSettingsLine(a);
        const SettingsFields f = parseSettingsLine(line);
        QCOMPARE(f.FaceName.value_or(QString()), face);
        QCOMPARE(f.BackColor.value_or(0), a.BackColor);
        QCOMPARE(f.ForeColor.value_or(0), a.ForeColor);
        QCOMPARE(f.Size.value_or(0), a.Size);
        QCOMPARE(f.Bold.value_or(false), true);
    }
}

void StorageTest::settingsLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("written"); // with 5, Def, 12, False, False, 8 for what is missing
    QTest::newRow("plain") << QStringLiteral("16777215,Face,9,False,True,0") << QStringLiteral("16777215,Face,9,False,True,0");
    QTest::newRow("fraction") << QStringLiteral("0,F,10.50,true,FALSE,-2147483643") << QStringLiteral("0,F,10.5,True,False,-2147483643");
    QTest::newRow("four digits") << QStringLiteral("1,F,7.12345,True,True,1") << QStringLiteral("1,F,7.1235,True,True,1");
    QTest::newRow("three fields") << QStringLiteral("1,F,8\r\nmore") << QStringLiteral("1,F,8,False,False,8");
    QTest::newRow("bad values") << QStringLiteral("x,,abc,yes,no,99999999999") << QStringLiteral("5,Def,12,False,False,8");
}

void StorageTest::settingsLine()
{
    QFETCH(QString, line);
    QFETCH(QString, written);
    const SettingsFields f = parseSettingsLine(line);
    const EditorAppearance a{f.BackColor.value_or(5), f.FaceName.value_or(QStringLiteral("Def")), f.Size.value_or(12),
                             f.Bold.value_or(false),  f.Italic.value_or(false),                f.ForeColor.value_or(8)};
    QCOMPARE(formatSettingsLine(a), written);
}

QTEST_GUILESS_MAIN(StorageTest)
#include "StorageTest.moc"
