-- The history of the changes Userpr makes to who may run what: programs granted and
-- revoked, accounts created and dropped, roles granted and revoked, companies added,
-- renamed and deleted. Run as the schema owner VORTALIX after vortalix.sql; on a schema
-- made before, this file alone adds the history. A change writes its rows in the same
-- transaction as itself (an account statement commits by itself on this server, so its
-- row follows it).

create sequence grant_history_seq start with 1 increment by 1 nocache;

create table grant_history (
    history_id number not null,
    changed_at date default sysdate not null,
    changed_by varchar2(30) default user not null,
    os_user varchar2(64),
    host_name varchar2(64),
    action varchar2(20) not null,
    prog_id number,
    prog_exe varchar2(255),
    database_id number,
    db_name varchar2(20),
    username varchar2(30),
    detail varchar2(1000),
    constraint grant_history_pk primary key (history_id)
);
-- One user's history, newest first; the changes of a span of days.
create index grant_history_user on grant_history (username, history_id);
create index grant_history_time on grant_history (changed_at);

-- The server says in which order, when and who, whatever an insert names.
create or replace trigger grant_history_bi
    before insert on grant_history
    for each row
begin
    select grant_history_seq.nextval into :new.history_id from dual;
    :new.changed_at := sysdate;
    :new.changed_by := user;
end;
/

-- A row once written stays as it is.
create or replace trigger grant_history_fixed
    before update or delete on grant_history
begin
    raise_application_error(-20001, 'The grant history is never changed');
end;
/

-- Who changes grants, accounts or companies writes their history; besides the owner,
-- only DBA reads it. Another login that may change grants needs the insert too:
--   grant insert on vortalix.grant_history to <login>;
grant select, insert on grant_history to dba;
