#pragma once

#include <QApplication>

namespace controls {

// The application object: an exception that reaches the event loop is shown in the
// standard error box, and the program goes on.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace controls
