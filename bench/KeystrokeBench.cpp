// One keystroke in the real main window, offscreen, with a document of the size given on the
// command line (100K, 1M, 5M, 10M; default 1M): the synchronous work of the change handler (read
// the editor text, convert, encode, write the scratch file, hand it to the preview), printed next
// to the plain conversion of the same text; then the preview pane's side on a page of paragraphs:
// each kind of key to its version drawn, as the pane reports it and as its pixels show it, the
// path it took, bursts, memory, opening the page and following Ctrl+End.

#include "BenchDocuments.h"
#include "BenchTiming.h"

#include <core/HenkanMod.h>
#include <dialogs/DialogService.h>
#include <dialogs/MessageBoxes.h>
#include <dialogs/ModalWindows.h>
#include <editor/EditorText.h>
#include <main/MainForm.h>
#include <preview/WebPreview.h>
#include <storage/DictionaryFile.h>
#include <storage/ProgramFiles.h>
#include <storage/TextCodec.h>
#include <storage/TextFile.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace qrn;
using namespace qrn::bench;

namespace {

template <typename F>
Figures measure(int runs, F &&work)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        t.push_back(ms(Clock::now() - start));
    }
    return figures(std::move(t));
}

// Message boxes and dialogs never appear in this run.
class NoBoxes : public MessageBoxes {
    void information(QWidget *, const QString &) override {}
    bool askToSave(QWidget *, const QString &) override { return false; }
    bool askYesNo(QWidget *, const QString &) override { return false; }
    void error(QWidget *, const QString &) override {}
    int askChoice(QWidget *, const QString &, const QStringList &, int) override { return -1; }
};

// "100K", "1M", "10M" or a number of bytes.
std::size_t documentBytes(const char *arg)
{
    const QByteArray text = QByteArray(arg).toUpper();
    const std::size_t unit = text.endsWith('M') ? 1 << 20 : text.endsWith('K') ? 1 << 10 : 1;
    const std::size_t number = (unit == 1 ? text : text.chopped(1)).toULongLong();
    return number * unit;
}

QString sizeName(std::size_t bytes)
{
    return bytes >= (1 << 20) ? QStringLiteral("%1 MB").arg(double(bytes) / (1 << 20))
                              : QStringLiteral("%1 KB").arg(double(bytes) / (1 << 10));
}

// Runs the event loop until `done` holds or `ms` have passed. Unlike QTest::qWaitFor it never
// sleeps between checks: the engine hands the UI thread many small tasks per load, and a sleep
// before each would be counted as the pane's time.
template <typename F>
bool runUntil(F &&done, int ms)
{
    QElapsedTimer since;
    since.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || since.elapsed() >= ms)
            loop.quit();
    });
    check.start(1);
    if (!done())
        loop.exec();
    return done();
}

// The preview pane seen from outside: how many loads run at once, and when the newest version
// asked for is visible.
class PaneClock {
public:
    explicit PaneClock(WebPreview &pane) : m_pane(pane)
    {
        for (QWebEngineView *view : pane.widget()->findChildren<QWebEngineView *>()) {
            QObject::connect(view->page(), &QWebEnginePage::loadStarted, [this] { m_most = std::max(m_most, ++m_loading); });
            QObject::connect(view->page(), &QWebEnginePage::loadFinished, [this] { --m_loading; });
        }
    }
    void reset() { m_most = m_loading; }
    int mostLoadsAtOnce() const { return m_most; }
    // Milliseconds from `since` until the pane shows the newest version, or -1.
    double untilUpToDate(const QElapsedTimer &since)
    {
        if (!runUntil([this] { return m_pane.isUpToDate(); }, 120000))
            return -1;
        return since.nsecsElapsed() / 1e6;
    }

private:
    WebPreview &m_pane;
    int m_loading = 0, m_most = 0;
};

// Milliseconds from `since` until the shown page answers true to `script` (asked every 10 ms), or -1.
double untilPageSays(WebPreview &pane, const QString &script, const QElapsedTimer &since, int ms)
{
    while (since.elapsed() < ms) {
        bool answered = false, yes = false;
        pane.view()->page()->runJavaScript(script, [&](const QVariant &v) { answered = true; yes = v.toBool(); });
        runUntil([&] { return answered; }, 5000);
        if (yes)
            return since.nsecsElapsed() / 1e6;
        runUntil([] { return false; }, 10);
    }
    return -1;
}

// The proportional set size of this process and every process below it (the engine's), in KB.
long long treePssKb()
{
    long long total = 0;
    std::vector<int> pids{int(getpid())};
    for (std::size_t i = 0; i < pids.size(); ++i) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pids[i]));
        if (rollup.open(QIODevice::ReadOnly))
            for (const QByteArray &line : rollup.readAll().split('\n'))
                if (line.startsWith("Pss:"))
                    total += line.mid(4).trimmed().split(' ').value(0).toLongLong();
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pids[i]));
        if (children.open(QIODevice::ReadOnly))
            for (const QByteArray &child : children.readAll().split(' '))
                if (child.trimmed().toInt() > 0)
                    pids.push_back(child.trimmed().toInt());
    }
    return total;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    registerLocalPageScheme();
    QApplication app(argc, argv);

    QTemporaryDir dir;
    {
        const TagTable table = bench::makeDictionary(300);
        writeDictionaryFile(joinPath(dir.path(), DictionaryFileName), table);
        QFile settings(joinPath(dir.path(), SettingsFileName));
        settings.open(QIODevice::WriteOnly);
        settings.write("16777215,Noto Sans Mono CJK JP,11,False,False,0\r\n");
    }
    HenkanMod henkan;
    NoBoxes boxes;
    QtModalWindows windows(boxes);
    MainForm form(henkan, dir.path(), boxes, std::make_unique<QtDialogService>(), windows,
                  [](QWidget *parent) { return new WebPreview(parent); });
    if (!form.Form_Load())
        return 1;
    form.show();

    // A document in lines, as a user's page would be; its size counted in UTF-16.
    const std::size_t size = argc > 1 ? documentBytes(argv[1]) : std::size_t(1) << 20;
    if (size == 0) {
        std::fprintf(stderr, "usage: bench_keystroke [SIZE]   SIZE: 100K, 1M, 5M, 10M or bytes (default 1M)\n");
        return 2;
    }
    std::u16string doc = bench::makeTagDocument(size);
    const QString text = fromU16(doc);
    form.MainText->setText(text);
    QTextCursor end = form.MainText->textCursor();
    end.movePosition(QTextCursor::End);
    form.MainText->setTextCursor(end);
    // Start from a settled pane: the load of the whole document has finished.
    auto &pane = *static_cast<WebPreview *>(form.Brw);
    PaneClock clock(pane);
    {
        QElapsedTimer since;
        since.start();
        clock.untilUpToDate(since);
    }

    const int runs = 60;
    const QString current = form.MainText->text();
    const Figures convert = measure(runs, [&] { (void)henkan.ToHtml(toU16View(current)); });
    const QString scratch = scratchFilePath(dir.path());
    // As the refresh does it: buffers kept from one keystroke to the next.
    std::u16string html;
    EncodeResult bytes;
    const Figures convertWrite = measure(runs, [&] {
        ToHtml(toU16View(current), henkan.tagTable(), html);
        encodeTextFileInto(QStringView(html.data(), qsizetype(html.size())), TextEncoding::ShiftJis,
                           Unmappable::CharacterReference, bytes);
        writeScratchFileAtomically(scratch, bytes.bytes);
    });
    const std::u16string htmlOnce = henkan.ToHtml(toU16View(current));
    const QStringView htmlView(htmlOnce.data(), qsizetype(htmlOnce.size()));
    const Figures encodeOnly = measure(runs, [&] {
        (void)encodeTextFile(htmlView, TextEncoding::ShiftJis, Unmappable::CharacterReference);
    });
    const QByteArray bytesOnce = encodeTextFile(htmlView, TextEncoding::ShiftJis, Unmappable::CharacterReference).bytes;
    const Figures writeOnly = measure(runs, [&] { writeScratchFileAtomically(scratch, bytesOnce); });
    const Figures readText = measure(runs, [&] { (void)form.MainText->text(); });
    const Figures keystroke = measure(runs, [&] {
        QTest::keyClick(form.MainText, Qt::Key_A);
    });
    std::printf("Keystroke in a %lld-character document (%s of UTF-16), %d runs each:\n",
                static_cast<long long>(current.size()), qPrintable(sizeName(size)), runs);
    std::printf("  %-52s median %7.3f ms  worst %7.3f ms\n", "ToHtml alone", convert.median, convert.worst);
    std::printf("  %-52s median %7.3f ms  worst %7.3f ms   target median <= 2 ms: %s\n",
                "convert + encode + write scratch file", convertWrite.median, convertWrite.worst,
                convertWrite.median <= 2 ? "met" : "NOT MET");
    std::printf("  %-52s median %7.3f ms  worst %7.3f ms\n", "  of which: encode", encodeOnly.median, encodeOnly.worst);
    std::printf("  %-52s median %7.3f ms  worst %7.3f ms\n", "  of which: write the file", writeOnly.median, writeOnly.worst);
    std::printf("  %-52s median %7.3f ms  worst %7.3f ms\n", "read the editor text", readText.median, readText.worst);
    std::printf("  %-52s median %7.3f ms  worst %7.3f ms   target median <= 8, worst <= 16 ms: %s\n",
                "whole synchronous keystroke path", keystroke.median, keystroke.worst,
                keystroke.median <= 8 && keystroke.worst <= 16 ? "met" : "NOT MET");
    std::printf("  %-52s %7.2f\n", "keystroke path / ToHtml alone (median)", keystroke.median / convert.median);
    if (size >= std::size_t(10) << 20)
        std::printf("  %-52s %s\n", "target at 10 MB: synchronous path median <= 60 ms", keystroke.median <= 60 ? "met" : "NOT MET");
    // A page as a user writes one: head, then paragraphs of text with an element here and there,
    // one a line. The paths a user's keys take, each to its version drawn: a key inside a
    // paragraph's text (patched), an element put into a paragraph at once (pasted or from the
    // palette; patched), a key in the title (the head: loaded).
    QString page = QStringLiteral("<html><head><title>題</title></head><body>\r\n");
    for (int i = 0; page.size() * 2 < qsizetype(size); ++i)
        page += QStringLiteral("<p>段落 %1 の文章です。<b>太字</b>もあります。</p>\r\n").arg(i);
    page += QStringLiteral("</body></html>");
    // Opening it: from the text put in to its first paragraph in the visible page (asked every
    // 10 ms), and to the whole version drawn.
    double opened = 0, firstContent = -1;
    {
        QElapsedTimer since;
        since.start();
        form.MainText->setText(page);
        firstContent = untilPageSays(pane, QStringLiteral("!!document.querySelector('body > p')"), since, 60000);
        opened = clock.untilUpToDate(since);
    }
    const QTextBlock paragraph = form.MainText->document()->findBlockByNumber(form.MainText->document()->blockCount() / 2);
    const auto at = [&](int position) {
        QTextCursor c(form.MainText->document());
        c.setPosition(position);
        form.MainText->setTextCursor(c);
    };
    struct Path {
        const char *name;
        std::function<void()> edit;
    };
    const std::vector<Path> paths{
        {"key inside a paragraph's text", [&] { at(paragraph.position() + 6); QTest::keyClick(form.MainText, Qt::Key_A); }},
        {"element put into a paragraph", [&] { at(paragraph.position() + 6); form.MainText->insertPlainText(QStringLiteral("<i>x</i>")); }},
        {"key in the title (head)", [&] { at(int(page.indexOf(QStringLiteral("題"))) + 1); QTest::keyClick(form.MainText, Qt::Key_A); }},
    };
    const int paneRuns = size >= std::size_t(5) << 20 ? 3 : 10; // a reload of the largest pages takes seconds
    std::printf("Preview pane on a page of paragraphs (%s), each key to its version drawn, %d each:\n",
                qPrintable(sizeName(size)), paneRuns);
    std::printf("  (\"reported\": the pane says the version is visible, after a patch or after the hidden view's\n"
                "   load has drawn two frames at the old scroll position and been raised; \"pixels\": the pane's\n"
                "   image, grabbed as often as the event loop turns, first differs from the one it held still for\n"
                "   100 ms before the key)\n");
    const auto grabPane = [&] { return pane.widget()->grab().toImage(); };
    {
        const QImage probe = grabPane();
        int colours = 0;
        QRgb first = probe.isNull() ? 0 : probe.pixel(0, 0);
        for (int y = 0; y < probe.height(); y += 7)
            for (int x = 0; x < probe.width(); x += 7)
                colours += probe.pixel(x, y) != first;
        std::printf("  (probe: grabbed %dx%d, %d sampled pixels differ from the corner)\n", probe.width(), probe.height(), colours);
    }
    for (const Path &path : paths) {
        const int before = pane.loadsStarted();
        std::vector<double> reported, pixels;
        for (int i = 0; i < paneRuns; ++i) {
            // From a still pane: no frame of the version before still on its way.
            QImage old = grabPane();
            QElapsedTimer still;
            still.start();
            runUntil([&] {
                QImage now = grabPane();
                if (now != old) {
                    old = std::move(now);
                    still.restart();
                }
                return still.elapsed() >= 100;
            }, 2000);
            QElapsedTimer since;
            since.start();
            path.edit();
            double seen = -1, drawn = -1;
            runUntil([&] {
                if (drawn < 0 && pane.isUpToDate())
                    drawn = since.nsecsElapsed() / 1e6;
                if (seen < 0 && grabPane() != old)
                    seen = since.nsecsElapsed() / 1e6;
                return drawn >= 0 && (seen >= 0 || since.elapsed() > drawn + 3000);
            }, 120000);
            reported.push_back(drawn);
            pixels.push_back(seen);
        }
        const Figures r = figures(std::move(reported)), x = figures(std::move(pixels));
        const int loads = pane.loadsStarted() - before;
        const QString seen = x.median < 0 ? QStringLiteral("no pixel changes (not drawn)")
                                          : QStringLiteral("pixels median %1 ms (%2x)").arg(x.median, 7, 'f', 1).arg(x.median / std::max(0.001, r.median), 0, 'f', 2);
        std::printf("  %-34s reported median %7.1f ms worst %7.1f | %s  path: %s (%d loads)\n", path.name, r.median,
                    r.worst, qPrintable(seen), loads == 0 ? "patch" : loads >= paneRuns ? "reload" : "mixed", loads);
    }
    // Twenty of each, 50 ms apart: how soon after the last one its version is drawn, and how many
    // loads ran at once (the pane starts a load only when the one before has finished).
    for (const Path &path : paths) {
        const int before = pane.loadsStarted();
        clock.reset();
        QElapsedTimer started;
        started.start();
        for (int i = 0; i < 20; ++i) {
            runUntil([&] { return started.elapsed() >= 50 * i; }, 1000);
            path.edit();
        }
        QElapsedTimer lastKey;
        lastKey.start();
        const double settled = clock.untilUpToDate(lastKey);
        std::printf("  burst of 20, %-30s drawn %7.1f ms after the last  (%d loads, at most %d at once)\n", path.name,
                    settled, pane.loadsStarted() - before, clock.mostLoadsAtOnce());
    }
    // Memory over 20 more elements put in, each drawn before the next.
    const long long pssBefore = treePssKb();
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer since;
        since.start();
        paths[1].edit();
        clock.untilUpToDate(since);
    }
    const long long pssAfter = treePssKb();
    std::printf("  %-40s %lld MB -> %lld MB (%+.1f%%, target <= 20%%)\n", "process tree PSS over 20 elements put in",
                pssBefore / 1024, pssAfter / 1024, 100.0 * double(pssAfter - pssBefore) / double(std::max(1LL, pssBefore)));
    std::printf("  %-40s %7.1f ms  (first paragraph in the visible page %.1f ms, target <= 500)\n",
                "the page put in, to its whole version drawn", opened, firstContent);
    // Ctrl+End in the editor: until the pane shows the page's end.
    double followed = -1;
    {
        QElapsedTimer since;
        since.start();
        QTest::keyClick(form.MainText, Qt::Key_End, Qt::ControlModifier);
        followed = untilPageSays(pane, QStringLiteral("scrollY + innerHeight >= document.documentElement.scrollHeight - 4"), since, 30000);
    }
    std::printf("  %-40s %s\n", "Ctrl+End, until the pane shows the end",
                followed < 0 ? "NOT FOLLOWED in 30 s" : qPrintable(QStringLiteral("%1 ms").arg(followed, 0, 'f', 1)));

    form.MainText->document()->setModified(false);
    return 0;
}
