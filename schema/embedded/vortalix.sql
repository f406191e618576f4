-- The administration schema on the embedded server; its owner is VORTALIX. String sizes
-- are checked as the real server checks them.

-- Pages of 16 KiB: a change that touches thousands of pages of an index (a copy of a
-- user's grants to another company touches one page per program) writes each with one
-- call, and a quarter as many calls as with SQLite's 4 KiB pages.
pragma page_size = 16384;

-- The register of the banking system's programs. PROG_ID is given by the server on
-- insert and never reused.
create table vortalix_prog (
    prog_id integer primary key autoincrement,
    prog_name varchar2(255) check (length(prog_name) <= 255),
    prog_exe varchar2(255) check (length(prog_exe) <= 255),
    prog_author varchar2(20) check (length(prog_author) <= 20),
    prog_version varchar2(20) check (length(prog_version) <= 20),
    prog_last_comp date,
    prog_description varchar2(250) check (length(prog_description) <= 250),
    prog_group varchar2(20) check (length(prog_group) <= 20),
    prog_type varchar2(1) check (length(prog_type) <= 1),
    reporting_freq varchar2(10) check (length(reporting_freq) <= 10),
    version number,
    serverpath varchar2(64) check (length(serverpath) <= 64),
    clientpath varchar2(64) check (length(clientpath) <= 64),
    icon clob,
    user_name varchar2(32) check (length(user_name) <= 32),
    help_path varchar2(64) check (length(help_path) <= 64),
    ref_path varchar2(64) check (length(ref_path) <= 64)
);

-- The companies. DB_NAME names a company as surely as its number does.
create table v_sysparams (
    id number,
    system_date date,
    report_date date,
    firma_nimi varchar2(50) check (length(firma_nimi) <= 50),
    company_name varchar2(50) check (length(company_name) <= 50),
    v_company number not null primary key,
    db_name varchar2(20) not null unique check (length(db_name) <= 20)
);

-- The register of company databases, numbered as the companies are.
create table databases (
    database_id number not null primary key,
    db_name varchar2(20) not null check (length(db_name) <= 20),
    connstr varchar2(13) check (length(connstr) <= 13),
    webconnstr varchar2(25) check (length(webconnstr) <= 25),
    nls_lang varchar2(1) check (length(nls_lang) <= 1),
    ora_home varchar2(1) check (length(ora_home) <= 1),
    ora_sid varchar2(1) check (length(ora_sid) <= 1)
);

-- Who may run which program in which company. Deleting a program deletes its grants;
-- a company that still has grants cannot be deleted or renumbered.
-- The key leads with the program and the company, so the users of one program in one
-- company (the lists of one program, their delete and inserts) lie side by side; the
-- second index holds a company's grants by user with their programs (one user's programs
-- there, the find by user name, a copy between companies, the company's own delete), so
-- those read the index alone.
create table user_prog_db (
    username varchar2(30) not null check (length(username) <= 30),
    vortalix_prog_id number not null references vortalix_prog (prog_id) on delete cascade,
    database_id number not null references v_sysparams (v_company),
    ordinal number,
    primary key (vortalix_prog_id, database_id, username)
);
create index user_prog_db_company_user on user_prog_db (database_id, username, vortalix_prog_id);

-- A grant with its program and company; USERNAME comes first, DB_NAME is the company's.
create view user_list_db as
select g.username as username,
       g.vortalix_prog_id as vortalix_prog_id,
       p.prog_exe as prog_exe,
       p.prog_group as prog_group,
       p.prog_name as prog_name,
       p.serverpath as serverpath,
       p.clientpath as clientpath,
       g.database_id as database_id,
       s.db_name as db_name,
       d.connstr as connstr,
       d.webconnstr as webconnstr,
       d.nls_lang as nls_lang,
       d.ora_home as ora_home,
       d.ora_sid as ora_sid,
       p.prog_type as prog_type
  from user_prog_db g
  join vortalix_prog p on p.prog_id = g.vortalix_prog_id
  join v_sysparams s on s.v_company = g.database_id
  left join databases d on d.database_id = g.database_id;

create table personnel (
    personnel_id number not null primary key,
    f_name varchar2(30) check (length(f_name) <= 30),
    l_name varchar2(30) check (length(l_name) <= 30),
    position varchar2(40) check (length(position) <= 40)
);

create table customer (
    customer_id number not null primary key,
    c_user varchar2(30) check (length(c_user) <= 30),
    company_name varchar2(50) check (length(company_name) <= 50),
    reg_code varchar2(20) check (length(reg_code) <= 20)
);

-- Program units every new account may execute.
create table func_grants (
    func_name varchar2(32) not null check (length(func_name) <= 32)
);
