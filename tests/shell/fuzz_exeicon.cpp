// Feeds arbitrary bytes to the executable icon reader. Seeds: run make_exeicon_seeds DIR.

#include "platform/shell/ExeIcon.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The image plugins are found the way the program finds them, through an application.
    static const auto app = std::make_unique<QCoreApplication>(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const shell::ExeIcon icon = shell::firstIconFromBytes(QByteArrayView(data, qsizetype(size)));
    const bool consistent = icon.ok() ? !icon.image.isNull() : icon.image.isNull() && !icon.detail.isEmpty();
    if (!consistent)
        __builtin_trap();
    return 0;
}
