#pragma once
// The filmstrip: the 222 x 62 strip of key-frame thumbnails under the canvas,
// and the Key menu that opens on a click into it. A thin view over the
// document's key list, following it as its observer; the commands are the
// document's.

#include "document/DocumentObserver.h"
#include "resources/Strings.h"

#include <QWidget>

#include <functional>
#include <vector>

namespace knetix {

class Document;

class CMKeys : public QWidget, private DocumentObserver {
    Q_OBJECT
public:
    // Shows the menu entries at a screen point and returns the chosen command
    // id, or 0. Replaceable so that tests need no modal menu.
    using MenuChooser = std::function<int32_t(const std::vector<MenuItem>& entries, QPoint globalPos)>;

    explicit CMKeys(Document& document, QWidget* parent = nullptr);
    ~CMKeys() override;

    // The entries of the Key menu offered for key index r, in menu order.
    std::vector<MenuItem> menuEntries(int32_t r) const;
    void setMenuChooser(MenuChooser chooser) { m_chooser = std::move(chooser); }

    void scrollForward();
    void scrollBack();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    static int32_t showMenu(const std::vector<MenuItem>& entries, QPoint globalPos);

    // What the document reports.
    void workReplaced() override { update(); }
    void keysChanged() override { update(); }
    void thumbnailStale(int32_t key) override;

    Document& m_document;
    MenuChooser m_chooser = &CMKeys::showMenu;
};

} // namespace knetix
