#include "keys/KeyList.h"

#include <gtest/gtest.h>

#include <set>

namespace knetix {
namespace {

// Marks every thumbnail it draws with a running number, so tests can tell a
// freshly drawn thumbnail from a copied one.
struct CountingDrawer {
    int drawn = 0;
    ThumbnailDrawer drawer()
    {
        return [this](ThumbnailBitmap& t, int32_t w, int32_t h) {
            t = ThumbnailBitmap{};
            t.width = w;
            t.height = h;
            t.bytesPerRow = 4 * w;
            t.bits.assign(size_t(4 * w * h), uint8_t(++drawn));
        };
    }
};

// Tags key i by writing i into its first cell, so moves and copies can be followed.
void tag(KeyList& keys)
{
    for (int32_t i = 0; i < keys.count(); ++i)
        keys.key(i).cells()[0] = OffsetCell(i, 0);
}

std::vector<int32_t> tags(KeyList& keys)
{
    std::vector<int32_t> out;
    for (int32_t i = 0; i < keys.count(); ++i)
        out.push_back(keys.key(i).cells()[0].dx);
    return out;
}

KeyList listOf(int32_t n, CountingDrawer& d)
{
    KeyList keys;
    keys.rebuild(20, 10, d.drawer());
    while (keys.count() < n) {
        keys.openMenu(keys.count());
        keys.run(KeyCommand::Activate, d.drawer());
    }
    tag(keys);
    return keys;
}

TEST(KeyListGeometry, CellsGapsAndHitTest)
{
    KeyList keys;
    EXPECT_EQ(keys.cellsInStrip(), 3);
    EXPECT_EQ(keys.cellGap(), 18);
    EXPECT_EQ(keys.cellRect(0), (Rect{0, 0, 62, 62}));
    EXPECT_EQ(keys.cellRect(1), (Rect{80, 0, 142, 62}));
    EXPECT_EQ(keys.cellRect(2), (Rect{160, 0, 222, 62}));
    EXPECT_EQ(keys.cellRect(3), (Rect{240, 0, 302, 62})); // outside the window
    EXPECT_TRUE(keys.cellRect(4).isEmpty());
    EXPECT_TRUE(keys.cellRect(-1).isEmpty());

    EXPECT_EQ(keys.hitTest(0, 0), 0);
    EXPECT_EQ(keys.hitTest(61, 61), 0);
    EXPECT_EQ(keys.hitTest(62, 10), -1); // in the gap
    EXPECT_EQ(keys.hitTest(80, 10), 1);
    EXPECT_EQ(keys.hitTest(221, 30), 2);
    EXPECT_EQ(keys.hitTest(100, 62), -1); // below the cells

    CountingDrawer d;
    KeyList five = listOf(5, d);
    five.scrollForward();
    five.scrollForward();
    EXPECT_EQ(five.hitTest(90, 5), 3); // first visible + cell
}

TEST(KeyListGeometry, ThumbnailShrinksByWholeFactor)
{
    EXPECT_EQ(thumbnailSize(354, 265, 62), (Size{59, 44})); // f = 5, factor 6
    EXPECT_EQ(thumbnailSize(354, 354, 62), (Size{59, 59}));
    EXPECT_EQ(thumbnailSize(62, 20, 62), (Size{31, 10}));  // exactly one cell: factor 2
    EXPECT_EQ(thumbnailSize(61, 20, 62), (Size{61, 20}));
    EXPECT_EQ(thumbnailSize(4, 300, 62), (Size{0, 60}));

    KeyList keys;
    CountingDrawer d;
    keys.rebuild(354, 265, d.drawer());
    EXPECT_EQ(keys.thumbnail(), (Size{59, 44}));
    EXPECT_EQ(keys.thumbnailRect(1), (Rect{81, 9, 140, 53}));
}

TEST(KeyListRebuild, TwoIdentityKeysSecondActive)
{
    KeyList keys;
    CountingDrawer d;
    keys.rebuild(30, 20, d.drawer());
    keys.openMenu(2);
    keys.run(KeyCommand::Activate, d.drawer());
    keys.scrollForward();
    keys.scrollForward();
    ASSERT_EQ(keys.firstVisible(), 2);

    keys.rebuild(40, 10, d.drawer());
    ASSERT_EQ(keys.count(), 2);
    EXPECT_EQ(keys.activeKey(), 1);
    EXPECT_EQ(keys.cellCount(), 400);
    EXPECT_EQ(keys.firstVisible(), 1); // moved back into the new list, not reset
    EXPECT_EQ(keys.menuKey(), 2);      // still a cell of the new strip
    EXPECT_EQ(keys.activeCells(), keys.key(1).cells());
    for (int32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(keys.key(i).cellCount(), 400);
        EXPECT_EQ(keys.key(i).thumbnail().width, 40);
        for (int32_t c = 0; c < 400; ++c)
            ASSERT_EQ(keys.key(i).cells()[c], OffsetCell());
    }
    EXPECT_EQ(keys.blend(), nullptr);
}

TEST(KeyListMenu, OffersFollowTheRules)
{
    CountingDrawer d;
    KeyList two = listOf(2, d); // active 1
    auto offered = [](const KeyList& k, int32_t r) {
        std::set<KeyCommand> s;
        for (KeyCommand c : kKeyMenuOrder)
            if (k.offers(c, r))
                s.insert(c);
        return s;
    };
    using K = KeyCommand;
    EXPECT_EQ(offered(two, 0), (std::set<K>{K::Activate, K::Copy, K::MoveRight, K::CopyToWindow, K::CopyToFilmstrip}));
    EXPECT_EQ(offered(two, 1), (std::set<K>{K::Copy, K::MoveLeft}));
    EXPECT_EQ(offered(two, 2), (std::set<K>{K::Activate})); // the empty cell
    EXPECT_TRUE(offered(two, 3).empty());
    EXPECT_FALSE(two.openMenu(3)); // more than one cell past the last key
    EXPECT_FALSE(two.openMenu(-1));
    EXPECT_TRUE(two.openMenu(2));

    KeyList three = listOf(3, d); // active 2
    EXPECT_TRUE(three.offers(K::Delete, 0));
    EXPECT_TRUE(three.offers(K::Delete, 2));
    EXPECT_FALSE(three.offers(K::Delete, 3));
    EXPECT_FALSE(three.offers(K::MoveRight, 2));
    EXPECT_TRUE(three.offers(K::MoveLeft, 2));
}

TEST(KeyListCommands, ActivateOnEmptyCellAppendsCopyOfActive)
{
    CountingDrawer d;
    KeyList keys = listOf(2, d);
    keys.key(1).cells()[5] = OffsetCell(7, -7);
    const int before = d.drawn;
    keys.openMenu(2);
    EXPECT_EQ(keys.run(KeyCommand::Activate, d.drawer()), KeyEffect::ShowActive);
    ASSERT_EQ(keys.count(), 3);
    EXPECT_EQ(keys.activeKey(), 2);
    EXPECT_EQ(keys.key(2).cells()[5], OffsetCell(7, -7));
    EXPECT_NE(keys.key(2).cells(), keys.key(1).cells());
    EXPECT_EQ(d.drawn, before + 1); // its thumbnail is drawn anew
    EXPECT_EQ(keys.key(2).thumbnail().bits[0], uint8_t(d.drawn));
}

TEST(KeyListCommands, CopyDeleteAndMovesKeepTheRightKeyActive)
{
    CountingDrawer d;
    {
        KeyList keys = listOf(3, d); // tags 0 1 2, active 2
        keys.openMenu(0);
        EXPECT_EQ(keys.run(KeyCommand::Copy, d.drawer()), KeyEffect::None);
        EXPECT_EQ(tags(keys), (std::vector<int32_t>{0, 0, 1, 2}));
        EXPECT_EQ(keys.activeKey(), 3); // the same key, one further right
    }
    {
        KeyList keys = listOf(3, d);
        keys.openMenu(0);
        keys.run(KeyCommand::Activate, d.drawer());
        keys.openMenu(0);
        EXPECT_EQ(keys.run(KeyCommand::Delete, d.drawer()), KeyEffect::ShowActive);
        EXPECT_EQ(tags(keys), (std::vector<int32_t>{1, 2}));
        EXPECT_EQ(keys.activeKey(), 0);
    }
    {
        KeyList keys = listOf(4, d); // active 3
        keys.openMenu(1);
        keys.run(KeyCommand::Delete, d.drawer());
        EXPECT_EQ(tags(keys), (std::vector<int32_t>{0, 2, 3}));
        EXPECT_EQ(keys.activeKey(), 2); // still key "3"
    }
    {
        KeyList keys = listOf(3, d); // active 2
        keys.openMenu(2);
        EXPECT_EQ(keys.run(KeyCommand::MoveLeft, d.drawer()), KeyEffect::ShowActive);
        EXPECT_EQ(tags(keys), (std::vector<int32_t>{0, 2, 1}));
        EXPECT_EQ(keys.activeKey(), 2); // the position stays active: now key "1"
        keys.openMenu(0);
        EXPECT_EQ(keys.run(KeyCommand::MoveRight, d.drawer()), KeyEffect::None);
        EXPECT_EQ(tags(keys), (std::vector<int32_t>{2, 0, 1}));
        EXPECT_EQ(keys.activeKey(), 2);
    }
    {
        KeyList keys = listOf(3, d); // active 2
        keys.openMenu(0);
        EXPECT_EQ(keys.run(KeyCommand::CopyToWindow, d.drawer()), KeyEffect::ShowActive);
        EXPECT_EQ(tags(keys), (std::vector<int32_t>{0, 1, 0}));
        keys.key(2).cells()[0].dx = 9;
        keys.openMenu(1);
        EXPECT_EQ(keys.run(KeyCommand::CopyToFilmstrip, d.drawer()), KeyEffect::None);
        EXPECT_EQ(tags(keys), (std::vector<int32_t>{0, 9, 9}));
        EXPECT_NE(keys.key(1).cells(), keys.key(2).cells());
        EXPECT_EQ(keys.activeKey(), 2);
    }
    {
        // Deleting the key the strip is scrolled to keeps the last key in view,
        // and the playback position inside the list.
        KeyList keys = listOf(4, d);
        for (int i = 0; i < 3; ++i)
            keys.scrollForward();
        keys.playbackBegin(10);
        for (int i = 0; i < 13; ++i) // four frames a pair after the first
            keys.playbackStep(64);
        ASSERT_EQ(keys.playback().currentKey, 3);
        keys.openMenu(3);
        keys.run(KeyCommand::Delete, d.drawer());
        EXPECT_EQ(keys.firstVisible(), 2);
        EXPECT_EQ(keys.playback().currentKey, 0);
        EXPECT_EQ(keys.menuKey(), 3); // the empty cell now
    }
    {
        KeyList keys = listOf(2, d);
        keys.openMenu(1);
        EXPECT_EQ(keys.run(KeyCommand::Delete, d.drawer()), KeyEffect::None); // never below two
        EXPECT_EQ(keys.count(), 2);
    }
}

TEST(KeyListScroll, StopsAtBothEnds)
{
    CountingDrawer d;
    KeyList keys = listOf(3, d);
    EXPECT_FALSE(keys.scrollBack());
    EXPECT_TRUE(keys.scrollForward());
    EXPECT_TRUE(keys.scrollForward());
    EXPECT_FALSE(keys.scrollForward()); // the last key is in the leftmost cell
    EXPECT_EQ(keys.firstVisible(), 2);
    EXPECT_TRUE(keys.scrollBack());
    EXPECT_EQ(keys.firstVisible(), 1);
}

TEST(KeyListThumbnails, OnlyTheActiveKeyGoesStaleAndIsRedrawn)
{
    CountingDrawer d;
    KeyList keys = listOf(3, d);
    keys.markActiveStale();
    EXPECT_TRUE(keys.key(2).thumbnailStale());
    EXPECT_FALSE(keys.key(0).thumbnailStale());
    const int before = d.drawn;
    keys.refreshStaleThumbnails(d.drawer());
    EXPECT_EQ(d.drawn, before + 1);
    EXPECT_FALSE(keys.key(2).thumbnailStale());
}

TEST(KeyListPlayback, StepsThroughAllKeysAndLoops)
{
    CountingDrawer d;
    KeyList keys = listOf(2, d);
    keys.key(0).cells()[1] = OffsetCell(0, 0);
    keys.key(1).cells()[1] = OffsetCell(64, -64);
    EXPECT_EQ(keys.playbackStep(64), nullptr); // no blend field before Begin
    keys.playbackBegin(10);
    ASSERT_NE(keys.blend(), nullptr);
    EXPECT_EQ(keys.playback().playParameter, 10);
    std::vector<int32_t> dx;
    for (int i = 0; i < 9; ++i)
        dx.push_back(keys.playbackStep(64)[1].dx);
    EXPECT_EQ(dx, (std::vector<int32_t>{0, 16, 32, 48, 64, 48, 32, 16, 0}));
    EXPECT_EQ(keys.playback().currentKey, 0);
}

} // namespace
} // namespace knetix
