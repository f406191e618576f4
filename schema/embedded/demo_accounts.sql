-- Demonstration accounts, made by SYSTEM with the server's own statements. Every
-- password is "kevaro", the initial password new accounts get.
create user MARI identified by kevaro;
grant connect, dealer to MARI;
create user JAAN identified by kevaro;
grant connect, dealer to JAAN;
create user KATRIN identified by kevaro;
grant connect, dealer to KATRIN;
create user PEETER identified by kevaro;
grant connect, dealer to PEETER;
create user LIIS identified by kevaro;
grant connect, dealer to LIIS;
create user TOOMAS identified by kevaro;
grant connect, dealer to TOOMAS;
create user ANNE identified by kevaro;
grant connect, dealer to ANNE;
create user MARGUS identified by kevaro;
grant connect, dealer to MARGUS;
-- Holds both dealer roles.
create user KALLE identified by kevaro;
grant connect, dealer, dealer2 to KALLE;
-- Holds only the second dealer role.
create user EVELIN identified by kevaro;
grant connect, dealer2 to EVELIN;
-- Hands the dealer role out to others.
create user HALDUR identified by kevaro;
grant connect to HALDUR;
grant dealer to HALDUR with admin option;
-- Reads reports; holds no dealer role.
create user AUDITOR identified by kevaro;
grant connect to AUDITOR;
grant execute on vortalix.get_customer_name to MARI, JAAN, KATRIN;
grant execute on vortalix.account_balance to MARI;
