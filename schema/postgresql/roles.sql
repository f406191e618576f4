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

-- Creates and drops accounts and roles; holds DBA, so it may call the dictionary
-- schema's helper that drops an account.
create role system login createrole password 'manager';
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
