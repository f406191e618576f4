-- The schema owner's program units that accounts can be granted EXECUTE on.
insert into objects values ('VORTALIX', 'GET_CUSTOMER_NAME', 'FUNCTION');
insert into objects values ('VORTALIX', 'ACCOUNT_BALANCE', 'FUNCTION');
insert into objects values ('VORTALIX', 'POST_TRANSACTION', 'PROCEDURE');
insert into objects values ('VORTALIX', 'CURRENCY_RATES', 'PACKAGE');
