// Writes a few valid executables with icons into a folder, as a corpus for fuzz_exeicon.

#include "PeBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_exeicon_seeds FOLDER\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;

    using namespace testpe;
    testpe::Image named = oneIconImage(Format::Pe32);
    named.groups.front().name = QStringLiteral("MAINICON");
    named.versionResource = true;
    const std::pair<const char *, testpe::Image> seeds[] = {
        {"pe32-two-icons.exe", twoIconImage(Format::Pe32)},
        {"pe32plus-two-icons.exe", twoIconImage(Format::Pe32Plus)},
        {"pe32plus-one-icon.exe", oneIconImage(Format::Pe32Plus)},
        {"pe32-named-group.exe", named},
    };
    for (const auto &[name, image] : seeds) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(build(image).bytes) < 0)
            return 1;
    }
    return 0;
}
