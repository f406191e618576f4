#include "platform/controls/Form.h"

#include "platform/controls/Messages.h"

#include <QAbstractButton>
#include <QShowEvent>

namespace controls {

Form::Form(QWidget *parent) : QDialog(parent) {}

core::ModalResult Form::showModal()
{
    m_result = core::ModalResult::None;
    const int code = exec();
    if (m_result == core::ModalResult::None)
        m_result = core::toModalResult(code);
    return m_result;
}

void Form::setModalResult(core::ModalResult result)
{
    m_result = result;
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

void Form::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guard([this] { formShow(); });
}

void Form::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        guard([this] { formHide(); });
}

} // namespace controls
