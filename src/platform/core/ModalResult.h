#pragma once

namespace core {

// What a modal window closed with; the numbers are the ones QDialog::exec() returns.
enum class ModalResult : int { None = 0, OK = 1, Cancel = 2, No = 3, All = 4 };

inline ModalResult toModalResult(int code)
{
    switch (code) {
    case int(ModalResult::OK): return ModalResult::OK;
    case int(ModalResult::No): return ModalResult::No;
    case int(ModalResult::All): return ModalResult::All;
    default: return ModalResult::Cancel; // also a window closed from its title bar
    }
}

} // namespace core
