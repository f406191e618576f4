-- Demonstration data on PostgreSQL, after the embedded server's own demo.sql has filled
-- the tables (run as vortalix): the sequence continues after the programs given, and
-- the accounts and grants of the demonstration logins. Every password is "kevaro", the
-- initial password new accounts get.

select setval('vortalix.vortalix_prog_seq', (select max(prog_id) from vortalix.vortalix_prog)::bigint);

reset role;
create role mari login password 'kevaro';
grant connect, dealer to mari;
create role jaan login password 'kevaro';
grant connect, dealer to jaan;
create role katrin login password 'kevaro';
grant connect, dealer to katrin;
create role peeter login password 'kevaro';
grant connect, dealer to peeter;
create role liis login password 'kevaro';
grant connect, dealer to liis;
create role toomas login password 'kevaro';
grant connect, dealer to toomas;
create role anne login password 'kevaro';
grant connect, dealer to anne;
create role margus login password 'kevaro';
grant connect, dealer to margus;
-- Holds both dealer roles.
create role kalle login password 'kevaro';
grant connect, dealer, dealer2 to kalle;
-- Holds only the second dealer role.
create role evelin login password 'kevaro';
grant connect, dealer2 to evelin;
-- Hands the dealer role out to others.
create role haldur login password 'kevaro';
grant connect to haldur;
grant dealer to haldur with admin option;
-- Reads reports; holds no dealer role.
create role auditor login password 'kevaro';
grant connect to auditor;

reset role;
set role vortalix;
grant execute on function vortalix.get_customer_name(numeric) to mari, jaan, katrin;
grant execute on function vortalix.account_balance(numeric) to mari;
