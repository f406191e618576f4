#include "platform/controls/Messages.h"

#include "platform/controls/BusyCursor.h"

#include "platform/db/DbError.h"

#include <QApplication>
#include <QMessageBox>

namespace controls {

namespace {

Messages::Responder &responder()
{
    static Messages::Responder r;
    return r;
}

QString title()
{
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Userpr") : name;
}

} // namespace

void Messages::setResponder(Responder r)
{
    responder() = std::move(r);
}

namespace {

// A message with only an OK button: the test responder hears it, or the user sees it.
void tell(MessageKind kind, QMessageBox::Icon icon, const QString &caption, const QString &text)
{
    if (responder()) {
        responder()(kind, text);
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

} // namespace

void Messages::information(const QString &text)
{
    tell(MessageKind::Information, QMessageBox::Information, QStringLiteral("Information"), text);
}

void Messages::plain(const QString &text)
{
    tell(MessageKind::Plain, QMessageBox::NoIcon, title(), text);
}

bool Messages::askYesNo(const QString &text)
{
    if (responder())
        return responder()(MessageKind::Question, text);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Yes;
}

void Messages::warning(const QString &text)
{
    tell(MessageKind::Warning, QMessageBox::Warning, QStringLiteral("Warning"), text);
}

void Messages::error(const QString &text)
{
    tell(MessageKind::Error, QMessageBox::Critical, title(), text);
}

QString errorText(const std::exception &e)
{
    if (const auto *dbError = dynamic_cast<const db::DbError *>(&e))
        return dbError->text();
    return QString::fromLocal8Bit(e.what());
}

void guard(const std::function<void()> &handler)
{
    const BusyCursor busy;
    try {
        handler();
    } catch (const std::exception &e) {
        Messages::error(errorText(e));
    }
}

} // namespace controls
