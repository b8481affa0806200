// The real program as a process: its command line, and the ends it meets outside the window —
// a termination signal and a kill — with nothing of an unsaved document lost.

#include "UiTestSupport.h"

#include <core/Version.h>
#include <storage/RecoveryStore.h>

#include <QProcess>
#include <QtTest>

#include <csignal>

using namespace qrn;
using namespace qrn::test;

namespace {

// A program folder of its own with the program and its data files, a user data folder, and a
// site folder for documents.
struct Installation {
    QTemporaryDir root;
    QString program() const { return root.filePath(QStringLiteral("program")); }
    QString site() const { return root.filePath(QStringLiteral("site")); }
    QString userData() const { return root.filePath(QStringLiteral("xdg")); }
    QString recovery() const { return root.filePath(QStringLiteral("xdg/QRN/recovery")); }
    QStringList recoveryCopies() const { return QDir(recovery()).entryList({QStringLiteral("*.qrnr")}, QDir::Files); }

    Installation()
    {
        QDir().mkpath(program());
        QDir().mkpath(site());
        QFile::copy(QStringLiteral(QRN_EXE), program() + QStringLiteral("/qrn"));
        makeProgramFolder(program());
    }

    void start(QProcess &p, const QStringList &args, const QString &folder = {}) const
    {
        p.setWorkingDirectory(folder.isEmpty() ? root.path() : folder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), userData());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(program() + QStringLiteral("/qrn"), args);
    }
};

bool endsWithin(QProcess &p, int ms) { return p.waitForFinished(ms); }

} // namespace

class ProgramProcessTest : public QObject {
    Q_OBJECT

private slots:
    void helpAndVersionNeedNoWindow();
    void fileOnTheCommandLineOpensAndATermSignalEndsInOrder();
    void unsavedEditSurvivesATermSignalAndAKill();
};

void ProgramProcessTest::helpAndVersionNeedNoWindow()
{
    Installation inst;
    for (const auto &[option, expected] : {std::pair{QStringLiteral("--version"), QByteArray("qrn ") + VersionText},
                                           {QStringLiteral("--help"), QByteArray("qrn [FILE]")}}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")); // no display to be had
        p.setProcessEnvironment(env);
        p.start(inst.program() + QStringLiteral("/qrn"), {option});
        QVERIFY(endsWithin(p, 10000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY2(p.readAllStandardOutput().contains(expected), qPrintable(option));
    }
}

void ProgramProcessTest::fileOnTheCommandLineOpensAndATermSignalEndsInOrder()
{
    Installation inst;
    const QString page = inst.site() + QStringLiteral("/page.qrnf");
    QVERIFY(writeBytes(page, sjis(QStringLiteral("＜ページ＞本文\r\n"))));
    // Laid out one record per line: the exit's rewrite makes it one line.
    QVERIFY(writeBytes(inst.program() + QStringLiteral("/KirikoDate.dat"), "a,h,8,,\r\nEndTagCom\r\n"));
    QProcess p;
    inst.start(p, {page});
    // The document opened: its folder is the work folder, where the preview writes its file.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(inst.site() + QStringLiteral("/Kiriko_WaitFile.htm")), 30000);
    QVERIFY(!QFile::exists(inst.program() + QStringLiteral("/Kiriko_WaitFile.htm")));

    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(endsWithin(p, 20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFile::exists(inst.site() + QStringLiteral("/Kiriko_WaitFile.htm")));
    QCOMPARE(readAllBytes(inst.program() + QStringLiteral("/KirikoDate.dat")), QByteArray("a,h,8,,EndTagCom\r\n"));
    QVERIFY(inst.recoveryCopies().isEmpty()); // nothing unsaved
}

void ProgramProcessTest::unsavedEditSurvivesATermSignalAndAKill()
{
    Installation inst;
    // Bytes that do not decode leave the opened document changed: an unsaved edit from outside.
    const QString page = inst.site() + QStringLiteral("/broken.qrnf");
    QVERIFY(writeBytes(page, sjis(QStringLiteral("大事な文")) + "\xA0\r\n"));

    // Named relative to the folder it starts in: the copy keeps the absolute path.
    QProcess first;
    inst.start(first, {QStringLiteral("broken.qrnf")}, inst.site());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(inst.site() + QStringLiteral("/Kiriko_WaitFile.htm")), 30000);
    ::kill(pid_t(first.processId()), SIGTERM);
    QVERIFY(endsWithin(first, 20000));
    QCOMPARE(first.exitCode(), 0);
    QVERIFY(!QFile::exists(inst.site() + QStringLiteral("/Kiriko_WaitFile.htm")));
    QCOMPARE(inst.recoveryCopies().size(), 1);
    QFile::remove(inst.recovery() + QLatin1Char('/') + inst.recoveryCopies().constFirst());

    // Killed outright: the copy written while it ran is what remains.
    QProcess second;
    inst.start(second, {page});
    QTRY_COMPARE_WITH_TIMEOUT(inst.recoveryCopies().size(), 1, 30000);
    second.kill();
    QVERIFY(endsWithin(second, 20000));
    const std::vector<RecoveryCopy> left = RecoveryStore(inst.recovery()).orphans();
    QCOMPARE(left.size(), std::size_t(1));
    QCOMPARE(left[0].text, QStringLiteral("大事な文\uFFFD"));
    QCOMPARE(left[0].docPath, page);

    // The next start offers it; whichever signal ends it while asking, it keeps the copy.
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        QProcess third;
        inst.start(third, {});
        // Start-up has put the new document's preview file down; it asks next, and is ended.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(inst.program() + QStringLiteral("/Kiriko_WaitFile.htm")), 30000);
        ::kill(pid_t(third.processId()), signal);
        QVERIFY(endsWithin(third, 20000));
        QCOMPARE(third.exitStatus(), QProcess::NormalExit);
        QCOMPARE(third.exitCode(), 0);
        QCOMPARE(RecoveryStore(inst.recovery()).orphans().size(), std::size_t(1));
        QVERIFY(!QFile::exists(inst.program() + QStringLiteral("/Kiriko_WaitFile.htm")));
    }
}

QTEST_GUILESS_MAIN(ProgramProcessTest)
#include "ProgramProcessTest.moc"
