#include "WindowDriver.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTest>

namespace testsupport {

MessageLog::MessageLog()
{
    controls::Messages::setResponder([this](const controls::Message &message) {
        m_entries.append(message);
        if (message.kind != controls::MessageKind::Question)
            return true;
        return m_answers.isEmpty() ? true : m_answers.takeFirst();
    });
}

MessageLog::~MessageLog()
{
    controls::Messages::setResponder(nullptr);
}

QStringList MessageLog::texts() const
{
    QStringList list;
    for (const Entry &e : m_entries)
        list.append(e.text);
    return list;
}

QStringList MessageLog::texts(controls::MessageKind kind) const
{
    QStringList list;
    for (const Entry &e : m_entries) {
        if (e.kind == kind)
            list.append(e.text);
    }
    return list;
}

ModalDriver::ModalDriver()
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    m_timer.start();
}

ModalDriver::~ModalDriver()
{
    if (!m_actions.isEmpty())
        QTest::qFail("a modal window that was expected did not appear", __FILE__, __LINE__);
}

void ModalDriver::then(Action action)
{
    m_actions.append(std::move(action));
}

void ModalDriver::tick()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (m_busy && (!m_busy->isVisible() || modal != m_busy))
        m_busy = nullptr;
    if (!modal) {
        m_idleTicks = 0;
        return;
    }
    if (modal == m_busy) {
        // An action that failed, or forgot to close its window, must not hang the test.
        if (QTest::currentTestFailed() || ++m_idleTicks > 2000) {
            m_idleTicks = 0;
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        }
        return;
    }
    if (m_actions.isEmpty()) {
        // Nobody answers this window: close it rather than hang the test.
        if (++m_idleTicks > 1000) {
            m_idleTicks = 0;
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            QTest::qFail("an unexpected modal window was left open", __FILE__, __LINE__);
        }
        return;
    }
    // A window acts on the keyboard once the window system has made it active; on a
    // loaded machine that comes a moment after it is shown.
    if (!modal->isActiveWindow() && ++m_inactiveTicks < 400)
        return;
    m_inactiveTicks = 0;
    m_idleTicks = 0;
    m_busy = modal;
    m_handled.append(modal);
    const Action action = m_actions.takeFirst();
    action(modal);
    // A window closed by its action may be shown again before the next tick: that is a
    // new showing, for the next action.
    if (m_busy && !m_busy->isVisible())
        m_busy = nullptr;
}

void screenshot(QWidget *widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("USERPR_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

} // namespace testsupport
