#include "data/Statements.h"

namespace statements {

const QStringList QueryDBs = {QStringLiteral(
    "select to_char(v_company) database_id ,db_name ,db_name||' ('||v_company||')' SERVER from vortalix.v_sysparams order by database_id")};
const QStringList QueryUsers = {QStringLiteral(
    "select username ,database_id ,db_name from user_list_db where vortalix_prog_id=:prog_id order by username")};
const QStringList Query2 = {QStringLiteral("select distinct(prog_group) prog_group from vortalix_prog")};
const QStringList QueryDBusers = {QStringLiteral("select username from all_users")};
const QStringList MainQueryDelete = {QStringLiteral(
    "delete from vortalix.user_prog_db where vortalix_prog_id=:p_id and database_id=:d_id")};
const QStringList MainQueryAdd = {QStringLiteral(
    "insert into vortalix.user_prog_db(username,vortalix_prog_id,database_id) values (:uname,:p_id,:d_id)")};
const QStringList MainQueryGranted = {QStringLiteral(
    "select username from vortalix.user_prog_db where vortalix_prog_id=:p_id and database_id=:d_id")};

const QStringList gruserQuery = {QStringLiteral(
    "select * from user_list_db where vortalix_prog_id=:p_id and db_name=:d_name")};
const QStringList userQuery = {QStringLiteral(
    "select username from all_users u, dba_role_privs p where u.username=p.grantee and granted_role like 'DEALER%' "
    "and admin_option='NO' and u.username not in(select username from user_list_db where vortalix_prog_id=:p_id and db_name=:d_name)")};

const QStringList QueryuserProg = {QStringLiteral(
    "select * from vortalix.user_list_db where username=:user and db_name=:db_name order by prog_group, prog_name")};
const QStringList QueryAllProg = {QStringLiteral(
    "select * from vortalix.vortalix_prog where (prog_id  not in (select vortalix_prog_id from user_list_db where "
    "(username=:user) and (db_name=:db_name) ) ) order by prog_group,prog_name")};
const QStringList ProgQueryAdd = {QStringLiteral("insert into user_prog_db values(:username,:prog_id,:database_id,0)")};
const QStringList ProgQueryDelete = {QStringLiteral(
    "delete from user_prog_db where (username=:username) and (vortalix_prog_id=:prog_id) and (database_id=:database_id)")};

const QStringList ChoseDbQuery1 = {QStringLiteral(
    "select database_id ,db_name from vortalix.databases where database_id <> :database_id")};
const QStringList QueryCopyAll = {QStringLiteral(
    "insert into user_prog_db (username,vortalix_prog_id,database_id,ordinal) select username,vortalix_prog_id,:to_db,0 "
    "from user_prog_db where username=:username and database_id=:from_db and vortalix_prog_id not in "
    "(select vortalix_prog_id from user_prog_db where username=:username and database_id=:to_db)")};

const QStringList AddUserQuery1 = {
    QStringLiteral("select"), QStringLiteral(" username user_name"), QStringLiteral("from"),
    QStringLiteral(" all_users u, dba_role_privs p"), QStringLiteral("where"), QStringLiteral(" u.username=p.grantee"),
    QStringLiteral("and"), QStringLiteral(" granted_role='DEALER'"), QStringLiteral("and"),
    QStringLiteral(" admin_option='NO'"), QStringLiteral("order by"), QStringLiteral(" user_name")};
const QStringList AddUserQuery3 = {QStringLiteral("select"), QStringLiteral(" username"), QStringLiteral("from"),
                                   QStringLiteral(" all_users")};
const QStringList QueryFuncGrants = {QStringLiteral("select"), QStringLiteral(" func_name"), QStringLiteral("from"),
                                     QStringLiteral(" vortalix.func_grants")};

const QStringList QueryPersonnel = {QStringLiteral("select"), QStringLiteral(" personnel_id"),
                                    QStringLiteral(",f_name||' '||l_name"), QStringLiteral("from"),
                                    QStringLiteral(" vortalix.personnel")};

const QStringList QueryExe = {QStringLiteral(
    "select prog_id ,prog_name ,prog_exe ,prog_group ,prog_author from vortalix_prog where lower(prog_exe) like :exe "
    "order by lower(prog_group),lower(prog_exe)")};
const QStringList QueryUsr = {QStringLiteral(
    "select b.prog_id ,b.prog_exe ,b.prog_group ,u.username from vortalix_prog b,user_list_db u where "
    "lower(u.username) like :usr and b.prog_id = u.vortalix_prog_id and u.db_name=:dname "
    "order by username,lower(prog_group),lower(prog_exe)")};

const QStringList QueryMAXID = {QStringLiteral("select (max(v_company) +1) maxid from vortalix.v_sysparams")};

const QList<CatalogueEntry> &catalogue()
{
    static const QList<CatalogueEntry> entries = {
        {QStringLiteral("TForm1"), QStringLiteral("QueryDBs"), &QueryDBs},
        {QStringLiteral("TForm1"), QStringLiteral("QueryUsers"), &QueryUsers},
        {QStringLiteral("TForm1"), QStringLiteral("Query2"), &Query2},
        {QStringLiteral("TForm1"), QStringLiteral("QueryDBusers"), &QueryDBusers},
        {QStringLiteral("TForm1"), QStringLiteral("QueryDelete"), &MainQueryDelete},
        {QStringLiteral("TForm1"), QStringLiteral("QueryAdd"), &MainQueryAdd},
        {QStringLiteral("TForm1"), QStringLiteral("QueryGranted"), &MainQueryGranted},
        {QStringLiteral("TDualListDlg"), QStringLiteral("gruserQuery"), &gruserQuery},
        {QStringLiteral("TDualListDlg"), QStringLiteral("userQuery"), &userQuery},
        {QStringLiteral("TFormProg"), QStringLiteral("QueryuserProg"), &QueryuserProg},
        {QStringLiteral("TFormProg"), QStringLiteral("QueryAllProg"), &QueryAllProg},
        {QStringLiteral("TFormProg"), QStringLiteral("QueryAdd"), &ProgQueryAdd},
        {QStringLiteral("TFormProg"), QStringLiteral("QueryDelete"), &ProgQueryDelete},
        {QStringLiteral("TFormChoseDB"), QStringLiteral("Query1"), &ChoseDbQuery1},
        {QStringLiteral("TFormProg"), QStringLiteral("QueryCopyAll"), &QueryCopyAll},
        {QStringLiteral("TFormCreateUser"), QStringLiteral("Query1"), &AddUserQuery1},
        {QStringLiteral("TFormCreateUser"), QStringLiteral("Query3"), &AddUserQuery3},
        {QStringLiteral("TFormCr"), QStringLiteral("QueryFuncGrants"), &QueryFuncGrants},
        {QStringLiteral("TFormNewusers"), QStringLiteral("QueryPersonnel"), &QueryPersonnel},
        {QStringLiteral("TFormFind"), QStringLiteral("QueryExe"), &QueryExe},
        {QStringLiteral("TFormFind"), QStringLiteral("QueryUsr"), &QueryUsr},
        {QStringLiteral("TFormDBs"), QStringLiteral("QueryMAXID"), &QueryMAXID},
    };
    return entries;
}

} // namespace statements
