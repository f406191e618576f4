-- Run by a DBA before vortalix.sql. The dealer roles mark the accounts of the banking
-- system's users; the schema owner hands them out and reads the dictionary views the
-- windows query.
create role dealer;
create role dealer2;

create user vortalix identified by "change-me" default tablespace users temporary tablespace temp;
grant connect, resource to vortalix with admin option;
grant dealer to vortalix with admin option;
grant create view, create sequence, create trigger to vortalix;
grant select on sys.dba_role_privs to vortalix;
