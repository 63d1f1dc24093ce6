#pragma once
// The main frame: a black window over the whole screen that runs the main
// dialog for the program's life and closes when it ends.

#include "app/ui/Settings.h"

#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

class QScreen;

namespace knetix {

class CMainDlg;

class CMainFrameWnd : public QWidget {
    Q_OBJECT
public:
    CMainFrameWnd(ValueSettings& values, QSettings* settings);
    ~CMainFrameWnd() override;

    // Files to open once the main dialog is up.
    void setFilesToOpen(std::vector<std::string> files) { m_files = std::move(files); }
    // Whether the start-up picture comes up over the main dialog.
    void setShowSplash(bool show) { m_showSplash = show; }

    // Runs the main dialog; the frame closes when it ends. Returns its result.
    int runMainDialog();
    CMainDlg* mainDialog() const { return m_dialog; }
    // After a change of the screen's size: everything centred again.
    void recentre();
    // Files from outside (a later start): the program comes to the front and
    // opens the first, asking to save the work as every opening does.
    void openFromOutside(const QStringList& files);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void watchScreen(QScreen* screen);

    ValueSettings& m_values;
    QSettings* m_settings;
    std::vector<std::string> m_files;
    CMainDlg* m_dialog = nullptr; // while it runs
    bool m_showSplash = true;
};

// Puts a top-level window over the whole of its screen.
void coverScreen(QWidget* window);

} // namespace knetix
