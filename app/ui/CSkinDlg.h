#pragma once
// The skinned face of the main dialog: a borderless window over the whole
// screen with the 640 x 480 skin in the middle of black bands, its 24 shaped
// controls, the tool and size groups, tooltips on the size buttons and the
// filmstrip panel. Commands and panel events become virtual operations that
// the main dialog implements.

#include "skin/SkinButtons.h"

#include <QDialog>
#include <QImage>

#include <map>

namespace knetix {

class CFilmPanelDlg;
class CMyToolTipCtrl;
class CToolDisplay;

// Control ids of the main panel.
enum MainControl : int {
    IDC_DRILL = 1000, IDC_HOOK = 1001, IDC_HAMMER = 1002, IDC_DEFLATOR = 1003, IDC_IRON = 1004,
    IDC_MAGNIFIER = 1005, IDC_BRUSH = 1006, IDC_OPEN_PROJECT = 1007, IDC_OPEN_PICTURE = 1008,
    IDC_SAVE_PROJECT = 1009, IDC_SAVE_AVI = 1010, IDC_SCAN = 1011, IDC_PRINT = 1012,
    IDC_SAVE_PICTURE = 1013, IDC_HELP = 1014, IDC_ABOUT = 1015, IDC_HOME_PAGE = 1016,
    IDC_MINIMIZE = 1017, IDC_CLOSE = 1018, IDC_OPTIONS = 1019, IDC_SMALL = 1020, IDC_MEDIUM = 1021,
    IDC_LARGE = 1022, IDC_TOOL_DISPLAY = 1023,
};

// Dialog results.
enum DialogResult : int { IDOK = 1, IDCANCEL = 2 };

// Where the 640 x 480 skin starts on a screen of that size.
QPoint panelOriginFor(QSize screen);

class CSkinDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSkinDlg(QWidget* parent = nullptr);
    ~CSkinDlg() override;

    // Covers the screen, loads the skin, places every control, creates the
    // filmstrip panel and the tooltips. False when any of it is missing; the
    // dialog then ends with IDCANCEL.
    bool initDialog();
    // Places and loads every control at the current panel origin. False at
    // the first control whose pictures are missing.
    bool placeControls();
    // After a display change: cover the screen (its rectangle given) again,
    // place the controls and the panel at the new origin.
    virtual void recentre(const QRect& screen);

    QPoint panelOrigin() const { return m_origin; }
    // The rectangle the dialog covers: the screen it is on.
    QRect screenRect() const;

    int toolIndex() const { return m_toolGroup.index(); }
    int sizeIndex() const { return m_sizeGroup.index(); }
    // Shows (true) or hides the seven file command buttons.
    void showFileButtons(bool show);

    // The control with that id, or null.
    QWidget* control(int id) const;
    CToolButton* toolButton(int id) const;
    CFilmPanelDlg* filmPanel() const { return m_filmPanel; }
    CMyToolTipCtrl* toolTips() const { return m_toolTips; }
    CToolDisplay* toolDisplay() const { return m_toolDisplay; }

    // Runs a control's command as its button would.
    virtual void command(int id);

protected:
    // Operations the filmstrip panel and the sliders end in.
    virtual void sliderChanged(int position, int controlId);
    virtual void playOrStop() {}
    virtual void showFilmstrip() {}
    virtual void hideFilmstrip() {}
    virtual void filmstripBack() {}
    virtual void filmstripForward() {}

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Escape: ends the dialog with IDCANCEL.
    void reject() override;
    // Focus follows the mouse into these windows too.
    void followFocus(QWidget* window);
    // Puts the tool (or size) button with that id down and every other one of
    // its group up; an id of no button of the group puts them all up.
    void setToolDown(int id);
    void setSizeDown(int id);

private:
    void createControls();
    void setGroupDown(CButtonGroup& group, int id);

    std::map<int, QWidget*> m_controls; // by control id
    CButtonGroup m_toolGroup;
    CButtonGroup m_sizeGroup;
    CToolDisplay* m_toolDisplay = nullptr;
    CMyToolTipCtrl* m_toolTips = nullptr;
    CFilmPanelDlg* m_filmPanel = nullptr;
    QImage m_skin;
    QPoint m_origin;
};

} // namespace knetix
