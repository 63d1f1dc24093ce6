// The object archive: exact bytes of every form, round trips, the long index
// forms past 0x7FFF, and a damaged archive of each sort.

#include "files/archive/Archive.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace knetix {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes tail(const Bytes& bytes, size_t from) { return Bytes(bytes.begin() + from, bytes.end()); }

// An Item's record with no child.
Bytes record(int32_t value) { return {uint8_t(value), 0, 0, 0, 0, 0}; }

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A test object: a value and an optional child, written as int32 and object reference.
struct Item {
    std::string cls;
    int32_t value = 0;
    const Item* child = nullptr;
};

void writeItem(ArchiveWriter& out, const Item* item, uint16_t schema = kArchiveSchema)
{
    out.writeObject(item, item ? item->cls : "", [item](ArchiveWriter& w) {
        w.writeInt32(item->value);
        writeItem(w, item->child);
    }, schema);
}

struct ReadItem {
    int32_t value = 0;
    ObjectRef child;
};

std::shared_ptr<void> makeItem(std::string_view cls, ArchiveReader& in)
{
    static const std::set<std::string, std::less<>> known{"CMMask", "Inner", "Outer", "A", "B", "C"};
    if (!known.contains(cls))
        return nullptr;
    auto item = std::make_shared<ReadItem>();
    item->value = in.readInt32();
    item->child = in.readObject(makeItem);
    return item;
}

const ReadItem& as(const ObjectRef& ref) { return *static_cast<const ReadItem*>(ref.object.get()); }

// Index, new or back reference, class and value of a reference as read.
using Seen = std::tuple<uint32_t, bool, std::string, int32_t>;
Seen seen(const ObjectRef& ref) { return {ref.index, ref.isNew, ref.className, ref ? as(ref).value : 0}; }

template <class F>
std::optional<ArchiveError::Kind> errorOf(F&& read)
{
    try {
        read();
    } catch (const ArchiveError& e) {
        return e.kind();
    }
    return std::nullopt;
}

std::optional<ArchiveError::Kind> objectError(const Bytes& bytes)
{
    return errorOf([&] {
        ArchiveReader in(bytes);
        while (in.remaining() > 0)
            in.readObject(makeItem);
    });
}

TEST(ArchiveScalars, LittleEndianWithoutPadding)
{
    ArchiveWriter out;
    out.writeInt32(-2);
    out.writeWord(0x1234);
    out.writeDouble(1.0);
    out.writeRaw("ab", 2);
    EXPECT_EQ(out.bytes(), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 'a', 'b'}));

    ArchiveReader in(out.bytes());
    EXPECT_EQ(in.readInt32(), -2);
    EXPECT_EQ(in.readWord(), 0x1234);
    EXPECT_EQ(in.readDouble(), 1.0);
    char raw[2];
    in.readRaw(raw, 2);
    EXPECT_EQ(std::string(raw, 2), "ab");
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ArchiveStrings, LengthPrefixAtEachBoundary)
{
    const std::vector<std::pair<size_t, Bytes>> cases{
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
    };
    for (const auto& [length, prefix] : cases) {
        SCOPED_TRACE(length);
        std::string text(length, ' ');
        for (size_t k = 0; k < length; ++k)
            text[k] = char('a' + k % 26);
        ArchiveWriter out;
        out.writeString(text);
        ASSERT_EQ(out.bytes().size(), prefix.size() + length);
        EXPECT_EQ(Bytes(out.bytes().begin(), out.bytes().begin() + prefix.size()), prefix);
        ArchiveReader in(out.bytes());
        EXPECT_EQ(in.readString(), text);
        EXPECT_EQ(in.remaining(), 0u);
    }
}

TEST(ArchiveStrings, SixteenBitCharactersAreNarrowed)
{
    Bytes bytes{0xFF, 0xFE, 0xFF, 3, 'K', 0, 0xE4, 0, 0x42, 0x01};  // "Kä" and a character beyond 8 bits
    const Bytes longPrefix{0xFF, 0xFE, 0xFF, 0xFF, 0x00, 0x01};     // 256 characters
    bytes.insert(bytes.end(), longPrefix.begin(), longPrefix.end());
    for (int k = 0; k < 256; ++k)
        bytes.insert(bytes.end(), {'x', 0});
    bytes.insert(bytes.end(), {0x34, 0x12});

    ArchiveReader in(bytes);
    EXPECT_EQ(in.readString(), "K\xE4?");
    EXPECT_EQ(in.readString(), std::string(256, 'x'));
    EXPECT_EQ(in.readWord(), 0x1234);
}

TEST(ArchiveCounts, WordBelowFFFFThenLongForm)
{
    const std::vector<std::pair<size_t, Bytes>> cases{
        {0, {0, 0}},
        {0xFFFE, {0xFE, 0xFF}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0}},
        {70000, {0xFF, 0xFF, 0x70, 0x11, 0x01, 0}},
    };
    for (const auto& [count, bytes] : cases) {
        ArchiveWriter out;
        out.writeCount(count);
        EXPECT_EQ(out.bytes(), bytes) << count;
        ArchiveReader in(out.bytes());
        EXPECT_EQ(in.readCount(0), count);
    }
}

TEST(ArchiveObjects, ClassOnceThenObjectsThenBackReferences)
{
    const Item first{"CMMask", 7}, second{"CMMask", 8};
    ArchiveWriter out;
    writeItem(out, &first);
    writeItem(out, &second);
    writeItem(out, &first);
    writeItem(out, nullptr);
    EXPECT_EQ(out.bytes(), (Bytes{0xFF, 0xFF, 1, 0, 6, 0, 'C', 'M', 'M', 'a', 's', 'k', 7, 0, 0, 0, 0, 0,
                                  0x01, 0x80, 8, 0, 0, 0, 0, 0,
                                  0x02, 0x00,
                                  0x00, 0x00}));

    ArchiveReader in(out.bytes());
    const ObjectRef a = in.readObject(makeItem), b = in.readObject(makeItem), again = in.readObject(makeItem);
    EXPECT_EQ(seen(a), Seen(2, true, "CMMask", 7));
    EXPECT_EQ(seen(b), Seen(3, true, "CMMask", 8));
    EXPECT_EQ(seen(again), Seen(2, false, "CMMask", 7));
    EXPECT_EQ(again.object, a.object);
    EXPECT_EQ(seen(in.readObject(makeItem)), Seen(0, false, "", 0));
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ArchiveObjects, NestedClassesAndObjectsShareOneNumbering)
{
    const Item inner{"Inner", 5}, outer{"Outer", 1, &inner}, inner2{"Inner", 6}, outer2{"Outer", 2, &inner};
    ArchiveWriter out;
    writeItem(out, &outer);  // Outer 1, outer 2, Inner 3, inner 4
    const size_t at = out.bytes().size();
    writeItem(out, &inner2);
    writeItem(out, &outer2);
    EXPECT_EQ(tail(out.bytes(), at), (Bytes{0x03, 0x80, 6, 0, 0, 0, 0, 0, 0x01, 0x80, 2, 0, 0, 0, 0x04, 0}));

    ArchiveReader in(out.bytes());
    const ObjectRef o1 = in.readObject(makeItem), i2 = in.readObject(makeItem), o2 = in.readObject(makeItem);
    EXPECT_EQ(seen(as(o1).child), Seen(4, true, "Inner", 5));
    EXPECT_EQ(seen(i2), Seen(5, true, "Inner", 6));
    EXPECT_EQ(seen(o2), Seen(6, true, "Outer", 2));
    EXPECT_EQ(seen(as(o2).child), Seen(4, false, "Inner", 5));
    EXPECT_EQ(as(o2).child.object, as(o1).child.object);
}

// Writes `fill` objects of class A (class 1, objects 2 .. fill + 1), then `more`
// and the last A again; checks the bytes after the A objects, the indices read,
// and that every later occurrence of an object gives the object made at its first.
void checkLongForms(size_t fill, const std::vector<const Item*>& more, const Bytes& expected,
                    const std::vector<uint32_t>& indices)
{
    std::vector<Item> items(fill, Item{"A"});
    std::vector<const Item*> order;
    for (size_t k = 0; k < fill; ++k) {
        items[k].value = int32_t(k);
        order.push_back(&items[k]);
    }
    order.insert(order.end(), more.begin(), more.end());
    order.push_back(&items.back());
    ArchiveWriter out;
    size_t at = 0;
    for (size_t k = 0; k < order.size(); ++k) {
        at = k == fill ? out.bytes().size() : at;
        writeItem(out, order[k]);
    }
    EXPECT_EQ(tail(out.bytes(), at), expected);

    ArchiveReader in(out.bytes());
    std::map<const Item*, std::shared_ptr<void>> first;
    for (size_t k = 0; k < order.size(); ++k) {
        const ObjectRef ref = in.readObject(makeItem);
        const auto [earlier, isNew] = first.emplace(order[k], ref.object);
        ASSERT_EQ(ref.object, earlier->second) << k;
        ASSERT_EQ(seen(ref), Seen(k < fill ? k + 2 : indices[k - fill], isNew, order[k]->cls, order[k]->value)) << k;
    }
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ArchiveObjects, LongFormsFromIndex7FFF)
{
    const Item b1{"B", 100}, b2{"B", 101};
    // B is 0x7FFE, the last class index a word carries; b1 0x7FFF is the first long object index.
    checkLongForms(0x7FFC, {&b1, &b2, &b1},
                   cat({{0xFF, 0xFF, 1, 0, 1, 0, 'B'}, record(100), {0xFE, 0xFF}, record(101),
                        {0xFF, 0x7F, 0xFF, 0x7F, 0, 0}, {0xFD, 0x7F}}),
                   {0x7FFF, 0x8000, 0x7FFF, 0x7FFD});

    // C is 0x7FFF: from here a class goes in the long form too.
    const Item c1{"C", 200}, c2{"C", 201};
    checkLongForms(0x7FFD, {&c1, &c2, &c2},
                   cat({{0xFF, 0xFF, 1, 0, 1, 0, 'C'}, record(200), {0xFF, 0x7F, 0xFF, 0x7F, 0, 0x80}, record(201),
                        {0xFF, 0x7F, 0x01, 0x80, 0, 0}, {0xFE, 0x7F}}),
                   {0x8000, 0x8001, 0x8001, 0x7FFE});
}

TEST(ArchiveErrors, EveryTruncationIsEndOfData)
{
    const Item inner{"Inner", 5}, outer{"Outer", 1, &inner};
    ArchiveWriter out;
    out.writeString("Knetix");
    out.writeCount(2);
    out.writeDouble(0.5);
    writeItem(out, &outer);
    writeItem(out, &inner);
    const Bytes& whole = out.bytes();
    const auto readAll = [](const Bytes& bytes) {
        ArchiveReader in(bytes);
        in.readString();
        in.readCount();
        in.readDouble();
        in.readObject(makeItem);
        in.readObject(makeItem);
    };
    EXPECT_EQ(errorOf([&] { readAll(whole); }), std::nullopt);
    for (size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_EQ(errorOf([&] { readAll(Bytes(whole.begin(), whole.begin() + cut)); }), ArchiveError::EndOfData) << cut;
}

TEST(ArchiveErrors, IndicesMustNameWhatWasReadBefore)
{
    const Item mask{"CMMask", 7};
    ArchiveWriter out;
    writeItem(out, &mask);  // class 1, object 2
    const std::vector<Bytes> wrong{
        {0x03, 0x00},                          // no object 3 yet
        {0x01, 0x00},                          // 1 is a class
        {0x02, 0x80},                          // 2 is an object
        {0x00, 0x80},                          // class 0
        {0x05, 0x80},                          // no class 5
        {0xFF, 0x7F, 0x00, 0x00, 0x00, 0x00},  // long form of 0
        {0xFF, 0x7F, 0x02, 0x00, 0x00, 0x80},  // long class form naming an object
    };
    for (const Bytes& bad : wrong)
        EXPECT_EQ(objectError(cat({out.bytes(), bad})), ArchiveError::BadIndex) << int(bad[0]) << ' ' << int(bad[1]);
    EXPECT_EQ(objectError(cat({out.bytes(), {0xFF, 0x7F, 0x02, 0x00, 0x00, 0x00}})), std::nullopt);  // long form of 2

    EXPECT_EQ(objectError(Bytes{0x01, 0x00}), ArchiveError::BadIndex);
    Item self{"CMMask", 1};
    self.child = &self;
    ArchiveWriter selfOut;
    writeItem(selfOut, &self);
    EXPECT_EQ(objectError(selfOut.bytes()), ArchiveError::BadIndex);
}

TEST(ArchiveErrors, UnknownClassAndOtherSchema)
{
    const Item unknown{"CMStranger", 1}, outer{"Outer", 1, &unknown}, mask{"CMMask", 1};
    ArchiveWriter a, b, c;
    writeItem(a, &unknown);
    writeItem(b, &outer);
    writeItem(c, &mask, 2);
    EXPECT_EQ(objectError(a.bytes()), ArchiveError::UnexpectedObject);
    EXPECT_EQ(objectError(b.bytes()), ArchiveError::UnexpectedObject);
    EXPECT_EQ(objectError(c.bytes()), ArchiveError::BadSchema);
}

TEST(ArchiveErrors, LengthsBeyondTheDataFailBeforeAllocating)
{
    const auto kindOf = [](Bytes bytes, auto read) {
        return errorOf([&] {
            ArchiveReader in(bytes);
            read(in);
        });
    };
    const auto string = [](ArchiveReader& in) { in.readString(); };
    const auto count = [](ArchiveReader& in) { in.readCount(); };
    EXPECT_EQ(kindOf({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'}, string), ArchiveError::EndOfData);
    EXPECT_EQ(kindOf({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0}, string), ArchiveError::EndOfData);
    EXPECT_EQ(kindOf({0xFF, 0xFE, 0xFF, 2, 'a', 0, 'b'}, string), ArchiveError::EndOfData);
    EXPECT_EQ(kindOf({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3}, count), ArchiveError::EndOfData);
    EXPECT_EQ(kindOf({3, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
                     [](ArchiveReader& in) { in.readCount(8); }), ArchiveError::EndOfData);
    EXPECT_EQ(kindOf({0xFF, 0xFF, 1, 0, 0xFF, 0xFF, 'a', 'b', 'c'}, [](ArchiveReader& in) { in.readObject(makeItem); }),
              ArchiveError::EndOfData);
    EXPECT_EQ(kindOf({1, 2, 3, 4}, [](ArchiveReader& in) { char buffer[16]; in.readRaw(buffer, sizeof buffer); }),
              ArchiveError::EndOfData);
    // Negative lengths are malformed, not merely long.
    EXPECT_EQ(kindOf({0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80}, string), ArchiveError::BadIndex);
    EXPECT_EQ(kindOf({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, count), ArchiveError::BadIndex);
}

} // namespace
} // namespace knetix
