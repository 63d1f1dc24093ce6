#pragma once
// The browse palette: a floating, sizeable window with a thumbnail of every
// picture in the open-picture dialog's folder, in cells of 140 x 120. A click
// selects the file in the dialog, a double click opens it. Thumbnails come from
// the database file RUVIZU.TMP in the temporary folder; those missing or out of
// date are made on a worker thread and appear as they are done.

#include "browser/model/ThumbnailDatabase.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QTimer>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace knetix {

class CFileDlg;
class ThumbnailWorker;

constexpr int kPaletteCellWidth = 140;
constexpr int kPaletteCellHeight = 120;

class CBrowsePalette : public QAbstractScrollArea {
    Q_OBJECT
public:
    // The database is read here; it is written when the palette goes, if it
    // changed and "save on exit" is set.
    explicit CBrowsePalette(CFileDlg* owner);
    ~CBrowsePalette() override;

    // The database file: the temporary folder + "RUVIZU.TMP".
    static std::string databasePath();

    // Rebuilds the display list from the owner's list and folder.
    void scan();
    // True while thumbnails are still being made.
    bool filling() const { return !m_waiting.empty(); }

    void setSaveOnExit(bool save) { m_saveOnExit = save; }
    bool saveOnExit() const { return m_saveOnExit; }
    bool changed() const { return m_changed; }
    const std::vector<std::string>& displayList() const { return m_displayList; }
    const ThumbnailMap& database() const { return m_database; }
    // The item shown for a path, or null.
    const CPaletteItem* shownItem(const std::string& path) const;
    int columns() const;
    int scrollRow() const;
    // The display list index at a viewport point, or -1.
    int itemAt(QPoint point) const;
    // Commands of the right-button menu.
    void runCommand(int command);

    // Where the palette goes: beside the dialog (`owner`, its frame) on the
    // wider free side of the work area, its title bar (`titleHeight`) inside
    // it; over the work area's right part when neither side has room.
    static QRect placeBeside(const QRect& available, const QRect& owner, int titleHeight);

signals:
    // Every thumbnail of the display list is there.
    void filled();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Escape closes the palette, as its close button does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateScrollRange();
    void collect();
    void paintCell(QPainter& p, const std::string& path, QPoint at) const;

    QPointer<CFileDlg> m_owner;
    std::string m_folder;
    std::string m_databasePath;
    ThumbnailMap m_database;
    std::map<std::string, PaletteItemPtr> m_shown;
    std::vector<std::string> m_displayList;
    bool m_saveOnExit = true;
    bool m_changed = false;
    std::set<std::string> m_waiting;
    std::unique_ptr<ThumbnailWorker> m_worker;
    QTimer m_collectTimer;
};

} // namespace knetix
