-- The history of the changes Userpr makes to who may run what: programs granted and
-- revoked, accounts created and dropped, roles granted and revoked, companies added,
-- renamed and deleted. Run as the schema owner vortalix after vortalix.sql; on a schema
-- made before, this file alone adds the history. A change writes its rows in the same
-- transaction as itself.

set search_path = vortalix;

create sequence grant_history_seq start with 1 increment by 1;

create table grant_history (
    history_id numeric not null,
    changed_at timestamp(0) not null,
    changed_by varchar(30) not null,
    os_user varchar(64),
    host_name varchar(64),
    action varchar(20) not null,
    prog_id numeric,
    prog_exe varchar(255),
    database_id numeric,
    db_name varchar(20),
    username varchar(30),
    detail varchar(1000),
    constraint grant_history_pk primary key (history_id)
);
-- One user's history, newest first; the changes of a span of days.
create index grant_history_user on grant_history (username, history_id);
create index grant_history_time on grant_history (changed_at);

-- The server says in which order, when (its own time) and who, whatever an insert names.
create function grant_history_stamp() returns trigger language plpgsql as $$
begin
    new.history_id := nextval('vortalix.grant_history_seq');
    new.changed_at := localtimestamp(0);
    new.changed_by := sys.oracle_name(session_user);
    return new;
end;
$$;
create trigger grant_history_bi
    before insert on grant_history
    for each row
    execute function grant_history_stamp();

-- A row once written stays as it is.
create function grant_history_fixed() returns trigger language plpgsql as $$
begin
    raise exception 'The grant history is never changed' using errcode = 'insufficient_privilege';
end;
$$;
create trigger grant_history_fixed
    before update or delete or truncate on grant_history
    for each statement
    execute function grant_history_fixed();

-- Who changes grants, accounts or companies writes their history; besides the owner,
-- only DBA reads it. Another login that may change grants needs the insert too:
--   grant insert on vortalix.grant_history to <login>;
revoke all on grant_history from dba;
grant select, insert on grant_history to dba;
grant usage on sequence grant_history_seq to dba;
