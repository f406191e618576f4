#pragma once

#include "platform/controls/Form.h"
#include "platform/db/Query.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

// Shows, runs and reports the statements that create one account in one database. The
// account window sets UserName, DbName and ServerName and either shows the dialog, where
// the statements can be edited, or runs them unseen with PrepareAndRun. All statements run
// on the account window's own connection, as "system" to create the account and as the
// schema owner "vortalix" from the first statement that begins with "grant" on.
class TFormCr : public controls::Form {
    Q_OBJECT
public:
    explicit TFormCr(QWidget *parent = nullptr);

    QString UserName;
    QString DbName;
    QString ServerName;

    QLabel *Panel1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *BitBtn2 = nullptr; // Cancel
    QPushButton *BitBtn1 = nullptr; // OK
    QPushButton *BitBtn3 = nullptr; // OK to All

    db::Query *QueryFuncGrants = nullptr;
    db::Query *Query1 = nullptr; // the statement buffer

    // Prepares and runs the statements without the dialog.
    void PrepareAndRun();
    // Connects to the target database and writes the account statements into the memo.
    bool PrepareStatements();
    // Runs the memo's statements in order; a blank line ends a statement. A refused login
    // of the owner ends the run; however it ends, the connection is "system"'s again.
    void RunStatements();
    // Runs the statement in the buffer; a failure is reported, its passwords hidden, and
    // the caller goes on.
    void ExecBuffer();

    // Whether a name can stand unquoted in an account statement and mean exactly that
    // account: upper-case letters, digits, '_', '$' and '#', beginning with a letter, at
    // most 30 characters. Any other name could name another account or carry text of its
    // own into the statement.
    static bool IsPlainUserName(const QString &user);
    // Refuses, with a message, a user name that is not plain; both the creation and the
    // drop of an account ask here before they build a statement.
    static bool CheckUserName(const QString &user);
    // The same for the name of a program unit of the schema owner (either letter case).
    static bool IsPlainObjectName(const QString &name);
    // A line that holds nothing but blanks and control characters.
    static bool IsBlank(const QString &line);

protected:
    void formShow() override { FormShow(); }
    void formHide() override { FormClose(); }

private:
    void FormShow();
    void FormClose();
    void BitBtn1Click();
};

extern TFormCr *FormCr;
