-- Rows of the sample archive. Keys have gaps, as in an archive where
-- records were deleted, so that the upgrade shows they are carried as
-- they stand.
INSERT INTO "tblAree" ("ID", "sCodice", "sDescrizione") VALUES (1, 'N', 'Nord');
INSERT INTO "tblAree" ("ID", "sCodice", "sDescrizione") VALUES (2, 'C', 'Centro');
INSERT INTO "tblAree" ("ID", "sCodice", "sDescrizione") VALUES (5, 'S', 'Sud e isole');
INSERT INTO "tblZone" ("ID", "sCodice", "sDescrizione", "IDArea") VALUES (1, 'MI', 'Milano', 1);
INSERT INTO "tblZone" ("ID", "sCodice", "sDescrizione", "IDArea") VALUES (2, 'TO', 'Torino', 1);
INSERT INTO "tblZone" ("ID", "sCodice", "sDescrizione", "IDArea") VALUES (4, 'RM', 'Roma', 2);
INSERT INTO "tblZone" ("ID", "sCodice", "sDescrizione", "IDArea") VALUES (9, 'NA', 'Napoli', 5);
INSERT INTO "tblAnMandanti" ("ID", "sCodice", "sDenominazione", "sTelefono1", "sFax", "nProvvigione", "nEAMassimale", "sNote", "bAttivo", "dInserimento")
  VALUES (3, 'M001', 'Tessuti Lombardi S.p.A.', '02 1234567', '02 7654321', 6.5, 12000, 'Mandato esclusivo per il Nord', 1, '2019-03-01 00:00:00');
INSERT INTO "tblAnMandanti" ("ID", "sCodice", "sDenominazione", "sTelefono1", "sFax", "nProvvigione", "nEAMassimale", "sNote", "bAttivo", "dInserimento")
  VALUES (7, 'M002', 'Ceramiche dell''Adriatico', '071 998877', NULL, 8, 9500.5, NULL, 0, '2020-11-15 00:00:00');
INSERT INTO "tblAnClienti" ("ID", "sCodice", "sDenominazione", "sSCCitta", "sSCProvincia", "IDArea", "IDZona", "IDMandante", "nFido", "nSconto1", "bAttivo", "dInserimento")
  VALUES (10, 'C0001', 'Bianchi & Figli s.n.c.', 'Milano', 'MI', 1, 1, 3, 5000, 2.5, 1, '2021-01-10 00:00:00');
INSERT INTO "tblAnClienti" ("ID", "sCodice", "sDenominazione", "sSCCitta", "sSCProvincia", "IDArea", "IDZona", "IDMandante", "nFido", "nSconto1", "bAttivo", "dInserimento")
  VALUES (11, 'C0002', 'Emporio Rossi', 'Torino', 'TO', 1, 2, 3, 1500, 0, 1, '2021-02-03 00:00:00');
INSERT INTO "tblAnClienti" ("ID", "sCodice", "sDenominazione", "sSCCitta", "sSCProvincia", "IDArea", "IDZona", "IDMandante", "nFido", "nSconto1", "bAttivo", "dInserimento")
  VALUES (25, 'C0003', 'Casa della Ceramica', 'Napoli', 'NA', 5, 9, 7, 0, 5, 0, '2022-06-30 00:00:00');
INSERT INTO "tblUnMisura" ("ID", "sCodice", "sDescrizione") VALUES (1, 'PZ', 'Pezzi');
INSERT INTO "tblUnMisura" ("ID", "sCodice", "sDescrizione") VALUES (2, 'MT', 'Metri');
INSERT INTO "tblAliquoteIVA" ("ID", "sCodice", "sDescrizione", "nPercentuale") VALUES (1, '22', 'Ordinaria', 22);
INSERT INTO "tblAliquoteIVA" ("ID", "sCodice", "sDescrizione", "nPercentuale") VALUES (2, '10', 'Ridotta', 10);
INSERT INTO "tblArticoli" ("ID", "sCodice", "sDescrizione", "nPrezzo", "IDUnMisura", "IDMandante", "IDAliquotaIVA", "bAttivo")
  VALUES (100, 'T-LINO-01', 'Lino grezzo altezza 150', 12.75, 2, 3, 1, 1);
INSERT INTO "tblArticoli" ("ID", "sCodice", "sDescrizione", "nPrezzo", "IDUnMisura", "IDMandante", "IDAliquotaIVA", "bAttivo")
  VALUES (101, 'C-PIAS-30', 'Piastrella 30x30 cotto', 1.9, 1, 7, 1, 1);
-- The archive's own rating classes: the new structure no longer has the
-- table, so they are not carried over.
INSERT INTO "tblBoClienti" ("sCodice", "sDescrizione") VALUES ('5', 'Da verificare');
