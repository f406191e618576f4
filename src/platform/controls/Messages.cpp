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
void tell(MessageKind kind, QMessageBox::Icon icon, const QString &caption, const QString &text,
          const QString &detail = QString())
{
    if (responder()) {
        responder()({kind, text, detail});
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.setInformativeText(detail);
    box.exec();
}

} // namespace

void Messages::information(const QString &text, const QString &detail)
{
    tell(MessageKind::Information, QMessageBox::Information, QStringLiteral("Information"), text, detail);
}

void Messages::plain(const QString &text)
{
    tell(MessageKind::Plain, QMessageBox::NoIcon, title(), text);
}

bool Messages::askYesNo(const QString &text, Default answer)
{
    if (responder())
        return responder()({MessageKind::Question, text, QString(), answer == Default::Yes});
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(answer == Default::Yes ? QMessageBox::Yes : QMessageBox::No);
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
