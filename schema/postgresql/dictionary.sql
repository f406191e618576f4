-- The dictionary views the windows query and the helpers of the account statements, in
-- the schema sys. Run by the cluster's superuser after roles.sql. Names are shown as the
-- real server shows them: a role the server folded to lower case (mari) is the account
-- MARI; a name with capitals of its own ("Kaja") stays as written.

create schema sys;
grant usage on schema sys to public;

-- Inlined into the views below (neither strict nor volatile), so that no row pays a
-- function call for its name.
create function sys.oracle_name(name) returns varchar(63)
    language sql immutable
    return case when $1 = lower($1) then upper($1) else $1 end;

-- Accounts and their roles are read by sets that the planner takes as they are: a
-- function scan of a fixed size. The views join them on computed names (ALL_USERS'
-- USERNAME to DBA_ROLE_PRIVS' GRANTEE), which no index and no statistics serve; left to
-- the catalogs' statistics, the planner estimated one row where there were 5 000 and
-- joined them in a nested loop that took a minute. Estimated at a million rows each,
-- they are joined by hashing whether or not the cluster was analysed: a plan that
-- scanned one set again for each row of the other would cost a million times more.
-- The functions read pg_roles with the caller's rights (set search_path keeps them from
-- being inlined into the statement, which would bring the estimates back).

-- Accounts: the roles that log in, the cluster's superusers aside.
create function sys.all_users_rows()
    returns table (username varchar(63), user_id numeric, created timestamp(0))
    language sql stable rows 1000000 set search_path = pg_catalog
as $$
select sys.oracle_name(r.rolname), r.oid::bigint::numeric, null::timestamp(0)
  from pg_roles r
 where r.rolcanlogin and not r.rolsuper
$$;

create view sys.all_users as
select username, user_id, created from sys.all_users_rows();

create function sys.dba_role_privs_rows()
    returns table (grantee varchar(63), granted_role varchar(63), admin_option varchar(3), default_role varchar(3))
    language sql stable rows 1000000 set search_path = pg_catalog
as $$
select sys.oracle_name(m.rolname),
       sys.oracle_name(g.rolname),
       (case when a.admin_option then 'YES' else 'NO' end)::varchar(3),
       'YES'::varchar(3)
  from pg_auth_members a
  join pg_roles g on g.oid = a.roleid
  join pg_roles m on m.oid = a.member
 where g.rolname not like 'pg\_%'
$$;

create view sys.dba_role_privs as
select grantee, granted_role, admin_option, default_role from sys.dba_role_privs_rows();

create view sys.dba_roles as
select sys.oracle_name(r.rolname) as role,
       'NO'::varchar(8) as password_required
  from pg_catalog.pg_roles r
 where not r.rolcanlogin and r.rolname not like 'pg\_%';

create view sys.user_role_privs as
select sys.oracle_name(m.rolname) as username,
       sys.oracle_name(g.rolname) as granted_role,
       (case when a.admin_option then 'YES' else 'NO' end)::varchar(3) as admin_option,
       'YES'::varchar(3) as default_role
  from pg_catalog.pg_auth_members a
  join pg_catalog.pg_roles g on g.oid = a.roleid
  join pg_catalog.pg_roles m on m.oid = a.member
 where m.rolname = current_user;

grant select on sys.all_users, sys.user_role_privs to public;
grant select on sys.dba_role_privs, sys.dba_roles to dba, vortalix;
-- A view calls its functions with the rights of the one who reads it.
revoke all on function sys.dba_role_privs_rows() from public;
grant execute on function sys.dba_role_privs_rows() to dba, vortalix;

-- Drops an account with everything granted to it, as "drop user U [cascade]" does; with
-- cascade also what it owns in this database. Runs with its owner's rights, since the
-- server lets only the holders of an account's rights drop what belongs to it; only
-- DBA may call it.
create function sys.drop_user(p_username text, p_cascade boolean) returns void
    language plpgsql security definer set search_path = pg_catalog
as $$
declare
    target pg_roles%rowtype;
begin
    select * into target from pg_roles where rolname = p_username;
    if not found or not target.rolcanlogin then
        raise exception 'user "%" does not exist', sys.oracle_name(p_username) using errcode = '42704';
    end if;
    if target.rolsuper then
        raise exception 'permission denied to drop user "%"', p_username using errcode = '42501';
    end if;
    -- A session that has just ended may still be leaving.
    for i in 1..20 loop
        exit when not exists (select 1 from pg_stat_activity where usename = p_username);
        perform pg_sleep(0.05);
    end loop;
    if exists (select 1 from pg_stat_activity where usename = p_username) then
        raise exception 'cannot drop user "%": it is connected', sys.oracle_name(p_username) using errcode = '55006';
    end if;
    if not p_cascade and exists (
        select 1 from pg_shdepend d
         where d.refclassid = 'pg_authid'::regclass and d.refobjid = target.oid and d.deptype = 'o'
           and d.dbid in (0, (select oid from pg_database where datname = current_database()))) then
        raise exception 'user "%" owns objects: drop it with cascade', sys.oracle_name(p_username)
            using errcode = '2BP01';
    end if;
    execute format('drop owned by %I', p_username);
    execute format('drop role %I', p_username);
end;
$$;
revoke all on function sys.drop_user(text, boolean) from public;
grant execute on function sys.drop_user(text, boolean) to dba;

-- Revokes a role, failing as the real server does when it was not granted (the server
-- itself would only warn). Runs with the caller's rights.
create function sys.revoke_role(p_role text, p_grantee text) returns void
    language plpgsql set search_path = pg_catalog
as $$
begin
    if not exists (
        select 1 from pg_auth_members a
          join pg_roles g on g.oid = a.roleid
          join pg_roles m on m.oid = a.member
         where g.rolname = p_role and m.rolname = p_grantee) then
        raise exception 'role "%" is not granted to "%"', sys.oracle_name(p_role), sys.oracle_name(p_grantee)
            using errcode = '42704';
    end if;
    execute format('revoke %I from %I', p_role, p_grantee);
end;
$$;

-- Revokes EXECUTE on a program unit, failing when it was not granted to the grantee.
-- The unit is named as in a statement (schema.name); runs with the caller's rights.
create function sys.revoke_execute(p_unit text, p_grantee text) returns void
    language plpgsql
as $$
declare
    routine regproc := pg_catalog.to_regproc(p_unit);
begin
    if routine is null then
        raise exception 'program unit % does not exist', p_unit using errcode = '42883';
    end if;
    if not exists (
        select 1 from pg_catalog.pg_proc p, pg_catalog.aclexplode(p.proacl) a
         where p.oid = routine and a.privilege_type = 'EXECUTE'
           and a.grantee = (select r.oid from pg_catalog.pg_roles r where r.rolname = p_grantee)) then
        raise exception 'EXECUTE on % is not granted to "%"', p_unit, sys.oracle_name(p_grantee)
            using errcode = '42704';
    end if;
    execute pg_catalog.format('revoke execute on routine %s from %I', routine::regprocedure, p_grantee);
end;
$$;
