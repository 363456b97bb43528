-- Version-5 database structure of every table the programs touch.
-- Text columns compare case-insensitively (COLLATE NOCASE), so that the
-- look-ups by code find "abc" for "ABC" and still use the index on sCodice.
-- Codes are not unique: several records may share one, and codes cut to
-- 10 characters can collide.

CREATE TABLE "tblCaClienti" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(30) COLLATE NOCASE
);
CREATE INDEX "idx_tblCaClienti_sCodice" ON "tblCaClienti" ("sCodice");

CREATE TABLE "tblBoClienti" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(30) COLLATE NOCASE
);
CREATE INDEX "idx_tblBoClienti_sCodice" ON "tblBoClienti" ("sCodice");

CREATE TABLE "tblAnMandanti" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sCognome" VARCHAR(30) COLLATE NOCASE,
  "sNome" VARCHAR(30) COLLATE NOCASE DEFAULT '',
  "sDenominazione" VARCHAR(100) COLLATE NOCASE,
  "sTelefono1" VARCHAR(30) COLLATE NOCASE,
  "sTelefono2" VARCHAR(30) COLLATE NOCASE,
  "sEMail" VARCHAR(100) COLLATE NOCASE,
  "sSitoWeb" VARCHAR(50) COLLATE NOCASE,
  "sFax" VARCHAR(30) COLLATE NOCASE,
  "sCoFiscale" VARCHAR(16) COLLATE NOCASE,
  "sPartitaIVA" VARCHAR(11) COLLATE NOCASE,
  "sPartitaIVACEE" VARCHAR(20) COLLATE NOCASE,
  "sSCCitta" VARCHAR(60) COLLATE NOCASE,
  "sSCIndirizzo" VARCHAR(100) COLLATE NOCASE,
  "sSCStato" VARCHAR(40) COLLATE NOCASE,
  "sSCProvincia" VARCHAR(2) COLLATE NOCASE,
  "sSCCap" VARCHAR(5) COLLATE NOCASE,
  "sSLCitta" VARCHAR(60) COLLATE NOCASE,
  "sSLIndirizzo" VARCHAR(100) COLLATE NOCASE,
  "sSLStato" VARCHAR(40) COLLATE NOCASE,
  "sSLProvincia" VARCHAR(2) COLLATE NOCASE,
  "sSLCap" VARCHAR(5) COLLATE NOCASE,
  "nProvvigione" DOUBLE DEFAULT 0,
  "nEAAgente" DOUBLE DEFAULT 0,
  "nEAAzienda" DOUBLE DEFAULT 0,
  "nEAMassimale" CURRENCY DEFAULT 0,
  "nEAMinimale" CURRENCY DEFAULT 0,
  "nEAPagato" CURRENCY DEFAULT 0,
  "nESAgente" DOUBLE DEFAULT 0,
  "nESAzienda" DOUBLE DEFAULT 0,
  "nESMassimale" CURRENCY DEFAULT 0,
  "nESMinimale" CURRENCY DEFAULT 0,
  "nESPagato" CURRENCY DEFAULT 0,
  "sNote" MEMO,
  "bAttivo" BOOLEAN NOT NULL DEFAULT 1,
  "dInserimento" DATETIME DEFAULT CURRENT_TIMESTAMP
);
CREATE INDEX "idx_tblAnMandanti_sCodice" ON "tblAnMandanti" ("sCodice");

CREATE TABLE "tblAree" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(30) COLLATE NOCASE
);
CREATE INDEX "idx_tblAree_sCodice" ON "tblAree" ("sCodice");

CREATE TABLE "tblZone" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(30) COLLATE NOCASE,
  "IDArea" INTEGER
);
CREATE INDEX "idx_tblZone_sCodice" ON "tblZone" ("sCodice");

CREATE TABLE "tblTiPagamento" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(30) COLLATE NOCASE,
  "bRiBa" BOOLEAN NOT NULL DEFAULT 0
);
CREATE INDEX "idx_tblTiPagamento_sCodice" ON "tblTiPagamento" ("sCodice");

CREATE TABLE "tblMoPagamento" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(100) COLLATE NOCASE,
  "nRate" SMALLINT DEFAULT 1,
  "nScad01" INTEGER NOT NULL DEFAULT 0,
  "nScad02" INTEGER NOT NULL DEFAULT 0,
  "nScad03" INTEGER NOT NULL DEFAULT 0,
  "nScad04" INTEGER NOT NULL DEFAULT 0,
  "nScad05" INTEGER NOT NULL DEFAULT 0,
  "nScad06" INTEGER NOT NULL DEFAULT 0,
  "nScad07" INTEGER NOT NULL DEFAULT 0,
  "nScad08" INTEGER NOT NULL DEFAULT 0,
  "nScad09" INTEGER NOT NULL DEFAULT 0,
  "nScad10" INTEGER NOT NULL DEFAULT 0,
  "nScad11" INTEGER NOT NULL DEFAULT 0,
  "nScad12" INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX "idx_tblMoPagamento_sCodice" ON "tblMoPagamento" ("sCodice");

CREATE TABLE "tblCaArticoli" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(30) COLLATE NOCASE,
  "sNote" VARCHAR(255) COLLATE NOCASE
);
CREATE INDEX "idx_tblCaArticoli_sCodice" ON "tblCaArticoli" ("sCodice");

CREATE TABLE "tblAliquoteIVA" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(30) COLLATE NOCASE,
  "nPercentuale" DOUBLE DEFAULT 0,
  "sNote" VARCHAR(255) COLLATE NOCASE
);
CREATE INDEX "idx_tblAliquoteIVA_sCodice" ON "tblAliquoteIVA" ("sCodice");

CREATE TABLE "tblListini" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(30) COLLATE NOCASE,
  "nPercentuale" DOUBLE DEFAULT 0,
  "IDRiListino" INTEGER
);
CREATE INDEX "idx_tblListini_sCodice" ON "tblListini" ("sCodice");

CREATE TABLE "tblUnMisura" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(30) COLLATE NOCASE
);
CREATE INDEX "idx_tblUnMisura_sCodice" ON "tblUnMisura" ("sCodice");

CREATE TABLE "tblAnSubAgenti" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sCognome" VARCHAR(30) COLLATE NOCASE,
  "sNome" VARCHAR(30) COLLATE NOCASE DEFAULT '',
  "sDenominazione" VARCHAR(100) COLLATE NOCASE,
  "sTelefono1" VARCHAR(30) COLLATE NOCASE,
  "sTelefono2" VARCHAR(30) COLLATE NOCASE,
  "sEMail" VARCHAR(100) COLLATE NOCASE,
  "sSitoWeb" VARCHAR(50) COLLATE NOCASE,
  "sFax" VARCHAR(30) COLLATE NOCASE,
  "sCoFiscale" VARCHAR(16) COLLATE NOCASE,
  "sPartitaIVA" VARCHAR(11) COLLATE NOCASE,
  "sPartitaIVACEE" VARCHAR(20) COLLATE NOCASE,
  "sCitta" VARCHAR(60) COLLATE NOCASE,
  "sIndirizzo" VARCHAR(100) COLLATE NOCASE,
  "sStato" VARCHAR(40) COLLATE NOCASE,
  "sProvincia" VARCHAR(2) COLLATE NOCASE,
  "sCap" VARCHAR(5) COLLATE NOCASE,
  "nProvvigione" DOUBLE DEFAULT 0,
  "nRiAcconto1" DOUBLE DEFAULT 0,
  "nRiAcconto2" DOUBLE DEFAULT 0,
  "sABI1" VARCHAR(10) COLLATE NOCASE,
  "sCAB1" VARCHAR(10) COLLATE NOCASE,
  "sCoCorrente1" VARCHAR(25) COLLATE NOCASE,
  "IDTiMandato" INTEGER NOT NULL DEFAULT 0,
  "IDArea" INTEGER,
  "IDZona" INTEGER,
  "sNote" MEMO,
  "bAttivo" BOOLEAN NOT NULL DEFAULT 1
);
CREATE INDEX "idx_tblAnSubAgenti_sCodice" ON "tblAnSubAgenti" ("sCodice");

CREATE TABLE "tblAnClienti" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sCognome" VARCHAR(30) COLLATE NOCASE,
  "sNome" VARCHAR(30) COLLATE NOCASE DEFAULT '',
  "sDenominazione" VARCHAR(100) COLLATE NOCASE,
  "sTelefono1" VARCHAR(30) COLLATE NOCASE,
  "sTelefono2" VARCHAR(30) COLLATE NOCASE,
  "sEMail" VARCHAR(100) COLLATE NOCASE,
  "sSitoWeb" VARCHAR(50) COLLATE NOCASE,
  "sFax" VARCHAR(30) COLLATE NOCASE,
  "sCoFiscale" VARCHAR(16) COLLATE NOCASE,
  "sPartitaIVA" VARCHAR(11) COLLATE NOCASE,
  "sPartitaIVACEE" VARCHAR(20) COLLATE NOCASE,
  "sSCCitta" VARCHAR(60) COLLATE NOCASE,
  "sSCIndirizzo" VARCHAR(100) COLLATE NOCASE,
  "sSCStato" VARCHAR(40) COLLATE NOCASE,
  "sSCProvincia" VARCHAR(2) COLLATE NOCASE,
  "sSCCap" VARCHAR(5) COLLATE NOCASE,
  "sSLCitta" VARCHAR(60) COLLATE NOCASE,
  "sSLIndirizzo" VARCHAR(100) COLLATE NOCASE,
  "sSLStato" VARCHAR(40) COLLATE NOCASE,
  "sSLProvincia" VARCHAR(2) COLLATE NOCASE,
  "sSLCap" VARCHAR(5) COLLATE NOCASE,
  "sCOCognome" VARCHAR(30) COLLATE NOCASE,
  "sCONome" VARCHAR(30) COLLATE NOCASE,
  "sCOOrario" VARCHAR(15) COLLATE NOCASE,
  "sCOPosizione" VARCHAR(50) COLLATE NOCASE,
  "nSconto1" DOUBLE DEFAULT 0,
  "nSconto2" DOUBLE DEFAULT 0,
  "nSconto3" DOUBLE DEFAULT 0,
  "nSconto4" DOUBLE DEFAULT 0,
  "nSconto5" DOUBLE DEFAULT 0,
  "sABI1" VARCHAR(10) COLLATE NOCASE,
  "sCAB1" VARCHAR(10) COLLATE NOCASE,
  "sCoCorrente1" VARCHAR(25) COLLATE NOCASE,
  "sABI2" VARCHAR(10) COLLATE NOCASE,
  "sCAB2" VARCHAR(10) COLLATE NOCASE,
  "sCoCorrente2" VARCHAR(25) COLLATE NOCASE,
  "IDCategoria" INTEGER,
  "IDBonta" INTEGER,
  "IDTiPagamento" INTEGER,
  "IDMoPagamento" INTEGER,
  "IDListino" INTEGER,
  "IDMandante" INTEGER,
  "IDArea" INTEGER,
  "IDZona" INTEGER,
  "IDSubAgente" INTEGER,
  "nFido" CURRENCY NOT NULL DEFAULT 0,
  "sNote" MEMO,
  "bAttivo" BOOLEAN NOT NULL DEFAULT 1,
  "dInserimento" DATETIME DEFAULT CURRENT_TIMESTAMP
);
CREATE INDEX "idx_tblAnClienti_sCodice" ON "tblAnClienti" ("sCodice");

CREATE TABLE "tblArticoli" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(255) COLLATE NOCASE,
  "sNote" VARCHAR(255) COLLATE NOCASE,
  "nPrezzo" CURRENCY DEFAULT 0,
  "nGiacenza" DOUBLE DEFAULT 0,
  "sProduttore" VARCHAR(60) COLLATE NOCASE,
  "nSconto1" DOUBLE DEFAULT 0,
  "nSconto2" DOUBLE DEFAULT 0,
  "nSconto3" DOUBLE DEFAULT 0,
  "nSconto4" DOUBLE DEFAULT 0,
  "nSconto5" DOUBLE DEFAULT 0,
  "nPrMiListino" CURRENCY DEFAULT 0,
  "nScMinima" DOUBLE DEFAULT 0,
  "IDCategoria1" INTEGER,
  "IDCategoria2" INTEGER,
  "IDUnMisura" INTEGER,
  "IDMandante" INTEGER,
  "IDAliquotaIVA" INTEGER,
  "bAttivo" BOOLEAN NOT NULL DEFAULT 1
);
CREATE INDEX "idx_tblArticoli_sCodice" ON "tblArticoli" ("sCodice");

CREATE TABLE "tblArListini" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "IDListino" INTEGER,
  "IDArticolo" INTEGER,
  "nPrezzo" CURRENCY DEFAULT 0,
  "nSconto" DOUBLE DEFAULT 0
);

-- Customer categories and rating classes are not migrated: the application
-- delivers them with its empty database.
INSERT INTO "tblCaClienti" ("sCodice", "sDescrizione") VALUES ('', '(nessuna)');
INSERT INTO "tblCaClienti" ("sCodice", "sDescrizione") VALUES ('A', 'Grande distribuzione');
INSERT INTO "tblCaClienti" ("sCodice", "sDescrizione") VALUES ('B', 'Dettaglio');
INSERT INTO "tblCaClienti" ("sCodice", "sDescrizione") VALUES ('C', 'Ingrosso');
INSERT INTO "tblCaClienti" ("sCodice", "sDescrizione") VALUES ('D', 'Enti pubblici');
INSERT INTO "tblBoClienti" ("sCodice", "sDescrizione") VALUES ('1', 'Ottimo');
INSERT INTO "tblBoClienti" ("sCodice", "sDescrizione") VALUES ('2', 'Buono');
INSERT INTO "tblBoClienti" ("sCodice", "sDescrizione") VALUES ('3', 'Discreto');
INSERT INTO "tblBoClienti" ("sCodice", "sDescrizione") VALUES ('4', 'Scarso');
