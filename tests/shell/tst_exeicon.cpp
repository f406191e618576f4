#include "PeBuilder.h"
#include "platform/shell/ExeIcon.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <future>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using shell::ExeIcon;
using shell::IconProblem;
using namespace testpe;

using Damage = std::function<void(QByteArray &, const Layout &)>;
Q_DECLARE_METATYPE(Damage)
Q_DECLARE_METATYPE(shell::IconProblem)

namespace {

const Format kFormats[] = {Format::Pe32, Format::Pe32Plus};

const char *formatName(Format format)
{
    return format == Format::Pe32 ? "PE32" : "PE32+";
}

// The invariants of every result, whatever the input.
bool consistent(const ExeIcon &icon)
{
    return icon.ok() ? !icon.image.isNull() : icon.image.isNull() && !icon.detail.isEmpty();
}

QByteArray withDamage(const Image &image, const Damage &damage)
{
    Built built = build(image);
    damage(built.bytes, built.at);
    return built.bytes;
}

} // namespace

class ExeIconTest : public QObject
{
    Q_OBJECT

private slots:
    void choosesLargeIcon_data();
    void choosesLargeIcon();
    void firstGroupIsUsed();
    void skipsUnusableImage_data();
    void skipsUnusableImage();
    void noIcon_data();
    void noIcon();
    void notExecutable_data();
    void notExecutable();
    void damaged_data();
    void damaged();
    void truncations_data();
    void truncations();
    void mutations();
    void readsFiles_data();
    void readsFiles();
    void readsRegularFilesOnly();
};

void ExeIconTest::choosesLargeIcon_data()
{
    QTest::addColumn<Image>("image");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<uint>("colour");

    for (const Format format : kFormats) {
        const auto row = [format](const char *name) -> QTestData & { return QTest::addRow("%s %s", formatName(format), name); };
        Image image = twoIconImage(format);
        row("bitmap 32 over png 48, centre") << image << QSize(32, 32) << QPoint(16, 16) << uint(kRed);
        row("bitmap 32 over png 48, top-left") << image << QSize(32, 32) << QPoint(0, 0) << uint(kBlue);

        image.icons = {Icon{pngIcon(16, kRed), 16, 16, 32, 1}, Icon{pngIcon(48, kGreen), 48, 48, 32, 2}};
        image.groups = {Group{{}, 1, {0, 1}}};
        row("equally near: the larger") << image << QSize(48, 48) << QPoint(5, 5) << uint(kGreen);

        image.groups = {Group{{}, 1, {0}}};
        row("only a small one") << image << QSize(16, 16) << QPoint(5, 5) << uint(kRed);

        image.icons = {Icon{pngIcon(256, kGreen), 0, 0, 32, 7}};
        row("256 written as 0") << image << QSize(256, 256) << QPoint(200, 200) << uint(kGreen);

        image.icons = {Icon{pngIcon(32, kGreen), 32, 32, 8, 1}, Icon{bitmapIcon(kRed, kRed), 32, 32, 32, 2}};
        image.groups = {Group{{}, 1, {0, 1}}};
        row("same size: deeper colour, listed last") << image << QSize(32, 32) << QPoint(5, 5) << uint(kRed);
        image.groups = {Group{{}, 1, {1, 0}}};
        row("same size: deeper colour, listed first") << image << QSize(32, 32) << QPoint(5, 5) << uint(kRed);
    }
}

void ExeIconTest::choosesLargeIcon()
{
    QFETCH(Image, image);
    QFETCH(QSize, size);
    QFETCH(QPoint, at);
    QFETCH(uint, colour);

    const ExeIcon icon = shell::firstIconFromBytes(build(image).bytes);
    QVERIFY2(icon.ok(), qPrintable(icon.detail));
    QCOMPARE(icon.image.size(), size);
    QCOMPARE(icon.image.pixel(at), QRgb(colour));
}

void ExeIconTest::firstGroupIsUsed()
{
    // A named group is stored before numbered ones and is the program's icon.
    Image image;
    image.icons = {Icon{pngIcon(32, kGreen), 32, 32, 32, 1}, Icon{pngIcon(32, kRed), 32, 32, 32, 2}};
    image.groups = {Group{{}, 1, {0}}, Group{QStringLiteral("MAINICON"), 0, {1}}};
    const ExeIcon icon = shell::firstIconFromBytes(build(image).bytes);
    QVERIFY2(icon.ok(), qPrintable(icon.detail));
    QCOMPARE(icon.image.pixel(3, 3), kRed);
}

void ExeIconTest::skipsUnusableImage_data()
{
    QTest::addColumn<Damage>("damage");

    // The image below holds a 48x48 PNG and then, last in the file, the preferred 32x32 bitmap.
    QTest::newRow("bitmap cut short by the end of the file") << Damage([](QByteArray &bytes, const Layout &at) {
        bytes.truncate(at.iconData[1] + 100);
    });
    QTest::newRow("bitmap missing") << Damage([](QByteArray &bytes, const Layout &at) {
        putU16(bytes, at.groupData + 6 + 14 + 12, 99); // the second group entry's image id
    });
    QTest::newRow("bitmap undecodable") << Damage([](QByteArray &bytes, const Layout &at) {
        putU16(bytes, at.iconData[1] + 14, 7); // bits per pixel
    });
}

void ExeIconTest::skipsUnusableImage()
{
    QFETCH(Damage, damage);
    Image image;
    image.icons = {Icon{pngIcon(48, kGreen), 48, 48, 32, 1}, Icon{bitmapIcon(kRed, kBlue), 32, 32, 32, 2}};
    image.groups = {Group{{}, 1, {0, 1}}};
    QVERIFY(shell::firstIconFromBytes(build(image).bytes).image.size() == QSize(32, 32));

    const ExeIcon icon = shell::firstIconFromBytes(withDamage(image, damage));
    QVERIFY2(icon.ok(), qPrintable(icon.detail));
    QCOMPARE(icon.image.size(), QSize(48, 48));
}

void ExeIconTest::noIcon_data()
{
    QTest::addColumn<QByteArray>("bytes");

    for (const Format format : kFormats) {
        const auto row = [format](const char *name) -> QTestData & { return QTest::addRow("%s %s", formatName(format), name); };
        Image image;
        image.format = format;
        image.resources = false;
        row("no resources") << build(image).bytes;

        image.resources = true;
        image.versionResource = true;
        row("resources but no icon") << build(image).bytes;

        image = oneIconImage(format);
        image.groups.clear();
        row("images but no group") << build(image).bytes;

        row("too few data directories") << withDamage(oneIconImage(format), [](QByteArray &bytes, const Layout &at) {
            putU32(bytes, at.directoryCount, 2);
        });
        row("empty group directory") << withDamage(oneIconImage(format), [](QByteArray &bytes, const Layout &at) {
            putU16(bytes, at.groupNameEntry - 16 + 14, 0);
        });
    }
}

void ExeIconTest::noIcon()
{
    QFETCH(QByteArray, bytes);
    const ExeIcon icon = shell::firstIconFromBytes(bytes);
    QCOMPARE(icon.problem, IconProblem::NoIcon);
    QVERIFY(consistent(icon));
}

void ExeIconTest::notExecutable_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray valid = build(oneIconImage(Format::Pe32)).bytes;
    const auto damaged = [](const Damage &damage) {
        return withDamage(oneIconImage(Format::Pe32), damage);
    };
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("This is not a program, it only says so at length.\n").repeated(4);
    QTest::newRow("just MZ") << QByteArray("MZ");
    QTest::newRow("cut inside the PE header") << valid.left(0x90);
    QTest::newRow("PE header beyond the end") << damaged([](QByteArray &bytes, const Layout &) {
        putU32(bytes, 0x3C, 0xFFFFFF00);
    });
    QTest::newRow("16-bit program signature") << damaged([](QByteArray &bytes, const Layout &) {
        const qsizetype header = getU32(bytes, 0x3C);
        bytes[header] = 'N';
        bytes[header + 1] = 'E';
    });
    QTest::newRow("unknown optional header") << damaged([](QByteArray &bytes, const Layout &at) {
        putU16(bytes, at.optionalMagic, 0x107);
    });
    QTest::newRow("optional header too short") << damaged([](QByteArray &bytes, const Layout &at) {
        putU16(bytes, at.optionalSize, 64);
    });
}

void ExeIconTest::notExecutable()
{
    QFETCH(QByteArray, bytes);
    const ExeIcon icon = shell::firstIconFromBytes(bytes);
    QCOMPARE(icon.problem, IconProblem::NotExecutable);
    QVERIFY(consistent(icon));
}

void ExeIconTest::damaged_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<Damage>("damage");

    const auto selfPointer = [](QByteArray &bytes, qsizetype entry, const Layout &at) {
        const qsizetype ownDirectory = entry - 16 - at.rsrc; // the entry is its directory's first
        putU32(bytes, entry + 4, 0x80000000u | quint32(ownDirectory));
    };
    const std::pair<const char *, Damage> cases[] = {
        {"resource RVA beyond the sections", [](QByteArray &bytes, const Layout &at) {
             putU32(bytes, at.resourceDirectory, 0x100000);
         }},
        {"resource section beyond the end", [](QByteArray &bytes, const Layout &at) {
             putU32(bytes, at.rsrcSection + 20, 0x7FFFF000);
         }},
        {"section table beyond the end", [](QByteArray &bytes, const Layout &at) {
             putU16(bytes, at.sectionCount, 0xFFFF);
         }},
        {"subdirectory offset beyond the end", [](QByteArray &bytes, const Layout &at) {
             putU32(bytes, at.groupTypeEntry + 4, 0x80000000u | 0x7FFFFFF0u);
         }},
        {"type entry leads back to the root", [](QByteArray &bytes, const Layout &at) {
             putU32(bytes, at.groupTypeEntry + 4, 0x80000000u);
         }},
        {"name directory points to itself", [selfPointer](QByteArray &bytes, const Layout &at) {
             selfPointer(bytes, at.groupNameEntry, at);
         }},
        {"language directory points to itself", [selfPointer](QByteArray &bytes, const Layout &at) {
             selfPointer(bytes, at.groupLanguageEntry, at);
         }},
        {"group count far above its data", [](QByteArray &bytes, const Layout &at) {
             putU16(bytes, at.groupData + 4, 0xFFFF);
         }},
        {"group of no images", [](QByteArray &bytes, const Layout &at) { putU16(bytes, at.groupData + 4, 0); }},
        {"group of the cursor type", [](QByteArray &bytes, const Layout &at) { putU16(bytes, at.groupData + 2, 2); }},
        {"group shorter than its header", [](QByteArray &bytes, const Layout &at) {
             putU32(bytes, at.groupDataEntry + 4, 4);
         }},
        {"group size beyond the end", [](QByteArray &bytes, const Layout &at) {
             putU32(bytes, at.groupDataEntry + 4, 0x7FFFFFFF);
         }},
        {"group RVA plus size overflows", [](QByteArray &bytes, const Layout &at) {
             putU32(bytes, at.groupDataEntry, 0xFFFFFFF0);
             putU32(bytes, at.groupDataEntry + 4, 0x20);
         }},
        {"group beyond the section's file data", [](QByteArray &bytes, const Layout &at) {
             putU32(bytes, at.rsrcSection + 8, 0x10000);                                // virtual size
             putU32(bytes, at.rsrcSection + 16, quint32(at.groupData - at.rsrc)); // raw size
         }},
        {"image size beyond the end", [](QByteArray &bytes, const Layout &at) {
             putU32(bytes, at.iconDataEntries[0] + 4, quint32(bytes.size()));
         }},
        {"image size huge", [](QByteArray &bytes, const Layout &at) {
             putU32(bytes, at.iconDataEntries[0] + 4, 0xFFFFFFFF);
         }},
        {"image RVA plus size overflows", [](QByteArray &bytes, const Layout &at) {
             putU32(bytes, at.iconDataEntries[0], 0xFFFFF000);
         }},
        {"image missing", [](QByteArray &bytes, const Layout &at) { putU16(bytes, at.groupData + 6 + 12, 99); }},
        {"image undecodable", [](QByteArray &bytes, const Layout &at) { putU16(bytes, at.iconData[0] + 14, 7); }},
    };
    for (const Format format : kFormats) {
        for (const auto &[name, damage] : cases)
            QTest::addRow("%s %s", formatName(format), name) << format << damage;
    }
}

void ExeIconTest::damaged()
{
    QFETCH(Format, format);
    QFETCH(Damage, damage);
    const ExeIcon icon = shell::firstIconFromBytes(withDamage(oneIconImage(format), damage));
    QCOMPARE(icon.problem, IconProblem::Damaged);
    QVERIFY(consistent(icon));
}

void ExeIconTest::truncations_data()
{
    QTest::addColumn<Format>("format");
    for (const Format format : kFormats)
        QTest::newRow(formatName(format)) << format;
}

void ExeIconTest::truncations()
{
    QFETCH(Format, format);
    const Built built = build(oneIconImage(format));
    // Every length through the headers and the resource tree, then a spread through the image.
    for (qsizetype length = 0; length <= built.bytes.size(); length += length < built.at.iconData[0] ? 1 : 37) {
        const ExeIcon icon = shell::firstIconFromBytes(QByteArrayView(built.bytes).first(length));
        QVERIFY2(consistent(icon), qPrintable(QString::number(length)));
        QCOMPARE(icon.ok(), length >= built.at.iconDataEnd);
    }
    QVERIFY(shell::firstIconFromBytes(QByteArrayView(built.bytes).first(built.at.iconDataEnd)).ok());
    QVERIFY(!shell::firstIconFromBytes(QByteArrayView(built.bytes).first(built.at.iconDataEnd - 1)).ok());
}

void ExeIconTest::mutations()
{
    QRandomGenerator random(20240611);
    const Built built = build(twoIconImage(Format::Pe32Plus));
    const qsizetype structures = built.at.groupData + 64; // headers, tree and group, not pixels
    QElapsedTimer timer;
    timer.start();
    int usable = 0;
    for (int round = 0; round < 4000; ++round) {
        QByteArray bytes = built.bytes;
        const int flips = 1 + int(random.bounded(8));
        for (int i = 0; i < flips; ++i) {
            const qsizetype at = random.bounded(2) ? random.bounded(structures) : random.bounded(bytes.size());
            const quint32 kind = random.bounded(4);
            bytes[at] = kind == 0 ? char(0xFF) : kind == 1 ? char(0) : char(random.bounded(256));
        }
        if (random.bounded(4) == 0)
            bytes.truncate(random.bounded(bytes.size()));
        const ExeIcon icon = shell::firstIconFromBytes(bytes);
        QVERIFY2(consistent(icon), qPrintable(QStringLiteral("round %1").arg(round)));
        usable += icon.ok();
    }
    QVERIFY(usable > 0); // the run also reaches the decoder, not only the early checks
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QStringLiteral("%1 ms").arg(timer.elapsed())));
}

void ExeIconTest::readsFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<IconProblem>("problem");

    const QByteArray program = build(twoIconImage(Format::Pe32)).bytes;
    const QString segment(60, QLatin1Char('d'));
    QString longName;
    for (int i = 0; i < 5; ++i)
        longName += segment + QString::number(i) + QLatin1Char('/');
    longName += QString(40, QLatin1Char('f')) + QStringLiteral(".exe");
    QVERIFY(longName.size() > 300);

    QTest::newRow("program") << QStringLiteral("program.exe") << program << IconProblem::None;
    QTest::newRow("long name") << longName << program << IconProblem::None;
    QTest::newRow("empty file") << QStringLiteral("empty.exe") << QByteArray("") << IconProblem::NotExecutable;
    QTest::newRow("missing") << QStringLiteral("missing.exe") << QByteArray() << IconProblem::Unreadable;
    // The trailing slash makes the test create a folder of that name instead of a file.
    QTest::newRow("a folder") << QStringLiteral("folder.exe/") << QByteArray() << IconProblem::Unreadable;
}

void ExeIconTest::readsFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(IconProblem, problem);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    if (!bytes.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    const ExeIcon icon = shell::firstIcon(path);
    QCOMPARE(icon.problem, problem);
    QVERIFY(consistent(icon));
    if (icon.ok())
        QCOMPARE(icon.image.size(), QSize(32, 32));
}

void ExeIconTest::readsRegularFilesOnly()
{
#ifndef Q_OS_UNIX
    QSKIP("devices and named pipes are made here the Unix way");
#else
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A link to a program is the program.
    const QString program = dir.filePath(QStringLiteral("program.exe"));
    {
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(build(twoIconImage(Format::Pe32)).bytes);
    }
    QVERIFY(QFile::link(program, dir.filePath(QStringLiteral("link.exe"))));
    QVERIFY(shell::firstIcon(dir.filePath(QStringLiteral("link.exe"))).ok());

    // A device that never ends is refused before a byte of it is read.
    if (QFileInfo::exists(QStringLiteral("/dev/zero"))) {
        const ExeIcon zero = shell::firstIcon(QStringLiteral("/dev/zero"));
        QCOMPARE(zero.problem, IconProblem::Unreadable);
        QCOMPARE(zero.detail, QStringLiteral("the name is not a regular file"));
    }

    // A named pipe without a writer is refused at once rather than waited on.
    const QString pipe = dir.filePath(QStringLiteral("pipe.exe"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    std::future<ExeIcon> reading = std::async(std::launch::async, [&] { return shell::firstIcon(pipe); });
    if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        // Set the reader free before failing, so the test ends.
        const int writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        reading.wait();
        QFAIL("reading a named pipe waited for a writer");
    }
    const ExeIcon fromPipe = reading.get();
    QCOMPARE(fromPipe.problem, IconProblem::Unreadable);
    QCOMPARE(fromPipe.detail, QStringLiteral("the name is not a regular file"));
#endif
}

QTEST_GUILESS_MAIN(ExeIconTest)
#include "tst_exeicon.moc"
