-- The report database template RepVarcanto.mdb.schema; at every start RepVarcanto.mdb is replaced
-- by a copy of it, so both tables start empty.
--
-- Yes/No fields are INTEGER 1/0. Date/time fields are REAL day numbers (days since 30/12/1899,
-- the time of day as the fraction), as CDATE gives them; they sort in time order.

-- The rows of the last history query, for the daily report and the attendance computation.
CREATE TABLE TEMP (
    Cognome TEXT DEFAULT '',
    Nome TEXT DEFAULT '',
    Ora TEXT DEFAULT '',                    -- hh:mm
    NumeroBadge TEXT DEFAULT '',
    Data TEXT DEFAULT '',                   -- dd/mm/yyyy
    causale TEXT DEFAULT '',                -- the transit's PosizioneLettore
    nota TEXT DEFAULT '',
    verso TEXT DEFAULT '',
    dataora REAL,                           -- Data and Ora as one date/time
    passaggio INTEGER DEFAULT 0
);

-- One row per attendance interval: an entry with its exit, or an entry or exit alone.
CREATE TABLE presenze (
    cognome TEXT DEFAULT '',
    nome TEXT DEFAULT '',
    numerobadge TEXT DEFAULT '',
    mancaingresso INTEGER DEFAULT 0,
    mancauscita INTEGER DEFAULT 0,
    dataingresso REAL,                      -- Null when the entry is missing
    sdataingresso TEXT DEFAULT '',          -- dd/mm/yy-hh:mm:ss, or 17 "=" when missing
    dataUscita REAL,                        -- Null when the exit is missing
    sdataUscita TEXT DEFAULT '',
    numeroore INTEGER,                      -- Null unless both ends are known
    numerominuti INTEGER
);
