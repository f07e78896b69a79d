// The SQL that makes version 1 of the registry's schema.

#include "server/SchemaSql.h"

#include <utility>
#include <vector>

namespace server {

const char* SchemaVersion1Sql() {
    return R"sql(
CREATE SCHEMA vora;
COMMENT ON SCHEMA vora IS 'vora: the anesthesia case registry of a department';

CREATE TABLE vora.schema_info (
    version integer NOT NULL,
    made_at timestamptz NOT NULL DEFAULT now()
);

-- Every change to the registry takes its number from here: the order the workstations apply.
CREATE SEQUENCE vora.change_seq;

CREATE TABLE vora.changes (
    seq bigint PRIMARY KEY,
    kind smallint NOT NULL,         -- 1 case, 2 master list, 3 passwords, 4 hospital, 6 incident
    target integer NOT NULL,        -- record index, list number or incident row; 0 otherwise
    changed_at timestamptz NOT NULL,
    changed_by text NOT NULL,       -- the workstation's application_name, "vora HOST USER"
    token text                      -- names one confirmation, so a retried one is kept once
);
CREATE INDEX changes_token ON vora.changes (token) WHERE token IS NOT NULL;

-- One row per case; record_index is its place in the registry from 0 (the CSV's record
-- number less one). Texts as UTF-8; exact_texts holds the texts' own bytes (Shift-JIS, each
-- as a 4-byte little-endian length and its bytes, in the order of the data file) when one of
-- them does not come back unchanged from UTF-8.
CREATE TABLE vora.cases (
    record_index integer PRIMARY KEY CHECK (record_index >= 0),
    last_change bigint NOT NULL DEFAULT nextval('vora.change_seq'),
    changed_at timestamptz NOT NULL DEFAULT now(),
    changed_by text NOT NULL DEFAULT current_setting('application_name'),
    surgery_date date NOT NULL,     -- the local date of surgery_timestamp
    age_years integer NOT NULL,
    age_days integer NOT NULL,
    age_months integer NOT NULL,
    anesthesiologist_1 text NOT NULL,
    anesthesiologist_2 text NOT NULL,
    anesthesiologist_3 text NOT NULL,
    method integer NOT NULL,
    anesthesia_time text NOT NULL,
    asa text NOT NULL,
    transfusion_note text NOT NULL,
    other_product_name text NOT NULL,
    blood_loss integer NOT NULL,
    blood_loss_note text NOT NULL,
    colloid integer NOT NULL,
    crystalloid integer NOT NULL,
    disease text NOT NULL,
    preop_code integer NOT NULL,
    preop_comment text NOT NULL,
    department text NOT NULL,
    drug_incident text NOT NULL,
    notes text NOT NULL,
    height real NOT NULL,
    patient_id text NOT NULL,
    albumin integer NOT NULL,
    whole_blood integer NOT NULL,
    autologous integer NOT NULL,
    incident_index integer NOT NULL,
    ffp integer NOT NULL,
    map integer NOT NULL,
    other_product integer NOT NULL,
    pc integer NOT NULL,
    name text NOT NULL,
    name_kana text NOT NULL,
    surgery_timestamp integer NOT NULL, -- seconds since 1970 (UTC), as the data file holds it
    procedure text NOT NULL,
    operating_room text NOT NULL,
    surgery_time text NOT NULL,
    site integer NOT NULL,
    position integer NOT NULL,
    ward text NOT NULL,
    sex integer NOT NULL,
    withhold integer NOT NULL,
    supervisor_1 text NOT NULL,
    supervisor_2 text NOT NULL,
    supervisor_3 text NOT NULL,
    whole_blood_unit integer NOT NULL,
    autologous_unit integer NOT NULL,
    ffp_unit integer NOT NULL,
    map_unit integer NOT NULL,
    other_unit integer NOT NULL,
    pc_unit integer NOT NULL,
    urine integer NOT NULL,
    weight real NOT NULL,
    exact_texts bytea
);

-- The incident table: rows are only added, numbered from 0.
CREATE TABLE vora.incidents (
    row_index integer PRIMARY KEY CHECK (row_index >= 0),
    last_change bigint NOT NULL DEFAULT nextval('vora.change_seq'),
    changed_at timestamptz NOT NULL DEFAULT now(),
    changed_by text NOT NULL DEFAULT current_setting('application_name'),
    incident_type integer NOT NULL,
    incident_type_detail integer NOT NULL,
    onset integer NOT NULL,
    preventability integer NOT NULL,
    outcome integer NOT NULL,
    cause_1 integer NOT NULL,
    cause_2 integer NOT NULL,
    cause_3 integer NOT NULL,
    insufficient_preop_evaluation integer NOT NULL,
    lack_of_knowledge integer NOT NULL,
    lack_of_skill integer NOT NULL,
    delayed_judgement integer NOT NULL,
    poor_communication integer NOT NULL,
    insufficient_monitoring integer NOT NULL,
    overwork integer NOT NULL,
    lack_of_manpower integer NOT NULL,
    other_cause integer NOT NULL,
    incident_type_note text NOT NULL,
    outcome_note text NOT NULL,
    cause_note text NOT NULL,
    exact_texts bytea
);

-- The five master lists (0 anesthesiologists, 1 supervisors, 2 wards, 3 operating rooms,
-- 4 departments): a row each that carries its version, and their names in order.
CREATE TABLE vora.lists (
    list_index smallint PRIMARY KEY CHECK (list_index BETWEEN 0 AND 4),
    list_name text NOT NULL,
    last_change bigint NOT NULL DEFAULT nextval('vora.change_seq'),
    changed_at timestamptz NOT NULL DEFAULT now(),
    changed_by text NOT NULL DEFAULT current_setting('application_name')
);
CREATE TABLE vora.list_items (
    list_index smallint NOT NULL REFERENCES vora.lists,
    position integer NOT NULL CHECK (position >= 0),
    name text NOT NULL,
    exact_name bytea,
    PRIMARY KEY (list_index, position)
);

CREATE TABLE vora.passwords (
    only_row boolean PRIMARY KEY DEFAULT true CHECK (only_row),
    last_change bigint NOT NULL DEFAULT nextval('vora.change_seq'),
    changed_at timestamptz NOT NULL DEFAULT now(),
    changed_by text NOT NULL DEFAULT current_setting('application_name'),
    admin_password text NOT NULL,
    user_password text NOT NULL,
    exact_admin_password bytea,
    exact_user_password bytea
);

CREATE TABLE vora.hospital (
    only_row boolean PRIMARY KEY DEFAULT true CHECK (only_row),
    last_change bigint NOT NULL DEFAULT nextval('vora.change_seq'),
    changed_at timestamptz NOT NULL DEFAULT now(),
    changed_by text NOT NULL DEFAULT current_setting('application_name'),
    hospital_type integer NOT NULL,
    hospital_location integer NOT NULL,
    beds integer NOT NULL,
    specialists real NOT NULL,
    full_time real NOT NULL,
    part_time real NOT NULL
);

-- The program's labels of its codes, as the patient list export writes them.
CREATE TABLE vora.code_labels (
    kind text NOT NULL,
    code integer NOT NULL,
    label text NOT NULL,
    PRIMARY KEY (kind, code)
);

-- Every write to the registry first takes the registry's write lock, so that changes are
-- numbered in the order they are committed.
CREATE FUNCTION vora.take_write_lock() RETURNS trigger LANGUAGE plpgsql AS $f$
BEGIN
    PERFORM pg_advisory_xact_lock(1987015265);
    RETURN NULL;
END
$f$;

-- A row changed gets the next number, the time and the workstation.
CREATE FUNCTION vora.stamp_row() RETURNS trigger LANGUAGE plpgsql AS $f$
BEGIN
    NEW.last_change := nextval('vora.change_seq');
    NEW.changed_at := now();
    NEW.changed_by := current_setting('application_name');
    RETURN NEW;
END
$f$;

-- The rows a statement wrote go into the change log (argument 0: the kind, 1: the column of
-- the target, or '' for none), and the workstations are told.
CREATE FUNCTION vora.log_changes() RETURNS trigger LANGUAGE plpgsql AS $f$
BEGIN
    EXECUTE format(
        'INSERT INTO vora.changes (seq, kind, target, changed_at, changed_by, token) '
        'SELECT last_change, %s, %s, changed_at, changed_by, '
        'nullif(current_setting(''vora.token'', true), '''') FROM changed_rows',
        TG_ARGV[0]::integer, CASE WHEN TG_ARGV[1] = '' THEN '0' ELSE quote_ident(TG_ARGV[1]) END);
    PERFORM pg_notify('vora_change', '');
    RETURN NULL;
END
$f$;

CREATE FUNCTION vora.two_decimals(value real) RETURNS numeric
LANGUAGE sql IMMUTABLE STRICT AS $f$
    -- As the export's "%.2f": the float's exact value, ties to even.
    SELECT round((round(value::double precision * 100) / 100)::numeric, 2)
$f$;
)sql"
           R"sql(
DO $do$
DECLARE
    t record;
BEGIN
    FOR t IN SELECT * FROM (VALUES
        ('cases', 1, 'record_index'), ('incidents', 6, 'row_index'), ('lists', 2, 'list_index'),
        ('passwords', 3, NULL), ('hospital', 4, NULL), ('list_items', 0, NULL))
        AS v(name, kind, target)
    LOOP
        EXECUTE format('CREATE TRIGGER %I BEFORE INSERT OR UPDATE OR DELETE OR TRUNCATE ON vora.%I '
                       'FOR EACH STATEMENT EXECUTE FUNCTION vora.take_write_lock()',
                       t.name || '_lock', t.name);
        CONTINUE WHEN t.kind = 0;
        EXECUTE format('CREATE TRIGGER %I BEFORE UPDATE ON vora.%I '
                       'FOR EACH ROW EXECUTE FUNCTION vora.stamp_row()',
                       t.name || '_stamp', t.name);
        EXECUTE format('CREATE TRIGGER %I AFTER INSERT ON vora.%I '
                       'REFERENCING NEW TABLE AS changed_rows FOR EACH STATEMENT '
                       'EXECUTE FUNCTION vora.log_changes(%L, %L)',
                       t.name || '_log_insert', t.name, t.kind, coalesce(t.target, ''));
        EXECUTE format('CREATE TRIGGER %I AFTER UPDATE ON vora.%I '
                       'REFERENCING NEW TABLE AS changed_rows FOR EACH STATEMENT '
                       'EXECUTE FUNCTION vora.log_changes(%L, %L)',
                       t.name || '_log_update', t.name, t.kind, coalesce(t.target, ''));
    END LOOP;
END
$do$;

-- One row per case with the columns of the patient list export, in its order; texts uncut.
CREATE VIEW vora.case_export AS
SELECT c.record_index + 1 AS record_number,
       extract(year FROM c.surgery_date)::integer AS surgery_year,
       extract(month FROM c.surgery_date)::integer AS surgery_month,
       extract(day FROM c.surgery_date)::integer AS surgery_day,
       c.patient_id,
       c.name,
       c.name_kana,
       vora.two_decimals(c.height) AS height,
       vora.two_decimals(c.weight) AS weight,
       CASE WHEN c.sex = 1 THEN '男性' ELSE '女性' END AS sex,
       c.age_years,
       c.age_months,
       c.age_days,
       c.disease,
       c.procedure,
       c.department,
       c.ward,
       c.operating_room,
       c.anesthesiologist_1,
       c.anesthesiologist_2,
       c.anesthesiologist_3,
       c.supervisor_1,
       c.supervisor_2,
       c.supervisor_3,
       c.asa AS asa_ps,
       position_label.label AS position,
       site_label.label AS surgical_site,
       method_label.label AS anesthesia_method,
       c.anesthesia_time,
       c.surgery_time,
       c.crystalloid,
       c.colloid,
       c.blood_loss,
       c.blood_loss_note,
       c.urine,
       c.map,
       CASE WHEN c.map_unit = 1 THEN 'g(ml)' ELSE '単位' END AS map_unit,
       c.ffp,
       CASE WHEN c.ffp_unit = 1 THEN 'g(ml)' ELSE '単位' END AS ffp_unit,
       c.pc,
       CASE WHEN c.pc_unit = 1 THEN 'g(ml)' ELSE '単位' END AS pc_unit,
       c.autologous,
       CASE WHEN c.autologous_unit = 1 THEN 'g(ml)' ELSE '単位' END AS autologous_unit,
       c.albumin AS albumin_ml,
       c.whole_blood,
       CASE WHEN c.whole_blood_unit = 1 THEN 'g(ml)' ELSE '単位' END AS whole_blood_unit,
       c.other_product_name,
       c.other_product AS other_product_amount,
       CASE WHEN c.other_unit = 1 THEN 'g(ml)' ELSE '単位' END AS other_product_unit,
       c.transfusion_note,
       comorbidity_1.label AS comorbidity_1,
       comorbidity_2.label AS comorbidity_2,
       comorbidity_3.label AS comorbidity_3,
       c.preop_comment AS comorbidity_comment,
       c.notes AS remarks,
       CASE WHEN c.withhold = 1 THEN '停止' END AS withheld_from_society,
       c.drug_incident,
       CASE WHEN c.incident_index <> -1 THEN '有' END AS incident,
       i.incident_type,
       i.incident_type_detail,
       i.onset,
       i.preventability,
       i.outcome,
       i.cause_1,
       i.cause_2,
       i.cause_3,
       i.insufficient_preop_evaluation,
       i.lack_of_knowledge,
       i.lack_of_skill,
       i.delayed_judgement,
       i.poor_communication,
       i.insufficient_monitoring,
       i.overwork,
       i.lack_of_manpower,
       i.other_cause,
       i.incident_type_note,
       i.outcome_note,
       i.cause_note
FROM vora.cases c
LEFT JOIN vora.incidents i ON i.row_index = c.incident_index AND c.incident_index <> -1
LEFT JOIN vora.code_labels position_label
       ON position_label.kind = 'position' AND position_label.code = c.position
LEFT JOIN vora.code_labels site_label ON site_label.kind = 'site' AND site_label.code = c.site
LEFT JOIN vora.code_labels method_label
       ON method_label.kind = 'method' AND method_label.code = c.method
LEFT JOIN vora.code_labels comorbidity_1
       ON comorbidity_1.kind = 'comorbidity' AND comorbidity_1.code = c.preop_code % 100
LEFT JOIN vora.code_labels comorbidity_2
       ON comorbidity_2.kind = 'comorbidity' AND comorbidity_2.code = c.preop_code / 100 % 100
LEFT JOIN vora.code_labels comorbidity_3
       ON comorbidity_3.kind = 'comorbidity' AND comorbidity_3.code = c.preop_code / 10000 % 100;
COMMENT ON VIEW vora.case_export IS
    'One row per case with the columns of the patient list export (vora_list.csv), in its order';

INSERT INTO vora.lists (list_index, list_name) VALUES
    (0, 'anesthesiologists'), (1, 'supervisors'), (2, 'wards'), (3, 'operating_rooms'),
    (4, 'departments');
INSERT INTO vora.schema_info (version) VALUES (1);
)sql";
}

namespace {

// text with every %NAME% replaced by its value.
std::string filled(std::string text,
                   const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [name, value] : values) {
        const std::string mark = "%" + name + "%";
        for (std::size_t at = text.find(mark); at != std::string::npos;
             at = text.find(mark, at + value.size())) {
            text.replace(at, mark.size(), value);
        }
    }
    return text;
}

} // namespace

std::string SchemaVersion2Sql(const std::string& userRole, const std::string& adminRole,
                              const std::string& userName, const std::string& adminName,
                              const std::string& caseColumns, const std::string& incidentColumns) {
    return filled(R"sql(
-- The registry's two roles: the general user's and the administrator's.
CREATE TABLE vora.roles (
    only_row boolean PRIMARY KEY DEFAULT true CHECK (only_row),
    user_role name NOT NULL,
    admin_role name NOT NULL
);
INSERT INTO vora.roles (user_role, admin_role) VALUES (%USER_NAME%, %ADMIN_NAME%);

-- A list's names in its own row too, so that its history shows them before and after.
ALTER TABLE vora.lists ADD COLUMN names text[] NOT NULL DEFAULT '{}';
UPDATE vora.lists l SET names = coalesce(
    (SELECT array_agg(name ORDER BY position) FROM vora.list_items i
     WHERE i.list_index = l.list_index), '{}');

-- The passwords are the roles' own, kept by the server alone.
DROP TABLE vora.passwords;

-- Who changed what, when and from where; written by the triggers alone, changed by no role
-- of the registry.
CREATE TABLE vora.history (
    id bigserial PRIMARY KEY,
    changed_at timestamptz NOT NULL DEFAULT now(),
    role_name name NOT NULL DEFAULT session_user,
    workstation text NOT NULL DEFAULT current_setting('application_name'),
    client_address inet DEFAULT inet_client_addr(),
    what text NOT NULL,     -- case, incident, list, hospital, password
    target integer,         -- record index, incident row or list number
    before jsonb,           -- the row before a change; none for a new row
    after jsonb
);
CREATE INDEX history_target ON vora.history (what, target);

-- The rows a statement wrote (argument 0: what they are, 1: the key column, '' for a table of
-- one row) as history rows.
CREATE FUNCTION vora.record_history() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, vora AS $f$
DECLARE
    target text := CASE WHEN TG_ARGV[1] = '' THEN 'NULL::integer' ELSE 'n.' || quote_ident(TG_ARGV[1]) END;
BEGIN
    IF TG_OP = 'INSERT' THEN
        EXECUTE format('INSERT INTO vora.history (what, target, after) '
                       'SELECT %L, %s, to_jsonb(n) FROM new_rows n', TG_ARGV[0], target);
    ELSE
        EXECUTE format('INSERT INTO vora.history (what, target, before, after) '
                       'SELECT %L, %s, to_jsonb(o), to_jsonb(n) FROM new_rows n JOIN old_rows o ON %s',
                       TG_ARGV[0], target,
                       CASE WHEN TG_ARGV[1] = '' THEN 'true'
                            ELSE format('o.%1$I = n.%1$I', TG_ARGV[1]) END);
    END IF;
    RETURN NULL;
END
$f$;

DO $do$
DECLARE
    t record;
BEGIN
    FOR t IN SELECT * FROM (VALUES ('cases', 'case', 'record_index'),
                                   ('incidents', 'incident', 'row_index'),
                                   ('lists', 'list', 'list_index'), ('hospital', 'hospital', ''))
        AS v(name, what, target)
    LOOP
        EXECUTE format('CREATE TRIGGER %I AFTER INSERT ON vora.%I '
                       'REFERENCING NEW TABLE AS new_rows FOR EACH STATEMENT '
                       'EXECUTE FUNCTION vora.record_history(%L, %L)',
                       t.name || '_history_insert', t.name, t.what, t.target);
        EXECUTE format('CREATE TRIGGER %I AFTER UPDATE ON vora.%I '
                       'REFERENCING OLD TABLE AS old_rows NEW TABLE AS new_rows FOR EACH STATEMENT '
                       'EXECUTE FUNCTION vora.record_history(%L, %L)',
                       t.name || '_history_update', t.name, t.what, t.target);
    END LOOP;
END
$do$;

-- The change log is written by the triggers alone, whoever changed the registry.
ALTER FUNCTION vora.log_changes() SECURITY DEFINER SET search_path = pg_catalog, vora;

-- A password of one of the registry's roles, given hashed (a SCRAM verifier), so that the
-- password itself never reaches the server or its log.
CREATE FUNCTION vora.set_password(role_name text, verifier text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, vora AS $f$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM vora.roles WHERE role_name IN (user_role, admin_role)) THEN
        RAISE EXCEPTION 'not a role of the registry: %', role_name USING ERRCODE = '42501';
    END IF;
    IF verifier NOT LIKE 'SCRAM-SHA-256$%' THEN
        RAISE EXCEPTION 'a password must come hashed' USING ERRCODE = '22023';
    END IF;
    EXECUTE format('ALTER ROLE %I PASSWORD %L', role_name, verifier);
    INSERT INTO vora.history (what, after) VALUES ('password', jsonb_build_object('role', role_name));
END
$f$;

-- What each role may do. Reading is everyone's; cases and incidents are written by both, the
-- lists, the hospital information and the passwords by the administrator; the server's own
-- columns (numbers, times, workstations) by the triggers alone; the history by no one.
REVOKE ALL ON SCHEMA vora FROM PUBLIC;
REVOKE ALL ON ALL TABLES IN SCHEMA vora FROM PUBLIC;
REVOKE ALL ON ALL SEQUENCES IN SCHEMA vora FROM PUBLIC;
REVOKE EXECUTE ON FUNCTION vora.set_password(text, text) FROM PUBLIC;
GRANT USAGE ON SCHEMA vora TO %USER%, %ADMIN%;
GRANT SELECT ON vora.schema_info, vora.roles, vora.changes, vora.cases, vora.incidents,
                vora.lists, vora.list_items, vora.hospital, vora.code_labels, vora.case_export
    TO %USER%, %ADMIN%;
GRANT SELECT ON vora.history TO %ADMIN%;
GRANT USAGE ON SEQUENCE vora.change_seq TO %USER%, %ADMIN%;
GRANT INSERT (record_index, surgery_date, %CASE_COLUMNS%, exact_texts),
      UPDATE (surgery_date, %CASE_COLUMNS%, exact_texts) ON vora.cases TO %USER%, %ADMIN%;
GRANT INSERT (row_index, %INCIDENT_COLUMNS%, exact_texts),
      UPDATE (%INCIDENT_COLUMNS%, exact_texts) ON vora.incidents TO %USER%, %ADMIN%;
GRANT UPDATE (names) ON vora.lists TO %ADMIN%;
GRANT INSERT, DELETE ON vora.list_items TO %ADMIN%;
GRANT UPDATE (hospital_type, hospital_location, beds, specialists, full_time, part_time)
    ON vora.hospital TO %ADMIN%;
GRANT EXECUTE ON FUNCTION vora.set_password(text, text) TO %ADMIN%;
DO $do$
BEGIN
    EXECUTE format('GRANT CONNECT ON DATABASE %I TO %s, %s', current_database(),
                   %USER_TEXT%, %ADMIN_TEXT%);
END
$do$;

UPDATE vora.schema_info SET version = 2;
)sql",
                  {{"USER_TEXT", "quote_ident(" + userName + ")"},
                   {"ADMIN_TEXT", "quote_ident(" + adminName + ")"},
                   {"USER_NAME", userName},
                   {"ADMIN_NAME", adminName},
                   {"USER", userRole},
                   {"ADMIN", adminRole},
                   {"CASE_COLUMNS", caseColumns},
                   {"INCIDENT_COLUMNS", incidentColumns}});
}

} // namespace server
