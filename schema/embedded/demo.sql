-- Demonstration data of the embedded server: companies, programs, grants, personnel.

insert into v_sysparams (id, system_date, report_date, firma_nimi, company_name, v_company, db_name) values
    (1, '2024-05-31 00:00:00', '2024-05-30 00:00:00', 'Vortalix Pank AS', 'Vortalix Bank Ltd', 1, 'VORTA'),
    (1, '2024-05-31 00:00:00', '2024-05-30 00:00:00', 'Vortalix Liising AS', 'Vortalix Leasing Ltd', 2, 'LIISING'),
    (1, '2024-05-31 00:00:00', '2024-05-30 00:00:00', 'Vortalix Fondid AS', 'Vortalix Funds Ltd', 10, 'FONDID');

insert into databases (database_id, db_name, connstr, webconnstr, nls_lang, ora_home, ora_sid) values
    (1, 'VORTA', 'VORTA_LIVE', 'http://vorta/bank', 'E', null, null),
    (2, 'LIISING', 'LIIS_LIVE', 'http://liising/bank', 'E', null, null),
    (10, 'FONDID', 'FOND_LIVE', 'http://fondid/bank', 'E', null, null);

insert into vortalix_prog (prog_id, prog_name, prog_exe, prog_author, prog_version, prog_last_comp, prog_description, prog_group, prog_type, reporting_freq, version, serverpath, clientpath, user_name, help_path, ref_path) values
    (1, 'Loan application', 'LOANAPP.EXE', 'Tamm', '1.5', '2023-03-14 00:00:00', 'Entering and checking new loan applications', 'Loans', '1', 'MONTH', 1.5, '\\SRV1\LOANS', 'C:\VORTALIX\LOANS', 'MARI', null, null),
    (2, 'Loan schedule', 'LOANSCH.EXE', 'Tamm', '2.0', '2023-05-02 00:00:00', 'Payment schedules of loans', 'Loans', '1', 'MONTH', 2.0, '\\SRV1\LOANS', 'C:\VORTALIX\LOANS', 'MARI', null, null),
    (3, 'Overdue loans', 'LOANOVD.EXE', 'Kask', '0.5', '2024-01-09 00:00:00', 'Report of overdue payments', 'Loans', '2', 'DAY', 0.5, '\\SRV1\WEBREP', null, 'JAAN', '\\SRV1\HELP\LOANOVD.HLP', null),
    (4, 'Collateral register', 'COLLAT.EXE', 'Kask', '1.25', '2022-11-30 00:00:00', null, 'Loans', '1', 'QUARTER', 1.25, '\\SRV1\LOANS', 'C:\VORTALIX\LOANS', 'JAAN', null, '\\SRV1\REF'),
    (5, 'Deposit contracts', 'DEPCONT.EXE', 'Saar', '3.1', '2023-08-21 00:00:00', 'Term deposit contracts', 'Deposits', '1', 'MONTH', 3.1, '\\SRV1\DEP', 'C:\VORTALIX\DEP', 'KATRIN', null, null),
    (6, 'Interest accrual', 'DEPINT.EXE', 'Saar', '1.0', '2023-12-31 00:00:00', 'Nightly interest accrual script', 'Deposits', '3', 'DAY', 1.0, '\\SRV1\SCRIPTS', null, 'KATRIN', '\\SRV1\HELP\DEPINT.HLP', null),
    (7, 'Deposit report', 'DEPREP.EXE', 'Saar', '1.2', '2024-02-15 00:00:00', null, 'Deposits', '2', 'MONTH', 1.2, '\\SRV1\WEBREP', null, 'KATRIN', null, null),
    (8, 'Current accounts', 'ACCOUNTS.EXE', 'Mets', '4.0', '2024-03-01 00:00:00', 'Opening and closing current accounts', 'Accounts', '1', 'DAY', 4.0, '\\SRV1\ACC', 'C:\VORTALIX\ACC', 'PEETER', null, '\\SRV1\REF'),
    (9, 'Account statement', 'ACCSTMT.EXE', 'Mets', '2.5', '2023-10-10 00:00:00', 'Statements for customers', 'Accounts', '2', 'MONTH', 2.5, '\\SRV1\WEBREP', null, 'PEETER', '\\SRV1\HELP\ACCSTMT.HLP', null),
    (10, 'Payment orders', 'PAYORD.EXE', 'Mets', '5.02', '2024-04-18 00:00:00', 'Domestic and foreign payments', 'Accounts', '1', 'DAY', 5.02, '\\SRV1\ACC', 'C:\VORTALIX\ACC', 'LIIS', null, null),
    (11, 'SWIFT import', 'SWIFTIMP.EXE', 'Rebane', '1.1', '2022-06-06 00:00:00', null, 'Accounts', '3', 'DAY', 1.1, '\\SRV1\SCRIPTS', null, 'LIIS', null, null),
    (12, 'Cash desk', 'CASHDESK.EXE', 'Rebane', '2.2', '2023-01-20 00:00:00', 'Cash desk operations', 'Cash', '1', 'DAY', 2.2, '\\SRV1\CASH', 'C:\VORTALIX\CASH', 'TOOMAS', '\\SRV1\HELP\CASHDESK.HLP', '\\SRV1\REF'),
    (13, 'Currency exchange', 'CURREX.EXE', 'Rebane', '1.75', '2023-07-07 00:00:00', null, 'Cash', '1', 'DAY', 1.75, '\\SRV1\CASH', 'C:\VORTALIX\CASH', 'TOOMAS', null, null),
    (14, 'Cash balance report', 'CASHREP.EXE', 'Rebane', '0.9', '2024-01-31 00:00:00', null, 'Cash', '2', 'DAY', 0.9, '\\SRV1\WEBREP', null, 'TOOMAS', null, null),
    (15, 'Card issuing', 'CARDISS.EXE', 'Ilves', '1.0', '2023-09-12 00:00:00', 'Issuing and blocking payment cards', 'Cards', '1', 'MONTH', 1.0, '\\SRV1\CARDS', 'C:\VORTALIX\CARDS', 'ANNE', '\\SRV1\HELP\CARDISS.HLP', null),
    (16, 'Card transactions', 'CARDTRX.EXE', 'Ilves', '2.0', '2024-02-02 00:00:00', 'Card transactions on the intranet', 'Cards', '5', 'DAY', 2.0, '\\SRV1\WEB', null, 'ANNE', null, '\\SRV1\REF'),
    (17, 'Card limits', 'CARDLIM.EXE', 'Ilves', '0.5', '2023-04-04 00:00:00', null, 'Cards', '5', 'MONTH', 0.5, '\\SRV1\WEB', null, 'ANNE', null, null),
    (18, 'Internet bank', 'NETBANK.EXE', 'Kuusk', '7.3', '2024-05-05 00:00:00', 'The customers'' internet bank', 'Web', '6', 'DAY', 7.3, '\\SRV2\BANK', null, 'MARGUS', '\\SRV1\HELP\NETBANK.HLP', null),
    (19, 'Internet bank admin', 'NETADM.EXE', 'Kuusk', '3.0', '2024-03-22 00:00:00', 'Contracts of internet bank customers', 'Web', '6', 'MONTH', 3.0, '\\SRV2\BANK', null, 'MARGUS', null, null),
    (20, 'Web forms', 'WEBFORMS.EXE', 'Kuusk', '1.4', '2023-11-11 00:00:00', null, 'Web', '5', 'MONTH', 1.4, '\\SRV2\WEB', null, 'MARGUS', null, '\\SRV1\REF'),
    (21, 'Balance sheet', 'BALANCE.EXE', 'Lepp', '2.1', '2023-12-01 00:00:00', 'Monthly balance sheet', 'Reports', '2', 'MONTH', 2.1, '\\SRV1\WEBREP', null, 'KALLE', '\\SRV1\HELP\BALANCE.HLP', null),
    (22, 'Profit and loss', 'PROFIT.EXE', 'Lepp', '1.9', '2023-12-01 00:00:00', null, 'Reports', '2', 'QUARTER', 1.9, '\\SRV1\WEBREP', null, 'KALLE', null, null),
    (23, 'Central bank report', 'CBREP.EXE', 'Lepp', '1.0', '2024-01-10 00:00:00', 'Reports to the central bank', 'Reports', '2', 'DECADE', 1.0, '\\SRV1\WEBREP', null, 'KALLE', null, null),
    (24, 'Annual report', 'ANNUAL.EXE', 'Lepp', '1.0', '2023-02-28 00:00:00', null, 'Reports', '4', 'YEAR', 1.0, '\\SRV1\REP', 'C:\VORTALIX\REP', 'KALLE', '\\SRV1\HELP\ANNUAL.HLP', '\\SRV1\REF'),
    (25, 'Customer register', 'CUSTREG.EXE', 'Pärn', '6.0', '2024-04-01 00:00:00', 'Customers and their contacts', 'Admin', '1', 'DAY', 6.0, '\\SRV1\ADM', 'C:\VORTALIX\ADM', 'EVELIN', null, null),
    (26, 'Parameters', 'PARAMS.EXE', 'Pärn', '1.3', '2022-09-09 00:00:00', 'System parameters of a company', 'Admin', '1', 'YEAR', 1.3, '\\SRV1\ADM', 'C:\VORTALIX\ADM', 'EVELIN', null, null),
    (27, 'Day closing', 'DAYCLOSE.EXE', 'Pärn', '2.8', '2024-05-20 00:00:00', 'Closing the banking day', 'Admin', '3', 'DAY', 2.8, '\\SRV1\SCRIPTS', null, 'HALDUR', '\\SRV1\HELP\DAYCLOSE.HLP', null),
    (28, 'Archive', 'ARCHIVE.EXE', 'Pärn', '0.7', '2021-12-12 00:00:00', null, 'Admin', '4', 'YEAR', 0.7, '\\SRV1\ADM', 'C:\VORTALIX\ADM', 'HALDUR', null, '\\SRV1\REF'),
    (29, 'Scratch tool', 'SCRATCH.EXE', 'Vaher', '0.1', null, 'A helper without a group', null, '4', null, 0.1, null, 'C:\TEMP', null, null, null),
    (30, 'Old importer', 'OLDIMP.EXE', 'Vaher', '0.3', '2019-05-05 00:00:00', 'Kept from an older release; its type code is no longer in use', 'Admin', '9', 'YEAR', 0.3, null, 'C:\VORTALIX\OLD', 'HALDUR', '\\SRV1\HELP\OLDIMP.HLP', null);

insert into user_prog_db (username, vortalix_prog_id, database_id, ordinal) values
    ('MARI', 1, 1, 0),
    ('JAAN', 1, 1, 0),
    ('KATRIN', 1, 1, 0),
    ('OLDUSER', 1, 1, 0),
    ('PEETER', 1, 2, 0),
    ('LIIS', 1, 10, 0),
    ('MARI', 2, 1, 0),
    ('JAAN', 2, 1, 0),
    ('MARI', 2, 2, 0),
    ('JAAN', 3, 1, 0),
    ('KATRIN', 5, 1, 0),
    ('KALLE', 5, 1, 0),
    ('KATRIN', 5, 2, 0),
    ('PEETER', 8, 1, 0),
    ('LIIS', 8, 1, 0),
    ('MARI', 8, 1, 0),
    ('PEETER', 8, 2, 0),
    ('PEETER', 8, 10, 0),
    ('LIIS', 10, 1, 0),
    ('TOOMAS', 10, 1, 0),
    ('TOOMAS', 12, 1, 0),
    ('TOOMAS', 12, 2, 0),
    ('ANNE', 12, 2, 0),
    ('ANNE', 15, 1, 0),
    ('MARGUS', 18, 1, 0),
    ('MARI', 18, 1, 0),
    ('MARGUS', 18, 10, 0),
    ('KALLE', 21, 1, 0),
    ('EVELIN', 21, 1, 0),
    ('KALLE', 21, 2, 0),
    ('EVELIN', 25, 1, 0),
    ('OLDUSER', 25, 1, 0),
    ('HALDUR', 27, 1, 0);

insert into personnel (personnel_id, f_name, l_name, position) values
    (101, 'Mari', 'Maasikas', 'Officer'),
    (102, 'Jaan', 'Tamm', 'Officer'),
    (103, 'Katrin', 'Kask', 'Officer'),
    (104, 'Peeter', 'Saar', 'Officer'),
    (105, 'Liis', 'Lepp', 'Officer'),
    (106, 'Toomas', 'Mets', 'Officer'),
    (107, 'Anne', 'Ilves', 'Officer'),
    (108, 'Margus', 'Kuusk', 'Officer'),
    (109, 'Kalle', 'Rebane', 'Officer'),
    (110, 'Evelin', 'Pärn', 'Officer'),
    (111, 'Haldur', 'Vaher', 'Officer');

-- Haldur Vaher has no customer row yet.
insert into customer (customer_id, c_user, company_name, reg_code) values
    (101, 'MARI', 'Mari Maasikas', '31010001'),
    (102, 'JAAN', 'Jaan Tamm', '31020001'),
    (103, 'KATRIN', 'Katrin Kask', '31030001'),
    (104, null, 'Peeter Saar', '31040001'),
    (105, 'LIIS', 'Liis Lepp', '31050001'),
    (106, 'TOOMAS', 'Toomas Mets', '31060001'),
    (107, 'ANNE', 'Anne Ilves', '31070001'),
    (108, 'MARGUS', 'Margus Kuusk', '31080001'),
    (109, 'KALLE', 'Kalle Rebane', '31090001'),
    (110, 'EVELIN', 'Evelin Pärn', '31100001'),
    (5001, null, 'Pagar OÜ', '10234567'),
    (5002, null, 'Metsatööd AS', '10345678');

insert into func_grants (func_name) values ('GET_CUSTOMER_NAME'), ('ACCOUNT_BALANCE'), ('CURRENCY_RATES');
