#include "platform/shell/ExeIcon.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <optional>
#include <variant>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
#include <QDir>
#include <memory>
#include <qt_windows.h>
#include <shellapi.h>
#include <type_traits>
#endif

namespace shell {
namespace {

constexpr quint32 kTypeIcon = 3;
constexpr quint32 kTypeGroupIcon = 14;

constexpr quint64 kDosHeaderSize = 0x40;
constexpr quint64 kCoffHeaderSize = 20;
constexpr quint64 kSectionHeaderSize = 40;
constexpr quint64 kDirectoryHeaderSize = 16;
constexpr quint64 kDirectoryEntrySize = 8;
constexpr quint64 kDataEntrySize = 16;
constexpr quint32 kGroupHeaderSize = 6;
constexpr quint32 kGroupEntrySize = 14;
constexpr quint32 kIcoHeaderSize = 6;
constexpr quint32 kIcoEntrySize = 16;
constexpr quint32 kResourceDirectoryIndex = 2;

// Limits that keep a hostile file from costing much time or memory. Real icons have a
// handful of images of at most 256x256; a few hundred kilobytes each.
constexpr qint64 kMaxFileSize = qint64(512) * 1024 * 1024;
constexpr quint32 kMaxGroupEntries = 256;
constexpr int kMaxDecodedImages = 64;
constexpr quint32 kMaxImageBytes = 4 * 1024 * 1024;
constexpr quint32 kMaxPngSide = 1024;

constexpr int kLargeIconSide = 32;

ExeIcon failure(IconProblem problem, const QString &detail)
{
    ExeIcon result;
    result.problem = problem;
    result.detail = detail;
    return result;
}

// A little-endian structure already checked to lie inside the buffer; field offsets
// are constants of the format and are checked again, so a slip reads zero, not past it.
class Block
{
public:
    Block(const uchar *data, quint64 size) : m_data(data), m_size(size) {}

    quint64 size() const { return m_size; }
    QByteArrayView bytes() const { return QByteArrayView(m_data, qsizetype(m_size)); }

    quint8 u8(quint64 at) const { return field(at, 1) ? m_data[at] : 0; }
    quint16 u16(quint64 at) const { return field(at, 2) ? qFromLittleEndian<quint16>(m_data + at) : 0; }
    quint32 u32(quint64 at) const { return field(at, 4) ? qFromLittleEndian<quint32>(m_data + at) : 0; }

    std::optional<Block> slice(quint64 at, quint64 length) const
    {
        if (!fits(at, length))
            return std::nullopt;
        return Block(m_data + at, length);
    }

private:
    bool fits(quint64 at, quint64 length) const { return at <= m_size && length <= m_size - at; }

    bool field(quint64 at, quint64 length) const
    {
        const bool inside = fits(at, length);
        Q_ASSERT_X(inside, "Block", "field read outside a checked structure");
        return inside;
    }

    const uchar *m_data;
    quint64 m_size;
};

// One entry of a resource directory.
struct Entry {
    quint32 name = 0;
    quint32 target = 0;

    bool hasId(quint32 id) const { return name == id; } // a named entry has the top bit set
    bool isDirectory() const { return target & 0x80000000u; }
    quint32 offset() const { return target & 0x7FFFFFFFu; }
};

struct Directory {
    Block entries;
    quint32 count;

    Entry at(quint32 index) const
    {
        const quint64 base = quint64(index) * kDirectoryEntrySize;
        return Entry{entries.u32(base), entries.u32(base + 4)};
    }
};

struct DataRef {
    quint32 rva;
    quint32 size;
};

enum class WalkError { Empty, Outside, TooDeep };
using Walk = std::variant<DataRef, WalkError>;

struct Section {
    quint64 virtualAddress;
    quint64 virtualEnd;
    quint64 rawOffset;
    quint64 rawSize;
};

struct Candidate {
    QImage image;
    int depth;
};

// Whether the shell would rather show `a` than `b` as the large icon: the size nearest
// 32x32, then the larger of two equally near sizes, then the deeper colour.
bool preferred(const Candidate &a, const Candidate &b)
{
    const auto distance = [](const QImage &image) {
        return qAbs(image.width() - kLargeIconSide) + qAbs(image.height() - kLargeIconSide);
    };
    const int da = distance(a.image);
    const int db = distance(b.image);
    if (da != db)
        return da < db;
    const qint64 areaA = qint64(a.image.width()) * a.image.height();
    const qint64 areaB = qint64(b.image.width()) * b.image.height();
    if (areaA != areaB)
        return areaA > areaB;
    return a.depth > b.depth;
}

bool isPng(QByteArrayView data)
{
    return data.startsWith(QByteArrayView("\x89PNG\r\n\x1a\n", 8));
}

bool isBitmap(QByteArrayView data)
{
    return data.size() >= 40 && qFromLittleEndian<quint32>(data.data()) >= 40;
}

// An .ico file holding the one image described by a group entry.
QByteArray icoFile(const Block &groupEntry, QByteArrayView image)
{
    QByteArray ico(kIcoHeaderSize + kIcoEntrySize, '\0');
    uchar *p = reinterpret_cast<uchar *>(ico.data());
    qToLittleEndian<quint16>(0, p);
    qToLittleEndian<quint16>(1, p + 2);
    qToLittleEndian<quint16>(1, p + 4);
    uchar *e = p + kIcoHeaderSize;
    e[0] = groupEntry.u8(0); // width, 0 for 256
    e[1] = groupEntry.u8(1); // height, 0 for 256
    e[2] = groupEntry.u8(2); // colour count
    e[3] = 0;
    qToLittleEndian<quint16>(groupEntry.u16(4), e + 4);   // planes
    qToLittleEndian<quint16>(groupEntry.u16(6), e + 6);   // bits per pixel
    qToLittleEndian<quint32>(quint32(image.size()), e + 8);
    qToLittleEndian<quint32>(kIcoHeaderSize + kIcoEntrySize, e + 12);
    ico.append(image.data(), image.size());
    return ico;
}

QImage decodeIco(const QByteArray &ico)
{
    QBuffer buffer;
    buffer.setData(ico);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, "ico");
    return reader.read();
}

int colourDepth(const Block &groupEntry, QByteArrayView image, const QImage &decoded)
{
    if (const quint16 bits = groupEntry.u16(6))
        return bits;
    if (isBitmap(image))
        return qFromLittleEndian<quint16>(image.data() + 14);
    return decoded.depth();
}

class PeReader
{
public:
    explicit PeReader(QByteArrayView bytes)
        : m_file(reinterpret_cast<const uchar *>(bytes.data()), quint64(bytes.size()))
    {
    }

    ExeIcon read();

private:
    std::optional<Block> atRva(quint64 rva, quint64 length) const;
    std::optional<Block> atResource(quint64 offset, quint64 length) const;
    std::optional<Directory> directory(quint32 offset) const;
    Walk firstData(Entry entry, int maxDirectories) const;
    std::optional<QByteArrayView> iconImage(quint16 id, QString *why) const;
    ExeIcon readGroup(const Block &group) const;

    Block m_file;
    std::vector<Section> m_sections;
    quint64 m_resourceRva = 0;
    QHash<quint16, Entry> m_icons; // RT_ICON entries by id, the first of each id
};

ExeIcon PeReader::read()
{
    const auto notExecutable = [](const char *why) {
        return failure(IconProblem::NotExecutable, QString::fromLatin1(why));
    };
    const auto damaged = [](const char *why) {
        return failure(IconProblem::Damaged, QString::fromLatin1(why));
    };
    const auto noIcon = [](const char *why) {
        return failure(IconProblem::NoIcon, QString::fromLatin1(why));
    };

    const auto dos = m_file.slice(0, kDosHeaderSize);
    if (!dos || dos->u16(0) != 0x5A4D) // "MZ"
        return notExecutable("the file is not a Windows program");
    const quint64 peOffset = dos->u32(0x3C);
    const auto pe = m_file.slice(peOffset, 4 + kCoffHeaderSize);
    if (!pe || pe->u32(0) != 0x00004550) // "PE\0\0"
        return notExecutable("the file is not a Windows program");

    const quint16 sectionCount = pe->u16(6);
    const quint16 optionalSize = pe->u16(20);
    const quint64 optionalOffset = peOffset + 4 + kCoffHeaderSize;
    const auto optional = m_file.slice(optionalOffset, optionalSize);
    if (!optional || optional->size() < 2)
        return notExecutable("the program header is cut short");

    quint64 countAt = 0;
    switch (optional->u16(0)) {
    case 0x10B: // PE32
        countAt = 92;
        break;
    case 0x20B: // PE32+
        countAt = 108;
        break;
    default:
        return notExecutable("the file is not a Windows program");
    }
    if (optional->size() < countAt + 4)
        return notExecutable("the program header is cut short");
    const quint32 directoryCount = optional->u32(countAt);
    if (directoryCount <= kResourceDirectoryIndex)
        return noIcon("the file has no resources");
    const auto resources = optional->slice(countAt + 4 + kResourceDirectoryIndex * 8, 8);
    if (!resources)
        return damaged("the program header is inconsistent");
    m_resourceRva = resources->u32(0);
    if (m_resourceRva == 0 || resources->u32(4) == 0)
        return noIcon("the file has no resources");

    const auto table = m_file.slice(optionalOffset + optionalSize, sectionCount * kSectionHeaderSize);
    if (!table)
        return damaged("the section table lies outside the file");
    m_sections.reserve(sectionCount);
    for (quint32 i = 0; i < sectionCount; ++i) {
        const quint64 at = i * kSectionHeaderSize;
        const quint64 virtualSize = table->u32(at + 8);
        const quint64 virtualAddress = table->u32(at + 12);
        const quint64 rawSize = table->u32(at + 16);
        const quint64 rawOffset = table->u32(at + 20);
        m_sections.push_back({virtualAddress, virtualAddress + std::max(virtualSize, rawSize), rawOffset, rawSize});
    }

    const auto root = directory(0);
    if (!root)
        return damaged("the resource directory lies outside the file");
    std::optional<Entry> groupType;
    std::optional<Entry> iconType;
    for (quint32 i = 0; i < root->count; ++i) {
        const Entry entry = root->at(i);
        if (!groupType && entry.hasId(kTypeGroupIcon))
            groupType = entry;
        if (!iconType && entry.hasId(kTypeIcon))
            iconType = entry;
    }
    if (!groupType)
        return noIcon("the file has no icon resource");

    if (iconType && iconType->isDirectory()) {
        if (const auto icons = directory(iconType->offset())) {
            for (quint32 i = icons->count; i-- > 0;) { // backwards, so the first of an id wins
                const Entry entry = icons->at(i);
                if (entry.name <= 0xFFFF)
                    m_icons.insert(quint16(entry.name), entry);
            }
        }
    }

    // Type, name, language: the group's type entry leads through at most two directories.
    const Walk walk = firstData(*groupType, 2);
    if (const auto *error = std::get_if<WalkError>(&walk)) {
        switch (*error) {
        case WalkError::Empty:
            return noIcon("the icon resource is empty");
        case WalkError::Outside:
            return damaged("the resource directory points outside the file");
        case WalkError::TooDeep:
            return damaged("the resource directory refers back to itself");
        }
    }
    const DataRef groupData = std::get<DataRef>(walk);
    const auto group = atRva(groupData.rva, groupData.size);
    if (!group)
        return damaged("the icon group lies outside the file");
    return readGroup(*group);
}

ExeIcon PeReader::readGroup(const Block &group) const
{
    if (group.size() < kGroupHeaderSize || group.u16(0) != 0 || group.u16(2) != 1 || group.u16(4) == 0)
        return failure(IconProblem::Damaged, QStringLiteral("the icon group is malformed"));
    const quint16 count = group.u16(4);
    if (group.size() - kGroupHeaderSize < quint64(count) * kGroupEntrySize)
        return failure(IconProblem::Damaged, QStringLiteral("the icon group lists more images than it holds"));

    std::optional<Candidate> best;
    QString why;
    int decoded = 0;
    const quint32 considered = std::min<quint32>(count, kMaxGroupEntries);
    for (quint32 i = 0; i < considered && decoded < kMaxDecodedImages; ++i) {
        const Block entry = *group.slice(kGroupHeaderSize + i * kGroupEntrySize, kGroupEntrySize);
        const auto image = iconImage(entry.u16(12), why.isEmpty() ? &why : nullptr);
        if (!image)
            continue;
        ++decoded;
        Candidate candidate{decodeIco(icoFile(entry, *image)), 0};
        if (candidate.image.isNull()) {
            if (why.isEmpty())
                why = QStringLiteral("an icon image cannot be decoded");
            continue;
        }
        candidate.depth = colourDepth(entry, *image, candidate.image);
        if (!best || preferred(candidate, *best))
            best = std::move(candidate);
    }
    if (!best)
        return failure(IconProblem::Damaged, why.isEmpty() ? QStringLiteral("the icon has no usable image") : why);

    ExeIcon result;
    result.image = std::move(best->image);
    result.problem = IconProblem::None;
    return result;
}

// The bytes of the RT_ICON image `id`, or nothing, with the reason in `why` when given.
std::optional<QByteArrayView> PeReader::iconImage(quint16 id, QString *why) const
{
    const auto fail = [why](const char *reason) -> std::optional<QByteArrayView> {
        if (why)
            *why = QString::fromLatin1(reason);
        return std::nullopt;
    };
    const auto found = m_icons.constFind(id);
    if (found == m_icons.constEnd())
        return fail("an icon image is missing");
    // Name, language: an image's name entry leads through at most one directory.
    const Walk walk = firstData(*found, 1);
    if (!std::holds_alternative<DataRef>(walk))
        return fail("the resource directory of an icon image is damaged");
    const DataRef data = std::get<DataRef>(walk);
    if (data.size > kMaxImageBytes)
        return fail("an icon image is implausibly large");
    const auto block = atRva(data.rva, data.size);
    if (!block)
        return fail("an icon image lies outside the file");
    const QByteArrayView bytes = block->bytes();
    if (isPng(bytes)) {
        if (bytes.size() < 24)
            return fail("an icon image is cut short");
        const quint32 width = qFromBigEndian<quint32>(bytes.data() + 16);
        const quint32 height = qFromBigEndian<quint32>(bytes.data() + 20);
        if (width > kMaxPngSide || height > kMaxPngSide)
            return fail("an icon image is implausibly large");
    }
    return bytes;
}

// The bytes at `rva`, provided that they lie wholly in the file data of one section.
std::optional<Block> PeReader::atRva(quint64 rva, quint64 length) const
{
    if (rva > 0xFFFFFFFFu || length > 0xFFFFFFFFu - rva) // beyond the 32-bit address space
        return std::nullopt;
    for (const Section &section : m_sections) {
        if (rva < section.virtualAddress || rva >= section.virtualEnd)
            continue;
        const quint64 within = rva - section.virtualAddress;
        if (length > section.rawSize || within > section.rawSize - length)
            return std::nullopt; // in memory only, not in the file
        return m_file.slice(section.rawOffset + within, length);
    }
    return std::nullopt;
}

std::optional<Block> PeReader::atResource(quint64 offset, quint64 length) const
{
    return atRva(m_resourceRva + offset, length);
}

std::optional<Directory> PeReader::directory(quint32 offset) const
{
    const auto header = atResource(offset, kDirectoryHeaderSize);
    if (!header)
        return std::nullopt;
    const quint32 count = quint32(header->u16(12)) + header->u16(14); // named, then id entries
    const auto entries = atResource(quint64(offset) + kDirectoryHeaderSize, count * kDirectoryEntrySize);
    if (!entries)
        return std::nullopt;
    return Directory{*entries, count};
}

// Follows the first entry of each directory below `entry` down to a data entry. At most
// `maxDirectories` are entered, so a directory that refers back to itself or to one above
// it ends the walk instead of looping.
Walk PeReader::firstData(Entry entry, int maxDirectories) const
{
    for (int entered = 0; entry.isDirectory(); ++entered) {
        if (entered == maxDirectories)
            return WalkError::TooDeep;
        const auto below = directory(entry.offset());
        if (!below)
            return WalkError::Outside;
        if (below->count == 0)
            return WalkError::Empty;
        entry = below->at(0);
    }
    const auto data = atResource(entry.offset(), kDataEntrySize);
    if (!data)
        return WalkError::Outside;
    return DataRef{data->u32(0), data->u32(4)};
}

// Opens `fileName` for reading if it is a regular file, or says why not. A device, a
// named pipe or a socket is never read: /dev/zero has no end, and opening a pipe waits
// for a writer that may never come.
std::optional<ExeIcon> openRegularFile(QFile &file, const QString &fileName)
{
#ifdef Q_OS_UNIX
    // Opened without waiting, then judged by what was opened, so the name cannot be
    // swapped for a pipe between the look and the read.
    const QByteArray native = QFile::encodeName(fileName);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return failure(IconProblem::Unreadable,
                       QStringLiteral("the file cannot be opened: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        ::close(fd);
        return failure(IconProblem::Unreadable, folder ? QStringLiteral("the name is a folder, not a file")
                                                       : QStringLiteral("the name is not a regular file"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return failure(IconProblem::Unreadable, QStringLiteral("the file cannot be opened: %1").arg(file.errorString()));
    }
#else
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) {
        return failure(IconProblem::Unreadable, info.isDir() ? QStringLiteral("the name is a folder, not a file")
                                                             : QStringLiteral("the name is not a regular file"));
    }
    file.setFileName(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return failure(IconProblem::Unreadable, QStringLiteral("the file cannot be opened: %1").arg(file.errorString()));
#endif
    return std::nullopt;
}

ExeIcon iconFromFile(const QString &fileName)
{
    QFile file;
    if (const std::optional<ExeIcon> refused = openRegularFile(file, fileName))
        return *refused;
    // The size is known before anything is read.
    const qint64 size = file.size();
    if (size > kMaxFileSize)
        return failure(IconProblem::Unreadable, QStringLiteral("the file is larger than 512 MiB"));
    if (size > 0) {
        if (const uchar *mapped = file.map(0, size))
            return firstIconFromBytes(QByteArrayView(mapped, qsizetype(size)));
    }
    // Not mappable: read what the size promised, and no more.
    const QByteArray bytes = file.read(size);
    if (file.error() != QFileDevice::NoError)
        return failure(IconProblem::Unreadable, QStringLiteral("the file cannot be read: %1").arg(file.errorString()));
    return firstIconFromBytes(bytes);
}

#ifdef Q_OS_WIN
struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;
#endif

} // namespace

ExeIcon firstIconFromBytes(QByteArrayView bytes)
{
    return PeReader(bytes).read();
}

ExeIcon firstIcon(const QString &fileName)
{
#ifdef Q_OS_WIN
    const std::wstring name = QDir::toNativeSeparators(fileName).toStdWString();
    const HICON extracted = ExtractIconW(nullptr, name.c_str(), 0);
    // Null means no icon, 1 that the file is not a program or icon file.
    if (extracted && extracted != reinterpret_cast<HICON>(1)) {
        const IconHandle icon(extracted);
        ExeIcon result;
        result.image = QImage::fromHICON(icon.get());
        if (!result.image.isNull()) {
            result.problem = IconProblem::None;
            return result;
        }
    }
    // The shell found nothing: the file's own parse says why, and covers names the
    // shell cannot open.
#endif
    return iconFromFile(fileName);
}

} // namespace shell
