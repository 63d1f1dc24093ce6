#pragma once
// The file dialogs' combo boxes, drawn in the skin's colours: the closed combo
// on silver in italics with the skin's drop-down picture, the open list with
// silver items and the focused one grey with yellow italics. The folder combo
// indents its items by depth.

#include <QComboBox>
#include <QImage>
#include <QListWidget>
#include <QStyledItemDelegate>

namespace knetix {

// Item data of the folder combo: depth (int) for the indentation.
constexpr int kDepthRole = Qt::UserRole + 1;

class SkinComboDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    SkinComboDelegate(bool indent, QObject* parent) : QStyledItemDelegate(parent), m_indent(indent) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    bool m_indent;
};

class CSkinComboBox : public QComboBox {
    Q_OBJECT
public:
    // The folder combo shows the current item's icon; the type combo a black
    // frame around its text.
    CSkinComboBox(bool folders, QWidget* parent);
    bool buttonHeld() const { return m_held; }
    void hidePopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_folders;
    bool m_held = false;
    QImage m_button;
};

// The dialogs' list of folders and files: small icons with their names, row
// by row, each column as wide as its widest name, so that no name is cut and
// none runs into its neighbour. A name wider than the whole list is
// shortened in the middle.
class CFileList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 18;
    static constexpr int kColumnGap = 6;

    explicit CFileList(QWidget* parent);
    int columns() const { return m_columns; }
    // The row an item is shown in.
    int rowOf(int index) const { return index / m_columns; }
    int rowCount() const { return (count() + m_columns - 1) / m_columns; }
    // Qt lays the items out; then they are put into the columns.
    void doItemsLayout() override;

protected:
    void initViewItemOption(QStyleOptionViewItem* option) const override;

private:
    int m_columns = 1;
};

} // namespace knetix
