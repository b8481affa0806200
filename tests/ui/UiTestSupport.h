#pragma once

// Fakes for the dialog and message-box interfaces and the browser pane, and a program folder
// with the files start-up reads. Each fake keeps a queue of scripted answers and records every
// call; a call nobody scripted is recorded as unexpected, and the test fails on it.

#include <core/TagFileFormat.h>
#include <dialogs/DialogService.h>
#include <dialogs/MessageBoxes.h>
#include <dialogs/ModalWindows.h>
#include <preview/PreviewView.h>
#include <storage/DictionaryFile.h>
#include <storage/ShiftJisCodec.h>
#include <storage/TextCodec.h>
#include <storage/TextFile.h>

#include <support/TestFiles.h>

#include <QFile>
#include <QQueue>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>

namespace qrn::test {

class FakePreview : public PreviewView {
    Q_OBJECT
public:
    explicit FakePreview(QWidget *parent) : PreviewView(parent), m_widget(new QWidget(parent)) {}

    QWidget *widget() override { return m_widget; }
    void navigate(const QString &filePath) override { navigations << filePath; }
    void showUnsaved(const QString &filePath, const QByteArray &bytes) override { unsaved.append({filePath, bytes}); }
    bool goBack() override { return ++backs, false; }
    bool goForward() override { return ++forwards, false; }
    void followLine(int line, double fraction) override { follows.append({line, fraction}); }
    void setZoom(double factor) override { zoom = factor; }

    // What the real pane reports when a load completes, and when the user double-clicks a line.
    void finishLoad() { emit loadFinished(); }
    void doubleClickLine(int line) { emit lineDoubleClicked(line); }

    QStringList navigations;
    QList<std::pair<QString, QByteArray>> unsaved;
    QList<std::pair<int, double>> follows;
    int backs = 0, forwards = 0;
    double zoom = 1;

private:
    QWidget *m_widget;
};

// Creates fake panes and remembers the last one.
struct FakePreviews {
    FakePreview *last = nullptr;
    BrowserFactory factory() { return [this](QWidget *parent) { return last = new FakePreview(parent); }; }
};

class ScriptedMessageBoxes : public MessageBoxes {
public:
    enum Kind { Information, AskToSave, AskYesNo, Error, AskChoice };
    struct Call { Kind kind; QString text; QStringList buttons = {}; int defaultButton = -1; };

    // Scripts the next box: its kind and, for questions, the answer (true: Yes).
    void expect(Kind kind, bool answer = true) { m_script.enqueue({kind, answer}); }
    // Scripts the next question with answers of its own: the index chosen, -1 for closing it.
    void expectChoice(int choice) { m_script.enqueue({AskChoice, false, choice}); }
    // Scripts the next box to be cut short: `whileOpen` runs (the program being told to end)
    // and the box returns unanswered, as a real one closed from outside does.
    void expectInterrupted(Kind kind, std::function<void()> whileOpen) { m_script.enqueue({kind, false, -1, std::move(whileOpen)}); }

    QList<Call> calls;
    QStringList unexpected;
    bool allAnswered() const { return m_script.isEmpty(); }

    void information(QWidget *, const QString &text) override { take({Information, text}); }
    bool askToSave(QWidget *, const QString &text) override { return take({AskToSave, text}).yes; }
    bool askYesNo(QWidget *, const QString &text) override { return take({AskYesNo, text}).yes; }
    void error(QWidget *, const QString &text) override { take({Error, text}); }
    int askChoice(QWidget *, const QString &text, const QStringList &buttons, int defaultButton) override
    {
        return take({AskChoice, text, buttons, defaultButton}).choice;
    }

private:
    struct Answer { Kind kind; bool yes = false; int choice = -1; std::function<void()> whileOpen = {}; };
    Answer take(const Call &call)
    {
        calls.append(call);
        if (m_script.isEmpty() || m_script.head().kind != call.kind) {
            unexpected << call.text;
            return {call.kind};
        }
        const Answer a = m_script.dequeue();
        if (a.whileOpen)
            a.whileOpen();
        return a;
    }
    QQueue<Answer> m_script;
};

class ScriptedDialogs : public DialogService {
public:
    enum Kind { OpenDialog, SaveDialog, FontDialog, ColorDialog };
    // The settings when the dialog was shown.
    struct Call { Kind kind; QString fileName, filter; std::int32_t color, flags; };

    void chooseFile(Kind kind, const QString &path) { m_script.enqueue({kind, true, [this, path] { FileName = path; }}); }
    void cancel(Kind kind) { m_script.enqueue({kind}); }
    // The dialog is cut short: `whileOpen` runs and the dialog returns as cancelled.
    void interrupt(Kind kind, std::function<void()> whileOpen) { m_script.enqueue({kind, false, std::move(whileOpen)}); }
    void chooseColor(std::int32_t color) { m_script.enqueue({ColorDialog, true, [this, color] { Color = color; }}); }
    void chooseFont(const QString &name, double size, bool bold, bool italic)
    {
        m_script.enqueue({FontDialog, true, [=, this] { FontName = name; FontSize = size; FontBold = bold; FontItalic = italic; }});
    }

    QList<Call> calls;
    int unexpected = 0;
    bool allAnswered() const { return m_script.isEmpty(); }

    bool ShowOpen(QWidget *) override { return take(OpenDialog); }
    bool ShowSave(QWidget *) override { return take(SaveDialog); }
    bool ShowFont(QWidget *) override { return take(FontDialog); }
    bool ShowColor(QWidget *) override { return take(ColorDialog); }

private:
    // `act` runs while the dialog is open: it sets the chosen value, or interrupts.
    struct Answer { Kind kind; bool accept = false; std::function<void()> act = {}; };
    bool take(Kind kind)
    {
        calls.append({kind, FileName, Filter, Color, Flags});
        if (m_script.isEmpty() || m_script.head().kind != kind) {
            ++unexpected;
            return false;
        }
        const Answer a = m_script.dequeue();
        if (a.act)
            a.act();
        return a.accept;
    }
    QQueue<Answer> m_script;
};

// The program's own modal windows, not shown: `userInTagEditor` does what the user would do in
// the tag editor, and the About box's runs are counted.
class ScriptedWindows : public ModalWindows {
public:
    int aboutRuns = 0;
    std::function<void(TagTable &)> userInTagEditor;

    void runTagEditor(QWidget *, TagTable &table) override { if (userInTagEditor) userInTagEditor(table); }
    void runAbout(QWidget *) override { ++aboutRuns; }
};

// A program folder holding the delivered dictionary (from its readable source) and a settings file.
inline bool makeProgramFolder(const QString &folder)
{
    TagTable table;
    const QString source = QString::fromUtf8(readAllBytes(QStringLiteral(QRN_DATA_DIR "/KirikoDate.txt")));
    return ReadTagFileText(toU16View(source), table).markerFound
           && writeDictionaryFile(folder + QStringLiteral("/KirikoDate.dat"), table).ok
           && writeBytes(folder + QStringLiteral("/EditerFontDate.dat"), "16777215,Noto Sans Mono CJK JP,11,False,False,0\r\n");
}

} // namespace qrn::test
