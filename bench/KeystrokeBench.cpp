// One keystroke's synchronous work in the real main window, offscreen, with a 1 MB document:
// the change handler reads the editor text, converts it, encodes it, writes the scratch file and
// starts the preview's navigation. Printed next to the plain conversion of the same text.

#include "BenchDocuments.h"

#include <DialogService.h>
#include <DictionaryFile.h>
#include <HenkanMod.h>
#include <MessageBoxes.h>
#include <ModalWindows.h>
#include <ProgramFiles.h>
#include <TextCodec.h>
#include <TextFile.h>
#include <WebPreview.h>
#include <main/EditorText.h>
#include <main/MainForm.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace qrn;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Figures {
    double median, worst;
};

template <typename F>
Figures measure(int runs, F &&work)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        t.push_back(ms(Clock::now() - start));
    }
    std::sort(t.begin(), t.end());
    return {t[t.size() / 2], t.back()};
}

// Message boxes and dialogs never appear in this run.
class NoBoxes : public MessageBoxes {
    void information(QWidget *, const QString &) override {}
    bool askToSave(QWidget *, const QString &) override { return false; }
    bool askYesNo(QWidget *, const QString &) override { return false; }
    void error(QWidget *, const QString &) override {}
    int askChoice(QWidget *, const QString &, const QStringList &, int) override { return -1; }
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
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

    // A 1 MB document in lines, as a user's page would be.
    std::u16string doc = bench::makeTagDocument(1 << 20);
    const QString text = fromU16(doc);
    form.MainText->setText(text);
    QTextCursor end = form.MainText->textCursor();
    end.movePosition(QTextCursor::End);
    form.MainText->setTextCursor(end);
    // Start from a settled pane: the load of the whole document has finished.
    QSignalSpy loaded(form.Brw, &PreviewView::loadFinished);
    loaded.wait(30000);

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
    // Let the pane's own work run between figures, as it would between keystrokes.
    QCoreApplication::processEvents();

    std::printf("Keystroke in a %lld-character document (1 MB of UTF-16), %d runs each:\n",
                static_cast<long long>(current.size()), runs);
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
    form.MainText->document()->setModified(false);
    return 0;
}
