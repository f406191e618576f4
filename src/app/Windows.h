#pragma once

#include <memory>

class TForm1;
class TDualListDlg;
class TLoginForm;
class TFormFind;
class TFormDBs;
class TFormProg;
class TFormCreateUser;
class TFormCr;
class TFormFilter;
class TFormQRPrintList;
class TFormChoseDB;
class TFormNewusers;
class TFormHelp;
class TFormHistory;

// The thirteen windows of the system and the history window, each created once, in this
// order, and alive until the program ends; every window reaches the others through its
// global reference.
class Windows {
public:
    Windows();
    ~Windows();
    Windows(const Windows &) = delete;
    Windows &operator=(const Windows &) = delete;

private:
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<TDualListDlg> m_dualList;
    std::unique_ptr<TLoginForm> m_login;
    std::unique_ptr<TFormFind> m_find;
    std::unique_ptr<TFormDBs> m_dbs;
    std::unique_ptr<TFormProg> m_prog;
    std::unique_ptr<TFormCreateUser> m_createUser;
    std::unique_ptr<TFormCr> m_cr;
    std::unique_ptr<TFormFilter> m_filter;
    std::unique_ptr<TFormQRPrintList> m_printList;
    std::unique_ptr<TFormChoseDB> m_choseDb;
    std::unique_ptr<TFormNewusers> m_newUsers;
    std::unique_ptr<TFormHelp> m_help;
    std::unique_ptr<TFormHistory> m_history;
};
