-- The site database Varcanto.mdb.
--
-- Field names are the ones the windows and the poll engine address (case-insensitively), declared
-- in each table's established field order, since recordsets list fields in declared order.
-- Yes/No fields are INTEGER 1/0 and start at 0 (No). The 28 band times are "HH:MM" texts that
-- start as "##:##" (not set); the other texts the windows always write start as ''. Numbers
-- without a stated default, and Carte.Stringa, stay Null until written.
-- Every table keeps its record order in its rowid (insertion order); no query sorts Carte, Fasce
-- or Lettori.

-- One row per user and card.
CREATE TABLE Carte (
    Cognome TEXT DEFAULT '',
    Nome TEXT DEFAULT '',
    Indirizzo TEXT DEFAULT '',
    NumeroCarta TEXT DEFAULT '',            -- 4 digits, zero-padded ("0007")
    Note TEXT DEFAULT '',
    Stringa TEXT,                           -- raw card data; Null unless registered from a reader,
                                            -- so an empty card read never matches a card
    AbilitaCarta INTEGER DEFAULT 0,
    Output1 INTEGER DEFAULT 0,
    Output2 INTEGER DEFAULT 0,
    Flag_fasce INTEGER DEFAULT 0,
    Flag_online INTEGER DEFAULT 0,
    ControllaInput INTEGER DEFAULT 0,
    MetodoInput INTEGER DEFAULT 0,          -- 1 And, 0 Or
    Input1 INTEGER DEFAULT 0,
    Input2 INTEGER DEFAULT 0,
    Imparziale INTEGER DEFAULT 0,
    SceltaFascia INTEGER,                   -- stand-alone band 1..3, 0 = all day
    Lettore TEXT DEFAULT '',                -- 64 '0'/'1', character k for reader k
    NomeFascia TEXT DEFAULT '',             -- trimmed name of the on-line schedule, '' for none
    -- copy of the schedule's days and bands, Sunday first as the card keeps them
    Domenica INTEGER DEFAULT 0, Lunedi INTEGER DEFAULT 0, Martedi INTEGER DEFAULT 0,
    Mercoledi INTEGER DEFAULT 0, Giovedi INTEGER DEFAULT 0, Venerdi INTEGER DEFAULT 0,
    Sabato INTEGER DEFAULT 0,
    Dom_1_da TEXT DEFAULT '##:##', Dom_1_a TEXT DEFAULT '##:##',
    Dom_2_da TEXT DEFAULT '##:##', Dom_2_a TEXT DEFAULT '##:##',
    Lun_1_da TEXT DEFAULT '##:##', Lun_1_a TEXT DEFAULT '##:##',
    Lun_2_da TEXT DEFAULT '##:##', Lun_2_a TEXT DEFAULT '##:##',
    Mar_1_da TEXT DEFAULT '##:##', Mar_1_a TEXT DEFAULT '##:##',
    Mar_2_da TEXT DEFAULT '##:##', Mar_2_a TEXT DEFAULT '##:##',
    Mer_1_da TEXT DEFAULT '##:##', Mer_1_a TEXT DEFAULT '##:##',
    Mer_2_da TEXT DEFAULT '##:##', Mer_2_a TEXT DEFAULT '##:##',
    Gio_1_da TEXT DEFAULT '##:##', Gio_1_a TEXT DEFAULT '##:##',
    Gio_2_da TEXT DEFAULT '##:##', Gio_2_a TEXT DEFAULT '##:##',
    Ven_1_da TEXT DEFAULT '##:##', Ven_1_a TEXT DEFAULT '##:##',
    Ven_2_da TEXT DEFAULT '##:##', Ven_2_a TEXT DEFAULT '##:##',
    Sab_1_da TEXT DEFAULT '##:##', Sab_1_a TEXT DEFAULT '##:##',
    Sab_2_da TEXT DEFAULT '##:##', Sab_2_a TEXT DEFAULT '##:##'
);
CREATE INDEX Carte_NumeroCarta ON Carte (NumeroCarta);
CREATE INDEX Carte_Stringa ON Carte (Stringa);
CREATE INDEX Carte_Cognome ON Carte (Cognome);

-- One row per on-line weekly schedule ("turno").
CREATE TABLE Fasce (
    Nome TEXT DEFAULT '',                   -- as typed, compared trimmed
    Quanti INTEGER DEFAULT 0,               -- cards the random check draws from
    Lunedi INTEGER DEFAULT 0, Martedi INTEGER DEFAULT 0, Mercoledi INTEGER DEFAULT 0,
    Giovedi INTEGER DEFAULT 0, Venerdi INTEGER DEFAULT 0, Sabato INTEGER DEFAULT 0,
    Domenica INTEGER DEFAULT 0,
    Lun_1_da TEXT DEFAULT '##:##', Lun_1_a TEXT DEFAULT '##:##',
    Lun_2_da TEXT DEFAULT '##:##', Lun_2_a TEXT DEFAULT '##:##',
    Mar_1_da TEXT DEFAULT '##:##', Mar_1_a TEXT DEFAULT '##:##',
    Mar_2_da TEXT DEFAULT '##:##', Mar_2_a TEXT DEFAULT '##:##',
    Mer_1_da TEXT DEFAULT '##:##', Mer_1_a TEXT DEFAULT '##:##',
    Mer_2_da TEXT DEFAULT '##:##', Mer_2_a TEXT DEFAULT '##:##',
    Gio_1_da TEXT DEFAULT '##:##', Gio_1_a TEXT DEFAULT '##:##',
    Gio_2_da TEXT DEFAULT '##:##', Gio_2_a TEXT DEFAULT '##:##',
    Ven_1_da TEXT DEFAULT '##:##', Ven_1_a TEXT DEFAULT '##:##',
    Ven_2_da TEXT DEFAULT '##:##', Ven_2_a TEXT DEFAULT '##:##',
    Sab_1_da TEXT DEFAULT '##:##', Sab_1_a TEXT DEFAULT '##:##',
    Sab_2_da TEXT DEFAULT '##:##', Sab_2_a TEXT DEFAULT '##:##',
    Dom_1_da TEXT DEFAULT '##:##', Dom_1_a TEXT DEFAULT '##:##',
    Dom_2_da TEXT DEFAULT '##:##', Dom_2_a TEXT DEFAULT '##:##'
);
CREATE INDEX Fasce_Nome ON Fasce (Nome);

-- One row per reader; reader k is the k-th row.
CREATE TABLE Lettori (
    TipoLettore TEXT DEFAULT '',
    SituatoPresso TEXT DEFAULT '',          -- 8 characters, blank-filled
    CodiceImpianto TEXT DEFAULT '',         -- 6 digits, zero-padded
    Ritardo INTEGER,
    Stato TEXT DEFAULT '',                  -- "In", "Out" or "InOut"
    PosCarta1 INTEGER, PosCarta2 INTEGER, PosCarta3 INTEGER, PosCarta4 INTEGER,
    PosCodice1 INTEGER, PosCodice2 INTEGER, PosCodice3 INTEGER,
    PosCodice4 INTEGER, PosCodice5 INTEGER, PosCodice6 INTEGER,
    NumeroLoop INTEGER,
    NumeroIndirizzo INTEGER,
    RiscriviRam INTEGER DEFAULT 0,
    TestInput INTEGER DEFAULT 0,
    FasceOrarie INTEGER DEFAULT 0
);

-- One row per decided card read, granted or refused.
CREATE TABLE transiti (
    NumeroBadge TEXT DEFAULT '',
    Cognome TEXT DEFAULT '',
    Nome TEXT DEFAULT '',
    PosizioneLettore TEXT DEFAULT '',       -- the reader's SituatoPresso
    Data TEXT DEFAULT '',                   -- dd/mm/yyyy
    Ora TEXT DEFAULT '',                    -- hh:mm
    Passaggio INTEGER DEFAULT 0,
    verso TEXT DEFAULT '',                  -- the reader's Stato
    nota TEXT DEFAULT '',                   -- "Passaggio" or the refusal cause
    -- Insertion counter: the history orders transits of the same minute by it. AUTOINCREMENT so
    -- that a number freed by deleting the newest transits is never given again.
    indice INTEGER PRIMARY KEY AUTOINCREMENT
);
CREATE INDEX transiti_Data ON transiti (Data);
-- The program adds transiti_Giorno, an index on each transit's day and time of day written in
-- SQLite's built-in functions (so this shell keeps it too), when the history is first shown.
CREATE INDEX transiti_NumeroBadge ON transiti (NumeroBadge);

-- The people inside, for anti-pass-back.
CREATE TABLE presenti (
    NumeroBadge TEXT DEFAULT ''
);
CREATE INDEX presenti_NumeroBadge ON presenti (NumeroBadge);
-- Anti-pass-back looks a person up by the trimmed number (a row may hold blanks).
CREATE INDEX presenti_trim_NumeroBadge ON presenti (trim(NumeroBadge));

-- Transits downloaded from the readers' memory. Written only, never searched: no index.
CREATE TABLE Storico (
    NumeroCarta TEXT DEFAULT '',
    Cognome TEXT DEFAULT '',
    Nome TEXT DEFAULT '',
    NumeroLettore TEXT DEFAULT '',          -- the reader's number, decimal text
    SituatoPresso TEXT DEFAULT '',          -- trimmed
    Data TEXT DEFAULT '',                   -- dd/mm/yyyy, day and month as the reader sent them
    Ora TEXT DEFAULT ''
);
