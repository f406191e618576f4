#include "platform/controls/BusyCursor.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace controls {

namespace {

// What the user waits for, innermost last: the program (a busy section) or the user (a
// modal window shown during one). The busy cursor shows while the innermost is the program.
struct Waiting {
    const BusyCursor *busy = nullptr;
    QPointer<QWidget> window;
};

class Tracker : public QObject {
public:
    void push(Waiting w)
    {
        if (m_stack.isEmpty())
            qApp->installEventFilter(this); // only while the program is busy
        m_stack.append(std::move(w));
        update();
    }
    void remove(const BusyCursor *busy)
    {
        m_stack.removeIf([&](const Waiting &w) { return w.busy == busy; });
        update();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show && event->type() != QEvent::Hide)
            return false;
        auto *window = qobject_cast<QWidget *>(watched);
        if (!window || !window->isWindow())
            return false;
        if (event->type() == QEvent::Show && window->isModal()) {
            push({nullptr, window});
        } else if (event->type() == QEvent::Hide) {
            m_stack.removeIf([&](const Waiting &w) { return !w.busy && w.window == window; });
            update();
        }
        return false;
    }

private:
    void update()
    {
        // A window that went without hiding waits for no one.
        m_stack.removeIf([](const Waiting &w) { return !w.busy && !w.window; });
        const bool busy = !m_stack.isEmpty() && m_stack.last().busy;
        if (busy != m_applied) {
            m_applied = busy;
            if (busy)
                QApplication::setOverrideCursor(Qt::WaitCursor);
            else
                QApplication::restoreOverrideCursor();
        }
        if (m_stack.isEmpty())
            qApp->removeEventFilter(this);
    }

    QList<Waiting> m_stack;
    bool m_applied = false;
};

Tracker &tracker()
{
    static Tracker t;
    return t;
}

} // namespace

BusyCursor::BusyCursor()
{
    if (qApp)
        tracker().push({this, nullptr});
}

BusyCursor::~BusyCursor()
{
    if (qApp)
        tracker().remove(this);
}

} // namespace controls
