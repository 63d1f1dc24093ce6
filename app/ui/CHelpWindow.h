#pragma once
// The help inside the program: the German help file (or the home page) in a
// window of its own, with Back, Contents and Close. Links inside the
// document work; links to the web go to the desktop's browser.

#include <QDialog>

class QTextBrowser;

namespace knetix {

class CHelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);

    // Loads the HTML file (an anchor after "#" is followed) and brings the
    // window to the front. False when the file cannot be read; the window
    // then says so in its page.
    bool showDocument(const QString& path);
    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};

} // namespace knetix
