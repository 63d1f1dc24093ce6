#include "browser/CBrowsePalette.h"

#include "browser/FileDialogs.h"
#include "browser/model/ThumbnailWorker.h"
#include "files/imagelib/ImExp.h"
#include "resources/Strings.h"
#include "qtbridge/QtBridge.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QDir>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>

#include <algorithm>
#include <filesystem>

namespace knetix {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSaveOnExitKey = "Browse/SAVEDB";

QSettings settings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kavon Software"),
                     QStringLiteral("Knetix"));
}

QColor buttonFace()
{
    return QGuiApplication::palette().color(QPalette::Button);
}

} // namespace

std::string CBrowsePalette::databasePath()
{
    std::string folder = QDir::tempPath().toStdString();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder + "RUVIZU.TMP";
}

CBrowsePalette::CBrowsePalette(CFileDlg* owner)
    : QAbstractScrollArea(owner), m_owner(owner), m_databasePath(databasePath())
{
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Durchsuchen"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    verticalScrollBar()->setSingleStep(1);
    // Beside the dialog, which stays visible and usable, inside the work area
    // of the dialog's screen.
    QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 8;
        setGeometry(placeBeside(screen->availableGeometry(), owner ? owner->frameGeometry() : QRect(), title));
    } else {
        resize(200, 200);
    }

    ImExp_Initialize(); // on this thread, before the worker reads pictures
    bool damaged = false;
    m_database = loadThumbnailDatabase(m_databasePath, &damaged);
    m_changed = damaged; // replaced by a sound file when the palette closes
    m_saveOnExit = settings().value(kSaveOnExitKey, 1).toInt() != 0;
    if (owner)
        m_folder = owner->currentFolder();
    m_worker = std::make_unique<ThumbnailWorker>();
    m_collectTimer.setInterval(30);
    connect(&m_collectTimer, &QTimer::timeout, this, &CBrowsePalette::collect);
}

QRect CBrowsePalette::placeBeside(const QRect& available, const QRect& owner, int titleHeight)
{
    constexpr int kMinimumWidth = 200;
    // Six columns of thumbnails and the scroll bar: wider is only emptier.
    constexpr int kMaximumWidth = 6 * kPaletteCellWidth + 24;
    constexpr int kMargin = 4;
    const int top = available.top() + titleHeight;
    const int height = std::max(available.bottom() - top - kMargin, 100);
    const int rightRoom = owner.isValid() ? available.right() - owner.right() - 2 * kMargin : 0;
    const int leftRoom = owner.isValid() ? owner.left() - available.left() - 2 * kMargin : 0;
    if (owner.isValid() && std::max(rightRoom, leftRoom) >= kMinimumWidth) {
        if (rightRoom >= leftRoom)
            return {owner.right() + 1 + kMargin, top, std::min(rightRoom, kMaximumWidth), height};
        const int width = std::min(leftRoom, kMaximumWidth);
        return {owner.left() - kMargin - width, top, width, height};
    }
    const int width = std::max(kMinimumWidth, available.width() / 3);
    return {available.right() + 1 - width - kMargin, top, width, height};
}

void CBrowsePalette::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

CBrowsePalette::~CBrowsePalette()
{
    m_worker.reset(); // joins the thread before the maps go
    if (m_changed && m_saveOnExit)
        saveThumbnailDatabase(m_databasePath, m_database);
    settings().setValue(kSaveOnExitKey, m_saveOnExit ? 1 : 0);
}

void CBrowsePalette::scan()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_displayList.clear();
    m_shown.clear();
    m_waiting.clear();
    m_worker->clear();
    std::vector<std::string> queue;
    if (m_owner && !m_folder.empty()) {
        QListWidget* list = m_owner->list();
        for (int i = 0; i < list->count(); ++i) {
            const std::string path = m_folder + list->item(i)->text().toStdString();
            // Pictures, and files named as pictures that cannot be read: those
            // show the red cross, so that the user sees why they do not open.
            std::error_code error;
            if (!fs::is_regular_file(path, error) || !(ImExp_HasPictureExtension(path) || FindReader(path)))
                continue;
            m_displayList.push_back(path);
            const uint64_t stamp = fileWriteStamp(path);
            auto found = m_database.find(path);
            if (found != m_database.end() && found->second->writeTime() != stamp) {
                m_database.erase(found);
                found = m_database.end();
            }
            if (found != m_database.end()) {
                m_shown[path] = found->second;
            } else if (m_waiting.insert(path).second) {
                queue.push_back(path);
            }
        }
    }
    m_worker->add(std::move(queue));
    QGuiApplication::restoreOverrideCursor();
    updateScrollRange();
    viewport()->update();
    if (m_waiting.empty())
        QTimer::singleShot(0, this, &CBrowsePalette::filled);
    else
        m_collectTimer.start();
}

void CBrowsePalette::collect()
{
    for (auto& [path, item] : m_worker->takeResults()) {
        auto stored = std::make_shared<CPaletteItem>(std::move(item));
        m_database[path] = stored;
        m_changed = true;
        if (m_waiting.erase(path))
            m_shown[path] = stored;
    }
    viewport()->update();
    if (m_waiting.empty()) {
        m_collectTimer.stop();
        emit filled();
    }
}

const CPaletteItem* CBrowsePalette::shownItem(const std::string& path) const
{
    const auto found = m_shown.find(path);
    return found == m_shown.end() ? nullptr : found->second.get();
}

int CBrowsePalette::columns() const
{
    return std::max(1, viewport()->width() / kPaletteCellWidth);
}

int CBrowsePalette::scrollRow() const
{
    return verticalScrollBar()->value();
}

void CBrowsePalette::updateScrollRange()
{
    const int cols = columns();
    // Rounded up, so that a last row that is not full can be reached too.
    const int rows = (int(m_displayList.size()) + cols - 1) / cols;
    verticalScrollBar()->setRange(0, std::max(0, rows - 1));
    verticalScrollBar()->setPageStep(std::max(1, viewport()->height() / kPaletteCellHeight));
}

void CBrowsePalette::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void CBrowsePalette::scrollContentsBy(int, int)
{
    viewport()->update();
}

int CBrowsePalette::itemAt(QPoint point) const
{
    const int cols = columns();
    if (point.x() < 0 || point.y() < 0 || point.x() / kPaletteCellWidth >= cols)
        return -1;
    const int index = cols * ((point.y() + kPaletteCellHeight * scrollRow()) / kPaletteCellHeight) +
                      point.x() / kPaletteCellWidth;
    return index < int(m_displayList.size()) ? index : -1;
}

void CBrowsePalette::paintCell(QPainter& p, const std::string& path, QPoint at) const
{
    const CPaletteItem* item = shownItem(path);
    if (!item)
        return;
    const QRect cell(at, QSize(kPaletteCellWidth, kPaletteCellHeight));
    if (item->hasThumbnail()) {
        const int stride = thumbnailStride(item->m_width);
        drawBottomUp(p, QPoint(at.x() + (kPaletteCellWidth - item->m_width) / 2, at.y() + 2),
                     item->m_thumbnail.data() + 40, item->m_width, item->m_height, stride);
    } else {
        p.setPen(QPen(QColor(255, 0, 0), 5));
        const QRect inset = cell.adjusted(5, 5, -5, -5);
        p.drawLine(inset.topLeft(), inset.bottomRight());
        p.drawLine(inset.topRight(), inset.bottomLeft());
    }
    p.setPen(QPen(item->m_selected ? QColor(Qt::black) : buttonFace(), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(cell.adjusted(1, 1, -1, -1));
    QFont font(QStringLiteral("Sans Serif"));
    font.setPointSize(8);
    p.setFont(font);
    p.setPen(palette().color(QPalette::ButtonText));
    const std::string name = std::filesystem::path(path).filename().string();
    p.drawText(QRect(at.x(), at.y() + 100, kPaletteCellWidth, 20), Qt::AlignCenter | Qt::TextSingleLine,
               p.fontMetrics().elidedText(QString::fromStdString(name), Qt::ElideMiddle, kPaletteCellWidth - 6));
}

void CBrowsePalette::paintEvent(QPaintEvent* event)
{
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), buttonFace());
    const int cols = columns();
    const QRect clip = event->rect();
    for (size_t k = 0; k < m_displayList.size(); ++k) {
        const QPoint at(kPaletteCellWidth * (int(k) % cols),
                        kPaletteCellHeight * (int(k) / cols) - kPaletteCellHeight * scrollRow());
        if (!clip.intersects(QRect(at, QSize(kPaletteCellWidth, kPaletteCellHeight))))
            continue;
        paintCell(p, m_displayList[k], at);
    }
}

void CBrowsePalette::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int index = itemAt(event->position().toPoint());
    if (index < 0)
        return;
    for (auto& [path, item] : m_shown)
        item->m_selected = false;
    const std::string& path = m_displayList[size_t(index)];
    if (auto found = m_shown.find(path); found != m_shown.end())
        found->second->m_selected = true;
    if (m_owner)
        m_owner->selectFile(QString::fromStdString(std::filesystem::path(path).filename().string()));
    viewport()->update();
}

void CBrowsePalette::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_owner)
        return;
    // Posted: OK ends the dialog, which closes this palette.
    QPointer<CFileDlg> owner = m_owner;
    QTimer::singleShot(0, owner, [owner] {
        if (owner)
            owner->ok();
    });
}

void CBrowsePalette::contextMenuEvent(QContextMenuEvent* event)
{
    const MenuResource* resource = loadMenu(IDR_BROWSE_MENU);
    if (!resource || resource->popups.empty())
        return;
    QMenu menu(this);
    for (const MenuItem& item : resource->popups[0].items) {
        QAction* action = menu.addAction(QString::fromUtf8(item.text.data(), qsizetype(item.text.size())));
        action->setData(item.id);
        if (item.id == ID_BROWSE_SAVE_ON_EXIT) {
            action->setCheckable(true);
            action->setChecked(m_saveOnExit);
        }
    }
    if (QAction* chosen = menu.exec(event->globalPos()))
        runCommand(chosen->data().toInt());
}

void CBrowsePalette::runCommand(int command)
{
    switch (command) {
    case ID_BROWSE_REFRESH:
        // Forgets pictures that are gone; the file is not rewritten for it.
        std::erase_if(m_database, [](const auto& entry) {
            std::error_code error;
            return !std::filesystem::exists(entry.first, error);
        });
        break;
    case ID_BROWSE_SAVE_ON_EXIT:
        m_saveOnExit = !m_saveOnExit;
        break;
    case ID_BROWSE_DELETE_DATABASE: {
        std::error_code error;
        std::filesystem::remove(m_databasePath, error);
        m_changed = true;
        break;
    }
    default: break;
    }
}

} // namespace knetix
