#include "Archive.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace knetix {

namespace {

constexpr uint16_t kNullTag = 0x0000;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kLongTag = 0x7FFF;
constexpr uint16_t kClassFlag = 0x8000;
constexpr uint32_t kLongClassFlag = 0x80000000u;
// Indices from here on no longer fit the word forms.
constexpr uint32_t kFirstLongIndex = 0x7FFF;

constexpr uint8_t kLongLengthByte = 0xFF;
constexpr uint16_t kLongerLengthWord = 0xFFFF;
constexpr uint16_t kWideStringWord = 0xFFFE;
constexpr uint16_t kLongCountWord = 0xFFFF;

constexpr size_t kMaxLength = size_t(std::numeric_limits<int32_t>::max());

std::string kindName(ArchiveError::Kind kind)
{
    switch (kind) {
    case ArchiveError::EndOfData: return "end of data";
    case ArchiveError::BadIndex: return "bad format";
    case ArchiveError::UnexpectedObject: return "unexpected object";
    case ArchiveError::BadSchema: return "bad schema";
    }
    return "error";
}

[[noreturn]] void fail(ArchiveError::Kind kind, size_t position)
{
    throw ArchiveError(kind, "archive: " + kindName(kind) + " at byte " + std::to_string(position));
}

} // namespace

ArchiveError::ArchiveError(Kind kind, const std::string& detail) : std::runtime_error(detail), m_kind(kind) {}

// ---- writing ----

void ArchiveWriter::writeInt32(int32_t value)
{
    const uint32_t bits = uint32_t(value);
    for (int shift = 0; shift < 32; shift += 8)
        m_bytes.push_back(uint8_t(bits >> shift));
}

void ArchiveWriter::writeWord(uint16_t value)
{
    m_bytes.push_back(uint8_t(value));
    m_bytes.push_back(uint8_t(value >> 8));
}

void ArchiveWriter::writeDouble(double value)
{
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    for (int shift = 0; shift < 64; shift += 8)
        m_bytes.push_back(uint8_t(bits >> shift));
}

void ArchiveWriter::writeLength(size_t length)
{
    if (length > kMaxLength)
        throw std::length_error("archive: string too long");
    if (length < kLongLengthByte) {
        m_bytes.push_back(uint8_t(length));
        return;
    }
    m_bytes.push_back(kLongLengthByte);
    // 0xFFFE is kept free: it announces 16-bit characters.
    if (length < kWideStringWord) {
        writeWord(uint16_t(length));
        return;
    }
    writeWord(kLongerLengthWord);
    writeInt32(int32_t(length));
}

void ArchiveWriter::writeString(std::string_view text)
{
    writeLength(text.size());
    writeRaw(text.data(), text.size());
}

void ArchiveWriter::writeCount(size_t count)
{
    if (count > kMaxLength)
        throw std::length_error("archive: count too large");
    if (count < kLongCountWord) {
        writeWord(uint16_t(count));
        return;
    }
    writeWord(kLongCountWord);
    writeInt32(int32_t(count));
}

void ArchiveWriter::writeRaw(const void* data, size_t length)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), bytes, bytes + length);
}

uint32_t ArchiveWriter::takeIndex()
{
    // The long forms carry 31 bits.
    if (m_nextIndex > kMaxLength)
        throw std::length_error("archive: too many objects");
    return m_nextIndex++;
}

void ArchiveWriter::writeObject(const void* identity, std::string_view className,
                                const std::function<void(ArchiveWriter&)>& record, uint16_t schema)
{
    if (!identity) {
        writeWord(kNullTag);
        return;
    }
    if (const auto seen = m_objects.find(identity); seen != m_objects.end()) {
        if (seen->second < kFirstLongIndex) {
            writeWord(uint16_t(seen->second));
        } else {
            writeWord(kLongTag);
            writeInt32(int32_t(seen->second));
        }
        return;
    }
    if (const auto known = m_classes.find(std::string(className)); known != m_classes.end()) {
        if (known->second < kFirstLongIndex) {
            writeWord(uint16_t(kClassFlag | known->second));
        } else {
            writeWord(kLongTag);
            writeInt32(int32_t(kLongClassFlag | known->second));
        }
    } else {
        if (className.size() > 0xFFFF)
            throw std::length_error("archive: class name too long");
        writeWord(kNewClassTag);
        writeWord(schema);
        writeWord(uint16_t(className.size()));
        writeRaw(className.data(), className.size());
        m_classes.emplace(std::string(className), takeIndex());
    }
    m_objects.emplace(identity, takeIndex());
    if (record)
        record(*this);
}

// ---- reading ----

const uint8_t* ArchiveReader::take(size_t length)
{
    if (length > remaining())
        fail(ArchiveError::EndOfData, m_position);
    const uint8_t* at = m_data.data() + m_position;
    m_position += length;
    return at;
}

int32_t ArchiveReader::readInt32()
{
    const uint8_t* p = take(4);
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

uint16_t ArchiveReader::readWord()
{
    const uint8_t* p = take(2);
    return uint16_t(p[0] | p[1] << 8);
}

double ArchiveReader::readDouble()
{
    const uint8_t* p = take(8);
    uint64_t bits = 0;
    for (int k = 7; k >= 0; --k)
        bits = bits << 8 | p[k];
    return std::bit_cast<double>(bits);
}

bool ArchiveReader::readLengthPrefix(size_t& length)
{
    const uint8_t first = *take(1);
    if (first != kLongLengthByte) {
        length = first;
        return false;
    }
    const uint16_t word = readWord();
    if (word == kWideStringWord)
        return true;
    if (word != kLongerLengthWord) {
        length = word;
        return false;
    }
    const size_t at = m_position;
    const int32_t n = readInt32();
    if (n < 0)
        fail(ArchiveError::BadIndex, at);
    length = size_t(n);
    return false;
}

std::string ArchiveReader::readString()
{
    size_t length = 0;
    if (!readLengthPrefix(length)) {
        const auto* chars = reinterpret_cast<const char*>(take(length));
        return std::string(chars, length);
    }
    const size_t at = m_position;
    if (readLengthPrefix(length))
        fail(ArchiveError::BadIndex, at);
    if (length > remaining() / 2)
        fail(ArchiveError::EndOfData, m_position);
    const uint8_t* units = take(2 * length);
    std::string text(length, '?');
    for (size_t k = 0; k < length; ++k)
        if (units[2 * k + 1] == 0)
            text[k] = char(units[2 * k]);
    return text;
}

size_t ArchiveReader::readCount(size_t minBytesEach)
{
    size_t count = readWord();
    if (count == kLongCountWord) {
        const size_t at = m_position;
        const int32_t n = readInt32();
        if (n < 0)
            fail(ArchiveError::BadIndex, at);
        count = size_t(n);
    }
    if (minBytesEach > 0 && count > remaining() / minBytesEach)
        fail(ArchiveError::EndOfData, m_position);
    return count;
}

void ArchiveReader::readRaw(void* destination, size_t length)
{
    const uint8_t* from = take(length);
    if (length > 0)
        std::copy(from, from + length, static_cast<uint8_t*>(destination));
}

const ArchiveReader::Entry& ArchiveReader::entry(uint32_t index, bool wantClass) const
{
    if (index == 0 || index > m_entries.size() || m_entries[index - 1].isClass != wantClass)
        fail(ArchiveError::BadIndex, m_position);
    return m_entries[index - 1];
}

ObjectRef ArchiveReader::readNew(uint32_t classIndex, const ObjectFactory& factory)
{
    // Copied: the factory's own reads may grow m_entries.
    const std::string className = entry(classIndex, true).className;
    m_entries.push_back(Entry{false, classIndex, {}, nullptr});
    const uint32_t index = uint32_t(m_entries.size());
    std::shared_ptr<void> object = factory(className, *this);
    if (!object)
        fail(ArchiveError::UnexpectedObject, m_position);
    m_entries[index - 1].object = object;
    return ObjectRef{index, std::move(object), true, className};
}

ObjectRef ArchiveReader::backReference(uint32_t index) const
{
    const Entry& object = entry(index, false);
    // Still being read: only a file that nests an object in itself gets here.
    if (!object.object)
        fail(ArchiveError::BadIndex, m_position);
    return ObjectRef{index, object.object, false, m_entries[object.classIndex - 1].className};
}

ObjectRef ArchiveReader::readObject(const ObjectFactory& factory)
{
    const uint16_t tag = readWord();
    if (tag == kNullTag)
        return {};
    if (tag == kNewClassTag) {
        const size_t at = m_position;
        if (readWord() != kArchiveSchema)
            fail(ArchiveError::BadSchema, at);
        const uint16_t length = readWord();
        const auto* name = reinterpret_cast<const char*>(take(length));
        m_entries.push_back(Entry{true, 0, std::string(name, length), nullptr});
        return readNew(uint32_t(m_entries.size()), factory);
    }
    if (tag == kLongTag) {
        const uint32_t index = uint32_t(readInt32());
        if (index & kLongClassFlag)
            return readNew(index & ~kLongClassFlag, factory);
        return backReference(index);
    }
    if (tag & kClassFlag)
        return readNew(tag & ~kClassFlag, factory);
    return backReference(tag);
}

} // namespace knetix
