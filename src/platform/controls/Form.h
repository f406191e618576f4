#pragma once

#include "platform/core/ModalResult.h"

#include <QDialog>

#include <functional>

class QAbstractButton;

namespace controls {

// A window of the system: shown modally it returns a modal result; shown modelessly it
// stays beside the main window. Showing runs the window's show handler before the window
// appears, and hiding runs its hide handler.
//
// A show handler that throws stops the showing: the window does not appear, its hide
// handler closes what the show handler had opened, a modal showing returns Cancel, and
// the exception goes on to the caller, whose handler stops there (its guard shows the
// error). A show handler that sets a modal result closes the window before it appears,
// with that result, and the hide handler runs too.
class Form : public QDialog {
    Q_OBJECT
public:
    explicit Form(QWidget *parent = nullptr);

    core::ModalResult showModal();
    // Shows the window beside the main window. The show handler runs first, so an
    // exception it throws reaches the caller without passing through the toolkit's show.
    void showModeless();
    core::ModalResult modalResult() const { return m_result; }
    // Closes the window with the result.
    void setModalResult(core::ModalResult result);
    // A button that closes the window with a result. The result is set before the
    // handler runs, and the window closes even when the handler fails.
    void setButtonResult(QAbstractButton *button, core::ModalResult result,
                         std::function<void()> handler = {});

    // Whether every showing puts the window in the middle of the screen (that of the
    // active window), rather than over the window it was opened from.
    void setScreenCentred(bool on) { m_screenCentred = on; }

    void setVisible(bool visible) override;

protected:
    virtual void formShow() {}
    virtual void formHide() {}
    void hideEvent(QHideEvent *event) override;

private:
    void centreOnScreen();
    // Runs the show handler; false when it closed the window before it appeared.
    bool runShowHandler();

    core::ModalResult m_result = core::ModalResult::None;
    bool m_showHandled = false; // showModal ran the handler; the exec's show must not again
    bool m_inShowHandler = false;
    bool m_closedInShow = false;
    bool m_screenCentred = false;
};

} // namespace controls
