-- Run by the cluster's superuser, connected to the database that is to hold the
-- administration schema (created UTF-8). The roles are those of the real server; the
-- dealer roles mark the accounts of the banking system's users. The demonstration
-- passwords are those of the embedded demonstration servers: change them on a server
-- that others can reach (alter role ... password ...).

create role dba;
create role connect;
create role resource;
create role dealer;
create role dealer2;

-- DBA hands out the schema's roles, as Oracle's DBA may grant any role.
grant connect, resource, dealer, dealer2 to dba with admin option;

-- Creates and drops accounts and roles through the dictionary schema's helpers, which
-- holders of DBA alone may call. It holds no right of the cluster's own: CREATEROLE would
-- let it grant itself the cluster's predefined roles (running programs, reading and
-- writing files as the server's operating-system user), and so reach beyond the database.
create role system login password 'manager';
grant dba, connect, resource to system with admin option;

-- The schema owner hands out the roles new accounts get, with the admin option as on
-- the real server; holders with the admin option are not offered as users.
create role vortalix login password 'lumivar';
grant connect, resource, dealer to vortalix with admin option;
create schema vortalix authorization vortalix;

-- Oracle's functions that orafce gives (dual, nvl, a to_char of one number).
create extension orafce;

-- Unqualified names resolve to the schema owner's objects for every login, then to the
-- dictionary views, then to orafce's functions.
alter database :"DBNAME" set search_path = vortalix, sys, oracle, public;
-- Program units are executed by those they are granted to, not by everyone.
alter default privileges for role vortalix revoke execute on functions from public;
