#include "app/Windows.h"

#include "accounts/adduser.h"
#include "accounts/createDrop.h"
#include "accounts/newusers.h"
#include "app/Users.h"
#include "app/VortalixLogin.h"
#include "app/filter.h"
#include "app/help1.h"
#include "grants/Rights.h"
#include "grants/chosedb.h"
#include "grants/printlist.h"
#include "grants/progpas.h"
#include "lookup/dbs.h"
#include "lookup/find.h"
#include "lookup/history.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

namespace {

template <typename Window>
void create(std::unique_ptr<Window> &owner, Window *&reference)
{
    owner = std::make_unique<Window>();
    reference = owner.get();
}

template <typename Window>
void destroy(std::unique_ptr<Window> &owner, Window *&reference)
{
    reference = nullptr;
    owner.reset();
}

// The program's icon, drawn for every size that a title bar or a task switcher asks for.
QIcon programIcon()
{
    QIcon icon;
    const QDir pictures(QStringLiteral(":/icons"));
    for (const QString &name : pictures.entryList({QStringLiteral("userpr-*.png")}))
        icon.addFile(pictures.filePath(name));
    return icon;
}

} // namespace

Windows::Windows()
{
    // Every window shows the program's icon unless it has one of its own.
    QApplication::setWindowIcon(programIcon());
    create(m_form1, Form1);
    create(m_dualList, DualListDlg);
    create(m_login, LoginForm);
    create(m_find, FormFind);
    create(m_dbs, FormDBs);
    create(m_prog, FormProg);
    create(m_createUser, FormCreateUser);
    create(m_cr, FormCr);
    create(m_filter, FormFilter);
    create(m_printList, FormQRPrintList);
    create(m_choseDb, FormChoseDB);
    create(m_newUsers, FormNewusers);
    create(m_help, FormHelp);
    create(m_history, FormHistory);
}

Windows::~Windows()
{
    destroy(m_history, FormHistory);
    destroy(m_help, FormHelp);
    destroy(m_newUsers, FormNewusers);
    destroy(m_choseDb, FormChoseDB);
    destroy(m_printList, FormQRPrintList);
    destroy(m_filter, FormFilter);
    destroy(m_cr, FormCr);
    destroy(m_createUser, FormCreateUser);
    destroy(m_prog, FormProg);
    destroy(m_dbs, FormDBs);
    destroy(m_find, FormFind);
    destroy(m_login, LoginForm);
    destroy(m_dualList, DualListDlg);
    destroy(m_form1, Form1);
}
