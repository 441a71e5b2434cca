#include "core/imaging/header/HeaderPeek.h"

#include <set>

namespace kovi {
namespace {

constexpr int kMaxEntries = 4096;
constexpr int kMaxDirectories = 1 << 16;
constexpr int kTypeShort = 3;
constexpr int kTypeLong = 4;
constexpr int kTypeLong8 = 16;

enum class Tag : std::uint16_t {
    BitsPerSample = 258,
    Compression = 259,
    Photometric = 262,
    SamplesPerPixel = 277,
    Predictor = 317,
};

class TiffLayout {
public:
    TiffLayout(bool bigEndian, bool bigTiff) : bigEndian_(bigEndian), bigTiff_(bigTiff) {}

    std::uint64_t get(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) const {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            const auto byte = b[at + static_cast<std::size_t>(bigEndian_ ? i : bytes - 1 - i)];
            value = (value << 8) | byte;
        }
        return value;
    }
    int offsetBytes() const { return bigTiff_ ? 8 : 4; }
    int countBytes() const { return bigTiff_ ? 8 : 2; }
    std::size_t entryBytes() const { return bigTiff_ ? 20 : 12; }

private:
    bool bigEndian_;
    bool bigTiff_;
};

int TypeBytes(int type) {
    switch (type) {
    case kTypeShort:
        return 2;
    case kTypeLong:
        return 4;
    case kTypeLong8:
        return 8;
    default:
        return 0;
    }
}

// The first value of an entry, inline or at the offset the entry names.
std::optional<std::uint64_t> FirstValue(HeaderReader& reader, const TiffLayout& layout,
                                        const std::vector<std::uint8_t>& entry) {
    const int type = static_cast<int>(layout.get(entry, 2, 2));
    const int bytes = TypeBytes(type);
    if (bytes == 0)
        return std::nullopt;
    const auto count = layout.get(entry, 4, layout.offsetBytes());
    const std::size_t valueAt = 4 + static_cast<std::size_t>(layout.offsetBytes());
    if (count == 0)
        return std::nullopt;
    if (count * static_cast<std::uint64_t>(bytes) <=
        static_cast<std::uint64_t>(layout.offsetBytes()))
        return layout.get(entry, valueAt, bytes);
    const auto elsewhere = reader.read(layout.get(entry, valueAt, layout.offsetBytes()),
                                       static_cast<std::size_t>(bytes));
    if (elsewhere.size() < static_cast<std::size_t>(bytes))
        return std::nullopt;
    return layout.get(elsewhere, 0, bytes);
}

struct TiffStart {
    TiffLayout layout;
    std::uint64_t firstDirectory = 0;
};

std::optional<TiffStart> ReadStart(HeaderReader& reader) {
    const auto head = reader.read(0, 16);
    if (head.size() < 8)
        return std::nullopt;
    const bool bigEndian = head[0] == 'M' && head[1] == 'M';
    if (!bigEndian && !(head[0] == 'I' && head[1] == 'I'))
        return std::nullopt;
    const auto version = TiffLayout(bigEndian, false).get(head, 2, 2);
    if (version != 42 && version != 43)
        return std::nullopt;
    const bool bigTiff = version == 43;
    if (bigTiff && head.size() < 16)
        return std::nullopt;
    const TiffLayout layout(bigEndian, bigTiff);
    return TiffStart{layout, layout.get(head, bigTiff ? 8 : 4, layout.offsetBytes())};
}

// The TIFF field types, by their codes.
enum class FieldType : std::uint64_t {
    Byte = 1,
    Ascii,
    Short,
    Long,
    Rational,
    SignedByte,
    Undefined,
    SignedShort,
    SignedLong,
    SignedRational,
    Float,
    Double,
    Ifd,
    Long8 = 16,
    SignedLong8,
    Ifd8,
};

// Bytes of one value of a field type, 0 for a type this check does not know.
std::uint64_t FieldTypeBytes(std::uint64_t code) {
    switch (static_cast<FieldType>(code)) {
    case FieldType::Byte:
    case FieldType::Ascii:
    case FieldType::SignedByte:
    case FieldType::Undefined:
        return 1;
    case FieldType::Short:
    case FieldType::SignedShort:
        return 2;
    case FieldType::Long:
    case FieldType::SignedLong:
    case FieldType::Float:
    case FieldType::Ifd:
        return 4;
    case FieldType::Rational:
    case FieldType::SignedRational:
    case FieldType::Double:
    case FieldType::Long8:
    case FieldType::SignedLong8:
    case FieldType::Ifd8:
        return 8;
    }
    return 0;
}

// Whether every value that a directory keeps outside its own table lies inside the file.
bool ValuesInside(const TiffLayout& layout, const std::vector<std::uint8_t>& table,
                  std::uint64_t entries, std::uint64_t fileBytes) {
    const auto offsetBytes = static_cast<std::uint64_t>(layout.offsetBytes());
    for (std::uint64_t i = 0; i < entries; ++i) {
        const std::size_t at = static_cast<std::size_t>(i * layout.entryBytes());
        const auto bytes = FieldTypeBytes(layout.get(table, at + 2, 2));
        const auto count = layout.get(table, at + 4, layout.offsetBytes());
        if (bytes == 0 || count <= offsetBytes / bytes)
            continue; // unknown to this check, or held inline
        const auto valueAt = layout.get(table, at + 4 + offsetBytes, layout.offsetBytes());
        if (count > fileBytes / bytes || valueAt > fileBytes - count * bytes)
            return false;
    }
    return true;
}

} // namespace

bool TiffDirectoriesComplete(HeaderReader& reader, std::uint64_t fileBytes) {
    const auto start = ReadStart(reader);
    if (!start)
        return false;
    const TiffLayout& layout = start->layout;
    const auto countBytes = static_cast<std::size_t>(layout.countBytes());
    const auto offsetBytes = static_cast<std::size_t>(layout.offsetBytes());
    std::set<std::uint64_t> seen;
    std::uint64_t directory = start->firstDirectory;
    for (int page = 0; page < kMaxDirectories; ++page) {
        if (directory == 0)
            return page > 0;
        if (!seen.insert(directory).second)
            return false; // a loop
        const auto count = reader.read(directory, countBytes);
        if (count.size() < countBytes)
            return false;
        const auto entries = layout.get(count, 0, layout.countBytes());
        if (entries == 0 || entries > kMaxEntries)
            return false;
        const auto tableBytes = static_cast<std::size_t>(entries * layout.entryBytes());
        const auto table = reader.read(directory + countBytes, tableBytes + offsetBytes);
        if (table.size() < tableBytes + offsetBytes ||
            !ValuesInside(layout, table, entries, fileBytes))
            return false;
        directory = layout.get(table, tableBytes, layout.offsetBytes());
    }
    return false;
}

std::optional<TiffFacts> PeekTiff(HeaderReader& reader) {
    const auto start = ReadStart(reader);
    if (!start)
        return std::nullopt;
    const TiffLayout& layout = start->layout;
    const auto directory = start->firstDirectory;

    const auto countBytes = reader.read(directory, static_cast<std::size_t>(layout.countBytes()));
    if (countBytes.size() < static_cast<std::size_t>(layout.countBytes()))
        return std::nullopt;
    const auto entries = layout.get(countBytes, 0, layout.countBytes());
    if (entries == 0 || entries > kMaxEntries)
        return std::nullopt;
    const auto table = reader.read(directory + static_cast<std::uint64_t>(layout.countBytes()),
                                   static_cast<std::size_t>(entries) * layout.entryBytes());
    if (table.size() < static_cast<std::size_t>(entries) * layout.entryBytes())
        return std::nullopt;

    TiffFacts facts;
    for (std::size_t i = 0; i < entries; ++i) {
        const std::vector<std::uint8_t> entry(
            table.begin() + static_cast<std::ptrdiff_t>(i * layout.entryBytes()),
            table.begin() + static_cast<std::ptrdiff_t>((i + 1) * layout.entryBytes()));
        const auto tag = static_cast<Tag>(layout.get(entry, 0, 2));
        int* field = nullptr;
        switch (tag) {
        case Tag::BitsPerSample:
            field = &facts.bitsPerSample;
            break;
        case Tag::Compression:
            field = &facts.compression;
            break;
        case Tag::Photometric:
            field = &facts.photometric;
            break;
        case Tag::SamplesPerPixel:
            field = &facts.samplesPerPixel;
            break;
        case Tag::Predictor:
            field = &facts.predictor;
            break;
        default:
            continue;
        }
        if (const auto value = FirstValue(reader, layout, entry); value && *value <= 0xFFFF)
            *field = static_cast<int>(*value);
    }
    if (facts.bitsPerSample < 1 || facts.bitsPerSample > 64 || facts.samplesPerPixel < 1)
        return std::nullopt;
    return facts;
}

} // namespace kovi
