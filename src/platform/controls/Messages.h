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

// A message as a window asks for it.
struct Message {
    MessageKind kind;
    QString text;
    QString detail;           // shown under the text, in smaller print; may be empty
    bool yesByDefault = true; // a question: whether Enter answers Yes
};

class Messages {
public:
    static void information(const QString &text, const QString &detail = QString());
    static void plain(const QString &text);
    // True when the answer is Yes. A question whose Yes destroys something is asked with
    // No as the default, so that Enter keeps what is there.
    enum class Default { Yes, No };
    static bool askYesNo(const QString &text, Default answer = Default::Yes);
    static void warning(const QString &text);
    static void error(const QString &text);

    // While a responder is set it receives every message instead of a dialog and returns
    // the answer to a question (true for Yes).
    using Responder = std::function<bool(const Message &message)>;
    static void setResponder(Responder responder);
};

// The text an exception shows in the standard error box.
QString errorText(const std::exception &e);

// Runs a handler, with the busy cursor while it runs (see BusyCursor); an exception it
// throws is shown in the standard error box and goes no further, so the window stays as
// it was.
void guard(const std::function<void()> &handler);

} // namespace controls
