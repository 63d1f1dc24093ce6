#pragma once
// The program's own open and save dialogs: a 390 x 325 skin picture with the
// list of folders and files, the folder and type combos, the file-name box, the
// list scroll bar and bitmap buttons. CFileOpenDlg and CFileSaveDlg differ in
// what OK does; the five dialogs in their picture and extra buttons.
//
// Paths use "/" and a folder always ends in "/"; the empty folder is the
// "My Computer" level, which lists the mounted volumes.

#include "browser/CBrowsePalette.h"
#include "browser/model/Listing.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace knetix {

class CCommandButton;
class CFileList;
class CListScrollBar;
class CSkinButton;
class CSkinComboBox;
class CStateButton;

// Control ids of the dialogs.
enum FileDialogControl : int {
    IDC_FILE_LIST = 1001,
    IDC_FOLDER_COMBO = 1137,
    IDC_NAME_EDIT = 1152,
    IDC_TYPE_COMBO = 1136,
    IDC_UP = 1006,
    IDC_NEW_FOLDER = 1002,
    IDC_INFO = 3,
    IDC_READ_ONLY = 4,
    IDC_BROWSE = 5,
};

// The name a new folder starts with.
constexpr const char* kNewFolderName = "Neuer Ordner";

// The mounted volumes the "My Computer" level shows. Tests put their own in place.
using VolumeProvider = std::function<std::vector<browser::Volume>()>;
std::vector<browser::Volume> systemVolumes();
VolumeProvider setVolumeProvider(VolumeProvider provider);

class CFileDlg : public QDialog {
    Q_OBJECT
public:
    struct Look {
        const char* background; // dialog picture
        bool saving;
        bool readOnlyVisible;
    };
    CFileDlg(const Look& look, const QString& defaultName, const QString& initialFolder, const QString& filter,
             QWidget* parent);
    ~CFileDlg() override;

    // 1 (OK) or 2 (Cancel); a dialog whose pictures are missing returns 2 at once.
    int runModal();
    bool initialised() const { return m_initialised; }

    // "" at the "My Computer" level.
    const std::string& currentFolder() const { return m_folder; }
    bool atMyComputer() const { return m_folder.empty(); }

    // The commands, as the buttons and keys give them.
    void ok();
    void cancel();
    void goUp();
    void newFolder();
    void deleteSelected();
    bool fillList();
    void chooseFolder(int index);
    void chooseType(int index);
    // Selects the list item of that name (case-insensitive) and puts it into
    // the file-name box.
    void selectFile(const QString& name);
    // Shows that folder (ending in "/"), wherever it is; false, with a
    // message, when it cannot be listed.
    bool goTo(const std::string& folder);
    // True while the file-name box holds what the user typed, not a name the
    // dialog put there.
    bool nameTyped() const { return m_nameTyped; }

    QListWidget* list() const;
    QLineEdit* nameEdit() const { return m_nameEdit; }
    CSkinComboBox* folderCombo() const { return m_folderCombo; }
    CSkinComboBox* typeCombo() const { return m_typeCombo; }
    CListScrollBar* scrollBar() const { return m_scrollBar; }
    CSkinButton* button(int id) const;
    bool editingLabel() const { return m_editingLabel; }
    // The list's first visible row.
    int topRow() const { return m_topRow; }
    int rowHeight() const;

protected:
    virtual void folderChanged() {}
    virtual void filterChanged() {}
    virtual void selectionChanged() {}
    // What OK does once the common checks are done.
    virtual void okPressed() = 0;

    bool isFolderItem(const QListWidgetItem* item) const;
    // Puts a name into the file-name box (not the user's typing).
    void putName(const QString& name);
    // What a typed path names, resolved against the current folder and home.
    std::string typedPath() const;
    // A typed path that names a folder: go there, the file-name box emptied
    // (open) or given the default name (save). True if it was a folder.
    bool enterTypedFolder(const std::string& path);
    // A typed path that names a file: its folder is shown and its name put
    // into the box (not as typing). False when the folder cannot be listed.
    bool showTypedFile(const std::string& path);
    QListWidgetItem* selectedItem() const;
    // Enters the folder or volume of the item.
    void enter(const QListWidgetItem* item);
    std::string currentPattern() const;
    // Frees what the dialog holds and ends it.
    void finish(int result);
    // Adds a skin button of the layout; null when its pictures are missing.
    CSkinButton* addButton(std::string_view member);
    void reportError(int stringId);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    bool m_initialised = false;
    bool m_saving = false;

private:
    void fillFolderCombo();
    void entered(const std::string& folder);
    void listKey(QKeyEvent* event, bool& handled);
    void scrollToRow(int row, bool moveBar);
    void updateScrollRange();
    void ensureVisible(const QListWidgetItem* item);
    void labelEditEnded();
    void onSelection(bool byUser);

    std::string m_folder;
    QString m_defaultName;
    bool m_nameTyped = false;
    std::vector<browser::FileType> m_types;
    browser::FolderTrail m_trail;
    QImage m_background;
    CFileList* m_list = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    CSkinComboBox* m_folderCombo = nullptr;
    CSkinComboBox* m_typeCombo = nullptr;
    CListScrollBar* m_scrollBar = nullptr;
    std::vector<CSkinButton*> m_buttons;
    bool m_editingLabel = false;
    std::string m_newFolderPath;
    int m_topRow = 0;
    bool m_filling = false;
    QPoint m_dragFrom;
    bool m_dragging = false;
};

class CFileOpenDlg : public CFileDlg {
    Q_OBJECT
public:
    using CFileDlg::CFileDlg;
    // The full path of the chosen file, after OK.
    const std::string& resultPath() const { return m_resultPath; }

protected:
    void okPressed() override;

private:
    void accept(const std::string& name);
    std::string m_resultPath;
};

class CFileSaveDlg : public CFileDlg {
    Q_OBJECT
public:
    CFileSaveDlg(const Look& look, const QString& defaultName, const QString& initialFolder, const QString& filter,
                 QWidget* parent);
    // The text of the file-name box and the chosen type's pattern, after OK.
    const std::string& resultName() const { return m_resultName; }
    const std::string& resultPattern() const { return m_resultPattern; }
    // currentFolder() + resultName(), with the type's extension appended when
    // the name has another one: the file that is written.
    const std::string& resultPath() const { return m_resultPath; }
    bool folderMark() const { return m_folderMark; }

protected:
    void okPressed() override;
    void selectionChanged() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::string m_resultName;
    std::string m_resultPattern;
    std::string m_resultPath;
    bool m_folderMark = false;
};

class CPictureOpenDlg : public CFileOpenDlg {
    Q_OBJECT
public:
    CPictureOpenDlg(const QString& defaultName, const QString& initialFolder, const QString& filter,
                    QWidget* parent = nullptr);
    // The information window's text for the file in the name box.
    void info();
    // Opens the browse palette on the current folder.
    void browse();
    CBrowsePalette* palette() const { return m_palette; }
    void done(int result) override;

private:
    QPointer<CBrowsePalette> m_palette;
};

class CProjectOpenDlg : public CFileOpenDlg {
    Q_OBJECT
public:
    CProjectOpenDlg(const QString& defaultName, const QString& initialFolder, const QString& filter,
                    QWidget* parent = nullptr);
};

class CProjectSaveDlg : public CFileSaveDlg {
    Q_OBJECT
public:
    CProjectSaveDlg(const QString& defaultName, const QString& initialFolder, const QString& filter,
                    QWidget* parent = nullptr);
};

class CPictureSaveDlg : public CFileSaveDlg {
    Q_OBJECT
public:
    CPictureSaveDlg(const QString& defaultName, const QString& initialFolder, const QString& filter,
                    QWidget* parent = nullptr);
};

class CAviSaveDlg : public CFileSaveDlg {
    Q_OBJECT
public:
    CAviSaveDlg(const QString& defaultName, const QString& initialFolder, const QString& filter,
                QWidget* parent = nullptr);
};

// The information window's text for a picture file (German), or an empty
// string when no reader takes the file.
QString pictureInfoText(const std::string& path);

} // namespace knetix
