// Userpr: creates every window of the system once, then runs the message loop until the
// main window is closed. Where no server is known yet, it offers the demonstration servers.

#include "app/DemoServers.h"
#include "app/Users.h"
#include "app/Windows.h"
#include "platform/controls/Application.h"
#include "platform/core/PrivateMemory.h"
#include "platform/embedded/EmbeddedServer.h"

#include <QEvent>
#include <QTimer>

namespace {

// Ends the message loop when the main window closes, whatever else is still open.
class MainWindowWatch : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == Form1 && event->type() == QEvent::Close)
            QApplication::quit();
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    core::keepMemoryPrivate(); // the password cache lives in this process's memory
    controls::Application application(argc, argv);
    application.setApplicationName(QStringLiteral("Userpr"));
    embedded::EmbeddedServer::registerKind();
    // The menu entry the windows belong to (userpr.desktop).
    application.setDesktopFileName(QStringLiteral("userpr"));
    Windows windows;
    MainWindowWatch watch;
    Form1->installEventFilter(&watch);
    Form1->show();
    QTimer::singleShot(0, Form1, [] { demoservers::offer(); });
    return application.exec();
}
