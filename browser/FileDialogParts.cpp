#include "browser/FileDialogParts.h"

#include "artwork/Artwork.h"

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

} // namespace

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
    painter->drawText(QRect(textX, r.y(), r.right() - textX, r.height()), Qt::AlignVCenter | Qt::AlignLeft,
                      index.data(Qt::DisplayRole).toString());
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
    if (m_folders) {
        const QIcon icon = itemIcon(currentIndex());
        if (!icon.isNull())
            icon.paint(&p, QRect(4, (r.height() - 16) / 2, 16, 16));
        p.drawText(QRect(24, 0, buttonRect.left() - 26, r.height()), Qt::AlignVCenter | Qt::AlignLeft, currentText());
    } else {
        p.drawRect(r.adjusted(0, 0, -buttonSize - 1, -1));
        p.drawText(QRect(3, 0, buttonRect.left() - 5, r.height()), Qt::AlignVCenter | Qt::AlignLeft, currentText());
    }
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
