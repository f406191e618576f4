-- The administration schema for a real server. Run as the schema owner VORTALIX on the
-- central database, after roles.sql has been run by a DBA. The program creates no object
-- of its own; it expects these.

create sequence vortalix_prog_seq start with 1 increment by 1 nocache;

create table vortalix_prog (
    prog_id number not null,
    prog_name varchar2(255),
    prog_exe varchar2(255),
    prog_author varchar2(20),
    prog_version varchar2(20),
    prog_last_comp date,
    prog_description varchar2(250),
    prog_group varchar2(20),
    prog_type varchar2(1),
    reporting_freq varchar2(10),
    version number,
    serverpath varchar2(64),
    clientpath varchar2(64),
    icon clob,
    user_name varchar2(32),
    help_path varchar2(64),
    ref_path varchar2(64),
    constraint vortalix_prog_pk primary key (prog_id)
);

-- The register's windows insert rows without PROG_ID: the server numbers them.
create or replace trigger vortalix_prog_bi
    before insert on vortalix_prog
    for each row
    when (new.prog_id is null)
begin
    select vortalix_prog_seq.nextval into :new.prog_id from dual;
end;
/

create table v_sysparams (
    id number,
    system_date date,
    report_date date,
    firma_nimi varchar2(50),
    company_name varchar2(50),
    v_company number not null,
    db_name varchar2(20) not null,
    constraint v_sysparams_pk primary key (v_company),
    constraint v_sysparams_db_name_uk unique (db_name)
);

create table databases (
    database_id number not null,
    db_name varchar2(20) not null,
    connstr varchar2(13),
    webconnstr varchar2(25),
    nls_lang varchar2(1),
    ora_home varchar2(1),
    ora_sid varchar2(1),
    constraint databases_pk primary key (database_id)
);

-- Deleting a program deletes its grants; a company with grants cannot be deleted.
create table user_prog_db (
    username varchar2(30) not null,
    vortalix_prog_id number not null,
    database_id number not null,
    ordinal number,
    constraint user_prog_db_pk primary key (username, vortalix_prog_id, database_id),
    constraint user_prog_db_prog_fk foreign key (vortalix_prog_id)
        references vortalix_prog (prog_id) on delete cascade,
    constraint user_prog_db_company_fk foreign key (database_id)
        references v_sysparams (v_company)
);
-- The users of one program in one company; a company's grants by user with their
-- programs (one user's programs there, the find by user name, a copy between companies),
-- read from the index alone. A user's own grants are found by the key.
create index user_prog_db_prog_company on user_prog_db (vortalix_prog_id, database_id);
create index user_prog_db_company_user on user_prog_db (database_id, username, vortalix_prog_id);

create or replace view user_list_db as
select g.username,
       g.vortalix_prog_id,
       p.prog_exe,
       p.prog_group,
       p.prog_name,
       p.serverpath,
       p.clientpath,
       g.database_id,
       s.db_name,
       d.connstr,
       d.webconnstr,
       d.nls_lang,
       d.ora_home,
       d.ora_sid,
       p.prog_type
  from user_prog_db g
  join vortalix_prog p on p.prog_id = g.vortalix_prog_id
  join v_sysparams s on s.v_company = g.database_id
  left join databases d on d.database_id = g.database_id;

create table personnel (
    personnel_id number not null,
    f_name varchar2(30),
    l_name varchar2(30),
    position varchar2(40),
    constraint personnel_pk primary key (personnel_id)
);

create table customer (
    customer_id number not null,
    c_user varchar2(30),
    company_name varchar2(50),
    reg_code varchar2(20),
    constraint customer_pk primary key (customer_id)
);

create table func_grants (
    func_name varchar2(32) not null
);
