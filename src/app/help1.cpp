#include "app/help1.h"

#include <QVBoxLayout>

TFormHelp *FormHelp = nullptr;

QStringList TFormHelp::hints()
{
    return {
        QStringLiteral("Hints for creating a new user:"),
        QString(),
        QStringLiteral("1) Create an Oracle user by means of Oracle tools (e.g. sqlplus, create user...)"),
        QStringLiteral("2) Grant role \"dealer\" to this user"),
        QString(),
        QStringLiteral("    If this is done username will appear in listboxes of current program and "),
        QStringLiteral("    granting could be done!"),
        QString(),
        QStringLiteral("3) You assigne corresponding username to one of the vortalix customers "),
        QStringLiteral("(CUSTOMER.C_USER                NB! in UPPERCASE). "),
        QStringLiteral("This is not essential for granting, but for retrieving real name in "),
        QStringLiteral("enduser-applications!"),
        QString(),
        QStringLiteral("P.S. Roles which make sence for granting are all, where name starts with"),
        QStringLiteral("        DEALER  (e.g. DEALER2 etc)"),
    };
}

TFormHelp::TFormHelp(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormHelp"));
    setWindowTitle(QStringLiteral("Help"));
    Label1 = new QLabel(QStringLiteral("Help and hints..."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setPlainText(hints().join(QLatin1Char('\n')));
    auto *column = new QVBoxLayout(this);
    column->addWidget(Label1);
    column->addWidget(Memo1);
    setFixedSize(560, 330);
}
