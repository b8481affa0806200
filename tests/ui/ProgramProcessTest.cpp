// The real program as a process: its command line, and the ends it meets outside the window (a
// termination signal, a kill), with nothing of an unsaved document lost.

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
    QString program(const QString &name = {}) const { return root.filePath(QStringLiteral("program/") + name); }
    QString site(const QString &name = {}) const { return root.filePath(QStringLiteral("site/") + name); }
    QString recovery() const { return root.filePath(QStringLiteral("xdg/QRN/recovery")); }
    QStringList copies() const { return QDir(recovery()).entryList({QStringLiteral("*.qrnr")}, QDir::Files); }

    Installation()
    {
        QDir().mkpath(program());
        QDir().mkpath(site());
        QFile::copy(QStringLiteral(QRN_EXE), program(QStringLiteral("qrn")));
        makeProgramFolder(root.filePath(QStringLiteral("program")));
    }

    void start(QProcess &p, const QStringList &args, const QString &folder = {}, const QString &platform = QStringLiteral("offscreen")) const
    {
        p.setWorkingDirectory(folder.isEmpty() ? root.path() : folder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("xdg")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        if (platform == QLatin1String("xcb"))
            env.remove(QStringLiteral("DISPLAY"));
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(program(QStringLiteral("qrn")), args);
    }
};

} // namespace

class ProgramProcessTest : public QObject {
    Q_OBJECT

private slots:
    void helpAndVersionNeedNoWindow();
    void signalsAndAKillLoseNoUnsavedText();
};

void ProgramProcessTest::helpAndVersionNeedNoWindow()
{
    Installation inst;
    for (const auto &[option, expected] : {std::pair{QStringLiteral("--version"), QByteArray("qrn ") + VersionText},
                                           {QStringLiteral("--help"), QByteArray("qrn [FILE]")}}) {
        QProcess p;
        inst.start(p, {option}, {}, QStringLiteral("xcb")); // no display to be had
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY2(p.readAllStandardOutput().contains(expected), qPrintable(option));
    }
}

void ProgramProcessTest::signalsAndAKillLoseNoUnsavedText()
{
    Installation inst;
    const QString scratch = inst.site(QStringLiteral("Kiriko_WaitFile.htm"));
    const QString newScratch = inst.program(QStringLiteral("Kiriko_WaitFile.htm"));
    const QString broken = inst.site(QStringLiteral("broken.qrnf"));
    QVERIFY(writeBytes(inst.site(QStringLiteral("page.qrnf")), sjis(QStringLiteral("＜ページ＞本文\r\n"))));
    // Bytes that do not decode leave the opened document changed: an unsaved edit from outside.
    QVERIFY(writeBytes(broken, sjis(QStringLiteral("大事な文")) + "\xA0\r\n"));
    // Laid out one record per line: the exit's rewrite makes it one line.
    QVERIFY(writeBytes(inst.program(QStringLiteral("KirikoDate.dat")), "a,h,8,,\r\nEndTagCom\r\n"));

    // A document named on the command line opens in its folder, where the preview writes; a signal to
    // end removes the scratch file, writes the dictionary, and keeps a copy of unsaved text only.
    for (const QString &file : {QStringLiteral("page.qrnf"), QStringLiteral("broken.qrnf")}) {
        QProcess p;
        inst.start(p, {file}, inst.site());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(scratch), 30000);
        QVERIFY(!QFile::exists(newScratch));
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit); // its own exit, with success
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(!QFile::exists(scratch));
    }
    QCOMPARE(readAllBytes(inst.program(QStringLiteral("KirikoDate.dat"))), QByteArray("a,h,8,,EndTagCom\r\n"));
    QCOMPARE(inst.copies().size(), 1);

    // The next start offers it; whichever signal ends it while asking, it keeps the copy.
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        QProcess p;
        inst.start(p, {});
        // Start-up has put the new document's preview file down; it asks next, and is ended.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(newScratch), 30000);
        ::kill(pid_t(p.processId()), signal);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(RecoveryStore(inst.recovery()).orphans().size(), std::size_t(1));
        QVERIFY(!QFile::exists(newScratch));
    }

    // Killed outright: the copy written while it ran is what remains, with the file named
    // relative to the folder it started in kept as an absolute path.
    QVERIFY(QFile::remove(inst.recovery() + QLatin1Char('/') + inst.copies().constFirst()));
    QProcess killed;
    inst.start(killed, {QStringLiteral("broken.qrnf")}, inst.site());
    QTRY_COMPARE_WITH_TIMEOUT(inst.copies().size(), 1, 30000);
    killed.kill();
    QVERIFY(killed.waitForFinished(20000));
    const std::vector<RecoveryCopy> left = RecoveryStore(inst.recovery()).orphans();
    QCOMPARE(left.size(), std::size_t(1));
    QCOMPARE(left[0].text, QStringLiteral("大事な文\uFFFD"));
    QCOMPARE(QFileInfo(left[0].docPath).canonicalFilePath(), QFileInfo(broken).canonicalFilePath());
}

QTEST_GUILESS_MAIN(ProgramProcessTest)
#include "ProgramProcessTest.moc"
