#pragma once

#include "platform/controls/Messages.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testsupport {

// Receives every message the windows show while it lives, and answers their questions.
class MessageLog {
public:
    using Entry = controls::Message;

    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;

    // The answers to the next questions, in order; after them every question gets Yes.
    void answer(const QList<bool> &answers) { m_answers = answers; }
    const QList<Entry> &entries() const { return m_entries; }
    QStringList texts() const;
    QStringList texts(controls::MessageKind kind) const;
    void clear() { m_entries.clear(); }

private:
    QList<Entry> m_entries;
    QList<bool> m_answers;
};

// Acts on modal windows as they appear: each queued action runs once, on the next modal
// window shown. A window that stays unanswered is closed after a timeout, and the test
// fails.
class ModalDriver : public QObject {
    Q_OBJECT
public:
    using Action = std::function<void(QWidget *dialog)>;

    ModalDriver();
    ~ModalDriver() override;

    void then(Action action);
    int pending() const { return int(m_actions.size()); }
    // The windows acted on, in order.
    const QList<QPointer<QWidget>> &handled() const { return m_handled; }

private:
    void tick();

    QTimer m_timer;
    QList<Action> m_actions;
    QList<QPointer<QWidget>> m_handled;
    QPointer<QWidget> m_busy;
    int m_idleTicks = 0;
    int m_inactiveTicks = 0;
};

// Saves a picture of a widget into $USERPR_SCREENSHOTS, when that is set.
void screenshot(QWidget *widget, const QString &name);

} // namespace testsupport
