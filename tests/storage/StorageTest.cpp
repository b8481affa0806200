#include <DictionaryFile.h>
#include <SettingsFile.h>
#include <ShiftJisCodec.h>
#include <TextCodec.h>
#include <TextFile.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qrn;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class StorageTest : public QObject {
    Q_OBJECT

private slots:
    void shiftJisMapping_data();
    void shiftJisMapping();
    void shiftJisRoundTripsEveryMappedCharacter();
    void shiftJisDecodesBrokenBytesWithoutLoss();
    void unmappableCharacters_data();
    void unmappableCharacters();

    void documentLineEnds_data();
    void documentLineEnds();
    void documentFileRoundTrip();
    void writeKeepsOldFileWhenItCannotComplete();
    void scratchWriteReplacesTheFileAndLeavesNothingElse();
    void readReportsMissingFile();

    void dictionaryFileRoundTrip();
    void dictionaryMissingLeavesBuiltInOnly();
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

void StorageTest::shiftJisRoundTripsEveryMappedCharacter()
{
    // Every two-byte code decodes to a character that encodes back to a code decoding the same.
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const char bytes[2] = {char(lead), char(trail)};
            const QString c = ShiftJisCodec::decode(QByteArrayView(bytes, 2));
            QCOMPARE(c.size(), 1);
            if (c[0].unicode() == 0xFFFD)
                continue;
            const EncodeResult again = ShiftJisCodec::encode(c, Unmappable::QuestionMark);
            QCOMPARE(again.unmappableCount, 0);
            QCOMPARE(ShiftJisCodec::decode(again.bytes), c);
        }
    }
}

void StorageTest::shiftJisDecodesBrokenBytesWithoutLoss()
{
    // A lead byte at the end, or followed by a byte that cannot trail, becomes U+FFFD and the next
    // byte is still read as itself.
    QCOMPARE(ShiftJisCodec::decode("a\x82"), QStringLiteral("a") + QChar(0xFFFD));
    QCOMPARE(ShiftJisCodec::decode("\x82\x0d\x0a"), QString(QChar(0xFFFD)) + QStringLiteral("\r\n"));
    QCOMPARE(ShiftJisCodec::decode("\xa0"), QString(QChar(0xFFFD)));
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
    QVERIFY(writeRaw(path, file));
    const ReadTextResult read = readDocumentFile(path);
    QVERIFY(read.ok);
    QCOMPARE(read.text, text);
}

void StorageTest::documentFileRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("doc.qrnf"));
    const QString text = QStringLiteral("＜ページ＞\r\n  本文～＼\r\n");
    QVERIFY(writeTextFile(path, text, TextEncoding::ShiftJis, Unmappable::QuestionMark).ok);
    QCOMPARE(readAll(path), QByteArray("\x81\x83\x83\x79\x81\x5b\x83\x57\x81\x84\r\n  \x96\x7b\x95\xb6\x81\x60\x81\x5f\r\n\r\n"));
    QCOMPARE(readDocumentFile(path).text, text);

    QVERIFY(writeTextFile(path, QString(), TextEncoding::ShiftJis, Unmappable::QuestionMark).ok);
    QCOMPARE(readAll(path), QByteArray("\r\n"));
    QCOMPARE(readDocumentFile(path).text, QString());
}

void StorageTest::writeKeepsOldFileWhenItCannotComplete()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("doc.qrnf"));
    QVERIFY(writeRaw(path, "old"));
    // A target inside a folder that does not exist cannot be written; nothing is left behind.
    const FileResult bad = writeTextFile(dir.filePath(QStringLiteral("missing/x.qrnf")), QStringLiteral("new"),
                                         TextEncoding::ShiftJis, Unmappable::QuestionMark);
    QVERIFY(!bad.ok);
    QVERIFY(bad.error.contains(QStringLiteral("missing/x.qrnf")));
    QCOMPARE(readAll(path), QByteArray("old"));

    // A read-only folder: the old file stays whole and no temporary file remains.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const FileResult denied = writeTextFile(path, QStringLiteral("new"), TextEncoding::ShiftJis, Unmappable::QuestionMark);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!denied.ok) { // root may write anyway
        QCOMPARE(readAll(path), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("doc.qrnf")});
    }
}

void StorageTest::scratchWriteReplacesTheFileAndLeavesNothingElse()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kiriko_WaitFile.htm"));
    QVERIFY(writeScratchFileAtomically(path, "first").ok);
    QVERIFY(writeScratchFileAtomically(path, "second").ok);
    QCOMPARE(readAll(path), QByteArray("second"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Kiriko_WaitFile.htm")});
    QVERIFY(!writeScratchFileAtomically(dir.filePath(QStringLiteral("gone/x.htm")), "x").ok);
}

void StorageTest::readReportsMissingFile()
{
    QTemporaryDir dir;
    const ReadTextResult r = readDocumentFile(dir.filePath(QStringLiteral("none.qrnf")));
    QVERIFY(!r.ok);
    QVERIFY(r.error.contains(QStringLiteral("none.qrnf")));
    QVERIFY(!readDocumentFile(dir.path()).ok);
}

void StorageTest::dictionaryFileRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KirikoDate.dat"));
    // One record per line, in Shift_JIS, loads like the single-line form and is written back as one line.
    const QString records = QStringLiteral("見出し,h1,8,＜見出し＞ | ユーザー定義タグ | <h1>,\r\n全体,body,0,d,\r\nEndTagCom\r\ntrailing");
    QVERIFY(writeRaw(path, ShiftJisCodec::encode(records, Unmappable::QuestionMark).bytes));
    TagTable table;
    const DictionaryLoadResult loaded = loadDictionaryFile(path, table);
    QVERIFY(loaded.file.ok);
    QCOMPARE(int(table.TagCount()), 2);
    QVERIFY(saveDictionaryFile(path, table).ok);
    QCOMPARE(ShiftJisCodec::decode(readAll(path)),
             QStringLiteral("見出し,h1,8,＜見出し＞ | ユーザー定義タグ | <h1>,全体,body,0,d,EndTagCom\r\n"));

    table.clear();
    QVERIFY(saveDictionaryFile(path, table).ok);
    QCOMPARE(readAll(path), QByteArray("EndTagCom\r\n"));
}

void StorageTest::dictionaryMissingLeavesBuiltInOnly()
{
    QTemporaryDir dir;
    TagTable table;
    table.AddTagEntry(u"x", u"y", 0, u"");
    const DictionaryLoadResult loaded = loadDictionaryFile(dir.filePath(QStringLiteral("KirikoDate.dat")), table);
    QVERIFY(!loaded.file.ok);
    QCOMPARE(int(table.TagCount()), 0);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("KirikoDate.dat"))));
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
