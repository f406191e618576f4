#pragma once

// Builds small Windows executables in memory: headers, a stub code section and a
// resource section with icons, enough for the icon reader and nothing more.

#include <QByteArray>
#include <QMetaType>
#include <QRgb>
#include <QString>

#include <vector>

namespace testpe {

enum class Format { Pe32, Pe32Plus };

// One RT_ICON image and the way the group describes it.
struct Icon {
    QByteArray data;
    quint8 width = 32;  // 0 for 256
    quint8 height = 32;
    quint16 bitCount = 32;
    quint16 id = 1;
};

// One RT_GROUP_ICON resource: a name (stored before the numbered ones) or an id.
struct Group {
    QString name;
    quint16 id = 1;
    std::vector<int> icons; // indexes into Image::icons
};

struct Image {
    Format format = Format::Pe32;
    std::vector<Icon> icons;
    std::vector<Group> groups;
    bool resources = true;        // false: no resource section or directory at all
    bool versionResource = false; // an unrelated resource type besides the icons
};

// File offsets of the structures tests damage; -1 where the image has none.
struct Layout {
    qsizetype sectionCount = -1;       // COFF NumberOfSections
    qsizetype optionalMagic = -1;
    qsizetype optionalSize = -1;       // COFF SizeOfOptionalHeader
    qsizetype directoryCount = -1;     // NumberOfRvaAndSizes
    qsizetype resourceDirectory = -1;  // data directory 2: RVA, size
    qsizetype rsrcSection = -1;        // section header of the resource section
    qsizetype rsrc = -1;               // start of the resource section's data
    quint32 rsrcRva = 0;
    qsizetype groupTypeEntry = -1;     // root entry of RT_GROUP_ICON
    qsizetype groupNameEntry = -1;     // first entry of the group names directory
    qsizetype groupLanguageEntry = -1; // language entry of the first group
    qsizetype groupDataEntry = -1;     // data entry of the first group
    qsizetype groupData = -1;          // the first group's GRPICONDIR
    std::vector<qsizetype> iconDataEntries; // per Image::icons
    std::vector<qsizetype> iconData;
    qsizetype iconDataEnd = -1;        // one past the last icon image byte
};

struct Built {
    QByteArray bytes;
    Layout at;
};

Built build(const Image &image);

// A 32x32 icon of 32 bits per pixel with an all-opaque mask, painted `fill` except for
// its top-left pixel.
QByteArray bitmapIcon(QRgb fill, QRgb topLeft);
// A PNG icon of side x side pixels in one colour.
QByteArray pngIcon(int side, QRgb fill);

// A 32x32 bitmap icon (red, blue top-left) and a 48x48 PNG (green) in one group.
Image twoIconImage(Format format);
// Only the 32x32 bitmap icon of twoIconImage.
Image oneIconImage(Format format);

constexpr QRgb kRed = 0xFFE01010;
constexpr QRgb kBlue = 0xFF1020E0;
constexpr QRgb kGreen = 0xFF10C020;

void putU16(QByteArray &bytes, qsizetype at, quint16 value);
void putU32(QByteArray &bytes, qsizetype at, quint32 value);
quint32 getU32(const QByteArray &bytes, qsizetype at);

} // namespace testpe

Q_DECLARE_METATYPE(testpe::Image)
Q_DECLARE_METATYPE(testpe::Format)
