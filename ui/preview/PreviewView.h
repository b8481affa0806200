#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace qrn {

// An embedded browser pane as the editor uses it: navigate to a local file, go back and forward
// through its own history, say when a new version of the page is visible, and relate what it
// shows to the document's lines, which the converted page keeps one for one.
class PreviewView : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QWidget *widget() = 0;
    // Starts showing the file and returns at once; loadFinished follows later.
    virtual void navigate(const QString &filePath) = 0;
    // As navigate, with the page's bytes given from memory because the file could not be written:
    // the pane shows these bytes for that path, relative references resolving against its folder.
    // The next navigate to the path shows the file again.
    virtual void showUnsaved(const QString &filePath, const QByteArray &bytes) = 0;
    // False when there is no page in that direction.
    virtual bool goBack() = 0;
    virtual bool goForward() = 0;
    // Scrolls the page last navigated to, while it is shown, so that what the 0-based document
    // line produced is in view at about `fraction` (0 top, 1 bottom) of the pane's height.
    virtual void followLine(int line, double fraction) = 0;
    // The pane's zoom factor (1: as the page says).
    virtual void setZoom(double factor) = 0;

signals:
    // A new version of the page, or another page, is visible.
    void loadFinished();
    // The user double-clicked in the page; `line` is the 0-based document line that produced what
    // was clicked.
    void lineDoubleClicked(int line);
};

// Creates a browser pane inside the given parent: the real web view, or a fake in tests.
using BrowserFactory = std::function<PreviewView *(QWidget *parent)>;

} // namespace qrn
