-- Stand-ins for the schema owner's program units that accounts are granted EXECUTE on,
-- run as vortalix after vortalix.sql. The package CURRENCY_RATES is a function here.
-- Nobody may execute them without a grant.

set search_path = vortalix;

create function get_customer_name(p_customer_id numeric) returns varchar
    language sql stable
    return (select c.company_name from vortalix.customer c where c.customer_id = p_customer_id);

create function account_balance(p_account numeric) returns numeric
    language sql immutable
    return 0;

create procedure post_transaction(p_account numeric, p_amount numeric)
    language sql
    begin atomic
        select 1;
    end;

create function currency_rates() returns numeric
    language sql immutable
    return 1;

revoke execute on function get_customer_name(numeric), account_balance(numeric), currency_rates() from public;
revoke execute on procedure post_transaction(numeric, numeric) from public;
