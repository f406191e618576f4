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

-- The account statements run through the helpers below. Those that act with their
-- owner's rights know the caller as the session's login, and act on the roles of the
-- database alone (sys.ordinary_role), so that a holder of DBA reaches neither the
-- cluster's superuser nor the operating system. Each fixes its search path with the
-- session's temporary schema last, where no table of the caller's stands in for the
-- catalogue's.

-- Whether a role is one of the database's own: no superuser, none of the cluster's
-- powers (making roles or databases, replication, passing row security), and neither one
-- of the cluster's predefined roles nor a holder of one (they run programs and read and
-- write files as the server's operating-system user).
create function sys.ordinary_role(p_role oid) returns boolean
    language sql stable strict
begin atomic
    select not (r.rolsuper or r.rolcreaterole or r.rolcreatedb or r.rolreplication or r.rolbypassrls)
           and r.rolname !~ '^pg_'
           and not exists (select 1 from pg_catalog.pg_roles p
                            where p.rolname ~ '^pg_' and pg_catalog.pg_has_role(p_role, p.oid, 'member'))
      from pg_catalog.pg_roles r
     where r.oid = p_role;
end;

-- Whether the session's login holds DBA.
create function sys.login_is_dba() returns boolean
    language sql stable
begin atomic
    select pg_catalog.pg_has_role(session_user, 'dba', 'member');
end;

-- Sets a role's password, given as the server's verifier of it. A refusal is raised anew,
-- so that its context never shows the verifier.
create function sys.set_password(p_role text, p_verifier text) returns void
    language plpgsql set search_path = pg_catalog, pg_temp
as $$
begin
    execute format('alter role %I password %L', p_role, p_verifier);
exception when others then
    raise exception using message = sqlerrm, errcode = sqlstate;
end;
$$;
revoke all on function sys.set_password(text, text) from public;

-- Creates an account, as "create user U identified by P" does; the password comes as the
-- server's verifier of it. Only DBA may call it.
create function sys.create_user(p_username text, p_verifier text) returns void
    language plpgsql security definer set search_path = pg_catalog, pg_temp
as $$
begin
    execute format('create role %I login', p_username);
    perform sys.set_password(p_username, p_verifier);
end;
$$;
revoke all on function sys.create_user(text, text) from public;
grant execute on function sys.create_user(text, text) to dba;

-- Sets an account's password, as "alter user U identified by P" does: one's own, or as
-- DBA that of an account of the database.
create function sys.alter_user(p_username text, p_verifier text) returns void
    language plpgsql security definer set search_path = pg_catalog, pg_temp
as $$
declare
    target oid;
    own boolean := p_username = session_user;
begin
    if not own and not sys.login_is_dba() then
        raise exception 'permission denied to alter user "%"', sys.oracle_name(p_username) using errcode = '42501';
    end if;
    select oid into target from pg_roles where rolname = p_username and rolcanlogin;
    if not found then
        raise exception 'user "%" does not exist', sys.oracle_name(p_username) using errcode = '42704';
    end if;
    if not own and not sys.ordinary_role(target) then
        raise exception 'permission denied to alter user "%"', sys.oracle_name(p_username) using errcode = '42501';
    end if;
    perform sys.set_password(p_username, p_verifier);
end;
$$;

-- Drops an account with everything granted to it, as "drop user U [cascade]" does; with
-- cascade also what it owns in this database. Runs with its owner's rights, since the
-- server lets only the holders of an account's rights drop what belongs to it; only
-- DBA may call it.
create function sys.drop_user(p_username text, p_cascade boolean) returns void
    language plpgsql security definer set search_path = pg_catalog, pg_temp
as $$
declare
    target pg_roles%rowtype;
begin
    select * into target from pg_roles where rolname = p_username;
    if not found or not target.rolcanlogin then
        raise exception 'user "%" does not exist', sys.oracle_name(p_username) using errcode = '42704';
    end if;
    if not sys.ordinary_role(target.oid) then
        raise exception 'permission denied to drop user "%"', sys.oracle_name(p_username) using errcode = '42501';
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

-- Creates a role, as "create role R" does: its creator holds it with the admin option.
-- Only DBA may call it.
create function sys.create_role(p_role text) returns void
    language plpgsql security definer set search_path = pg_catalog, pg_temp
as $$
begin
    execute format('create role %I', p_role);
    execute format('grant %I to %I with admin option', p_role, session_user);
end;
$$;
revoke all on function sys.create_role(text) from public;
grant execute on function sys.create_role(text) to dba;

-- Drops a role of the database, as "drop role R" does: for DBA, or for a holder of the
-- role with the admin option.
create function sys.drop_role(p_role text) returns void
    language plpgsql security definer set search_path = pg_catalog, pg_temp
as $$
declare
    target oid;
begin
    select oid into target from pg_roles where rolname = p_role and not rolcanlogin;
    if not found then
        raise exception 'role "%" does not exist', sys.oracle_name(p_role) using errcode = '42704';
    end if;
    if not sys.ordinary_role(target)
       or not (sys.login_is_dba() or exists (
               select 1 from pg_auth_members a join pg_roles m on m.oid = a.member
                where a.roleid = target and m.rolname = session_user and a.admin_option)) then
        raise exception 'permission denied to drop role "%"', sys.oracle_name(p_role) using errcode = '42501';
    end if;
    execute format('drop role %I', p_role);
end;
$$;

-- Revokes a role, failing as the real server does when it was not granted (the server
-- itself would only warn). Runs with the caller's rights.
create function sys.revoke_role(p_role text, p_grantee text) returns void
    language plpgsql set search_path = pg_catalog, pg_temp
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

-- The program unit OWNER.UNIT (of the login's own schema when OWNER is empty) whose
-- EXECUTE the login may grant and revoke: as its owner, or as DBA when an account of the
-- database owns it, as on the real server. Anyone else is refused, where the server
-- itself would only warn and change nothing.
create function sys.executable_unit(p_owner text, p_unit text) returns regprocedure
    language plpgsql stable set search_path = pg_catalog, pg_temp
as $$
declare
    unit text := format('%I.%I', coalesce(nullif(p_owner, ''), session_user), p_unit);
    routine regprocedure := to_regproc(unit)::oid::regprocedure;
    owner oid;
begin
    if routine is null then
        raise exception 'program unit % does not exist', unit using errcode = '42883';
    end if;
    select proowner into owner from pg_proc where oid = routine;
    if not pg_has_role(session_user, owner, 'usage') and not (sys.login_is_dba() and sys.ordinary_role(owner)) then
        raise exception 'permission denied to grant or revoke EXECUTE on %', unit using errcode = '42501';
    end if;
    return routine;
end;
$$;
revoke all on function sys.executable_unit(text, text) from public;

-- A grantee as a statement names it: PUBLIC, or an account or role that exists.
create function sys.grantee_name(p_grantee text) returns text
    language plpgsql stable set search_path = pg_catalog, pg_temp
as $$
begin
    if p_grantee = 'public' then
        return 'public';
    end if;
    if not exists (select 1 from pg_roles where rolname = p_grantee) then
        raise exception 'user or role "%" does not exist', sys.oracle_name(p_grantee) using errcode = '42704';
    end if;
    return format('%I', p_grantee);
end;
$$;

-- Grants EXECUTE on a program unit to a grantee, as "grant execute on U to G" does.
create function sys.grant_execute(p_owner text, p_unit text, p_grantee text) returns void
    language plpgsql security definer set search_path = pg_catalog, pg_temp
as $$
declare
    routine regprocedure := sys.executable_unit(p_owner, p_unit);
begin
    execute format('grant execute on routine %s to %s', routine, sys.grantee_name(p_grantee));
end;
$$;

-- Revokes EXECUTE on a program unit, failing when its owner did not grant it to the
-- grantee, as "revoke execute on U from G" does.
create function sys.revoke_execute(p_owner text, p_unit text, p_grantee text) returns void
    language plpgsql security definer set search_path = pg_catalog, pg_temp
as $$
declare
    routine regprocedure := sys.executable_unit(p_owner, p_unit);
    grantee_sql text := sys.grantee_name(p_grantee);
begin
    if not exists (
        select 1 from pg_proc p, aclexplode(p.proacl) a
         where p.oid = routine and a.privilege_type = 'EXECUTE' and a.grantor = p.proowner
           and a.grantee = case when p_grantee = 'public' then 0
                                else (select r.oid from pg_roles r where r.rolname = p_grantee) end) then
        raise exception 'EXECUTE on % is not granted to "%"', routine, sys.oracle_name(p_grantee)
            using errcode = '42704';
    end if;
    execute format('revoke execute on routine %s from %s', routine, grantee_sql);
end;
$$;
