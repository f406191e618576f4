-- The embedded server's dictionary: accounts, roles and grants. Answers ALL_USERS,
-- DBA_ROLE_PRIVS and DBA_ROLES through views each session creates.
create table accounts (
    username varchar2(30) primary key,
    user_id number not null unique,
    password_salt blob not null,
    password_hash blob not null,
    password_rounds integer not null,
    created date not null,
    default_tablespace varchar2(30) not null,
    temporary_tablespace varchar2(30) not null
);

create table roles (
    role varchar2(30) primary key,
    created date
);

create table role_grants (
    grantee varchar2(30) not null,
    granted_role varchar2(30) not null,
    admin_option varchar2(3) not null check (admin_option in ('YES', 'NO')),
    default_role varchar2(3) not null default 'YES',
    primary key (grantee, granted_role)
);

-- Program units and other objects that can be granted; tables and views live in the
-- owners' schema files.
create table objects (
    owner varchar2(30) not null,
    object_name varchar2(128) not null,
    object_type varchar2(23) not null,
    primary key (owner, object_name)
);

create table object_grants (
    owner varchar2(30) not null,
    object_name varchar2(128) not null,
    grantee varchar2(30) not null,
    privilege varchar2(40) not null,
    grantor varchar2(30) not null,
    primary key (owner, object_name, grantee, privilege)
);

create table tablespaces (
    tablespace_name varchar2(30) primary key,
    contents varchar2(9) not null
);

create table schemas (
    owner varchar2(30) primary key,
    file_name varchar2(255) not null
);

insert into tablespaces values ('SYSTEM', 'PERMANENT');
insert into tablespaces values ('USERS', 'PERMANENT');
insert into tablespaces values ('TEMP', 'TEMPORARY');

insert into roles values ('CONNECT', datetime('now'));
insert into roles values ('RESOURCE', datetime('now'));
insert into roles values ('DBA', datetime('now'));
insert into roles values ('DEALER', datetime('now'));
insert into roles values ('DEALER2', datetime('now'));
