#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace shell {

enum class IconProblem { None, Unreadable, NotExecutable, NoIcon, Damaged };

// The icon a Windows program shows for itself, or why there is none.
struct ExeIcon {
    QImage image;                              // null unless problem == None
    IconProblem problem = IconProblem::NoIcon;
    QString detail;                            // short English reason, never empty when problem != None
    bool ok() const { return problem == IconProblem::None; }
};

// Finds the first group icon in the bytes of a Windows executable (PE32 or PE32+) and
// decodes the image the shell would show as the large icon, the one closest to 32x32.
// The bytes are untrusted: anything malformed gives NotExecutable, NoIcon or Damaged,
// never an exception or a read outside `bytes`.
ExeIcon firstIconFromBytes(QByteArrayView bytes);

// The first icon of the executable `fileName`. On Windows the shell extracts it; elsewhere,
// and where the shell cannot, the file is read and parsed with firstIconFromBytes.
ExeIcon firstIcon(const QString &fileName);

} // namespace shell
