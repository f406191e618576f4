-- The history of the changes Userpr makes to who may run what: programs granted and
-- revoked, accounts created and dropped, roles granted and revoked, companies added,
-- renamed and deleted. A change writes its rows in its own transaction; the server fills
-- in when (its own time) and which login. Only the schema's owner and DBA read it, and
-- no one changes or deletes a row once written. A server made before the history was
-- part of the schema gets it with "userpr-db history SERVER".
create table grant_history (
    history_id integer primary key autoincrement,
    changed_at date not null default (datetime('now', 'localtime')),
    changed_by varchar2(30) not null default (sys_context('USERENV', 'SESSION_USER')),
    os_user varchar2(64) check (length(os_user) <= 64),
    host_name varchar2(64) check (length(host_name) <= 64),
    action varchar2(20) not null check (length(action) <= 20),
    prog_id number,
    prog_exe varchar2(255) check (length(prog_exe) <= 255),
    database_id number,
    db_name varchar2(20) check (length(db_name) <= 20),
    username varchar2(30) check (length(username) <= 30),
    detail varchar2(1000) check (length(detail) <= 1000)
);
-- One user's history, newest first; the changes of a span of days.
create index grant_history_user on grant_history (username, history_id);
create index grant_history_time on grant_history (changed_at);
