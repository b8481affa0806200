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
    bool goBack() override { return backs++, canGoBack; }
    bool goForward() override { return forwards++, canGoForward; }
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
    bool canGoBack = false, canGoForward = false;

private:
    QWidget *m_widget;
};

// Creates fake panes and remembers the last one.
struct FakePreviews {
    FakePreview *last = nullptr;
    BrowserFactory factory()
    {
        return [this](QWidget *parent) { return last = new FakePreview(parent); };
    }
};

class ScriptedMessageBoxes : public MessageBoxes {
public:
    enum Kind { Information, AskToSave, AskYesNo, Error, AskChoice };
    struct Call {
        Kind kind;
        QString text;
        QStringList buttons = {};
        int defaultButton = -1;
    };

    // Scripts the next box: its kind and, for questions, the answer (true: Yes).
    void expect(Kind kind, bool answer = true) { m_script.enqueue({kind, answer, -1}); }
    // Scripts the next question with answers of its own: the index chosen, -1 for closing it.
    void expectChoice(int choice) { m_script.enqueue({AskChoice, false, choice}); }
    // Scripts the next box to be cut short: `whileOpen` runs (the program being told to end)
    // and the box returns unanswered, as a real one closed from outside does.
    void expectInterrupted(Kind kind, std::function<void()> whileOpen) { m_script.enqueue({kind, false, -1, std::move(whileOpen)}); }

    QList<Call> calls;
    QStringList unexpected;
    bool allAnswered() const { return m_script.isEmpty(); }

    void information(QWidget *, const QString &text) override { take(Information, text); }
    bool askToSave(QWidget *, const QString &text) override { return take(AskToSave, text); }
    bool askYesNo(QWidget *, const QString &text) override { return take(AskYesNo, text); }
    void error(QWidget *, const QString &text) override { take(Error, text); }
    int askChoice(QWidget *, const QString &text, const QStringList &buttons, int defaultButton) override
    {
        calls.append({AskChoice, text, buttons, defaultButton});
        if (m_script.isEmpty() || m_script.head().kind != AskChoice) {
            unexpected << text;
            return -1;
        }
        const Answer a = m_script.dequeue();
        if (a.whileOpen)
            a.whileOpen();
        return a.choice;
    }

private:
    struct Answer {
        Kind kind;
        bool yes;
        int choice;
        std::function<void()> whileOpen = {};
    };
    bool take(Kind kind, const QString &text)
    {
        calls.append({kind, text});
        if (m_script.isEmpty() || m_script.head().kind != kind) {
            unexpected << text;
            return false;
        }
        const Answer a = m_script.dequeue();
        if (a.whileOpen)
            a.whileOpen();
        return a.yes;
    }
    QQueue<Answer> m_script;
};

class ScriptedDialogs : public DialogService {
public:
    enum Kind { OpenDialog, SaveDialog, FontDialog, ColorDialog };
    struct Call {
        Kind kind;
        QString fileName; // the file name setting when the dialog was shown
        QString filter;
        std::int32_t color;
        std::int32_t flags;
    };

    void chooseFile(Kind kind, const QString &path) { m_script.enqueue({.kind = kind, .accept = true, .fileName = path}); }
    void cancel(Kind kind) { m_script.enqueue({.kind = kind}); }
    // The dialog is cut short: `whileOpen` runs and the dialog returns as cancelled.
    void interrupt(Kind kind, std::function<void()> whileOpen) { m_script.enqueue({.kind = kind, .whileOpen = std::move(whileOpen)}); }
    void chooseColor(std::int32_t color) { m_script.enqueue({.kind = ColorDialog, .accept = true, .color = color}); }
    void chooseFont(const QString &name, double size, bool bold, bool italic)
    {
        m_script.enqueue({.kind = FontDialog, .accept = true, .font = {name, size, bold, italic}});
    }

    QList<Call> calls;
    int unexpected = 0;
    bool allAnswered() const { return m_script.isEmpty(); }

    bool ShowOpen(QWidget *) override { return take(OpenDialog); }
    bool ShowSave(QWidget *) override { return take(SaveDialog); }
    bool ShowFont(QWidget *) override { return take(FontDialog); }
    bool ShowColor(QWidget *) override { return take(ColorDialog); }

private:
    struct Font {
        QString name;
        double size = 0;
        bool bold = false, italic = false;
    };
    struct Answer {
        Kind kind = OpenDialog;
        bool accept = false;
        QString fileName = {};
        std::int32_t color = 0;
        Font font = {};
        std::function<void()> whileOpen = {};
    };

    bool take(Kind kind)
    {
        calls.append({kind, FileName, Filter, Color, Flags});
        if (m_script.isEmpty() || m_script.head().kind != kind) {
            ++unexpected;
            return false;
        }
        const Answer a = m_script.dequeue();
        if (a.whileOpen)
            a.whileOpen();
        if (!a.accept)
            return false;
        if (kind == OpenDialog || kind == SaveDialog)
            FileName = a.fileName;
        else if (kind == ColorDialog)
            Color = a.color;
        else
            std::tie(FontName, FontSize, FontBold, FontItalic) = std::tie(a.font.name, a.font.size, a.font.bold, a.font.italic);
        return true;
    }
    QQueue<Answer> m_script;
};

// The program's own modal windows, not shown: each run is counted, and `userInTagEditor`
// does what the user would do in the tag editor.
class ScriptedWindows : public ModalWindows {
public:
    int tagEditorRuns = 0;
    int aboutRuns = 0;
    std::function<void(TagTable &)> userInTagEditor;

    void runTagEditor(QWidget *, TagTable &table) override
    {
        ++tagEditorRuns;
        if (userInTagEditor)
            userInTagEditor(table);
    }
    void runAbout(QWidget *) override { ++aboutRuns; }
};

// A program folder holding the delivered dictionary (from its readable source) and a settings file.
inline bool makeProgramFolder(const QString &folder,
                              const QString &settings = QStringLiteral("16777215,Noto Sans Mono CJK JP,11,False,False,0"))
{
    TagTable table;
    const QString source = QString::fromUtf8(readAllBytes(QStringLiteral(QRN_DATA_DIR "/KirikoDate.txt")));
    if (!ReadTagFileText(toU16View(source), table).markerFound)
        return false;
    return writeDictionaryFile(folder + QStringLiteral("/KirikoDate.dat"), table).ok
           && writeBytes(folder + QStringLiteral("/EditerFontDate.dat"), sjis(settings + QStringLiteral("\r\n")));
}

} // namespace qrn::test
