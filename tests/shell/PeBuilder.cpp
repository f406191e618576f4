#include "PeBuilder.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>

#include <algorithm>

namespace testpe {
namespace {

constexpr quint32 kFileAlignment = 0x200;
constexpr quint32 kPeOffset = 0x80;
constexpr quint32 kTextRva = 0x1000;
constexpr quint32 kRsrcRva = 0x2000;
constexpr quint32 kHeadersSize = 0x200;

quint32 alignUp(quint32 value, quint32 alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

// A resource with one language, under a name or an id.
struct Leaf {
    QString name;
    quint32 id = 0;
    QByteArray data;
    int icon = -1;   // index into Image::icons
    int group = -1;  // index into Image::groups
    quint32 languageDir = 0;
    quint32 string = 0;
    quint32 dataEntry = 0;
    quint32 dataAt = 0;
};

struct Type {
    quint32 id;
    std::vector<Leaf> leaves;
    quint32 namesDir = 0;
};

QByteArray groupData(const Image &image, const Group &group)
{
    QByteArray data(6 + 14 * qsizetype(group.icons.size()), '\0');
    putU16(data, 2, 1);
    putU16(data, 4, quint16(group.icons.size()));
    qsizetype at = 6;
    for (const int index : group.icons) {
        const Icon &icon = image.icons.at(size_t(index));
        data[at] = char(icon.width);
        data[at + 1] = char(icon.height);
        putU16(data, at + 4, 1);
        putU16(data, at + 6, icon.bitCount);
        putU32(data, at + 8, quint32(icon.data.size()));
        putU16(data, at + 12, icon.id);
        at += 14;
    }
    return data;
}

void putDirectory(QByteArray &rsrc, quint32 at, quint16 named, quint16 ids)
{
    putU16(rsrc, at + 12, named);
    putU16(rsrc, at + 14, ids);
}

// The resource section's data for `image`, filling in the section-relative parts of `layout`.
QByteArray resourceSection(const Image &image, Layout &layout)
{
    std::vector<Type> types;
    if (!image.icons.empty()) {
        Type icons{3, {}};
        for (size_t i = 0; i < image.icons.size(); ++i)
            icons.leaves.push_back(Leaf{{}, image.icons[i].id, image.icons[i].data, int(i)});
        types.push_back(std::move(icons));
    }
    if (!image.groups.empty()) {
        Type groups{14, {}};
        for (size_t i = 0; i < image.groups.size(); ++i) {
            const Group &group = image.groups[i];
            groups.leaves.push_back(Leaf{group.name, group.id, groupData(image, group), -1, int(i)});
        }
        // Named entries come first in a resource directory.
        std::stable_partition(groups.leaves.begin(), groups.leaves.end(),
                              [](const Leaf &leaf) { return !leaf.name.isEmpty(); });
        types.push_back(std::move(groups));
    }
    if (image.versionResource)
        types.push_back(Type{16, {Leaf{{}, 1, QByteArray(92, '\x01')}}});

    quint32 cursor = 16 + 8 * quint32(types.size());
    for (Type &type : types) {
        type.namesDir = cursor;
        cursor += 16 + 8 * quint32(type.leaves.size());
    }
    for (Type &type : types) {
        for (Leaf &leaf : type.leaves) {
            leaf.languageDir = cursor;
            cursor += 16 + 8;
        }
    }
    for (Type &type : types) {
        for (Leaf &leaf : type.leaves) {
            if (!leaf.name.isEmpty()) {
                leaf.string = cursor;
                cursor = alignUp(cursor + 2 + 2 * quint32(leaf.name.size()), 4);
            }
        }
    }
    for (Type &type : types) {
        for (Leaf &leaf : type.leaves) {
            leaf.dataEntry = cursor;
            cursor += 16;
        }
    }
    // The icon images go last, so that a file cut anywhere before their end lacks one.
    std::vector<Leaf *> order;
    for (int pass = 0; pass < 2; ++pass) {
        for (Type &type : types) {
            if ((type.id == 3) == (pass == 1)) {
                for (Leaf &leaf : type.leaves)
                    order.push_back(&leaf);
            }
        }
    }
    for (Leaf *leaf : order) {
        leaf->dataAt = alignUp(cursor, 8);
        cursor = leaf->dataAt + quint32(leaf->data.size());
    }

    QByteArray rsrc(cursor, '\0');
    putDirectory(rsrc, 0, 0, quint16(types.size()));
    for (size_t t = 0; t < types.size(); ++t) {
        const Type &type = types[t];
        const quint32 entry = 16 + 8 * quint32(t);
        putU32(rsrc, entry, type.id);
        putU32(rsrc, entry + 4, 0x80000000u | type.namesDir);
        if (type.id == 14)
            layout.groupTypeEntry = entry;
        const auto named = std::count_if(type.leaves.begin(), type.leaves.end(),
                                         [](const Leaf &leaf) { return !leaf.name.isEmpty(); });
        putDirectory(rsrc, type.namesDir, quint16(named), quint16(type.leaves.size() - size_t(named)));
        for (size_t l = 0; l < type.leaves.size(); ++l) {
            const Leaf &leaf = type.leaves[l];
            const quint32 nameEntry = type.namesDir + 16 + 8 * quint32(l);
            putU32(rsrc, nameEntry, leaf.name.isEmpty() ? leaf.id : 0x80000000u | leaf.string);
            putU32(rsrc, nameEntry + 4, 0x80000000u | leaf.languageDir);
            putDirectory(rsrc, leaf.languageDir, 0, 1);
            putU32(rsrc, leaf.languageDir + 16, 0x409);
            putU32(rsrc, leaf.languageDir + 20, leaf.dataEntry);
            if (!leaf.name.isEmpty()) {
                putU16(rsrc, leaf.string, quint16(leaf.name.size()));
                for (qsizetype c = 0; c < leaf.name.size(); ++c)
                    putU16(rsrc, leaf.string + 2 + 2 * c, leaf.name.at(c).unicode());
            }
            putU32(rsrc, leaf.dataEntry, kRsrcRva + leaf.dataAt);
            putU32(rsrc, leaf.dataEntry + 4, quint32(leaf.data.size()));
            rsrc.replace(leaf.dataAt, leaf.data.size(), leaf.data);

            if (type.id == 14 && l == 0) {
                layout.groupNameEntry = nameEntry;
                layout.groupLanguageEntry = leaf.languageDir + 16;
                layout.groupDataEntry = leaf.dataEntry;
                layout.groupData = leaf.dataAt;
            }
            if (leaf.icon >= 0) {
                layout.iconDataEntries[size_t(leaf.icon)] = leaf.dataEntry;
                layout.iconData[size_t(leaf.icon)] = leaf.dataAt;
                layout.iconDataEnd = std::max<qsizetype>(layout.iconDataEnd, leaf.dataAt + leaf.data.size());
            }
        }
    }
    return rsrc;
}

void putSection(QByteArray &bytes, qsizetype at, const char *name, quint32 rva, quint32 virtualSize,
                quint32 rawOffset, quint32 rawSize, quint32 characteristics)
{
    bytes.replace(at, qsizetype(qstrlen(name)), name);
    putU32(bytes, at + 8, virtualSize);
    putU32(bytes, at + 12, rva);
    putU32(bytes, at + 16, rawSize);
    putU32(bytes, at + 20, rawOffset);
    putU32(bytes, at + 36, characteristics);
}

void shift(qsizetype &offset, qsizetype by)
{
    if (offset >= 0)
        offset += by;
}

} // namespace

Built build(const Image &image)
{
    Built built;
    Layout &at = built.at;
    at.iconDataEntries.assign(image.icons.size(), -1);
    at.iconData.assign(image.icons.size(), -1);

    const bool pe32 = image.format == Format::Pe32;
    const quint16 optionalSize = pe32 ? 224 : 240;
    const qsizetype optional = kPeOffset + 24;
    const qsizetype directories = optional + (pe32 ? 96 : 112);
    const qsizetype sectionTable = optional + optionalSize;

    QByteArray rsrc;
    if (image.resources)
        rsrc = resourceSection(image, at);
    const quint32 rsrcRaw = alignUp(quint32(rsrc.size()), kFileAlignment);
    const quint32 textRaw = kHeadersSize;
    const quint32 rsrcFile = textRaw + kFileAlignment;

    QByteArray &bytes = built.bytes;
    bytes.fill('\0', rsrcFile + rsrcRaw);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    putU32(bytes, 0x3C, kPeOffset);
    bytes.replace(kPeOffset, 4, QByteArray("PE\0\0", 4));
    putU16(bytes, kPeOffset + 4, pe32 ? 0x14C : 0x8664);
    putU16(bytes, kPeOffset + 6, image.resources ? 2 : 1);
    putU16(bytes, kPeOffset + 20, optionalSize);
    putU16(bytes, kPeOffset + 22, pe32 ? 0x0102 : 0x0022);

    putU16(bytes, optional, pe32 ? 0x10B : 0x20B);
    putU32(bytes, optional + 16, kTextRva); // entry point
    putU32(bytes, optional + 32, 0x1000);   // section alignment
    putU32(bytes, optional + 36, kFileAlignment);
    putU32(bytes, optional + 56, alignUp(kRsrcRva + quint32(rsrc.size()), 0x1000));
    putU32(bytes, optional + 60, kHeadersSize);
    putU16(bytes, optional + 68, 2);        // GUI subsystem
    putU32(bytes, directories - 4, 16);
    if (image.resources) {
        putU32(bytes, directories + 16, kRsrcRva);
        putU32(bytes, directories + 20, quint32(rsrc.size()));
    }

    putSection(bytes, sectionTable, ".text", kTextRva, 1, textRaw, kFileAlignment, 0x60000020);
    bytes[textRaw] = char(0xC3); // ret
    if (image.resources) {
        putSection(bytes, sectionTable + 40, ".rsrc", kRsrcRva, quint32(rsrc.size()), rsrcFile, rsrcRaw,
                   0x40000040);
        bytes.replace(rsrcFile, rsrc.size(), rsrc);
        at.rsrcSection = sectionTable + 40;
        at.rsrc = rsrcFile;
        at.rsrcRva = kRsrcRva;
        for (qsizetype *offset : {&at.groupTypeEntry, &at.groupNameEntry, &at.groupLanguageEntry,
                                  &at.groupDataEntry, &at.groupData, &at.iconDataEnd})
            shift(*offset, rsrcFile);
        for (qsizetype &offset : at.iconDataEntries)
            shift(offset, rsrcFile);
        for (qsizetype &offset : at.iconData)
            shift(offset, rsrcFile);
    }
    at.sectionCount = kPeOffset + 6;
    at.optionalSize = kPeOffset + 20;
    at.optionalMagic = optional;
    at.directoryCount = directories - 4;
    at.resourceDirectory = directories + 16;
    return built;
}

QByteArray bitmapIcon(QRgb fill, QRgb topLeft)
{
    constexpr int side = 32;
    QByteArray data(40 + side * side * 4 + side * 4, '\0');
    putU32(data, 0, 40);
    putU32(data, 4, side);
    putU32(data, 8, 2 * side); // colour rows and mask rows
    putU16(data, 12, 1);
    putU16(data, 14, 32);
    putU32(data, 20, side * side * 4 + side * 4);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const QRgb pixel = (x == 0 && y == 0) ? topLeft : fill;
            const qsizetype at = 40 + (qsizetype(side - 1 - y) * side + x) * 4; // bottom-up rows
            data[at] = char(qBlue(pixel));
            data[at + 1] = char(qGreen(pixel));
            data[at + 2] = char(qRed(pixel));
            data[at + 3] = char(qAlpha(pixel));
        }
    }
    return data; // the mask stays all zero: every pixel opaque
}

QByteArray pngIcon(int side, QRgb fill)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(fill);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

Image twoIconImage(Format format)
{
    Image image;
    image.format = format;
    image.icons = {Icon{bitmapIcon(kRed, kBlue), 32, 32, 32, 1}, Icon{pngIcon(48, kGreen), 48, 48, 32, 2}};
    image.groups = {Group{{}, 1, {1, 0}}};
    return image;
}

Image oneIconImage(Format format)
{
    Image image;
    image.format = format;
    image.icons = {Icon{bitmapIcon(kRed, kBlue), 32, 32, 32, 1}};
    image.groups = {Group{{}, 1, {0}}};
    return image;
}

void putU16(QByteArray &bytes, qsizetype at, quint16 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

void putU32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

quint32 getU32(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

} // namespace testpe
