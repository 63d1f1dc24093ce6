#include "browser/FileDialogParts.h"

#include "artwork/Artwork.h"
#include "browser/model/Listing.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QPainter>

namespace knetix {

namespace {

const QColor kSilver(192, 192, 192);
const QColor kGrey(128, 128, 128);
const QColor kYellow(255, 255, 0);
constexpr int kItemWidth = 160;
constexpr int kItemHeight = 15;

// An item of the file list is as wide as its icon and name, and never wider
// than the list; it is one row high.
class FileListDelegate : public QStyledItemDelegate {
public:
    explicit FileListDelegate(QListWidget* list) : QStyledItemDelegate(list), m_list(list) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int width = QStyledItemDelegate::sizeHint(option, index).width();
        return {std::min(width, m_list->viewport()->width()), CFileList::kRowHeight};
    }

private:
    QListWidget* m_list;
};

} // namespace

CFileList::CFileList(QWidget* parent) : QListWidget(parent)
{
    // Icon mode is the one in which items can be put where we want them.
    setViewMode(QListView::IconMode);
    setMovement(QListView::Free);
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setResizeMode(QListView::Fixed);
    setLayoutMode(QListView::SinglePass);
    setWordWrap(false);
    setSpacing(0);
    setUniformItemSizes(false);
    setTextElideMode(Qt::ElideMiddle);
    setIconSize(QSize(16, 16));
    setItemDelegate(new FileListDelegate(this));
}

void CFileList::initViewItemOption(QStyleOptionViewItem* option) const
{
    QListWidget::initViewItemOption(option);
    option->decorationPosition = QStyleOptionViewItem::Left;
    option->decorationAlignment = Qt::AlignCenter;
    option->displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option->features &= ~QStyleOptionViewItem::WrapText;
    option->showDecorationSelected = false;
}

void CFileList::doItemsLayout()
{
    QListWidget::doItemsLayout();
    const int n = count();
    std::vector<int32_t> widths(size_t(n), 0);
    for (int i = 0; i < n; ++i)
        widths[size_t(i)] = rectForIndex(model()->index(i, 0)).width();
    const std::vector<int32_t> columnWidths = browser::fitColumns(widths, viewport()->width(), kColumnGap);
    m_columns = std::max<int>(1, int(columnWidths.size()));
    std::vector<int> left(columnWidths.size(), 0);
    for (size_t c = 1; c < columnWidths.size(); ++c)
        left[c] = left[c - 1] + columnWidths[c - 1] + kColumnGap;
    for (int i = 0; i < n; ++i)
        setPositionForIndex(QPoint(left[size_t(i % m_columns)], (i / m_columns) * kRowHeight), model()->index(i, 0));
}

void SkinComboDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool focused = option.state & (QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    const QRect r = option.rect;
    painter->save();
    painter->fillRect(r, focused ? kGrey : kSilver);
    QFont font = option.font;
    font.setItalic(focused);
    painter->setFont(font);
    painter->setPen(focused ? kYellow : Qt::black);
    int textX = r.x() + 3;
    if (m_indent) {
        const int depth = index.data(kDepthRole).toInt();
        const int iconX = r.x() + (index.row() == 0 ? 4 : 4 + 4 * depth);
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        if (!icon.isNull())
            icon.paint(painter, QRect(iconX, r.y() + (r.height() - 16) / 2, 16, 16));
        textX = r.x() + 22 + 4 * depth;
    }
    const QRect textRect(textX, r.y(), r.right() - textX, r.height());
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                      painter->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle,
                                                        textRect.width()));
    painter->restore();
}

QSize SkinComboDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return {kItemWidth, kItemHeight};
}

CSkinComboBox::CSkinComboBox(bool folders, QWidget* parent) : QComboBox(parent), m_folders(folders)
{
    m_button = loadSkinPicture("OP_COMBO_BTN_DOWN");
    setItemDelegate(new SkinComboDelegate(folders, this));
    view()->setStyleSheet(QStringLiteral("background: rgb(192,192,192); border: 1px solid black;"));
    setFocusPolicy(Qt::NoFocus);
}

void CSkinComboBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, kSilver);
    const int buttonSize = std::min(16, r.height());
    const QRect buttonRect(r.right() - buttonSize, (r.height() - buttonSize) / 2, buttonSize, buttonSize);
    QFont font = this->font();
    font.setItalic(true);
    p.setFont(font);
    p.setPen(Qt::black);
    QRect textRect;
    if (m_folders) {
        const QIcon icon = itemIcon(currentIndex());
        if (!icon.isNull())
            icon.paint(&p, QRect(4, (r.height() - 16) / 2, 16, 16));
        textRect = QRect(24, 0, buttonRect.left() - 26, r.height());
    } else {
        p.drawRect(r.adjusted(0, 0, -buttonSize - 1, -1));
        textRect = QRect(3, 0, buttonRect.left() - 5, r.height());
    }
    // A long path keeps its start and its end, short of the button.
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
               p.fontMetrics().elidedText(currentText(), Qt::ElideMiddle, textRect.width()));
    if (!m_button.isNull()) {
        // The held button shows pressed: drawn one pixel further in.
        p.drawImage(buttonRect.translated(m_held ? 1 : 0, m_held ? 1 : 0), m_button);
        if (m_held) {
            p.setPen(kGrey);
            p.drawRect(buttonRect.adjusted(0, 0, -1, -1));
        }
    }
}

void CSkinComboBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_held = true;
        update();
        showPopup();
    }
}

void CSkinComboBox::hidePopup()
{
    QComboBox::hidePopup();
    m_held = false;
    update();
}

void CSkinComboBox::mouseReleaseEvent(QMouseEvent*)
{
    m_held = false;
    update();
}

} // namespace knetix
