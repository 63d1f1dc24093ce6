#include "views/CMKeys.h"

#include "document/Document.h"
#include "qtbridge/QtBridge.h"

#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>


namespace knetix {

namespace {

// The thumbnails are kept in the screen's format of their time: 32-bit BGRX
// from us, 24 bits from elsewhere.
QImage thumbnailImage(const ThumbnailBitmap& t)
{
    if (t.isEmpty() || t.bits.size() < size_t(t.bytesPerRow) * size_t(t.height))
        return {};
    if (t.bitsPerPixel == 32)
        return QImage(t.bits.data(), t.width, t.height, t.bytesPerRow, QImage::Format_RGB32);
    if (t.bitsPerPixel == 24)
        return QImage(t.bits.data(), t.width, t.height, t.bytesPerRow, QImage::Format_BGR888);
    return {};
}

const QColor kStripBackground(0x1b, 0x1c, 0x1f);
const QColor kEmptyCell(0x2a, 0x2c, 0x30);

} // namespace

CMKeys::CMKeys(Document& document, QWidget* parent) : QWidget(parent), m_document(document)
{
    setWindowTitle(QStringLiteral("Keys"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(KeyList::kStripWidth, KeyList::kStripHeight);
    m_document.addObserver(this);
}

CMKeys::~CMKeys()
{
    m_document.removeObserver(this);
}

void CMKeys::thumbnailStale(int32_t key)
{
    const KeyList& keys = m_document.keys();
    update(toQRect(keys.cellRect(key - keys.firstVisible())));
}

std::vector<MenuItem> CMKeys::menuEntries(int32_t r) const
{
    std::vector<MenuItem> out;
    const MenuResource* menu = loadMenu(IDR_MAIN_MENU);
    if (!menu || menu->popups.size() < 2)
        return out;
    for (const MenuItem& item : menu->popups[1].items)
        if (m_document.keys().offers(KeyCommand(item.id), r))
            out.push_back(item);
    return out;
}

int32_t CMKeys::showMenu(const std::vector<MenuItem>& entries, QPoint globalPos)
{
    QMenu menu;
    for (const MenuItem& item : entries)
        menu.addAction(QString::fromUtf8(item.text.data(), qsizetype(item.text.size())))->setData(item.id);
    const QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

void CMKeys::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    const int32_t r = m_document.keys().hitTest(p.x(), p.y());
    if (!m_document.openKeyMenu(r)) // stops playback first
        return;
    const auto entries = menuEntries(r);
    if (entries.empty())
        return;
    const int32_t chosen = m_chooser(entries, event->globalPosition().toPoint());
    if (chosen == 0)
        return;
    m_document.runKeyCommand(KeyCommand(chosen));
}

void CMKeys::scrollForward()
{
    m_document.scrollForward();
}

void CMKeys::scrollBack()
{
    m_document.scrollBack();
}

void CMKeys::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), kStripBackground);
    // A stale thumbnail is drawn again from what the canvas shows: the active key.
    m_document.refreshThumbnails();
    const KeyList& keys = m_document.keys();
    for (int32_t i = 0;; ++i) {
        const QRect cell = toQRect(keys.cellRect(i));
        if (cell.isEmpty())
            break;
        if (!cell.intersects(event->rect()))
            continue;
        painter.fillRect(cell, kEmptyCell);
        const int32_t k = keys.firstVisible() + i;
        if (k >= keys.count())
            continue;
        const QImage image = thumbnailImage(keys.key(k).thumbnail());
        if (image.isNull())
            continue;
        const QRect thumb = toQRect(keys.thumbnailRect(i));
        painter.fillRect(cell, kStripBackground);
        painter.drawImage(thumb.topLeft(), image);
        if (k == keys.activeKey()) {
            // White, red, white from the thumbnail's edge inwards.
            const QColor rings[] = {Qt::white, QColor(255, 0, 0), Qt::white};
            QRect ring = thumb.adjusted(0, 0, -1, -1);
            for (const QColor& c : rings) {
                painter.setPen(c);
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(ring);
                ring.adjust(1, 1, -1, -1);
            }
        }
    }
}

} // namespace knetix
