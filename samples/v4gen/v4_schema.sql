-- Version-4 archive structure: the thirteen tables the migration reads,
-- with the column types and sizes of the version-4 application (texts of
-- a given size, notes as memos, percentages and quantities as doubles,
-- amounts as currency). Fields the migration does not read are kept too.

CREATE TABLE "Fornitori" (
  "id" VARCHAR(20), "Denominazione" VARCHAR(50), "Telefono1" VARCHAR(20), "Telefono2" VARCHAR(20),
  "EMAIL" VARCHAR(60), "HTTP" VARCHAR(100), "Fax" VARCHAR(20), "CodFiscale" VARCHAR(20),
  "Piva" VARCHAR(15), "PivaCEE" VARCHAR(25),
  "LocalitàSC" VARCHAR(50), "IndirizzoSC" VARCHAR(60), "idStatoSC" VARCHAR(30), "idProvinciaSC" VARCHAR(5), "idCAPSC" VARCHAR(10),
  "LocalitàSL" VARCHAR(50), "IndirizzoSL" VARCHAR(60), "idStatoSL" VARCHAR(30), "idProvinciaSL" VARCHAR(5), "idCAPSL" VARCHAR(10),
  "PercProvvigioni" DOUBLE, "PEnas" DOUBLE, "PEnasAz" DOUBLE, "ImpMassimo" CURRENCY,
  "ImpMassimoEuro" CURRENCY, "ImpMinimoEuro" CURRENCY, "ImpPagatoEuro" CURRENCY,
  "PEnasSub" DOUBLE, "PEnasAzSub" DOUBLE, "ImpMassimoEuroSub" CURRENCY, "ImpMinimoEuroSub" CURRENCY,
  "ImpPagatoEuroSub" CURRENCY, "Note" MEMO, "DataInserimento" DATETIME
);

CREATE TABLE "Area" ("id" VARCHAR(15), "Descrizione" VARCHAR(50));

CREATE TABLE "Zona" ("id" VARCHAR(15), "Descrizione" VARCHAR(50), "idArea" VARCHAR(15));

CREATE TABLE "Pagamenti" ("id" VARCHAR(15), "Descrizione" VARCHAR(50), "RiBa" BOOLEAN NOT NULL DEFAULT 0);

CREATE TABLE "ModalitaPagamento" (
  "id" VARCHAR(15), "Descrizione" VARCHAR(150), "Rate" SMALLINT,
  "Scad1" VARCHAR(20), "Scad2" VARCHAR(20), "Scad3" VARCHAR(20), "Scad4" VARCHAR(20),
  "Scad5" VARCHAR(20), "Scad6" VARCHAR(20), "Scad7" VARCHAR(20), "Scad8" VARCHAR(20),
  "Scad9" VARCHAR(20), "Scad10" VARCHAR(20), "Scad11" VARCHAR(20), "Scad12" VARCHAR(20)
);

CREATE TABLE "CatArt" ("id" VARCHAR(15), "Descrizione" VARCHAR(50), "Note" MEMO);

CREATE TABLE "IVA" ("id" VARCHAR(10), "Descrizione" VARCHAR(50), "Percentuale" DOUBLE, "Note" MEMO);

CREATE TABLE "Listini" ("id" VARCHAR(15), "Descrizione" VARCHAR(50), "Perc" DOUBLE, "idListino" VARCHAR(15));

CREATE TABLE "Unita" ("id" VARCHAR(15), "Descrizione" VARCHAR(50));

CREATE TABLE "Agenti" (
  "id" VARCHAR(20), "Denominazione" VARCHAR(50), "Telefono1" VARCHAR(20), "Telefono2" VARCHAR(20),
  "EMAIL" VARCHAR(60), "HTTP" VARCHAR(100), "Fax" VARCHAR(20), "CodFiscale" VARCHAR(20),
  "Piva" VARCHAR(15), "PivaCEE" VARCHAR(25),
  "LocalitàSC" VARCHAR(50), "IndirizzoSC" VARCHAR(60), "idStatoSC" VARCHAR(30), "idProvinciaSC" VARCHAR(5), "idCAPSC" VARCHAR(10),
  "PercProvvigioni" DOUBLE, "RitAcc1" DOUBLE, "RitAcc2" DOUBLE,
  "idABI" VARCHAR(15), "idCAB" VARCHAR(15), "ContoCorrente" VARCHAR(30),
  "idArea" VARCHAR(15), "idZona" VARCHAR(15), "Attivo" BOOLEAN NOT NULL DEFAULT 1, "Note" MEMO
);

CREATE TABLE "Clienti" (
  "id" VARCHAR(20), "Denominazione" VARCHAR(50), "Telefono1" VARCHAR(20), "Telefono2" VARCHAR(20),
  "EMAIL" VARCHAR(60), "HTTP" VARCHAR(100), "Fax" VARCHAR(20), "CodFiscale" VARCHAR(20),
  "Piva" VARCHAR(15), "PivaCEE" VARCHAR(25),
  "LocalitàSC" VARCHAR(50), "IndirizzoSC" VARCHAR(60), "idStatoSC" VARCHAR(30), "idProvinciaSC" VARCHAR(5), "idCAPSC" VARCHAR(10),
  "LocalitàSL" VARCHAR(50), "IndirizzoSL" VARCHAR(60), "idStatoSL" VARCHAR(30), "idProvinciaSL" VARCHAR(5), "idCAPSL" VARCHAR(10),
  "ContattoCogn" VARCHAR(40), "ContattoNome" VARCHAR(40), "ContattoOrario" VARCHAR(30), "ContattoPosizione" VARCHAR(60),
  "Sct1" DOUBLE, "Sct2" DOUBLE, "Sct3" DOUBLE, "Sct4" DOUBLE, "Sct5" DOUBLE,
  "idABI" VARCHAR(15), "idCAB" VARCHAR(15), "ContoCorrente" VARCHAR(30),
  "idABI1" VARCHAR(15), "idCAB1" VARCHAR(15), "ContoCorrente1" VARCHAR(30),
  "idCategoria" VARCHAR(15), "idBonta" VARCHAR(15), "idPagamento" VARCHAR(15), "idModalitaPagamento" VARCHAR(15),
  "idListino" VARCHAR(15), "idMandante" VARCHAR(20), "idArea" VARCHAR(15), "idZona" VARCHAR(15),
  "CodAgente" VARCHAR(20), "Fido" CURRENCY, "Note" MEMO, "DataInserimento" DATETIME
);

CREATE TABLE "Articoli" (
  "id" VARCHAR(20), "Descrizione" VARCHAR(255), "Note" MEMO, "PrezzoUnitario" CURRENCY,
  "PrezzoUnitarioEuro" CURRENCY, "Quantita" DOUBLE, "Produttore" VARCHAR(50),
  "Sconto1" DOUBLE, "Sconto2" DOUBLE, "Sconto3" DOUBLE, "Sconto4" DOUBLE, "Sconto5" DOUBLE,
  "PMinimo" CURRENCY, "PMinimoEuro" CURRENCY, "QuantitaMin" DOUBLE,
  "idCategoria1" VARCHAR(15), "idCategoria2" VARCHAR(15), "idUnita" VARCHAR(15),
  "idFornitore" VARCHAR(20), "idIVA" VARCHAR(10)
);

CREATE TABLE "ArtList" (
  "Progressivo" INTEGER, "idListino" VARCHAR(15), "idArticolo" VARCHAR(20),
  "PrezzoEuro" CURRENCY, "Sconto" DOUBLE
);
