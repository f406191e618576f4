#include "platform/controls/Application.h"

#include "platform/controls/Messages.h"

namespace controls {

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        Messages::error(errorText(e));
    }
    return false;
}

} // namespace controls
