#pragma once

#include <preview/PreviewView.h>

#include <QWidget>

namespace qrn {

// The help window: the manual below the program folder in a browser pane. One instance at a
// time; the main window brings it to the front.
class Form2 : public QWidget {
    Q_OBJECT
public:
    Form2(const QString &programFolder, const BrowserFactory &createBrowser);

    PreviewView *HelpBrw;

    void Form_Load();
    void Form_Resize();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QString m_programFolder;
};

} // namespace qrn
