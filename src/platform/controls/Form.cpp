#include "platform/controls/Form.h"

#include "platform/controls/Messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHideEvent>
#include <QScreen>

namespace controls {

Form::Form(QWidget *parent) : QDialog(parent) {}

core::ModalResult Form::showModal()
{
    m_result = core::ModalResult::None;
    if (isVisible()) {
        // Already on the screen (a modeless showing): the handler ran then.
        m_showHandled = false;
    } else if (!runShowHandler()) {
        return m_result;
    } else {
        m_showHandled = true;
    }
    const int code = exec();
    m_showHandled = false;
    if (m_result == core::ModalResult::None)
        m_result = core::toModalResult(code);
    return m_result;
}

bool Form::runShowHandler()
{
    m_closedInShow = false;
    m_inShowHandler = true;
    try {
        formShow();
    } catch (...) {
        m_inShowHandler = false;
        m_result = core::ModalResult::Cancel;
        // What the handler opened before it failed is closed again; the error that
        // stopped the showing is the one the caller reports.
        try {
            formHide();
        } catch (...) {
        }
        throw;
    }
    m_inShowHandler = false;
    if (m_closedInShow) {
        guard([this] { formHide(); }); // closed before it appeared: no hide event comes
        return false;
    }
    return true;
}

void Form::showModeless()
{
    if (isVisible())
        return;
    if (!runShowHandler())
        return;
    m_showHandled = true;
    show();
}

void Form::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        if (m_showHandled)
            m_showHandled = false; // showModal or showModeless ran the handler already
        else if (!runShowHandler())
            return; // an exception went on to the caller of show(), or the handler closed us
        if (m_screenCentred)
            centreOnScreen();
    }
    QDialog::setVisible(visible);
}

void Form::centreOnScreen()
{
    const QWidget *active = QApplication::activeWindow();
    const QScreen *screen = active ? active->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    if (!testAttribute(Qt::WA_Resized))
        adjustSize();
    create(); // the window's frame is known from here on
    // Placed before it appears: the toolkit then leaves the position as it is.
    const QRect outer = frameGeometry();
    QRect placed(QPoint(), outer.size());
    placed.moveCenter(screen->availableGeometry().center());
    move(placed.topLeft());
}

void Form::setModalResult(core::ModalResult result)
{
    m_result = result;
    if (m_inShowHandler) {
        m_closedInShow = true; // closes before the window appears
        return;
    }
    done(int(result));
}

void Form::setButtonResult(QAbstractButton *button, core::ModalResult result, std::function<void()> handler)
{
    connect(button, &QAbstractButton::clicked, this, [this, result, handler] {
        m_result = result;
        if (handler)
            guard(handler);
        done(int(result));
    });
}

void Form::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        guard([this] { formHide(); });
}

} // namespace controls
