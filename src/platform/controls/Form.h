#pragma once

#include "platform/core/ModalResult.h"

#include <QDialog>

#include <functional>

class QAbstractButton;

namespace controls {

// A window of the system: shown modally it returns a modal result; shown modelessly it
// stays beside the main window. Showing and hiding run the window's handlers.
class Form : public QDialog {
    Q_OBJECT
public:
    explicit Form(QWidget *parent = nullptr);

    core::ModalResult showModal();
    core::ModalResult modalResult() const { return m_result; }
    // Closes the window with the result.
    void setModalResult(core::ModalResult result);
    // A button that closes the window with a result. The result is set before the
    // handler runs, and the window closes even when the handler fails.
    void setButtonResult(QAbstractButton *button, core::ModalResult result,
                         std::function<void()> handler = {});

protected:
    virtual void formShow() {}
    virtual void formHide() {}
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    core::ModalResult m_result = core::ModalResult::None;
};

} // namespace controls
