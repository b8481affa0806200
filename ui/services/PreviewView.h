#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace qrn {

// An embedded browser pane as the editor uses it: navigate to a local file, go back and forward
// through its own history, and say when a load has completed.
class PreviewView : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QWidget *widget() = 0;
    // Starts loading the file and returns at once; loadFinished follows later.
    virtual void navigate(const QString &filePath) = 0;
    // False when there is no page in that direction.
    virtual bool goBack() = 0;
    virtual bool goForward() = 0;

signals:
    void loadFinished();
};

// Creates a browser pane inside the given parent: the real web view, or a fake in tests.
using BrowserFactory = std::function<PreviewView *(QWidget *parent)>;

} // namespace qrn
