-- The administration schema on PostgreSQL, run as its owner vortalix after roles.sql
-- and dictionary.sql. Oracle's NUMBER is numeric, VARCHAR2 is varchar, DATE is a time
-- of day without a zone to the second, CLOB is text.

set search_path = vortalix;

-- The register of the banking system's programs. PROG_ID is given by the server on
-- insert and never reused.
create sequence vortalix_prog_seq start with 1 increment by 1;

create table vortalix_prog (
    prog_id numeric not null,
    prog_name varchar(255),
    prog_exe varchar(255),
    prog_author varchar(20),
    prog_version varchar(20),
    prog_last_comp timestamp(0),
    prog_description varchar(250),
    prog_group varchar(20),
    prog_type varchar(1),
    reporting_freq varchar(10),
    version numeric,
    serverpath varchar(64),
    clientpath varchar(64),
    icon text,
    user_name varchar(32),
    help_path varchar(64),
    ref_path varchar(64),
    constraint vortalix_prog_pk primary key (prog_id)
);

-- The register's windows insert rows without PROG_ID: the server numbers them.
create function vortalix_prog_number() returns trigger language plpgsql as $$
begin
    new.prog_id := nextval('vortalix.vortalix_prog_seq');
    return new;
end;
$$;
create trigger vortalix_prog_bi
    before insert on vortalix_prog
    for each row
    when (new.prog_id is null)
    execute function vortalix_prog_number();

-- The companies. DB_NAME names a company as surely as its number does.
create table v_sysparams (
    id numeric,
    system_date timestamp(0),
    report_date timestamp(0),
    firma_nimi varchar(50),
    company_name varchar(50),
    v_company numeric not null,
    db_name varchar(20) not null,
    constraint v_sysparams_pk primary key (v_company),
    constraint v_sysparams_db_name_uk unique (db_name)
);

-- The register of company databases, numbered as the companies are.
create table databases (
    database_id numeric not null,
    db_name varchar(20) not null,
    connstr varchar(13),
    webconnstr varchar(25),
    nls_lang varchar(1),
    ora_home varchar(1),
    ora_sid varchar(1),
    constraint databases_pk primary key (database_id)
);

-- Who may run which program in which company. Deleting a program deletes its grants;
-- a company that still has grants cannot be deleted or renumbered.
create table user_prog_db (
    username varchar(30) not null,
    vortalix_prog_id numeric not null,
    database_id numeric not null,
    ordinal numeric,
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

-- A grant with its program and company; USERNAME comes first, DB_NAME is the company's.
create view user_list_db as
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
    personnel_id numeric not null,
    f_name varchar(30),
    l_name varchar(30),
    position varchar(40),
    constraint personnel_pk primary key (personnel_id)
);

create table customer (
    customer_id numeric not null,
    c_user varchar(30),
    company_name varchar(50),
    reg_code varchar(20),
    constraint customer_pk primary key (customer_id)
);

-- Program units every new account may execute.
create table func_grants (
    func_name varchar(32) not null
);

-- DBA reads and writes every table, as on the real server; the account window reads the
-- program units to grant as "system".
grant usage on schema vortalix to public;
grant select, insert, update, delete on all tables in schema vortalix to dba;
grant usage, select on all sequences in schema vortalix to dba;
alter default privileges in schema vortalix grant select, insert, update, delete on tables to dba;
alter default privileges in schema vortalix grant usage, select on sequences to dba;
