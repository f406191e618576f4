#pragma once

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace controls {

// Every message the windows show goes through here, so tests can read and answer them.
enum class MessageKind {
    Information, // a message dialog with the information icon and an OK button
    Plain,       // a plain message box with an OK button
    Question,    // a warning dialog with the buttons Yes and No
    Warning,     // a warning dialog with the warning icon and an OK button
    Error,       // the framework's standard error box
};

class Messages {
public:
    static void information(const QString &text);
    static void plain(const QString &text);
    // True when the answer is Yes.
    static bool askYesNo(const QString &text);
    static void warning(const QString &text);
    static void error(const QString &text);

    // While a responder is set it receives every message instead of a dialog and returns
    // the answer to a question (true for Yes).
    using Responder = std::function<bool(MessageKind kind, const QString &text)>;
    static void setResponder(Responder responder);
};

// The text an exception shows in the standard error box.
QString errorText(const std::exception &e);

// Runs a handler, with the busy cursor while it runs (see BusyCursor); an exception it
// throws is shown in the standard error box and goes no further, so the window stays as
// it was.
void guard(const std::function<void()> &handler);

} // namespace controls
