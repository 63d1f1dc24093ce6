#pragma once
// The object archive that project files are made of: little-endian scalars,
// length-prefixed strings, counts, and object references that name each class
// once and each object once, later occurrences pointing back by index.
//
// Classes and objects of one archive share a numbering from 1 in the order they
// first appear (0 means "no object"). Persistent classes write and read their own
// records through ArchiveWriter and ArchiveReader; this layer knows no classes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace knetix {

// The only schema our classes have; a reader refuses any other.
constexpr uint16_t kArchiveSchema = 1;

// Readers of a file keep the kind: the message shown is made from it and the
// file's name further up.
class ArchiveError : public std::runtime_error {
public:
    enum Kind {
        EndOfData,        // a read went past the end, or a length exceeds the data left
        BadIndex,         // a reference names nothing read so far, or the wrong sort of thing
        UnexpectedObject, // a class the program does not have, or not the one expected
        BadSchema,
    };
    ArchiveError(Kind kind, const std::string& detail);
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

class ArchiveWriter {
public:
    void writeInt32(int32_t value);
    void writeWord(uint16_t value);
    void writeDouble(double value);
    // writeString and writeCount throw std::length_error above 0x7FFFFFFF.
    void writeString(std::string_view text);
    void writeCount(size_t count);
    void writeRaw(const void* data, size_t length);

    // Writes a reference to the object known by `identity`: 0 for null, a back
    // reference when this identity was written before, otherwise the class (on
    // its first appearance) and then `record`, which writes the object's fields.
    // The object takes its index before its record, so the record may refer to it.
    void writeObject(const void* identity, std::string_view className,
                     const std::function<void(ArchiveWriter&)>& record, uint16_t schema = kArchiveSchema);

    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    std::vector<uint8_t> takeBytes() { return std::move(m_bytes); }

private:
    void writeLength(size_t length);
    uint32_t takeIndex();

    std::vector<uint8_t> m_bytes;
    std::unordered_map<std::string, uint32_t> m_classes;
    std::unordered_map<const void*, uint32_t> m_objects;
    uint32_t m_nextIndex = 1;
};

class ArchiveReader;

// One object reference as read. For a back reference `object` is the one the
// factory made when the object first appeared; callers that allow each object
// only once refuse `!isNew`.
struct ObjectRef {
    uint32_t index = 0;            // 0: no object
    std::shared_ptr<void> object;
    bool isNew = false;
    std::string className;

    explicit operator bool() const { return object != nullptr; }
};

// Makes an object of the named class and reads its record from the reader;
// returns null for a class it does not expect. The pointer should be of the
// type the caller will cast it back to.
using ObjectFactory = std::function<std::shared_ptr<void>(std::string_view className, ArchiveReader& in)>;

// Reads from a block that must outlive the reader. Every read checks the bytes
// left and throws ArchiveError; nothing is allocated for a length the data
// cannot hold. The reader holds every object made until it is destroyed, so
// that back references find them; after an error it is of no further use.
class ArchiveReader {
public:
    explicit ArchiveReader(std::span<const uint8_t> data) : m_data(data) {}

    int32_t readInt32();
    uint16_t readWord();
    double readDouble();
    // The 16-bit character form is read too and narrowed: characters below 256
    // keep their low byte, others become '?', as our texts are 8-bit only.
    std::string readString();
    // Each element is taken to need at least `minBytesEach` bytes, so a count
    // the data cannot hold fails here; pass 0 for elements that may be empty.
    size_t readCount(size_t minBytesEach = 1);
    void readRaw(void* destination, size_t length);

    // Null, a back reference, or a new object made by `factory`. An object
    // referring to itself or an enclosing object still being read is refused.
    ObjectRef readObject(const ObjectFactory& factory);

    size_t remaining() const { return m_data.size() - m_position; }
    size_t position() const { return m_position; }

private:
    struct Entry {
        bool isClass = false;
        uint32_t classIndex = 0;          // objects: the index of their class
        std::string className;            // classes only
        std::shared_ptr<void> object;     // null while its record is being read
    };

    const uint8_t* take(size_t length);
    // A string's length prefix; true when it announces 16-bit characters,
    // whose own prefix follows.
    bool readLengthPrefix(size_t& length);
    const Entry& entry(uint32_t index, bool wantClass) const;
    ObjectRef readNew(uint32_t classIndex, const ObjectFactory& factory);
    ObjectRef backReference(uint32_t index) const;

    std::span<const uint8_t> m_data;
    size_t m_position = 0;
    std::vector<Entry> m_entries;  // index i is at i - 1
};

} // namespace knetix
