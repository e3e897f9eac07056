-- Tables the PostgreSQL driver tests read, loaded into a throwaway server by scripts/pg-test-server.sh.
-- Every value is fixed here or computed by the server from generate_series, so every run sees the same rows.

-- A role with a password, to check that a wrong password is reported (pg_hba asks this role for one).
CREATE ROLE sumora_password_check LOGIN PASSWORD 'the-right-password';
GRANT SELECT ON ALL TABLES IN SCHEMA public TO PUBLIC;

-- One column of every mapped type, with nulls, NaN, the 64-bit limits and money signs.
CREATE TABLE readings (
  id int4, small int2, big int8, amount float8, ratio float4, price numeric, cost money,
  label text, code varchar(10), letter char(3), flag bool, day date, taken timestamp, taken_tz timestamptz,
  tag uuid
);
COPY readings FROM STDIN WITH (FORMAT csv, NULL 'NULL');
1,-32768,9007199254740993,1.5,0.25,1234.5678,"1,234.50",alpha,a1,ab,true,2024-01-31,2024-01-31 12:30:00,2024-01-31 12:30:00+00,a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11
2,32767,-9223372036854775808,-2.25,NaN,NaN,-1234.5,,b2,xyz,false,1999-12-31,1999-12-31 23:59:59.5,1999-12-31 23:59:59+00,NULL
3,NULL,NULL,NaN,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL
4,0,9223372036854775807,1e300,-0.125,123456789012345678901234567890.5,92233720368547758.07,"it's ""quoted""",c3,z,true,2000-02-29,2000-02-29 00:00:00,2000-02-29 00:00:00+00,NULL
\.

-- Infinite values must raise, not be summed.
CREATE TABLE extremes (x float8, y numeric);
COPY extremes FROM STDIN WITH (FORMAT csv, NULL 'NULL');
1,1
Infinity,2
3,-Infinity
\.

-- Schema-qualified names and names that would change the SQL if they were pasted into it.
CREATE SCHEMA sales;
CREATE TABLE sales.orders (amount float8);
COPY sales.orders FROM STDIN WITH (FORMAT csv, NULL 'NULL');
10
NULL
20
\.
CREATE TABLE "we""ird; DROP TABLE readings; --" (v int4);
COPY "we""ird; DROP TABLE readings; --" FROM STDIN;
7
\.
CREATE TABLE "it's" (v int4);
COPY "it's" FROM STDIN;
8
\.
CREATE TABLE "MixedCase" (v int4);
COPY "MixedCase" FROM STDIN;
9
\.
CREATE TABLE empty_table (v float8);
CREATE SEQUENCE counter;

-- 100,000 rows for streaming, rewinding and killed connections: every 97th amount is null, the rest spread
-- over about -700..730 with many distinct doubles.
CREATE TABLE series (id int8, amount float8);
INSERT INTO series
SELECT i, CASE WHEN i % 97 = 0 THEN NULL ELSE ((i * 7919) % 10007) / 7.0 - 700 + (i % 13) * 0.001 END
FROM generate_series(1, 100000) AS i;
ANALYZE;

-- Every numeric type the server-side passes convert to float8, with nulls and NaN: int8 values beyond
-- 2^53 (rounded once), float4 (read through its shortest text), numeric with repeating decimals, money.
CREATE TABLE kinds (i4 int4, i8 int8, f4 float4, f8 float8, num numeric, cash money);
INSERT INTO kinds
SELECT CASE WHEN i % 11 = 0 THEN NULL ELSE (i * 7919) % 10007 - 5000 END,
       i::int8 * 400000000000007,
       CASE WHEN i % 13 = 0 THEN 'NaN'::float4 ELSE ((i * 7919) % 10007 / 7.0)::float4 END,
       CASE WHEN i % 17 = 0 THEN 'NaN'::float8 ELSE exp(((i * 7919) % 10007) / 2000.0) END,
       CASE WHEN i % 19 = 0 THEN 'NaN'::numeric ELSE ((i * 7919) % 10007)::numeric / 3 END,
       (((i * 7919) % 10007 - 5000)::numeric / 100)::money
FROM generate_series(1, 20000) AS i;

-- Totals no double holds: the server-side passes leave such data to a pass over the records.
CREATE TABLE too_large (x float8, tiny numeric);
INSERT INTO too_large VALUES (1e308, 1e-400), (1e308, 1), (1, 2);

-- Groups of several columns, in a table partitioned by its group column: text keys with a null, a
-- 'nan' text (a null to the cursor), one with a trailing blank; numeric columns with nulls and NaN.
CREATE TABLE regions (region text, n int4, x float8, y numeric, f4 float4) PARTITION BY LIST (region);
CREATE TABLE regions_north PARTITION OF regions FOR VALUES IN ('north');
CREATE TABLE regions_south PARTITION OF regions FOR VALUES IN ('south');
CREATE TABLE regions_other PARTITION OF regions DEFAULT;
INSERT INTO regions
SELECT CASE i % 5 WHEN 0 THEN 'north' WHEN 1 THEN 'south' WHEN 2 THEN NULL WHEN 3 THEN 'east ' ELSE 'nan' END,
       i % 7,
       CASE WHEN i % 11 = 0 THEN NULL WHEN i % 13 = 0 THEN 'NaN' ELSE ((i * 7919) % 10007) / 7.0 END,
       CASE WHEN i % 17 = 0 THEN NULL ELSE (i % 101)::numeric / 3 END,
       (i % 37)::float4 / 3
FROM generate_series(1, 6000) AS i;

-- A role that may read a partitioned parent but none of its leaves, and a parent whose row-security
-- policy shows that role only the north: aggregates must give exactly the rows the parent gives it.
CREATE ROLE sumora_parent_only LOGIN;
GRANT SELECT ON regions TO sumora_parent_only;
CREATE TABLE secured (region text, x float8) PARTITION BY LIST (region);
CREATE TABLE secured_north PARTITION OF secured FOR VALUES IN ('north');
CREATE TABLE secured_south PARTITION OF secured FOR VALUES IN ('south');
INSERT INTO secured SELECT CASE WHEN i % 2 = 0 THEN 'north' ELSE 'south' END, i FROM generate_series(1, 2000) AS i;
ALTER TABLE secured ENABLE ROW LEVEL SECURITY;
CREATE POLICY north_only ON secured FOR SELECT TO sumora_parent_only USING (region = 'north');
GRANT SELECT ON secured, secured_north, secured_south TO sumora_parent_only;
ANALYZE regions, secured;
