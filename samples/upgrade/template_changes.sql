-- The new structure, applied to the version-5 tables: fields added with
-- their defaults, a table added with the rows it is delivered with, and the
-- rating classes gone. (sFax of the principals is dropped by make_samples.sh
-- before the tables are created.)
ALTER TABLE "tblAnClienti" ADD COLUMN "sPEC" VARCHAR(100) COLLATE NOCASE DEFAULT '';
ALTER TABLE "tblAnClienti" ADD COLUMN "bNewsletter" BOOLEAN NOT NULL DEFAULT 0;
ALTER TABLE "tblAnMandanti" ADD COLUMN "nProvvigioneMinima" DOUBLE DEFAULT 1.5;
ALTER TABLE "tblArticoli" ADD COLUMN "sCodiceEAN" VARCHAR(13) COLLATE NOCASE DEFAULT '';

CREATE TABLE "tblNazioni" (
  "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
  "sCodice" VARCHAR(10) COLLATE NOCASE,
  "sDescrizione" VARCHAR(30) COLLATE NOCASE
);
INSERT INTO "tblNazioni" ("sCodice", "sDescrizione") VALUES ('IT', 'Italia');
INSERT INTO "tblNazioni" ("sCodice", "sDescrizione") VALUES ('FR', 'Francia');
INSERT INTO "tblNazioni" ("sCodice", "sDescrizione") VALUES ('DE', 'Germania');

DROP TABLE "tblBoClienti";
