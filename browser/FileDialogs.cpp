#include "browser/FileDialogs.h"

#include "browser/CBrowsePalette.h"
#include "browser/FileDialogParts.h"
#include "browser/MessageBox.h"
#include "files/imagelib/ImExp.h"
#include "artwork/Artwork.h"
#include "resources/SkinLayout.h"
#include "resources/Strings.h"
#include "skin/CListScrollBar.h"
#include "skin/SkinButtons.h"
#include "qtbridge/QtBridge.h"

#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QStorageInfo>

#include <filesystem>
#include <system_error>

namespace knetix {

namespace fs = std::filesystem;

namespace {

constexpr int kPathRole = Qt::UserRole;        // full path of the item
constexpr int kFolderRole = Qt::UserRole + 2;  // true for folders and volumes
constexpr int kRowHeight = CFileList::kRowHeight;
constexpr int kPageRows = 9;

VolumeProvider& volumeProvider()
{
    static VolumeProvider provider;
    return provider;
}

std::vector<browser::Volume> volumes()
{
    return volumeProvider() ? volumeProvider()() : systemVolumes();
}

QIcon skinIcon(int id)
{
    const QImage image = loadSkinIcon(id);
    if (image.isNull())
        return {};
    // 16 x 16 points, drawn from as many pixels as the interface's scale has.
    const qreal ratio = image.devicePixelRatio();
    const int side = qRound(16 * ratio);
    QImage small = image.convertToFormat(QImage::Format_ARGB32)
                       .scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    small.setDevicePixelRatio(ratio);
    return QIcon(QPixmap::fromImage(small));
}

QIcon pathIcon(const std::string& path, bool folder)
{
    static QFileIconProvider provider;
    const QIcon icon = provider.icon(QFileInfo(qs(path)));
    if (!icon.isNull() && !icon.availableSizes().isEmpty())
        return icon;
    return folder ? skinIcon(5) : icon;
}

// True if the folder can be listed at all.
bool canEnumerate(const std::string& folder)
{
    std::error_code error;
    fs::directory_iterator it(folder, error);
    return !error;
}

QString systemText(const std::error_code& error)
{
    return QString::fromLocal8Bit(error.message().c_str());
}

} // namespace

std::vector<browser::Volume> systemVolumes()
{
    std::vector<browser::Volume> out;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        if (!info.isValid() || !info.isReady())
            continue;
        const std::string root = browser::withSlash(ss(info.rootPath()));
        const browser::DriveKind kind = browser::classifyVolume(info.fileSystemType().toStdString(), root);
        // Memory file systems (/run, /dev/shm ...) are no places for pictures.
        if (kind != browser::DriveKind::RamDisk)
            out.push_back({root, kind});
    }
    // The root file system first, like the first fixed drive.
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.root == "/" && b.root != "/"; });
    return out;
}

VolumeProvider setVolumeProvider(VolumeProvider provider)
{
    return std::exchange(volumeProvider(), std::move(provider));
}

// ---- CFileDlg ----

CFileDlg::CFileDlg(const Look& look, const QString& defaultName, const QString& initialFolder,
                   const QString& filter, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_saving(look.saving)
{
    setGeometry(100, 100, skin::kDialogWidth, skin::kDialogHeight);
    setFixedSize(skin::kDialogWidth, skin::kDialogHeight);
    setMask(polygonRegion(layoutPolygon(skin::dialogWindowPolygon())));
    m_background = loadSkinPicture(look.background);
    if (m_background.isNull())
        return;

    m_scrollBar = new CListScrollBar(this);
    m_scrollBar->move(skin::kDialogScrollBar.x, skin::kDialogScrollBar.y);
    connect(m_scrollBar, &CListScrollBar::scrolled, this, [this](int position) {
        const int h = rowHeight();
        scrollToRow((position + h - 1) / h, false);
    });

    m_list = new CFileList(this);
    m_list->setGeometry(skin::kDialogList.x, skin::kDialogList.y, skin::kDialogList.width, skin::kDialogList.height);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Black on white as the skin's wells are drawn, whatever the program's
    // palette says for other windows.
    QPalette listColours = m_list->palette();
    listColours.setColor(QPalette::Base, Qt::white);
    listColours.setColor(QPalette::Text, Qt::black);
    listColours.setColor(QPalette::Window, Qt::white);
    listColours.setColor(QPalette::WindowText, Qt::black);
    m_list->setPalette(listColours);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] { onSelection(true); });
    // A click picks an item even when the list already shows it selected.
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem*) { onSelection(true); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { ok(); });
    connect(m_list->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        QMetaObject::invokeMethod(this, [this] { labelEditEnded(); }, Qt::QueuedConnection);
    });

    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setGeometry(skin::kDialogNameEdit.x, skin::kDialogNameEdit.y, skin::kDialogNameEdit.width,
                            skin::kDialogNameEdit.height);
    m_nameEdit->setFrame(false);
    // A style sheet, not a palette: the program's style sheet would win over that.
    m_nameEdit->setStyleSheet(QStringLiteral("QLineEdit { background: white; color: black; "
                                             "selection-background-color: rgb(255,176,52); "
                                             "selection-color: black; }"));
    m_nameEdit->setText(defaultName);
    m_nameEdit->installEventFilter(this);
    m_defaultName = defaultName;
    connect(m_nameEdit, &QLineEdit::textEdited, this, [this] { m_nameTyped = true; });

    m_typeCombo = new CSkinComboBox(false, this);
    m_typeCombo->setGeometry(skin::kDialogTypeCombo.x, skin::kDialogTypeCombo.y, skin::kDialogTypeCombo.width,
                             skin::kDialogTypeCombo.height);
    m_folderCombo = new CSkinComboBox(true, this);
    m_folderCombo->setGeometry(skin::kDialogFolderCombo.x, skin::kDialogFolderCombo.y,
                               skin::kDialogFolderCombo.width, skin::kDialogFolderCombo.height);

    // Where the dialog starts: the caller's folder, or ours when it cannot be read.
    m_trail.setVolumes(volumes());
    std::string start = initialFolder.isEmpty() ? std::string() : browser::withSlash(ss(initialFolder));
    if (start.empty() || !canEnumerate(start)) {
        std::error_code error;
        start = browser::withSlash(fs::current_path(error).string());
    }
    m_folder = start;
    m_trail.enter(m_folder);
    fillFolderCombo();

    m_types = browser::parseFilter(ss(filter));
    for (const browser::FileType& type : m_types)
        m_typeCombo->addItem(qs(type.description));
    m_typeCombo->setCurrentIndex(m_types.empty() ? -1 : 0);
    connect(m_typeCombo, &QComboBox::activated, this, &CFileDlg::chooseType);
    connect(m_folderCombo, &QComboBox::activated, this, &CFileDlg::chooseFolder);
    fillList();

    addButton(m_saving ? "Save" : "Open");
    addButton("Cancel");
    addButton("UpLevel");
    addButton("NewFolder");
    if (!m_saving)
        if (CSkinButton* readOnly = addButton("ReadOnly"))
            readOnly->setVisible(look.readOnlyVisible);
    m_initialised = true;
}

CFileDlg::~CFileDlg() = default;

CSkinButton* CFileDlg::addButton(std::string_view member)
{
    const skin::ControlLayout* layout = skin::findControl(member);
    if (!layout)
        return nullptr;
    CSkinButton* button = nullptr;
    switch (layout->kind) {
    case skin::ControlKind::Toggle: button = new CToggleButton(layout->id, this); break;
    case skin::ControlKind::Latch: button = new CLatchButton(layout->id, this); break;
    default: button = new CCommandButton(layout->id, this); break;
    }
    if (!placeSkinControl(button, *layout, QPoint(0, 0))) {
        delete button;
        return nullptr;
    }
    button->installEventFilter(this);
    connect(button, &CSkinButton::command, this, [this](int id) {
        switch (id) {
        case 1: ok(); break;
        case 2: cancel(); break;
        case IDC_UP: goUp(); break;
        case IDC_NEW_FOLDER: newFolder(); break;
        default: break; // R-O only changes its own look
        }
    });
    m_buttons.push_back(button);
    return button;
}

CSkinButton* CFileDlg::button(int id) const
{
    for (CSkinButton* b : m_buttons)
        if (b->controlId() == id)
            return b;
    return nullptr;
}

int CFileDlg::runModal()
{
    if (!m_initialised)
        return 2;
    const int result = exec();
    return result == QDialog::Accepted ? 1 : 2;
}

int CFileDlg::rowHeight() const
{
    return kRowHeight;
}

QListWidget* CFileDlg::list() const
{
    return m_list;
}

void CFileDlg::reportError(int stringId)
{
    showMessage(this, QString::fromUtf8(loadString(stringId)), MessageKind::Warning);
}

void CFileDlg::fillFolderCombo()
{
    const QSignalBlocker block(m_folderCombo);
    m_folderCombo->clear();
    const auto& entries = m_trail.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        QString text;
        int icon = 5;
        if (i == 0) {
            text = QStringLiteral("Computer");
            icon = 16;
        } else {
            text = qs(e.path.size() > 1 ? e.path.substr(0, e.path.size() - 1) : e.path);
            if (e.depth == 1)
                icon = browser::driveIcon(e.kind);
        }
        m_folderCombo->addItem(icon ? skinIcon(icon) : QIcon(), text);
        m_folderCombo->setItemData(int(i), e.depth, kDepthRole);
    }
    m_folderCombo->setCurrentIndex(m_trail.current());
}

std::string CFileDlg::currentPattern() const
{
    const int index = m_typeCombo->currentIndex();
    return index >= 0 && size_t(index) < m_types.size() ? m_types[size_t(index)].pattern : std::string("*.*");
}

bool CFileDlg::fillList()
{
    m_filling = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_list->clear();
    bool ok = true;
    if (atMyComputer()) {
        for (const browser::Volume& v : volumes()) {
            if (v.kind == browser::DriveKind::RamDisk) {
                QApplication::beep();
                continue;
            }
            const int icon = browser::driveIcon(v.kind);
            if (icon == 0)
                continue;
            const std::string root = browser::withSlash(v.root);
            auto* item = new QListWidgetItem(skinIcon(icon), qs(root.size() > 1 ? root.substr(0, root.size() - 1) : root));
            item->setData(kPathRole, qs(root));
            item->setData(kFolderRole, true);
            m_list->addItem(item);
        }
    } else {
        std::vector<browser::ListEntry> entries;
        std::error_code error;
        ok = browser::listFolder(m_folder, currentPattern(), entries, error);
        if (ok) {
            for (const browser::ListEntry& e : entries) {
                const std::string path = m_folder + e.name;
                auto* item = new QListWidgetItem(pathIcon(path, e.folder), qs(e.name));
                item->setData(kPathRole, qs(path));
                item->setData(kFolderRole, e.folder);
                m_list->addItem(item);
            }
        } else {
            QApplication::restoreOverrideCursor();
            showMessage(this, systemText(error), MessageKind::Warning);
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    }
    m_topRow = 0;
    m_list->verticalScrollBar()->setValue(0);
    if (m_list->count() > 0) {
        m_list->setCurrentRow(0);
        m_list->item(0)->setSelected(true);
    }
    updateScrollRange();
    QApplication::restoreOverrideCursor();
    m_filling = false;
    onSelection(false);
    return ok;
}

void CFileDlg::updateScrollRange()
{
    m_list->doItemsLayout();
    const int client = m_list->viewport()->height();
    m_scrollBar->setRange(std::max(0, m_list->rowCount() * kRowHeight - client - 2), client);
}

void CFileDlg::scrollToRow(int row, bool moveBar)
{
    const int rows = m_list->rowCount();
    const int visible = m_list->viewport()->height() / kRowHeight;
    row = std::clamp(row, 0, std::max(0, rows - visible));
    if (row == m_topRow && !moveBar)
        return;
    m_topRow = row;
    m_list->verticalScrollBar()->setValue(row * kRowHeight);
    if (moveBar) {
        const int target = std::min(row * kRowHeight, m_scrollBar->model().maximum());
        m_scrollBar->scrollBy(target - m_scrollBar->position());
    }
}

void CFileDlg::ensureVisible(const QListWidgetItem* item)
{
    const int row = m_list->rowOf(m_list->row(item));
    const int visible = std::max(1, m_list->viewport()->height() / kRowHeight);
    if (row < m_topRow)
        scrollToRow(row, true);
    else if (row >= m_topRow + visible)
        scrollToRow(row - visible + 1, true);
}

bool CFileDlg::isFolderItem(const QListWidgetItem* item) const
{
    return item && item->data(kFolderRole).toBool();
}

QListWidgetItem* CFileDlg::selectedItem() const
{
    const auto items = m_list->selectedItems();
    return items.isEmpty() ? nullptr : items.front();
}

void CFileDlg::onSelection(bool byUser)
{
    if (m_filling)
        return;
    QListWidgetItem* item = selectedItem();
    // A save dialog takes a file's name only when the user picks the file: the
    // item the list starts on must not become the target of one click on OK.
    if (item && !isFolderItem(item) && (byUser || !m_saving))
        putName(item->text());
    if (item)
        ensureVisible(item);
    selectionChanged();
}

void CFileDlg::putName(const QString& name)
{
    m_nameEdit->setText(name);
    m_nameTyped = false;
}

std::string CFileDlg::typedPath() const
{
    return browser::resolveTypedPath(ss(m_nameEdit->text()), m_folder, ss(QDir::homePath()));
}

bool CFileDlg::enterTypedFolder(const std::string& path)
{
    std::error_code error;
    if (!fs::is_directory(path, error))
        return false;
    putName(m_saving ? m_defaultName : QString());
    goTo(browser::withSlash(path));
    return true;
}

bool CFileDlg::showTypedFile(const std::string& path)
{
    const std::string folder = browser::parentFolder(path);
    if (!goTo(folder))
        return false;
    putName(qs(path.substr(folder.size())));
    return true;
}

bool CFileDlg::goTo(const std::string& folder)
{
    if (folder == m_folder)
        return true;
    const std::string old = m_folder;
    const browser::FolderTrail oldTrail = m_trail;
    m_folder = folder;
    if (!fillList()) {
        m_folder = old;
        fillList();
        return false;
    }
    // From the volume down, as if each folder on the way had been entered.
    m_trail.choose(0);
    m_trail.enter(m_folder);
    fillFolderCombo();
    folderChanged();
    return true;
}

void CFileDlg::selectFile(const QString& name)
{
    putName(name);
    for (int i = 0; i < m_list->count(); ++i) {
        if (browser::sameName(ss(m_list->item(i)->text()), ss(name))) {
            m_list->setCurrentRow(i);
            break;
        }
    }
}

void CFileDlg::entered(const std::string& folder)
{
    m_trail.enter(folder);
    fillFolderCombo();
    folderChanged();
}

void CFileDlg::enter(const QListWidgetItem* item)
{
    const std::string old = m_folder;
    const std::string target = atMyComputer() ? ss(item->data(kPathRole).toString())
                                              : m_folder + ss(item->text()) + "/";
    m_folder = target;
    if (!fillList()) {
        m_folder = old;
        fillList();
        return;
    }
    entered(m_folder);
}

void CFileDlg::ok()
{
    if (m_editingLabel)
        return;
    okPressed();
}

void CFileDlg::finish(int result)
{
    if (m_scrollBar)
        m_scrollBar->hide();
    done(result == 1 ? QDialog::Accepted : QDialog::Rejected);
}

void CFileDlg::cancel()
{
    finish(2);
}

void CFileDlg::goUp()
{
    if (atMyComputer() || m_editingLabel)
        return;
    m_trail.up();
    m_folder = m_trail.folder();
    fillFolderCombo();
    fillList();
    folderChanged();
}

void CFileDlg::chooseFolder(int index)
{
    if (index == m_trail.current())
        return;
    const auto& entries = m_trail.entries();
    if (index < 0 || size_t(index) >= entries.size())
        return;
    const std::string& path = entries[size_t(index)].path;
    if (!path.empty()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        std::error_code error;
        fs::directory_iterator it(path, error);
        QApplication::restoreOverrideCursor();
        if (error) {
            showMessage(this, systemText(error), MessageKind::Warning);
            const QSignalBlocker block(m_folderCombo);
            m_folderCombo->setCurrentIndex(m_trail.current());
            return;
        }
    }
    m_trail.choose(index);
    m_folder = m_trail.folder();
    fillFolderCombo();
    fillList();
    folderChanged();
}

void CFileDlg::chooseType(int index)
{
    m_typeCombo->setCurrentIndex(index);
    fillList();
    filterChanged();
}

void CFileDlg::newFolder()
{
    if (atMyComputer() || m_editingLabel)
        return;
    const std::string path = m_folder + kNewFolderName;
    std::error_code error;
    if (!fs::create_directory(path, error)) {
        reportError(m_saving ? IDS_SAVE_DLG_CREATE_FOLDER_FAILED : IDS_OPEN_DLG_CREATE_FOLDER_FAILED);
        return;
    }
    m_newFolderPath = path;
    auto* item = new QListWidgetItem(pathIcon(path, true), QString::fromUtf8(kNewFolderName));
    item->setData(kPathRole, qs(path));
    item->setData(kFolderRole, true);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    m_list->addItem(item);
    updateScrollRange();
    m_editingLabel = true;
    m_list->setFocus();
    m_list->setCurrentItem(item);
    ensureVisible(item);
    m_list->editItem(item);
}

void CFileDlg::labelEditEnded()
{
    if (!m_editingLabel || m_list->count() == 0)
        return;
    m_editingLabel = false;
    QListWidgetItem* item = m_list->item(m_list->count() - 1);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    const std::string name = ss(item->text());
    if (name == kNewFolderName)
        return;
    const std::string target = m_folder + name;
    std::error_code error;
    // A name that is taken or not allowed keeps the folder as it was, and the
    // list says so instead of showing a name that does not exist.
    const bool free = !name.empty() && name.find('/') == std::string::npos && !fs::exists(target, error);
    if (free)
        fs::rename(m_newFolderPath, target, error);
    if (!free || error) {
        item->setText(QString::fromUtf8(kNewFolderName));
    } else {
        item->setData(kPathRole, qs(target));
    }
    updateScrollRange(); // the new name may make its column wider
}

void CFileDlg::deleteSelected()
{
    if (atMyComputer() || m_editingLabel)
        return;
    QListWidgetItem* item = selectedItem();
    if (!item)
        return;
    const std::string path = m_folder + ss(item->text());
    std::error_code error;
    if (isFolderItem(item)) {
        if (!browser::folderIsEmpty(path)) {
            reportError(IDS_FOLDER_NOT_EMPTY);
            return;
        }
        if (!showMessage(this, QString::fromUtf8(loadString(IDS_ASK_DELETE_FOLDER)), MessageKind::Question))
            return;
        if (!fs::remove(path, error) || error) {
            reportError(IDS_DELETE_FOLDER_FAILED);
            return;
        }
    } else {
        if (!showMessage(this, QString::fromUtf8(loadString(IDS_ASK_DELETE_FILE)), MessageKind::Question))
            return;
        if (!fs::remove(path, error) || error) {
            reportError(IDS_DELETE_FILE_FAILED);
            return;
        }
    }
    delete item;
    m_list->doItemsLayout();
    updateScrollRange();
    scrollToRow(m_topRow, true);
}

void CFileDlg::listKey(QKeyEvent* event, bool& handled)
{
    handled = true;
    const int columns = m_list->columns();
    const int count = m_list->count();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: ok(); return;
    case Qt::Key_Backspace: goUp(); return;
    case Qt::Key_F5: fillList(); return;
    case Qt::Key_Delete: deleteSelected(); return;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
    case Qt::Key_Home:
    case Qt::Key_End: {
        if (count == 0)
            return;
        int current = std::max(0, m_list->currentRow());
        // The list and the bar move together; the focus keeps its column.
        if (event->key() == Qt::Key_Home) {
            current = 0;
            scrollToRow(0, false);
            m_scrollBar->toStart();
        } else if (event->key() == Qt::Key_End) {
            current = count - 1;
            scrollToRow(1 << 20, false);
            m_scrollBar->toEnd();
        } else {
            const int step = (event->key() == Qt::Key_PageDown ? kPageRows : -kPageRows);
            current = std::clamp(current + step * columns, 0, count - 1);
            scrollToRow(m_topRow + step, false);
            if (step > 0)
                m_scrollBar->pageDown();
            else
                m_scrollBar->pageUp();
        }
        const QSignalBlocker block(m_list);
        m_list->setCurrentRow(current);
        if (!isFolderItem(m_list->item(current)))
            putName(m_list->item(current)->text());
        selectionChanged();
        return;
    }
    case Qt::Key_Space:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        // A single selection only: no extending it with Shift or Ctrl.
        if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))
            return;
        break;
    default: break;
    }
    handled = false;
}

bool CFileDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress && !m_editingLabel) {
        bool handled = false;
        listKey(static_cast<QKeyEvent*>(event), handled);
        if (handled)
            return true;
    }
    // The wheel scrolls by whole rows, list and bar together.
    if (watched == m_list->viewport() && event->type() == QEvent::Wheel) {
        const int notches = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
        if (notches != 0)
            scrollToRow(m_topRow - notches, true);
        return true;
    }
    // While a label is edited the buttons do not take the focus on hover.
    if (event->type() == QEvent::Enter && m_editingLabel && qobject_cast<CSkinButton*>(watched))
        return true;
    return QDialog::eventFilter(watched, event);
}

void CFileDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        cancel();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        ok();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CFileDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, m_background);
}

// The whole client area is the caption.
void CFileDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragFrom = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
}

void CFileDlg::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragFrom);
}

void CFileDlg::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging = false;
}

// ---- open and save ----

void CFileOpenDlg::okPressed()
{
    // What the user typed wins over the item the list happens to show
    // selected: a folder is entered, a file in any folder opened.
    if (nameTyped() && !nameEdit()->text().isEmpty()) {
        const std::string path = typedPath();
        if (enterTypedFolder(path))
            return;
        const std::string folder = browser::parentFolder(path);
        std::error_code error;
        if (!fs::is_directory(folder, error) || !fs::exists(path, error)) {
            showMessage(this, qs(path) + QString::fromUtf8(loadString(IDS_FILE_DOES_NOT_EXIST)),
                        MessageKind::Warning);
            return;
        }
        if (showTypedFile(path))
            accept(ss(nameEdit()->text()));
        return;
    }
    QListWidgetItem* item = selectedItem();
    if (isFolderItem(item)) {
        enter(item);
        return;
    }
    const std::string name = ss(nameEdit()->text());
    if (name.empty())
        return;
    accept(name);
}

void CFileOpenDlg::accept(const std::string& name)
{
    const std::string path = currentFolder() + name;
    std::error_code error;
    if (!fs::exists(path, error)) {
        showMessage(this, qs(path) + QString::fromUtf8(loadString(IDS_FILE_DOES_NOT_EXIST)), MessageKind::Warning);
        return;
    }
    m_resultPath = path;
    finish(1);
}

CFileSaveDlg::CFileSaveDlg(const Look& look, const QString& defaultName, const QString& initialFolder,
                           const QString& filter, QWidget* parent)
    : CFileDlg(look, defaultName, initialFolder, filter, parent)
{
    // The first item was selected before this part of the dialog existed.
    if (m_initialised)
        selectionChanged();
}

void CFileSaveDlg::selectionChanged()
{
    QListWidgetItem* item = selectedItem();
    if (item)
        m_folderMark = isFolderItem(item);
}

bool CFileSaveDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == nameEdit() && event->type() == QEvent::FocusIn)
        m_folderMark = false;
    return CFileDlg::eventFilter(watched, event);
}

void CFileSaveDlg::okPressed()
{
    if (nameTyped() && !nameEdit()->text().isEmpty()) {
        // A typed folder is entered; a typed path saves into its folder.
        const std::string path = typedPath();
        if (enterTypedFolder(path))
            return;
        const std::string folder = browser::parentFolder(path);
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            showMessage(this, QString::fromUtf8(loadString(IDS_FOLDER_DOES_NOT_EXIST)).arg(qs(folder)),
                        MessageKind::Warning);
            return;
        }
        if (!showTypedFile(path))
            return;
        m_folderMark = false;
    }
    if (m_folderMark || atMyComputer()) {
        QListWidgetItem* item = selectedItem();
        if (!item)
            return;
        if (isFolderItem(item) || atMyComputer()) {
            enter(item);
            return;
        }
    }
    const std::string name = ss(nameEdit()->text());
    // No name, no file: an empty name would make a hidden file of the extension alone.
    if (name.empty() || atMyComputer())
        return;
    const std::string pattern = currentPattern();
    const std::string path = browser::completeFileName(currentFolder() + name, pattern);
    std::error_code error;
    if (fs::is_directory(path, error)) {
        goTo(browser::withSlash(path));
        return;
    }
    // Saving over a file is the user's decision; No goes back to the dialog.
    if (fs::exists(path, error)) {
        const QString shown = qs(fs::path(path).filename().string());
        if (!showMessage(this, QString::fromUtf8(loadString(IDS_ASK_REPLACE_FILE)).arg(shown), MessageKind::Question))
            return;
    }
    m_resultName = name;
    m_resultPattern = pattern;
    m_resultPath = path;
    finish(1);
}

// ---- the five dialogs ----

CPictureOpenDlg::CPictureOpenDlg(const QString& defaultName, const QString& initialFolder, const QString& filter,
                                 QWidget* parent)
    : CFileOpenDlg(Look{"OPEN_PICTURE", false, false}, defaultName, initialFolder, filter, parent)
{
    if (!m_initialised)
        return;
    CSkinButton* info = addButton("Info");
    CSkinButton* browseButton = addButton("Browse");
    if (!info || !browseButton) {
        m_initialised = false;
        return;
    }
    connect(info, &CSkinButton::command, this, [this] { this->info(); });
    connect(browseButton, &CSkinButton::command, this, [this] { browse(); });
}

QString pictureInfoText(const std::string& path)
{
    const std::optional<ImageFileInfo> info = ImExp_ShowFileInfo(path);
    if (!info)
        return {};
    QString text;
    text += QStringLiteral("Datei: %1\n").arg(qs(fs::path(path).filename().string()));
    text += QStringLiteral("Format: %1 (%2)\n").arg(qs(info->format), qs(info->description));
    text += QStringLiteral("Größe: %1 x %2 Pixel\n").arg(info->width).arg(info->height);
    text += QStringLiteral("Farbtiefe: %1 Bit\n").arg(info->bitsPerPixel);
    if (info->horizontalDpi > 0)
        text += QStringLiteral("Auflösung: %1 x %2 dpi\n").arg(info->horizontalDpi).arg(info->verticalDpi);
    else
        text += QStringLiteral("Auflösung: unbekannt\n");
    text += QStringLiteral("Dateigröße: %1 Bytes").arg(qulonglong(info->fileSize));
    return text;
}

void CPictureOpenDlg::info()
{
    const std::string folder = currentFolder().empty() || currentFolder().back() == '/' ? currentFolder()
                                                                                          : currentFolder() + "/";
    const std::string path = folder + nameEdit()->text().toStdString();
    const QString text = pictureInfoText(path);
    if (text.isEmpty())
        showMessage(this, QString::fromUtf8(loadString(IDS_FILE_NOT_FOUND)), MessageKind::Warning);
    else
        showMessage(this, text, MessageKind::Information);
}

void CPictureOpenDlg::done(int result)
{
    // The palette belongs to the dialog and goes with it.
    if (m_palette)
        m_palette->close();
    CFileOpenDlg::done(result);
}

void CPictureOpenDlg::browse()
{
    if (m_palette)
        m_palette->close();
    m_palette = new CBrowsePalette(this);
    m_palette->show();
    m_palette->scan();
    if (auto* latch = qobject_cast<CStateButton*>(button(IDC_BROWSE)))
        latch->setState(0);
    activateWindow();
}

CProjectOpenDlg::CProjectOpenDlg(const QString& defaultName, const QString& initialFolder, const QString& filter,
                                 QWidget* parent)
    : CFileOpenDlg(Look{"OPEN_PROJECT", false, true}, defaultName, initialFolder, filter, parent)
{
}

CProjectSaveDlg::CProjectSaveDlg(const QString& defaultName, const QString& initialFolder, const QString& filter,
                                 QWidget* parent)
    : CFileSaveDlg(Look{"SAVE_PROJECT", true, false}, defaultName, initialFolder, filter, parent)
{
}

CPictureSaveDlg::CPictureSaveDlg(const QString& defaultName, const QString& initialFolder, const QString& filter,
                                 QWidget* parent)
    : CFileSaveDlg(Look{"SAVE_PICTURE", true, false}, defaultName, initialFolder, filter, parent)
{
}

CAviSaveDlg::CAviSaveDlg(const QString& defaultName, const QString& initialFolder, const QString& filter,
                         QWidget* parent)
    : CFileSaveDlg(Look{"SAVE_AVI", true, false}, defaultName, initialFolder, filter, parent)
{
}

} // namespace knetix
