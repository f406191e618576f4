#include "platform/controls/Messages.h"

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

void Messages::information(const QString &text)
{
    if (responder()) {
        responder()(MessageKind::Information, text);
        return;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void Messages::plain(const QString &text)
{
    if (responder()) {
        responder()(MessageKind::Plain, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
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
    if (responder()) {
        responder()(MessageKind::Warning, text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void Messages::error(const QString &text)
{
    if (responder()) {
        responder()(MessageKind::Error, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, title(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

QString errorText(const std::exception &e)
{
    if (const auto *dbError = dynamic_cast<const db::DbError *>(&e))
        return dbError->text();
    return QString::fromLocal8Bit(e.what());
}

void guard(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        Messages::error(errorText(e));
    }
}

} // namespace controls
